# Test files that the Windows build leaves out, relative to tests/, each with
# the reason it cannot run there. Everything else runs on both platforms.
set(VINTUTIL_LINUX_ONLY_TESTS
  # The POSIX stand-ins of KERNEL32 (statvfs, quota, module lookup).
  utilities/disk_space_test.cpp
  # Starts POSIX shell scripts as programs.
  utilities/winexec_test.cpp
  # Derivation of the regional settings from POSIX LC_TIME locales.
  datetime/locale_derivation_test.cpp
  datetime/installed_locale.cpp
  # The regional settings stand-in's own interface (regional_settings.h).
  datetime/get_locale_info_test.cpp
  # Replaces GetLocaleInfoA through the dynamic linker (dlsym RTLD_NEXT).
  datetime/settings_queries_test.cpp
)
