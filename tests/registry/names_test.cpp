// Names beyond ASCII: compared case-insensitively through Windows' upper-case
// mapping in every call, subkeys enumerated in the order of their upper-cased
// names, lengths counted in UTF-16 units; and the limits on depth and data.
// Only the Win32 API: these hold on Windows and Wine too. The names are
// written in UTF-8 here and passed in the ANSI code page, which is UTF-8 on
// Linux; a name the Windows code page cannot hold is left out there.
#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "registry_values.h"
#include "temp_registry.h"
#include "wine_difference.h"

namespace {

const DWORD kSentinel = 0xdeadbeef;

// `utf8` in the ANSI code page; nothing when that cannot hold it.
std::optional<std::string> ansi(const std::string& utf8) {
#ifdef _WIN32
  const int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring text(size_t(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), text.data(), wide);
  BOOL lossy = FALSE;
  // No best fit: `ı` must not pass as `i`, nor `Ω` as `O`.
  const DWORD flags = WC_NO_BEST_FIT_CHARS;
  const int bytes =
      WideCharToMultiByte(CP_ACP, flags, text.data(), wide, nullptr, 0, nullptr, &lossy);
  std::string out(size_t(bytes), '\0');
  WideCharToMultiByte(CP_ACP, flags, text.data(), wide, out.data(), bytes, nullptr, &lossy);
  if (lossy) return std::nullopt;
  return out;
#else
  return utf8;
#endif
}

std::string repeat(const std::string& text, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

LONG setText(HKEY key, const std::string& name, const std::string& text) {
  return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        DWORD(text.size() + 1));
}

// The value's text, or the reason it cannot be read.
std::string queryText(HKEY key, const std::string& name) {
  char buffer[64];
  memset(buffer, 0xcc, sizeof buffer);
  DWORD type = kSentinel, size = sizeof buffer;
  LONG rc =
      RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  if (rc != ERROR_SUCCESS) return "error " + std::to_string(rc);
  return std::string(buffer, size ? size - 1 : 0);
}

class Names : public RegistryTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\VintutilTest", &base_));
  }
  void TearDown() override { RegCloseKey(base_); }

  HKEY base_ = nullptr;
};

// Two spellings of a name and whether Windows holds them to be one name.
struct Spelling {
  const char* first;
  const char* second;
  bool same;
};

const Spelling kSpellings[] = {
    {"äpfel", "ÄPFEL", true},
    {"Ключ", "КЛЮЧ", true},
    {"ÿ", "Ÿ", true},
    {"ελλάδα", "ΕΛΛΆΔΑ", true},
    {"straße", "STRASSE", false},  // no single-character upper case of
                                   // ß
    {"ı", "I", false},             // Windows' table leaves the dotless i alone
    {"é", "e", false},
};

// Each row through every call that takes a name: a key created under one
// spelling is opened, enumerated once and deleted under the other; a value
// likewise read, replaced and deleted.
TEST_F(Names, SpellingsAreOneNameWhereWindowsFoldsThem) {
  for (const Spelling& row : kSpellings) {
    const auto first = ansi(row.first), second = ansi(row.second);
    if (!first || !second) continue;  // not in this Windows code page
    SCOPED_TRACE(std::string(row.first) + " / " + row.second);
    HKEY key = nullptr, again = reinterpret_cast<HKEY>(0xcc);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(base_, first->c_str(), &key));
    EXPECT_EQ(row.same ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND,
              RegOpenKeyExA(base_, second->c_str(), 0, KEY_READ, &again));
    if (again && again != reinterpret_cast<HKEY>(0xcc)) RegCloseKey(again);
    DWORD disposition = kSentinel;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(base_, second->c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &again, &disposition));
    RegCloseKey(again);
    EXPECT_EQ(DWORD(row.same ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY), disposition);
    // Apart, the upper-case ASCII spelling sorts first in every row.
    const std::vector<std::string> apart = {*second, *first}, one = {*first};
    EXPECT_EQ(row.same ? one : apart, regtest::SubKeys(base_))
        << "one key, under the name it was created with";

    ASSERT_EQ(ERROR_SUCCESS, setText(key, *first, "one"));
    EXPECT_EQ(row.same ? "one" : "error 2", queryText(key, *second));
    ASSERT_EQ(ERROR_SUCCESS, setText(key, *second, "two"));
    EXPECT_EQ(row.same ? "two" : "one", queryText(key, *first));
    DWORD values = kSentinel;
    ASSERT_EQ(ERROR_SUCCESS,
              RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(row.same ? 1u : 2u, values);
    char name[64];
    DWORD length = sizeof name;
    ASSERT_EQ(ERROR_SUCCESS,
              RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
    // The first value created comes first; with one value, under Wine too.
    if (row.same) {
      EXPECT_EQ(*first, name) << "a value keeps the spelling it was created with";
    } else {
      WINE_DIFFERENCE("Wine keeps values sorted by name, not as created")
      EXPECT_EQ(*first, name);
    }
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, second->c_str()));
    EXPECT_EQ(row.same ? "error 2" : "one", queryText(key, *first));
    RegCloseKey(key);

    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(base_, second->c_str()));
    EXPECT_EQ(row.same ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS,
              RegDeleteKeyA(base_, first->c_str()));
    EXPECT_EQ(std::vector<std::string>{}, regtest::SubKeys(base_));
  }
}

// Subkeys come in the order of their upper-cased names, UTF-16 unit by unit:
// '[' and '_' follow the letters, letters beyond ASCII follow those.
TEST_F(Names, SubkeysEnumerateInTheOrderOfTheirUpperCase) {
  const std::vector<std::string> expected = {"alpha",  "Bravo", "zulu", "[br",
                                             "_under", "ärger", "Ωmega"};
  std::vector<std::string> present;
  for (const std::string& name : expected) {
    if (auto local = ansi(name)) present.push_back(*local);
  }
  for (auto it = present.rbegin(); it != present.rend(); ++it) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(base_, it->c_str(), &key));
    RegCloseKey(key);
  }
  WINE_DIFFERENCE("Wine orders subkeys by their lower case") {
    EXPECT_EQ(present, regtest::SubKeys(base_));
  }
}

// Names are limited in characters as Windows counts them (UTF-16 units),
// not in bytes: 255 two-byte or three-byte characters make a key name.
TEST_F(Names, LimitsCountUtf16Units) {
  for (const char* character : {"é", "日", "k"}) {
    const auto unit = ansi(character);
    if (!unit) continue;
    SCOPED_TRACE(character);
    HKEY key = nullptr;
    const std::string longest = repeat(*unit, 255);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(base_, longest.c_str(), &key));
    RegCloseKey(key);
    EXPECT_EQ(std::vector<std::string>{longest}, regtest::SubKeys(base_));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(base_, longest.c_str()));
    EXPECT_EQ(ERROR_SUCCESS, setText(base_, repeat(*unit, 16383), "x"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(base_, repeat(*unit, 16383).c_str()));
    WINE_DIFFERENCE("Wine 8 refuses the longer key name otherwise, accepts the longer value name") {
      key = reinterpret_cast<HKEY>(0xcc);
      EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyA(base_, (longest + *unit).c_str(), &key));
      EXPECT_EQ(nullptr, key);
      EXPECT_EQ(ERROR_INVALID_PARAMETER, setText(base_, repeat(*unit, 16384), "x"));
    }
  }
}

// Keys nest at most 512 levels below the root; a deeper one fails with
// ERROR_NO_SYSTEM_RESOURCES and nothing of it is created.
TEST_F(Names, KeysNestAtMost512LevelsDeep) {
  // The test's base key is Software\VintutilTest: two levels; 510 more,
  // one call each (Windows creates at most 32 in one call).
  std::vector<HKEY> levels = {base_};
  for (int level = 0; level < 510; ++level) {
    HKEY next = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(levels.back(), "k", &next)) << level;
    levels.push_back(next);
  }
  HKEY key = levels.back();
  HKEY deeper = reinterpret_cast<HKEY>(0xcc);
  WINE_DIFFERENCE("Wine has no depth limit") {
    EXPECT_EQ(1450, RegCreateKeyA(key, "one-more", &deeper)) << "ERROR_NO_SYSTEM_RESOURCES";
    EXPECT_EQ(nullptr, deeper);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(key, "one-more", 0, KEY_READ, &deeper));
  }
  EXPECT_EQ(ERROR_SUCCESS, setText(key, "v", "at the deepest level"));
  for (size_t level = levels.size() - 1; level > 0; --level) {
    RegCloseKey(levels[level]);
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(levels[level - 1], "k"));
  }
}

// Data beyond 4 MiB is refused with ERROR_NOT_ENOUGH_QUOTA, and the value
// keeps what it held.
TEST_F(Names, DataBeyondFourMebibytesIsRefusedWithTheQuotaError) {
  const DWORD limit = 4 * 1024 * 1024;
  std::vector<BYTE> data(limit + 1, 0x41);
  ASSERT_EQ(ERROR_SUCCESS, setText(base_, "v", "kept"));
  WINE_DIFFERENCE("Wine stores larger values") {
    EXPECT_EQ(1816, RegSetValueExA(base_, "v", 0, REG_BINARY, data.data(), limit + 1))
        << "ERROR_NOT_ENOUGH_QUOTA";
    EXPECT_EQ("kept", queryText(base_, "v"));
  }
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(base_, "v", 0, REG_BINARY, data.data(), limit));
}

}  // namespace
