// The derivation of the regional settings from POSIX formats, on given
// formats and on the real locales of the machine.
#include <DatumUhrzeit.h>
#include <regional_settings.h>

#include <locale.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <temp_registry.h>

#include "regional_test_support.h"

namespace {

// A setting's text and where it came from.
typedef std::pair<std::string, RegionalSettingSource> Answer;

const RegionalSettingSource L = REGIONAL_SOURCE_LOCALE;
const RegionalSettingSource F = REGIONAL_SOURCE_FALLBACK;

TEST(LocaleDerivation, GivenFormats) {
  struct Case {
    RegionalFormats formats;  // D_FMT, T_FMT, T_FMT_AMPM, AM_STR, PM_STR
    LCTYPE type;
    Answer expected;
  };
  const Case cases[] = {
      {{"%-d.%-m.%Y", "", "", "", ""}, LOCALE_SSHORTDATE, {"d.M.yyyy", L}},
      {{"%0e/%_m/%y", "", "", "", ""}, LOCALE_SSHORTDATE, {"dd/M/yy", L}},
      {{"%F", "", "", "", ""}, LOCALE_SSHORTDATE, {"yyyy-MM-dd", L}},
      {{"%a %Od.%Om.%EY", "", "", "", ""}, LOCALE_SSHORTDATE, {"dd.MM.yyyy", L}},
      {{"%Y. %m. %d.", "", "", "", ""}, LOCALE_SDATE, {". ", L}},
      // A month name: Windows short dates write the month as a number.
      {{"%d %b %Y", "", "", "", ""}, LOCALE_IMONLZERO, {"1", F}},
      {{"%d %b %Y", "", "", "", ""}, LOCALE_SDATE, {"/", F}},
      {{"%d %b %Y", "", "", "", ""}, LOCALE_IDATE, {"1", L}},
      // No separator, a word, a conversion between the fields.
      {{"%Y%m%d", "", "", "", ""}, LOCALE_SDATE, {"/", F}},
      {{"%d de %m de %Y", "", "", "", ""}, LOCALE_SDATE, {"/", F}},
      {{"%d%a%m/%Y", "", "", "", ""}, LOCALE_SDATE, {"/", F}},
      // Fields missing, or in an order Windows does not have.
      {{"%d.%m", "", "", "", ""}, LOCALE_ICENTURY, {"1", F}},
      {{"%d.%m", "", "", "", ""}, LOCALE_IDATE, {"0", F}},
      {{"%Y-%d-%m", "", "", "", ""}, LOCALE_SSHORTDATE, {"MM-dd-yyyy", F}},
      {{"%x", "", "", "", ""}, LOCALE_SSHORTDATE, {"MM/dd/yyyy", F}},  // names itself
      {{"", "%k:%M", "", "", ""}, LOCALE_STIMEFORMAT, {"H:mm:ss", L}},
      {{"", "%l.%M.%S %P", "", "", ""}, LOCALE_STIMEFORMAT, {"h.mm.ss tt", L}},
      {{"", "%p %I:%M:%S", "", "", ""}, LOCALE_STIMEFORMAT, {"tt hh:mm:ss", L}},
      {{"", "%r", "%l:%M:%S %p", "", ""}, LOCALE_STIMEFORMAT, {"h:mm:ss tt", L}},
      {{"", "%r", "", "", ""}, LOCALE_STIMEFORMAT, {"hh:mm:ss tt", L}},
      {{"", "%Hh%M", "", "", ""}, LOCALE_STIMEFORMAT, {"HH:mm:ss", F}},
      {{"", "%M:%S", "", "", ""}, LOCALE_ITIME, {"1", F}},
      {{"", "", "", "vorm.", ""}, LOCALE_S1159, {"vorm.", L}},
      {{"", "", "", "vorm.", ""}, LOCALE_S2359, {"PM", F}},
  };
  for (const Case& c : cases) {
    char buffer[128];
    RegionalSettingSource source = REGIONAL_SOURCE_OVERRIDE;
    EXPECT_GT(DeriveRegionalSetting(&c.formats, c.type, buffer, sizeof buffer, &source), 0);
    EXPECT_EQ(c.expected, Answer(buffer, source))
        << RegionalSettingValueName(c.type) << " of \"" << c.formats.dateFormat << "\", \""
        << c.formats.timeFormat << "\"";
  }
}

const LCTYPE kTypes[] = {LOCALE_ICENTURY, LOCALE_IMONLZERO, LOCALE_IDAYLZERO,  LOCALE_SDATE,
                         LOCALE_IDATE,    LOCALE_STIME,     LOCALE_ITIME,      LOCALE_ITLZERO,
                         LOCALE_S1159,    LOCALE_S2359,     LOCALE_SSHORTDATE, LOCALE_STIMEFORMAT};

struct LocaleCase {
  const char* name;
  std::vector<Answer> settings;  // in the order of kTypes
  const char* datumUhrzeit;      // of 2024-03-05 14:07:09.045
};

void PrintTo(const LocaleCase& locale, std::ostream* out) { *out << locale.name; }

// clang-format off
const LocaleCase kLocales[] = {
    {"de_DE.UTF-8",
     {{"1", L}, {"1", L}, {"1", L}, {".", L}, {"1", L}, {":", L}, {"1", L}, {"1", L},
      {"AM", F}, {"PM", F}, {"dd.MM.yyyy", L}, {"HH:mm:ss", L}},
     "05.03.2024 14:07:09.045"},
    {"en_US.UTF-8",
     {{"1", L}, {"1", L}, {"1", L}, {"/", L}, {"0", L}, {":", L}, {"0", L}, {"1", L},
      {"AM", L}, {"PM", L}, {"MM/dd/yyyy", L}, {"hh:mm:ss tt", L}},
     "03/05/2024 02:07:09.045 PM"},
    {"en_GB.UTF-8",
     {{"0", L}, {"1", L}, {"1", L}, {"/", L}, {"1", L}, {":", L}, {"1", L}, {"1", L},
      {"am", L}, {"pm", L}, {"dd/MM/yy", L}, {"HH:mm:ss", L}},
     "05/03/24 14:07:09.045"},
    // The separators 年 and 時 are no separators.
    {"ja_JP.UTF-8",
     {{"1", L}, {"1", L}, {"1", L}, {"/", F}, {"2", L}, {":", F}, {"1", L}, {"1", L},
      {"\xE5\x8D\x88\xE5\x89\x8D", L}, {"\xE5\x8D\x88\xE5\xBE\x8C", L},
      {"yyyy/MM/dd", F}, {"HH:mm:ss", F}},
     "2024/03/05 14:07:09.045"},
    // Not installed: the C locale's values, as fall-backs.
    {"xx_XX.UTF-8",
     {{"0", F}, {"1", F}, {"1", F}, {"/", F}, {"0", F}, {":", F}, {"1", F}, {"1", F},
      {"AM", F}, {"PM", F}, {"MM/dd/yy", F}, {"HH:mm:ss", F}},
     "03/05/24 14:07:09.045"},
};
// clang-format on

// Each test starts on an empty registry and an environment that names no
// locale.
class RealLocaleTest : public RegistryTest {
 protected:
  void SetUp() override { ClearLocaleEnvironment(); }

  static Answer Current(LCTYPE type) {
    char buffer[128];
    RegionalSettingSource source = REGIONAL_SOURCE_OVERRIDE;
    EXPECT_GT(GetRegionalSetting(type, buffer, sizeof buffer, &source), 0);
    return Answer(buffer, source);
  }
};

class RealLocaleSettingsTest : public RealLocaleTest,
                               public ::testing::WithParamInterface<LocaleCase> {};

TEST_P(RealLocaleSettingsTest, DerivedSettingsAndTexts) {
  const LocaleCase& locale = GetParam();
  if (std::string(locale.name) != "xx_XX.UTF-8") REQUIRE_LOCALE(locale.name);
  setenv("LANG", locale.name, 1);
  for (size_t i = 0; i < std::size(kTypes); ++i) {
    EXPECT_EQ(locale.settings[i], Current(kTypes[i])) << RegionalSettingValueName(kTypes[i]);
  }
  EXPECT_EQ(locale.datumUhrzeit, Both(CDatumUhrzeit(14, 7, 9045, 2024, 3, 5)));
}

INSTANTIATE_TEST_SUITE_P(Locales, RealLocaleSettingsTest, ::testing::ValuesIn(kLocales));

TEST_F(RealLocaleTest, EnvironmentPrecedence) {
  REQUIRE_LOCALE("de_DE.UTF-8");
  REQUIRE_LOCALE("en_US.UTF-8");
  REQUIRE_LOCALE("ja_JP.UTF-8");
  setenv("LANG", "de_DE.UTF-8", 1);
  EXPECT_EQ("1", Current(LOCALE_IDATE).first);
  setenv("LC_TIME", "en_US.UTF-8", 1);
  setenv("LC_ALL", "", 1);  // empty: not set
  EXPECT_EQ("0", Current(LOCALE_IDATE).first);
  setenv("LC_ALL", "ja_JP.UTF-8", 1);
  EXPECT_EQ("2", Current(LOCALE_IDATE).first);
  // The process's own locale is left as it was.
  EXPECT_STREQ("C", setlocale(LC_ALL, nullptr));
}

TEST_F(RealLocaleTest, DesignatorsFollowTheProcessCharacterSet) {
  REQUIRE_LOCALE("ja_JP.UTF-8");
  REQUIRE_LOCALE("en_US.UTF-8");
  setenv("LC_TIME", "ja_JP.UTF-8", 1);
  setenv("LC_CTYPE", "en_US.UTF-8", 1);
  EXPECT_EQ(Answer("\xE5\x8D\x88\xE5\x89\x8D", L), Current(LOCALE_S1159));
  unsetenv("LC_CTYPE");  // US-ASCII cannot write 午前
  EXPECT_EQ(Answer("AM", F), Current(LOCALE_S1159));
  EXPECT_EQ(Answer("PM", F), Current(LOCALE_S2359));
}

}  // namespace
