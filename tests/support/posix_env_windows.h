// setenv and unsetenv for the Windows build of the tests, which set TZ and
// locale variables the POSIX way; the C runtime there has only _putenv_s.
// Included ahead of every test source on Windows.
#ifndef VINTUTIL_TESTS_POSIX_ENV_WINDOWS_H
#define VINTUTIL_TESTS_POSIX_ENV_WINDOWS_H

#include <stdlib.h>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name) != NULL) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes the variable.
inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

#endif
