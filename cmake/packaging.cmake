# Installation as a library and the Debian package: headers, the shared
# libraries with their export set, a CMake package (find_package(vintutil),
# targets vintutil::vintutil and friends) and a pkg-config file (vintutil.pc).
include(CMakePackageConfigHelpers)

# The library's public headers, beside varnoerr.h; the platform headers go to
# include/vintutil/port (port/CMakeLists.txt).
file(GLOB vintutil_library_headers ${PROJECT_SOURCE_DIR}/glob/libdll/*.h)
install(FILES ${vintutil_library_headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vintutil)

set(vintutil_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/vintutil)
install(EXPORT vintutilTargets NAMESPACE vintutil:: DESTINATION ${vintutil_cmake_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/vintutilConfig.cmake.in
  ${PROJECT_BINARY_DIR}/vintutilConfig.cmake INSTALL_DESTINATION ${vintutil_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vintutilConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vintutilConfig.cmake ${PROJECT_BINARY_DIR}/vintutilConfigVersion.cmake
  DESTINATION ${vintutil_cmake_dir})

# pkg-config (with the POSIX stand-ins): the prefix is found from the file's
# own place, so the tree can be installed anywhere (cmake --install --prefix).
if(NOT WIN32)
  set(vintutil_pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  file(RELATIVE_PATH vintutil_pc_to_prefix /${vintutil_pc_dir} /)
  string(REGEX REPLACE "/$" "" vintutil_pc_to_prefix "${vintutil_pc_to_prefix}")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/vintutil.pc.in ${PROJECT_BINARY_DIR}/vintutil.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/vintutil.pc DESTINATION ${vintutil_pc_dir})
endif()

# cpack -G DEB: one package with the libraries, the headers and the program.
set(CPACK_PACKAGE_NAME vintutil)
set(CPACK_PACKAGE_VENDOR "TORVALE")
set(CPACK_PACKAGE_CONTACT "vintutil maintainers <maintainers@vintutil.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Helper library of the protection-relay engineering suite, with the vintutil program")
set(CPACK_PACKAGE_DESCRIPTION
  "The suite's settings in a Windows-compatible registry on SQLite, their administrative defaults, "
  "regional date and time texts, device designations and small utilities; the vintutil program "
  "sets up, shows, exports and imports the settings.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_GENERATOR DEB)
include(CPack)
