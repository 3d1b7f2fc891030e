// The regional settings stand-in: the locale comes from the environment
// (LC_ALL, LC_TIME, LANG), each setting says where it came from, and the
// user's overrides are listed with what the stand-in makes of them.
#include <locale.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <regional_settings.h>

#include <string>
#include <vector>

#include "control_escape.h"
#include "key_path.h"
#include "registry_tree.h"
#include "regional_settings_view.h"
#include "value_format.h"

namespace {

// The ten settings the date and time texts are built from, in the order
// they are read.
const LCTYPE kDateTimeSettings[] = {
    LOCALE_ICENTURY, LOCALE_IMONLZERO, LOCALE_IDAYLZERO, LOCALE_SDATE, LOCALE_IDATE,
    LOCALE_STIME,    LOCALE_ITIME,     LOCALE_ITLZERO,   LOCALE_S1159, LOCALE_S2359};

// The overrides the stand-in honours: the two pictures and the designators.
const LCTYPE kOverrides[] = {LOCALE_SSHORTDATE, LOCALE_STIMEFORMAT, LOCALE_S1159, LOCALE_S2359};

// What a picture lacks when a setting that follows from it cannot be read.
struct Lack {
  LCTYPE type;
  const char* missing;
};

const Lack kLacks[] = {
    {LOCALE_ICENTURY, "no year (y)"},
    {LOCALE_IMONLZERO, "no month (M)"},
    {LOCALE_IDAYLZERO, "no day (d)"},
    {LOCALE_SDATE, "no two date fields (d, M, y) with a separator between them"},
    {LOCALE_STIME, "no two time fields (H or h, m, s) with a separator between them"},
    {LOCALE_ITIME, "no hour (H or h)"},
    {LOCALE_ITLZERO, "no hour (H or h)"},
};

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

const KeyPath kOverrideKey{HKEY_CURRENT_USER, REGIONAL_OVERRIDE_KEY};

std::string Quoted(const std::string& text) { return "\"" + EscapeControls(text) + "\""; }

// The settings an override decides, other than itself: "iCentury, ...".
std::string Decides(LCTYPE overrideType) {
  const char* name = RegionalSettingValueName(overrideType);
  std::string decided;
  for (LCTYPE type : kDateTimeSettings) {
    if (strcmp(RegionalSettingOverrideName(type), name) != 0 || type == overrideType) continue;
    decided += (decided.empty() ? "" : ", ") + std::string(RegionalSettingValueName(type));
  }
  return decided;
}

// Why a value under the override key is not taken, or "" when it is.
std::string IgnoredBecause(const RegFileValue& value) {
  for (LCTYPE type : kOverrides) {
    if (strcasecmp(value.name.c_str(), RegionalSettingValueName(type)) != 0) continue;
    return value.type == REG_SZ ? "" : "stored as " + TypeName(value.type) + ", not as REG_SZ text";
  }
  for (LCTYPE type : kDateTimeSettings) {
    if (strcasecmp(value.name.c_str(), RegionalSettingValueName(type)) == 0) {
      return std::string("follows from ") + RegionalSettingOverrideName(type);
    }
  }
  return "not one of the settings the date and time texts are built from";
}

// The overrides honoured, each set or not, then every other value of the
// key with the reason it is ignored.
void PrintOverrides(std::ostream& out) {
  std::vector<RegFileValue> values;
  KeyHandle key;
  if (key.Open(kOverrideKey, KEY_QUERY_VALUE) == ERROR_SUCCESS) ReadValues(key.get(), values);
  out << "Overrides honoured, under " << kOverrideKey.Full() << ":\n";
  for (LCTYPE type : kOverrides) {
    const char* name = RegionalSettingValueName(type);
    const std::string decides = Decides(type);
    std::string shown = "not set";
    for (const RegFileValue& value : values) {
      if (strcasecmp(value.name.c_str(), name) == 0 && IgnoredBecause(value).empty()) {
        shown = EscapeControls(FormatDecoded(value.type, value.data));
      }
    }
    out << name << "\t" << shown << (decides.empty() ? "" : "\tdecides " + decides) << "\n";
  }
  bool header = false;
  for (const RegFileValue& value : values) {
    const std::string because = IgnoredBecause(value);
    if (because.empty()) continue;
    if (!header) out << "Values ignored:\n";
    header = true;
    out << EscapeControls(value.name) << "\t"
        << EscapeControls(FormatDecoded(value.type, value.data)) << "\t" << because << "\n";
  }
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
    out << RegionalSettingValueName(type) << "\t" << Quoted(ok ? text : "") << "\t"
        << (ok ? SourceName(source) : "unreadable") << "\n";
  }
  PrintOverrides(out);
}

std::string UnreadableRegionalSetting() {
  for (const Lack& lack : kLacks) {
    char text[128];
    if (GetRegionalSetting(lack.type, text, sizeof text, nullptr) > 0) continue;
    const char* pictureName = RegionalSettingOverrideName(lack.type);
    const bool date = strcmp(pictureName, RegionalSettingValueName(LOCALE_SSHORTDATE)) == 0;
    char picture[128] = "";
    GetRegionalSetting(date ? LOCALE_SSHORTDATE : LOCALE_STIMEFORMAT, picture, sizeof picture,
                       nullptr);
    return std::string("the ") + (date ? "short date" : "time") + " picture " + Quoted(picture) +
           " (" + kOverrideKey.Full() + "\\" + pictureName + ") has " + lack.missing + ", so " +
           RegionalSettingValueName(lack.type) +
           " cannot be read and the date and time are not printed: correct the picture or delete "
           "it";
  }
  return "";
}
