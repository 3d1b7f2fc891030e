// Regional settings for the date and time tests: the user's overrides under
// HKEY_CURRENT_USER "Control Panel\International" of a TempRegistry, and the
// locales the environment names.
#ifndef VINTUTIL_TESTS_DATETIME_REGIONAL_TEST_SUPPORT_H
#define VINTUTIL_TESTS_DATETIME_REGIONAL_TEST_SUPPORT_H

#include <DatumUhrzeit.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// The key of the user's overrides, below HKEY_CURRENT_USER.
constexpr const char* kInternational = "Control Panel\\International";

// The user's overrides as Windows takes them: the short date picture
// (LOCALE_SSHORTDATE), the time picture (LOCALE_STIMEFORMAT) and the
// designators (LOCALE_S1159, LOCALE_S2359), each with its text.
typedef std::vector<std::pair<LCTYPE, std::string>> RegionalOverrides;

// Sets each override with SetLocaleInfoA, in order: a later override
// replaces an earlier one of its type.
void SetRegionalOverrides(const RegionalOverrides& overrides);

// The two example sets: D (day first, 24-hour clock) and U (month first,
// 12-hour clock without leading zeros).
extern const RegionalOverrides kSetD;
extern const RegionalOverrides kSetU;

// `base` with the given overrides replaced or added.
RegionalOverrides With(RegionalOverrides base, const RegionalOverrides& changes);

// Unsets LC_ALL, LC_TIME, LC_CTYPE and LANG: the environment names no locale.
void ClearLocaleEnvironment();

bool LocaleInstalled(const char* name);

// GetDatumUhrzeit of `value`.
std::string Both(CDatumUhrzeit value);

// Skips the test when the locale is missing; scripts/deps generates them.
#define REQUIRE_LOCALE(name)  \
  if (!LocaleInstalled(name)) \
  GTEST_SKIP() << (name) << " is not installed (run scripts/deps as root)"

#endif
