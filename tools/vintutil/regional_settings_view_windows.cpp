// On Windows the regional settings are the system's own: they come from the
// user's profile, and the locale is chosen in the control panel.
#include <windows.h>

#include "regional_settings_view.h"

namespace {

struct NamedSetting {
  LCTYPE type;
  const char* name;
};

const NamedSetting kDateTimeSettings[] = {
    {LOCALE_ICENTURY, "iCentury"}, {LOCALE_IMONLZERO, "iMonLZero"}, {LOCALE_IDAYLZERO, "iDayLZero"},
    {LOCALE_SDATE, "sDate"},       {LOCALE_IDATE, "iDate"},         {LOCALE_STIME, "sTime"},
    {LOCALE_ITIME, "iTime"},       {LOCALE_ITLZERO, "iTLZero"},     {LOCALE_S1159, "s1159"},
    {LOCALE_S2359, "s2359"}};

}  // namespace

bool UseTimeLocale(const std::string&) { return false; }

std::string UnreadableRegionalSetting() {
  for (const NamedSetting& s : kDateTimeSettings) {
    char text[128];
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, s.type, text, sizeof text) > 0) continue;
    return std::string("the regional setting ") + s.name +
           " cannot be read from the user's date and time formats, so the date and time are not "
           "printed: correct the short date and time formats in the region settings";
  }
  return "";
}

void PrintRegionalSettings(std::ostream& out) {
  for (const NamedSetting& s : kDateTimeSettings) {
    char text[128] = "";
    const bool ok = GetLocaleInfoA(LOCALE_USER_DEFAULT, s.type, text, sizeof text) > 0;
    out << s.name << "\t\"" << text << "\"\t" << (ok ? "system" : "unreadable") << "\n";
  }
}
