# Shared part of the mingw-w64 toolchains; VINTUTIL_MINGW_TRIPLET names the
# target. The POSIX thread model of Debian's compilers is used, as it is the
# one that provides std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VINTUTIL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VINTUTIL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VINTUTIL_MINGW_TRIPLET}-windres)

# Libraries and headers come from the target's tree only; build tools from
# the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VINTUTIL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
