#include "regional_test_support.h"

#include <windows.h>

#include <stdlib.h>

#include <gtest/gtest.h>

void SetRegionalOverrides(const RegionalOverrides& overrides) {
  for (const auto& [type, text] : overrides) {
    EXPECT_TRUE(SetLocaleInfoA(LOCALE_USER_DEFAULT, type, text.c_str()))
        << "type 0x" << std::hex << type << ", error " << std::dec << GetLastError();
  }
}

const RegionalOverrides kSetD = {{LOCALE_SSHORTDATE, "dd.MM.yyyy"},
                                 {LOCALE_STIMEFORMAT, "HH:mm:ss"}};

const RegionalOverrides kSetU = {{LOCALE_SSHORTDATE, "M/d/yyyy"},
                                 {LOCALE_STIMEFORMAT, "h:mm:ss tt"},
                                 {LOCALE_S1159, "AM"},
                                 {LOCALE_S2359, "PM"}};

RegionalOverrides With(RegionalOverrides base, const RegionalOverrides& changes) {
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
