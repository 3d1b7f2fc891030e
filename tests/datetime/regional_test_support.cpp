#include "regional_test_support.h"

#include <windows.h>

#include <stdlib.h>

#include <gtest/gtest.h>

namespace {

HKEY OpenInternational() {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Control Panel\\International", &key));
  return key;
}

}  // namespace

void SetRegionalOverrideRaw(const char* name, unsigned long type, const std::string& bytes) {
  HKEY key = OpenInternational();
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, static_cast<DWORD>(type),
                                          reinterpret_cast<const BYTE*>(bytes.data()),
                                          static_cast<DWORD>(bytes.size())));
  RegCloseKey(key);
}

void SetRegionalOverrides(const RegionalOverrides& overrides) {
  for (const auto& [name, text] : overrides) {
    SetRegionalOverrideRaw(name.c_str(), REG_SZ, std::string(text.c_str(), text.size() + 1));
  }
}

void RemoveRegionalOverride(const char* name) {
  HKEY key = OpenInternational();
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, name));
  RegCloseKey(key);
}

const RegionalOverrides kSetD = {{"iCentury", "1"}, {"iMonLZero", "1"}, {"iDayLZero", "1"},
                                 {"sDate", "."},    {"iDate", "1"},     {"sTime", ":"},
                                 {"iTime", "1"},    {"iTLZero", "1"}};

const RegionalOverrides kSetU = {
    {"iCentury", "1"}, {"iMonLZero", "0"}, {"iDayLZero", "0"}, {"sDate", "/"},  {"iDate", "0"},
    {"sTime", ":"},    {"iTime", "0"},     {"iTLZero", "0"},   {"s1159", "AM"}, {"s2359", "PM"}};

RegionalOverrides With(RegionalOverrides base, const RegionalOverrides& changes) {
  // Written in order, a later value replaces an earlier one of its name.
  base.insert(base.end(), changes.begin(), changes.end());
  return base;
}

std::string Both(CDatumUhrzeit value) {
  CString text;
  value.GetDatumUhrzeit(text);
  return static_cast<LPCSTR>(text);
}

void ClearLocaleEnvironment() {
  for (const char* variable : {"LC_ALL", "LC_TIME", "LC_CTYPE", "LANG"}) unsetenv(variable);
}
