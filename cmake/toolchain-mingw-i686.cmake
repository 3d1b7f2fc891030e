# Cross-build for 32-bit Windows, the library's original platform, with
# Debian's mingw-w64 (g++-mingw-w64-i686):
#   cmake -S . -B build-mingw32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
# Built to compile and link; its programs need a 32-bit Wine to run.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VINTUTIL_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
