// Whether a POSIX locale is installed; the Windows build has no such locales
// and leaves this file out, with the tests that need it.
#include <locale.h>

#include "regional_test_support.h"

bool LocaleInstalled(const char* name) {
  const locale_t locale = newlocale(LC_ALL_MASK, name, (locale_t)0);
  if (locale == (locale_t)0) return false;
  freelocale(locale);
  return true;
}
