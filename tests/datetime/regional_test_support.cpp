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
  for (const auto& [type, text] : overrides) {
    EXPECT_TRUE(SetLocaleInfoA(LOCALE_USER_DEFAULT, type, text.c_str()))
        << "type 0x" << std::hex << type << ", error " << std::dec << GetLastError();
  }
}

void RemoveRegionalOverride(const char* name) {
  HKEY key = OpenInternational();
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, name));
  RegCloseKey(key);
}

const RegionalOverrides kSetD = {{LOCALE_SSHORTDATE, "dd.MM.yyyy"},
                                 {LOCALE_STIMEFORMAT, "HH:mm:ss"}};

const RegionalOverrides kSetU = {{LOCALE_SSHORTDATE, "M/d/yyyy"},
                                 {LOCALE_STIMEFORMAT, "h:mm:ss tt"},
                                 {LOCALE_S1159, "AM"},
                                 {LOCALE_S2359, "PM"}};

RegionalOverrides With(RegionalOverrides base, const RegionalOverrides& changes) {
  // Set in order, a later override replaces an earlier one of its type.
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
