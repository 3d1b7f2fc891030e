// GetLocaleInfoA and SetLocaleInfoA of the regional settings stand-in:
// Windows' calling convention, and the user's overrides before the locale.
#include <regional_settings.h>

#include <stdlib.h>
#include <string.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>
#include <temp_registry.h>

#include "registry_values.h"
#include "regional_test_support.h"

namespace {

const char kSentinel = '\xcc';

class GetLocaleInfoTest : public RegistryTest {
 protected:
  void SetUp() override {
    ClearLocaleEnvironment();
    Fill();
  }
  void Fill() { memset(buffer_, kSentinel, sizeof buffer_); }
  // The bytes from `from` on are still the sentinel.
  bool UntouchedFrom(size_t from) const {
    for (size_t i = from; i < sizeof buffer_; ++i) {
      if (buffer_[i] != kSentinel) return false;
    }
    return true;
  }
  int Get(LCTYPE type, int size) {
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer_, size);
  }

  char buffer_[32];
};

TEST_F(GetLocaleInfoTest, ReturnsTheSizeWithTheZero) {
  SetRegionalOverrides({{LOCALE_S1159, "vorm."}});
  EXPECT_EQ(6, Get(LOCALE_S1159, 0));  // size 0 asks for the size
  EXPECT_TRUE(UntouchedFrom(0));
  EXPECT_EQ(6, GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_S1159, nullptr, 0));
  EXPECT_EQ(6, Get(LOCALE_S1159, 6));
  EXPECT_STREQ("vorm.", buffer_);
  EXPECT_TRUE(UntouchedFrom(6));
}

TEST_F(GetLocaleInfoTest, TooSmallBufferFailsWithTheTextCutAtACharacter) {
  REQUIRE_LOCALE("ja_JP.UTF-8");
  setenv("LANG", "ja_JP.UTF-8", 1);
  SetRegionalOverrides({{LOCALE_S1159, "\xE5\x8D\x88\xE5\x89\x8D"}});  // 午前
  const std::pair<int, const char*> cases[] = {
      {6, "\xE5\x8D\x88"}, {4, "\xE5\x8D\x88"}, {3, ""}, {1, ""}};
  for (const auto& [size, kept] : cases) {
    Fill();
    SetLastError(0);
    EXPECT_EQ(0, Get(LOCALE_S1159, size));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_STREQ(kept, buffer_) << "size " << size;
    EXPECT_TRUE(UntouchedFrom(size)) << "size " << size;
  }
  // In a single-byte character set every byte is a character.
  setenv("LANG", "C", 1);
  Fill();
  EXPECT_EQ(0, Get(LOCALE_S1159, 5));
  EXPECT_EQ(std::string("\xE5\x8D\x88\xE5"), buffer_);
}

// Bad arguments of GetLocaleInfoA, and SetLocaleInfoA of another locale or of
// a setting that only follows from a picture: failures that touch no buffer.
TEST_F(GetLocaleInfoTest, BadArgumentsFailWithoutTouchingTheBuffer) {
  const auto get = [this](LCID locale, LCTYPE type, bool buffer, int size) {
    return [=] { return GetLocaleInfoA(locale, type, buffer ? buffer_ : nullptr, size); };
  };
  const auto set = [](LCID locale, LCTYPE type, const char* text) {
    return [=] { return static_cast<int>(SetLocaleInfoA(locale, type, text)); };
  };
  const std::pair<std::function<int()>, DWORD> cases[] = {
      {get(LOCALE_USER_DEFAULT, LOCALE_SDATE, false, 8), ERROR_INVALID_PARAMETER},
      {get(LOCALE_USER_DEFAULT, LOCALE_SDATE, true, -1), ERROR_INVALID_PARAMETER},
      {get(LOCALE_SYSTEM_DEFAULT, LOCALE_SDATE, true, 8), ERROR_INVALID_PARAMETER},
      {get(LOCALE_USER_DEFAULT, 0x0022, true, 8), ERROR_INVALID_FLAGS},
      {get(LOCALE_USER_DEFAULT, LOCALE_SDATE | 0x80000000, true, 8), ERROR_INVALID_FLAGS},
      {set(LOCALE_SYSTEM_DEFAULT, LOCALE_S1159, "vm"), ERROR_INVALID_PARAMETER},
      {set(LOCALE_USER_DEFAULT, LOCALE_S1159, nullptr), ERROR_INVALID_PARAMETER},
      {set(LOCALE_USER_DEFAULT, LOCALE_IDATE, "1"), ERROR_INVALID_FLAGS},
      {set(LOCALE_USER_DEFAULT, 0x0022, "1"), ERROR_INVALID_FLAGS},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SetLastError(0);
    EXPECT_EQ(0, cases[i].first()) << "case " << i;
    EXPECT_EQ(cases[i].second, GetLastError()) << "case " << i;
    EXPECT_TRUE(UntouchedFrom(0));
  }
}

// The overrides are the pictures and the designators; the other settings
// follow from a picture, and values of their own names are no overrides.
TEST_F(GetLocaleInfoTest, OverridesAreThePicturesAndTheDesignators) {
  RegionalSettingSource source = REGIONAL_SOURCE_FALLBACK;
  auto current = [this, &source](LCTYPE type) {
    EXPECT_GT(GetRegionalSetting(type, buffer_, sizeof buffer_, &source), 0);
    return std::make_pair(std::string(buffer_), source);
  };
  const auto override = [](const char* text) {
    return std::make_pair(std::string(text), REGIONAL_SOURCE_OVERRIDE);
  };
  const auto locale = [](const char* text) {
    return std::make_pair(std::string(text), REGIONAL_SOURCE_LOCALE);
  };
  regtest::Put(HKEY_CURRENT_USER, kInternational, "sDate", {REG_SZ, std::string("-", 2)});
  EXPECT_EQ(locale("/"), current(LOCALE_SDATE));
  SetRegionalOverrides({{LOCALE_SSHORTDATE, "yyyy-MM-dd"}});
  EXPECT_EQ(override("-"), current(LOCALE_SDATE));
  EXPECT_EQ(override("2"), current(LOCALE_IDATE));
  EXPECT_EQ(locale(":"), current(LOCALE_STIME));
  EXPECT_EQ(ERROR_SUCCESS, regtest::Delete(HKEY_CURRENT_USER, kInternational, "sShortDate"));
  EXPECT_EQ(locale("/"), current(LOCALE_SDATE));

  // A setting the picture cannot give fails, as the override's.
  SetRegionalOverrides({{LOCALE_STIMEFORMAT, "mm:ss"}});
  EXPECT_EQ(0, GetRegionalSetting(LOCALE_ITIME, buffer_, sizeof buffer_, &source));
  EXPECT_EQ(REGIONAL_SOURCE_OVERRIDE, source);

  // The stored bytes up to the first zero; values of another type are no
  // overrides.
  const std::pair<std::string, const char*> stored[] = {
      {std::string("d.M", 3), "d.M"}, {std::string("d/M\0y", 5), "d/M"}, {std::string(), ""}};
  for (const auto& [bytes, text] : stored) {
    regtest::Put(HKEY_CURRENT_USER, kInternational, "sShortDate", {REG_SZ, bytes});
    EXPECT_EQ(override(text), current(LOCALE_SSHORTDATE));
  }
  regtest::Put(HKEY_CURRENT_USER, kInternational, "sShortDate", regtest::Dword(1));
  EXPECT_EQ(locale("MM/dd/yy"), current(LOCALE_SSHORTDATE));
}

}  // namespace

// SetLocaleInfoA's limits count characters of the process's character set,
// as Windows counts them after converting the text to UTF-16.
TEST_F(GetLocaleInfoTest, LengthLimitsCountCharactersOfTheProcessCharacterSet) {
  std::string accents;
  for (int i = 0; i < 14; ++i) accents += "\xC3\xA9";  // é, two bytes in UTF-8
  const std::string emoji = "\xF0\x9F\x98\x80";        // U+1F600: two UTF-16 characters
  const struct {
    const char* lang;
    std::string text;
    bool accepted;
  } cases[] = {
      {"C.UTF-8", accents, true},
      {"C.UTF-8", accents + "\xC3\xA9", false},
      {"C.UTF-8", std::string(12, 'a') + emoji, true},
      {"C.UTF-8", std::string(13, 'a') + emoji, false},
      // One byte, one character.
      {"C", accents, false},
  };
  for (const auto& c : cases) {
    setenv("LANG", c.lang, 1);
    SetLastError(0);
    EXPECT_EQ(c.accepted, SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_S1159, c.text.c_str()) != 0)
        << c.lang << ", " << c.text.size() << " bytes";
    if (!c.accepted) {
      EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    }
  }
}
