// Which regional settings CDatumUhrzeit reads, in which order, with which
// buffer, and what it makes of a failed query. The test program's own
// GetLocaleInfoA comes before the stand-in's for the dynamic linker: while a
// test of this file runs it records every query and answers from the test's
// script; otherwise it hands the call on to the stand-in.
#include <DatumUhrzeit.h>

#include <dlfcn.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "regional_test_support.h"

namespace {

bool scripted = false;
std::vector<LCTYPE> queries;
// The answers; a type without one fails, leaving the buffer full of bytes
// that are not a text.
std::map<LCTYPE, std::string> answers;

typedef int(WINAPI* GetLocaleInfoFunction)(LCID, LCTYPE, LPSTR, int);

}  // namespace

extern "C" __attribute__((visibility("default"))) int WINAPI GetLocaleInfoA(LCID Locale,
                                                                            LCTYPE LCType,
                                                                            LPSTR lpLCData,
                                                                            int cchData) {
  if (!scripted) {
    static const auto standIn =
        reinterpret_cast<GetLocaleInfoFunction>(dlsym(RTLD_NEXT, "GetLocaleInfoA"));
    return standIn(Locale, LCType, lpLCData, cchData);
  }
  EXPECT_EQ(static_cast<LCID>(LOCALE_USER_DEFAULT), Locale);
  EXPECT_EQ(128, cchData);
  queries.push_back(LCType);
  memset(lpLCData, 'x', cchData);
  const auto answer = answers.find(LCType);
  if (answer == answers.end()) return 0;
  memcpy(lpLCData, answer->second.c_str(), answer->second.size() + 1);
  return static_cast<int>(answer->second.size()) + 1;
}

namespace {

const std::vector<LCTYPE> kTime = {LOCALE_STIME, LOCALE_ITIME, LOCALE_ITLZERO};

std::vector<LCTYPE> Then(std::vector<LCTYPE> a, const std::vector<LCTYPE>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class SettingsQueriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted = true;
    queries.clear();
    answers = {{LOCALE_ICENTURY, "1"}, {LOCALE_IMONLZERO, "1"}, {LOCALE_IDAYLZERO, "1"},
               {LOCALE_SDATE, "."},    {LOCALE_IDATE, "1"},     {LOCALE_STIME, ":"},
               {LOCALE_ITIME, "1"},    {LOCALE_ITLZERO, "1"},   {LOCALE_S1159, "AM"},
               {LOCALE_S2359, "PM"}};
  }
  void TearDown() override { scripted = false; }
};

// Date settings, then time settings; the designator only on the 12-hour
// clock; a copy reads nothing.
TEST_F(SettingsQueriesTest, ReadsEachSettingOnceInOrder) {
  const std::vector<LCTYPE> date = {LOCALE_ICENTURY, LOCALE_IMONLZERO, LOCALE_IDAYLZERO,
                                    LOCALE_SDATE, LOCALE_IDATE};
  CTime time(2024, 3, 5, 14, 7, 9);
  CDatumUhrzeit fromTime(time);
  EXPECT_EQ(Then(date, kTime), queries);
  const struct {
    const char* clock;
    int hour;
    std::vector<LCTYPE> expected;
  } cases[] = {
      {"1", 14, kTime},
      {"2", 14, kTime},
      {"0", 0, Then(kTime, {LOCALE_S1159})},
      {"0", 12, Then(kTime, {LOCALE_S2359})},
  };
  for (const auto& c : cases) {
    answers[LOCALE_ITIME] = c.clock;
    queries.clear();
    CDatumUhrzeit value(c.hour, 7, 45, 9);
    EXPECT_EQ(c.expected, queries) << "clock " << c.clock << ", hour " << c.hour;
  }
  queries.clear();
  Both(CDatumUhrzeit(fromTime));
  EXPECT_TRUE(queries.empty());
}

TEST_F(SettingsQueriesTest, FailedQueryIsAnEmptyText) {
  for (LCTYPE type : {LOCALE_SDATE, LOCALE_STIME, LOCALE_ICENTURY, LOCALE_IDAYLZERO}) {
    answers.erase(type);
  }
  EXPECT_EQ(" 50324 140709.045", Both(CDatumUhrzeit(14, 7, 9045, 2024, 3, 5)));
  answers[LOCALE_ITIME] = "0";
  answers.erase(LOCALE_S2359);
  EXPECT_EQ(" 020713.045 ", Both(CDatumUhrzeit(14, 7, 9045, 4)));
  answers.erase(LOCALE_IDATE);
  answers.erase(LOCALE_ITIME);
  EXPECT_EQ(" ", Both(CDatumUhrzeit(14, 7, 9045, 2024, 3, 5)));
}

// Each setting is compared whole with "0", "1" and "2": any other text takes
// the other branch.
TEST_F(SettingsQueriesTest, OtherTextsTakeTheOtherBranch) {
  const struct {
    LCTYPE type;
    const char* text;
    const char* expected;
  } cases[] = {
      {LOCALE_ICENTURY, "1 ", "05.03.24 07:05:09.045"},
      {LOCALE_IDAYLZERO, "x", " 5.03.2024 07:05:09.045"},
      {LOCALE_IDATE, "3", " 07:05:09.045"},
      {LOCALE_IDATE, "1 ", " 07:05:09.045"},
      {LOCALE_ITIME, "2", "05.03.2024 "},
      {LOCALE_ITIME, "01", "05.03.2024 "},
      {LOCALE_ITLZERO, "2", "05.03.2024 07:05:09.045"},
  };
  for (const auto& c : cases) {
    const std::string usual = answers[c.type];
    answers[c.type] = c.text;
    EXPECT_EQ(c.expected, Both(CDatumUhrzeit(7, 5, 9045, 2024, 3, 5)))
        << "type 0x" << std::hex << c.type << ", text '" << c.text << "'";
    answers[c.type] = usual;
  }
}

}  // namespace
