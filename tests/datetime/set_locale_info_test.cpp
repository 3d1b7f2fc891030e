// SetLocaleInfoA of the date and time settings, as on Windows: a separator or
// the clock rewrites the picture it belongs to, and every text has Windows'
// length limit (in characters, with the terminating zero).
#include <windows.h>

#include <string>

#include <gtest/gtest.h>
#include <temp_registry.h>

#include "regional_test_support.h"
#include "wine_difference.h"

namespace {

using SetLocaleInfoTest = RegistryTest;

std::string Setting(LCTYPE type) {
  char buffer[128] = "";
  return GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer) > 0 ? buffer : "(fails)";
}

TEST_F(SetLocaleInfoTest, SeparatorsAndTheClockRewriteTheirPicture) {
  const struct {
    LCTYPE pictureType;
    const char* picture;
    LCTYPE type;
    const char* text;
    const char* rewritten;
  } cases[] = {
      {LOCALE_SSHORTDATE, "dd.MM.yyyy", LOCALE_SDATE, "-", "dd-MM-yyyy"},
      {LOCALE_SSHORTDATE, "M/d/yy", LOCALE_SDATE, "abc", "Mabcdabcyy"},
      // Day names and quoted text are no fields: the text around them is
      // replaced whole, the text after the last field stays.
      {LOCALE_SSHORTDATE, "dddd d'.'MMMM' 'yyy", LOCALE_SDATE, "/", "dddd d/MMMM/yyy"},
      {LOCALE_SSHORTDATE, "yyyy-MM-dd' r.'", LOCALE_SDATE, ".", "yyyy.MM.dd' r.'"},
      {LOCALE_STIMEFORMAT, "h.mm.ss tt", LOCALE_STIME, ":", "h:mm:ss tt"},
      {LOCALE_STIMEFORMAT, "tt hh' h 'mm", LOCALE_STIME, ":", "tt hh:mm"},
      {LOCALE_STIMEFORMAT, "HH:mm:ss", LOCALE_ITIME, "0", "hh:mm:ss"},
      {LOCALE_STIMEFORMAT, "h:mm:ss tt", LOCALE_ITIME, "1", "H:mm:ss tt"},
  };
  for (const auto& c : cases) {
    SetRegionalOverrides({{c.pictureType, c.picture}});
    SetLastError(0);
    EXPECT_TRUE(SetLocaleInfoA(LOCALE_USER_DEFAULT, c.type, c.text))
        << c.picture << " with " << c.text << ": error " << GetLastError();
    EXPECT_EQ(c.rewritten, Setting(c.pictureType)) << c.picture << " with " << c.text;
    EXPECT_EQ(c.text, Setting(c.type)) << c.picture << " with " << c.text;
  }
}

TEST_F(SetLocaleInfoTest, TextsLongerThanWindowsTakesAreRefused) {
  const std::string picture79(79, 'd');
  // 40 fields: a separator of three characters would make it 157 long.
  std::string fields40 = "d";
  for (int i = 1; i < 40; ++i) fields40 += ".d";
  const struct {
    LCTYPE type;
    std::string text;
    bool accepted;
    std::string shortDate = "dd.MM.yyyy";
  } cases[] = {
      {LOCALE_SDATE, "abc", true},
      {LOCALE_SDATE, "abcd", false},
      {LOCALE_STIME, "::::", false},
      {LOCALE_ITIME, "10", false},
      {LOCALE_S1159, std::string(14, 'a'), true},
      {LOCALE_S2359, std::string(15, 'p'), false},
      {LOCALE_SSHORTDATE, picture79, true},
      {LOCALE_SSHORTDATE, picture79 + "d", false},
      {LOCALE_STIMEFORMAT, std::string(80, 'H'), false},
      {LOCALE_SDATE, "---", false, fields40},
  };
  for (const auto& c : cases) {
    SetRegionalOverrides({{LOCALE_SSHORTDATE, c.shortDate}, {LOCALE_STIMEFORMAT, "HH:mm:ss"}});
    const std::string before = Setting(c.type);
    if (c.accepted) {
      SetLastError(0);
      EXPECT_TRUE(SetLocaleInfoA(LOCALE_USER_DEFAULT, c.type, c.text.c_str()))
          << c.text << ": error " << GetLastError();
      continue;
    }
    // Not even called under Wine, which would write the rewritten picture
    // past its buffer of 80 characters.
    WINE_DIFFERENCE("Wine's SetLocaleInfo checks no lengths") {
      SetLastError(0);
      EXPECT_FALSE(SetLocaleInfoA(LOCALE_USER_DEFAULT, c.type, c.text.c_str())) << c.text;
      EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError()) << c.text;
      EXPECT_EQ(before, Setting(c.type)) << c.text;
    }
  }
}

}  // namespace
