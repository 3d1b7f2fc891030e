// The settings that follow from the user's short date and time pictures, as
// GetLocaleInfoA gives them on Windows and from the stand-in.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <temp_registry.h>

#include "regional_test_support.h"

namespace {

using RegionalPicturesTest = RegistryTest;

// The setting's text; "(fails)" when the query fails as it should, with
// ERROR_INVALID_FLAGS.
std::string Setting(LCTYPE type) {
  char buffer[128];
  SetLastError(0);
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer) > 0) return buffer;
  return GetLastError() == ERROR_INVALID_FLAGS ? "(fails)" : "(error)";
}

TEST_F(RegionalPicturesTest, SettingsFollowTheShortDateAndTheTimeFormat) {
  const std::vector<LCTYPE> date = {LOCALE_SDATE, LOCALE_IDATE, LOCALE_ICENTURY, LOCALE_IDAYLZERO,
                                    LOCALE_IMONLZERO};
  const std::vector<LCTYPE> time = {LOCALE_STIME, LOCALE_ITIME, LOCALE_ITLZERO};
  const struct {
    LCTYPE pictureType;
    const char* picture;
    std::vector<std::string> expected;  // of `date` or `time`
  } cases[] = {
      {LOCALE_SSHORTDATE, "dd.MM.yyyy", {".", "1", "1", "1", "1"}},
      {LOCALE_SSHORTDATE, "M/d/yy", {"/", "0", "0", "0", "0"}},
      {LOCALE_SSHORTDATE, "yyyy-MM-d", {"-", "2", "1", "0", "1"}},
      // Day and year before the month: the later decides.
      {LOCALE_SSHORTDATE, "yy/dd/MM", {"/", "1", "0", "1", "1"}},
      // Quoted text and day names are no fields; month names count as doubled.
      {LOCALE_SSHORTDATE, "dddd d'.'MMMM' 'yyy", {"'.'", "1", "0", "0", "1"}},
      {LOCALE_SSHORTDATE, "MM/dd", {"/", "0", "(fails)", "1", "1"}},
      {LOCALE_SSHORTDATE, "yyyy", {"(fails)", "2", "1", "(fails)", "(fails)"}},
      {LOCALE_STIMEFORMAT, "HH:mm:ss", {":", "1", "1"}},
      {LOCALE_STIMEFORMAT, "h.mm.ss tt", {".", "0", "0"}},
      {LOCALE_STIMEFORMAT, "tt hh' h 'mm", {"' h '", "0", "1"}},
      {LOCALE_STIMEFORMAT, "mm:ss", {":", "(fails)", "(fails)"}},
  };
  for (const auto& c : cases) {
    SetRegionalOverrides({{c.pictureType, c.picture}});
    const std::vector<LCTYPE>& types = c.pictureType == LOCALE_SSHORTDATE ? date : time;
    ASSERT_EQ(types.size(), c.expected.size()) << c.picture;
    for (size_t i = 0; i < types.size(); ++i) {
      EXPECT_EQ(c.expected[i], Setting(types[i]))
          << c.picture << ", type 0x" << std::hex << types[i];
    }
  }
}

}  // namespace
