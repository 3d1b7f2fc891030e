# Cross-build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64):
#   cmake -S . -B build-mingw64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
# The test programs run under Wine (wine64), which ctest starts for them.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VINTUTIL_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

find_program(VINTUTIL_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine NO_CACHE)
if(VINTUTIL_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VINTUTIL_WINE64})
endif()
