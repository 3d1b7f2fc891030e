# Test files that the Windows build leaves out, relative to tests/, each with
# the reason it cannot run there. Everything else runs on both platforms.
set(VINTUTIL_LINUX_ONLY_TESTS
  # The POSIX stand-ins of KERNEL32 (statvfs, quota, module lookup).
  utilities/disk_space_test.cpp
  # Starts POSIX shell scripts as programs.
  utilities/winexec_test.cpp
)
