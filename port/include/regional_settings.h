// The regional settings stand-in beyond GetLocaleInfoA: where each date and
// time setting comes from, and its derivation from given POSIX formats.
// For hosts that show the settings (vintutil date --settings) and for tests;
// the library itself only calls GetLocaleInfoA.
#ifndef VINTUTIL_PORT_REGIONAL_SETTINGS_H
#define VINTUTIL_PORT_REGIONAL_SETTINGS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Where the text of a setting came from.
typedef enum RegionalSettingSource {
  // The user's override under HKEY_CURRENT_USER "Control Panel\International":
  // the value of the setting's name (sShortDate, sTimeFormat, s1159, s2359),
  // or for the other settings the picture they follow from (sShortDate for
  // sDate, iDate, iCentury, iDayLZero, iMonLZero; sTimeFormat for sTime,
  // iTime, iTLZero).
  REGIONAL_SOURCE_OVERRIDE,
  // Derived from the process's POSIX LC_TIME locale.
  REGIONAL_SOURCE_LOCALE,
  // A substitute: the locale leaves the setting without a usable answer, or
  // the locale the environment names is not installed (the C locale's
  // values are used then).
  REGIONAL_SOURCE_FALLBACK
} RegionalSettingSource;

// The POSIX LC_TIME items a derivation starts from, as nl_langinfo gives
// them: D_FMT, T_FMT, T_FMT_AMPM, AM_STR and PM_STR.
typedef struct RegionalFormats {
  LPCSTR dateFormat;
  LPCSTR timeFormat;
  LPCSTR timeFormatAmPm;
  LPCSTR amDesignator;
  LPCSTR pmDesignator;
} RegionalFormats;

// GetLocaleInfoA(LOCALE_USER_DEFAULT, type, data, cchData) that also stores
// in *source (when not NULL) where the text came from. Same return values
// and error codes; *source is set whenever the type is known, also when the
// call fails because the user's picture cannot give the setting.
WINBASEAPI int WINAPI GetRegionalSetting(LCTYPE type, LPSTR data, int cchData,
                                         RegionalSettingSource* source);

// The text the derivation gives for `type` from `formats`, without user
// overrides and without conversion of the designators' character set. Same
// return values and error codes as GetLocaleInfoA.
WINBASEAPI int WINAPI DeriveRegionalSetting(const RegionalFormats* formats, LCTYPE type, LPSTR data,
                                            int cchData, RegionalSettingSource* source);

// Windows' name of a setting under "Control Panel\International" ("iCentury",
// "sDate", ...); NULL for a type the stand-in does not know.
WINBASEAPI LPCSTR WINAPI RegionalSettingValueName(LCTYPE type);

// The key of the user's overrides, below HKEY_CURRENT_USER.
#define REGIONAL_OVERRIDE_KEY "Control Panel\\International"

// The name of the override that decides a setting: its own for the pictures
// and the designators ("sShortDate", "s1159"), its picture's for the
// settings that follow from one ("sShortDate" for "iCentury"); NULL for a
// type the stand-in does not know.
WINBASEAPI LPCSTR WINAPI RegionalSettingOverrideName(LCTYPE type);

#ifdef __cplusplus
}
#endif

#endif /* VINTUTIL_PORT_REGIONAL_SETTINGS_H */
