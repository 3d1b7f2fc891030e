// GetLocaleInfoA of the regional settings stand-in: Windows' calling
// convention, and the user's overrides before the locale.
#include <regional_settings.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include <gtest/gtest.h>
#include <temp_registry.h>

#include "regional_test_support.h"

namespace {

const char kSentinel = '\xcc';
const char kGozen[] = "\xE5\x8D\x88\xE5\x89\x8D";  // 午前, 6 bytes in UTF-8

class GetLocaleInfoTest : public RegistryTest {
 protected:
  void SetUp() override {
    ClearLocaleEnvironment();
    memset(buffer_, kSentinel, sizeof buffer_);
  }

  // The bytes from `from` on are still the sentinel.
  bool UntouchedFrom(size_t from) const {
    for (size_t i = from; i < sizeof buffer_; ++i) {
      if (buffer_[i] != kSentinel) return false;
    }
    return true;
  }

  char buffer_[32];
};

TEST_F(GetLocaleInfoTest, ReturnsCharactersCopiedWithTheZero) {
  SetRegionalOverrides({{"s1159", "vorm."}});
  EXPECT_EQ(6, GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_S1159, buffer_, sizeof buffer_));
  EXPECT_STREQ("vorm.", buffer_);
  EXPECT_TRUE(UntouchedFrom(6));
  // A buffer of exactly the size.
  memset(buffer_, kSentinel, sizeof buffer_);
  EXPECT_EQ(6, GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_S1159, buffer_, 6));
  EXPECT_STREQ("vorm.", buffer_);
}

TEST_F(GetLocaleInfoTest, SizeZeroAsksForTheSize) {
  SetRegionalOverrides({{"s1159", "vorm."}});
  EXPECT_EQ(6, GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_S1159, buffer_, 0));
  EXPECT_TRUE(UntouchedFrom(0));
  EXPECT_EQ(6, GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_S1159, nullptr, 0));
}

TEST_F(GetLocaleInfoTest, TooSmallBufferFailsWithTheTextCutAtACharacter) {
  REQUIRE_LOCALE("ja_JP.UTF-8");
  setenv("LANG", "ja_JP.UTF-8", 1);
  SetRegionalOverrides({{"s1159", kGozen}});
  struct Case {
    int size;
    const char* kept;
  };
  const Case cases[] = {
      {6, "\xE5\x8D\x88"}, {5, "\xE5\x8D\x88"}, {4, "\xE5\x8D\x88"}, {3, ""}, {1, ""}};
  for (const Case& c : cases) {
    memset(buffer_, kSentinel, sizeof buffer_);
    SetLastError(0);
    EXPECT_EQ(0, GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_S1159, buffer_, c.size));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_STREQ(c.kept, buffer_) << "size " << c.size;
    EXPECT_TRUE(UntouchedFrom(c.size)) << "size " << c.size;
  }
  // In a single-byte character set every byte is a character.
  setenv("LANG", "C", 1);
  memset(buffer_, kSentinel, sizeof buffer_);
  EXPECT_EQ(0, GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_S1159, buffer_, 5));
  EXPECT_EQ(std::string(kGozen, 4), buffer_);
}

TEST_F(GetLocaleInfoTest, BadArgumentsFailWithoutTouchingTheBuffer) {
  struct Case {
    LCID locale;
    LCTYPE type;
    bool nullBuffer;
    int size;
    DWORD error;
  };
  const Case cases[] = {
      {LOCALE_USER_DEFAULT, LOCALE_SDATE, true, 8, ERROR_INVALID_PARAMETER},
      {LOCALE_USER_DEFAULT, LOCALE_SDATE, false, -1, ERROR_INVALID_PARAMETER},
      {LOCALE_SYSTEM_DEFAULT, LOCALE_SDATE, false, 8, ERROR_INVALID_PARAMETER},
      {0x0407, LOCALE_SDATE, false, 8, ERROR_INVALID_PARAMETER},
      {LOCALE_USER_DEFAULT, 0x0000, false, 8, ERROR_INVALID_FLAGS},
      {LOCALE_USER_DEFAULT, 0x0022, false, 8, ERROR_INVALID_FLAGS},
      {LOCALE_USER_DEFAULT, LOCALE_SDATE | 0x80000000, false, 8, ERROR_INVALID_FLAGS},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(0, GetLocaleInfoA(c.locale, c.type, c.nullBuffer ? nullptr : buffer_, c.size));
    EXPECT_EQ(c.error, GetLastError())
        << "locale 0x" << std::hex << c.locale << ", type 0x" << c.type;
    EXPECT_TRUE(UntouchedFrom(0));
  }
}

TEST_F(GetLocaleInfoTest, OverrideComesBeforeTheLocaleForItsSettingOnly) {
  SetRegionalOverrides({{"sDate", "-"}, {"sShortDate", "yyyy-MM-dd"}});
  RegionalSettingSource source;
  ASSERT_EQ(2, GetRegionalSetting(LOCALE_SDATE, buffer_, sizeof buffer_, &source));
  EXPECT_STREQ("-", buffer_);
  EXPECT_EQ(REGIONAL_SOURCE_OVERRIDE, source);
  ASSERT_EQ(11, GetRegionalSetting(LOCALE_SSHORTDATE, buffer_, sizeof buffer_, &source));
  EXPECT_STREQ("yyyy-MM-dd", buffer_);
  EXPECT_EQ(REGIONAL_SOURCE_OVERRIDE, source);
  ASSERT_EQ(2, GetRegionalSetting(LOCALE_IDATE, buffer_, sizeof buffer_, &source));
  EXPECT_STREQ("0", buffer_);
  EXPECT_EQ(REGIONAL_SOURCE_LOCALE, source);

  // Seen at the next call once removed.
  RemoveRegionalOverride("sDate");
  ASSERT_EQ(2, GetRegionalSetting(LOCALE_SDATE, buffer_, sizeof buffer_, &source));
  EXPECT_STREQ("/", buffer_);
  EXPECT_EQ(REGIONAL_SOURCE_LOCALE, source);
}

TEST_F(GetLocaleInfoTest, OverrideIsTheTextUpToItsFirstZero) {
  struct Case {
    std::string bytes;
    const char* text;
  };
  const Case cases[] = {{std::string("--", 2), "--"},  // stored without its zero
                        {std::string("a\0b", 4), "a"},
                        {std::string("", 0), ""},
                        {std::string(200, '.') + '\0', nullptr}};
  for (const Case& c : cases) {
    SetRegionalOverrideRaw("sDate", REG_SZ, c.bytes);
    char large[256];
    const std::string expected = c.text != nullptr ? c.text : std::string(200, '.');
    EXPECT_EQ(static_cast<int>(expected.size()) + 1,
              GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDATE, large, sizeof large));
    EXPECT_EQ(expected, large);
  }
}

TEST_F(GetLocaleInfoTest, OverrideOfAnotherTypeIsIgnored) {
  SetRegionalOverrideRaw("iDate", REG_DWORD, std::string("\x01\x00\x00\x00", 4));
  SetRegionalOverrideRaw("sDate", REG_BINARY, std::string("-\0", 2));
  RegionalSettingSource source;
  ASSERT_EQ(2, GetRegionalSetting(LOCALE_IDATE, buffer_, sizeof buffer_, &source));
  EXPECT_STREQ("0", buffer_);
  EXPECT_EQ(REGIONAL_SOURCE_LOCALE, source);
  ASSERT_EQ(2, GetRegionalSetting(LOCALE_SDATE, buffer_, sizeof buffer_, &source));
  EXPECT_STREQ("/", buffer_);
}

TEST(RegionalSettingValueNameTest, NamesOfTheUsersValues) {
  const std::pair<LCTYPE, const char*> names[] = {
      {LOCALE_ICENTURY, "iCentury"},     {LOCALE_IMONLZERO, "iMonLZero"},
      {LOCALE_IDAYLZERO, "iDayLZero"},   {LOCALE_SDATE, "sDate"},
      {LOCALE_IDATE, "iDate"},           {LOCALE_STIME, "sTime"},
      {LOCALE_ITIME, "iTime"},           {LOCALE_ITLZERO, "iTLZero"},
      {LOCALE_S1159, "s1159"},           {LOCALE_S2359, "s2359"},
      {LOCALE_SSHORTDATE, "sShortDate"}, {LOCALE_STIMEFORMAT, "sTimeFormat"}};
  for (const auto& [type, name] : names) EXPECT_STREQ(name, RegionalSettingValueName(type));
  EXPECT_EQ(nullptr, RegionalSettingValueName(0x0022));
}

}  // namespace
