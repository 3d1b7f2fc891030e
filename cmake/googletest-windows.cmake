# GoogleTest for the Windows build. Debian's libgtest-dev is built for Linux,
# so GoogleTest is compiled here with the cross compiler, from the sources
# that Debian's googletest package installs.
set(VINTUTIL_GOOGLETEST_SOURCE /usr/src/googletest
    CACHE PATH "GoogleTest sources compiled into the Windows build")
if(NOT EXISTS ${VINTUTIL_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${VINTUTIL_GOOGLETEST_SOURCE}: "
                      "install Debian's googletest package")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# Its targets carry the names the Linux build gets from find_package(GTest):
# GTest::gtest, GTest::gmock, GTest::gtest_main.
add_subdirectory(${VINTUTIL_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

