# The Windows build (mingw-w64, see toolchain-mingw-*.cmake): the library is
# compiled against the SDK's windows.h, and of port/ only the MFC subset is
# built.

# The SDK's windows.h without its min/max macros and its rarely used parts.
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN)

# DLLs carry their Windows names (vintutil.dll, varnoerr.dll), not lib*.dll.
set(CMAKE_SHARED_LIBRARY_PREFIX "")

# Windows finds a program's DLLs in the program's folder: every program and
# DLL goes to bin/, and the compiler's runtime DLLs are copied beside them.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(IS_ABSOLUTE "${path}" AND EXISTS "${path}")
    file(COPY "${path}" DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  endif()
endforeach()

# The Win32 libraries that port/win32 stands in for on Linux are the
# system's own here; the same target names link them.
add_library(win32_advapi INTERFACE)
target_link_libraries(win32_advapi INTERFACE advapi32)
add_library(win32_kernel INTERFACE)
target_link_libraries(win32_kernel INTERFACE kernel32)
add_library(win32_kernelbase INTERFACE)
target_link_libraries(win32_kernelbase INTERFACE kernel32)

# CLI11 is header-only: Debian's libcli11-dev serves this build too. Its own
# package file would put the host's /usr/include before the cross compiler's
# headers, so the headers are reached through a folder that holds only them.
set(cli11_include ${PROJECT_BINARY_DIR}/cli11/include)
file(MAKE_DIRECTORY ${cli11_include})
file(CREATE_LINK /usr/include/CLI ${cli11_include}/CLI SYMBOLIC)
file(WRITE ${PROJECT_BINARY_DIR}/cli11/CLI11Config.cmake
  "if(NOT TARGET CLI11::CLI11)\n"
  "  add_library(CLI11::CLI11 INTERFACE IMPORTED)\n"
  "  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${cli11_include})\n"
  "endif()\n")
set(CLI11_DIR ${PROJECT_BINARY_DIR}/cli11 CACHE PATH "" FORCE)
