// The regional settings stand-in: the locale comes from the environment
// (LC_ALL, LC_TIME, LANG) and each setting says where it came from.
#include <locale.h>
#include <stdlib.h>

#include <regional_settings.h>

#include "regional_settings_view.h"

namespace {

// The ten settings the date and time texts are built from, in the order
// they are read.
const LCTYPE kDateTimeSettings[] = {
    LOCALE_ICENTURY, LOCALE_IMONLZERO, LOCALE_IDAYLZERO, LOCALE_SDATE, LOCALE_IDATE,
    LOCALE_STIME,    LOCALE_ITIME,     LOCALE_ITLZERO,   LOCALE_S1159, LOCALE_S2359};

const char* SourceName(RegionalSettingSource source) {
  switch (source) {
    case REGIONAL_SOURCE_OVERRIDE:
      return "override";
    case REGIONAL_SOURCE_LOCALE:
      return "locale";
    case REGIONAL_SOURCE_FALLBACK:
      return "fall-back";
  }
  return "unknown";
}

}  // namespace

bool UseTimeLocale(const std::string& name) {
  const locale_t probe = newlocale(LC_TIME_MASK, name.c_str(), (locale_t)0);
  if (probe == (locale_t)0) return false;
  freelocale(probe);
  // LC_ALL would take precedence over LC_TIME: its value moves to LANG,
  // where it still governs the other categories.
  if (const char* all = getenv("LC_ALL"); all && *all) {
    setenv("LANG", all, 1);
    unsetenv("LC_ALL");
  }
  setenv("LC_TIME", name.c_str(), 1);
  return true;
}

void PrintRegionalSettings(std::ostream& out) {
  for (LCTYPE type : kDateTimeSettings) {
    char text[128] = "";
    RegionalSettingSource source = REGIONAL_SOURCE_FALLBACK;
    const bool ok = GetRegionalSetting(type, text, sizeof text, &source) > 0;
    out << RegionalSettingValueName(type) << "\t\"" << (ok ? text : "") << "\"\t"
        << (ok ? SourceName(source) : "unreadable") << "\n";
  }
}
