// The settings that follow from the user's short date and time pictures, as
// GetLocaleInfoA gives them on Windows and from the stand-in.
#include <windows.h>

#include <iterator>
#include <string>

#include <gtest/gtest.h>
#include <temp_registry.h>

#include "regional_test_support.h"

namespace {

using RegionalPicturesTest = RegistryTest;

const LCTYPE kDateTypes[] = {LOCALE_SDATE, LOCALE_IDATE, LOCALE_ICENTURY, LOCALE_IDAYLZERO,
                             LOCALE_IMONLZERO};
const LCTYPE kTimeTypes[] = {LOCALE_STIME, LOCALE_ITIME, LOCALE_ITLZERO};

// The setting's text; "(fails)" when the query fails as it should, with
// ERROR_INVALID_FLAGS.
std::string Setting(LCTYPE type) {
  char buffer[128];
  SetLastError(0);
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer) > 0) return buffer;
  return GetLastError() == ERROR_INVALID_FLAGS ? "(fails)" : "(error)";
}

TEST_F(RegionalPicturesTest, DateSettingsFollowTheShortDate) {
  const struct {
    const char* picture;
    std::string expected[5];  // sDate, iDate, iCentury, iDayLZero, iMonLZero
  } cases[] = {
      {"dd.MM.yyyy", {".", "1", "1", "1", "1"}},
      {"M/d/yy", {"/", "0", "0", "0", "0"}},
      {"yyyy-MM-d", {"-", "2", "1", "0", "1"}},
      // Day and year before the month: the later decides.
      {"yy/dd/MM", {"/", "1", "0", "1", "1"}},
      // Quoted text and day names are no fields; month names count as doubled.
      {"dddd d'.'MMMM' 'yyy", {"'.'", "1", "0", "0", "1"}},
      {"MM/dd", {"/", "0", "(fails)", "1", "1"}},
      {"yyyy", {"(fails)", "2", "1", "(fails)", "(fails)"}},
  };
  for (const auto& c : cases) {
    SetRegionalOverrides({{LOCALE_SSHORTDATE, c.picture}});
    for (size_t i = 0; i < std::size(kDateTypes); ++i) {
      EXPECT_EQ(c.expected[i], Setting(kDateTypes[i]))
          << c.picture << ", type 0x" << std::hex << kDateTypes[i];
    }
  }
}

TEST_F(RegionalPicturesTest, TimeSettingsFollowTheTimeFormat) {
  const struct {
    const char* picture;
    std::string expected[3];  // sTime, iTime, iTLZero
  } cases[] = {
      {"HH:mm:ss", {":", "1", "1"}},
      {"h.mm.ss tt", {".", "0", "0"}},
      {"tt hh' h 'mm", {"' h '", "0", "1"}},
      {"mm:ss", {":", "(fails)", "(fails)"}},
  };
  for (const auto& c : cases) {
    SetRegionalOverrides({{LOCALE_STIMEFORMAT, c.picture}});
    for (size_t i = 0; i < std::size(kTimeTypes); ++i) {
      EXPECT_EQ(c.expected[i], Setting(kTimeTypes[i]))
          << c.picture << ", type 0x" << std::hex << kTimeTypes[i];
    }
  }
}

}  // namespace
