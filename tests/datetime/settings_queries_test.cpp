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

const std::vector<LCTYPE> kDate = {LOCALE_ICENTURY, LOCALE_IMONLZERO, LOCALE_IDAYLZERO,
                                   LOCALE_SDATE, LOCALE_IDATE};
const std::vector<LCTYPE> kTime = {LOCALE_STIME, LOCALE_ITIME, LOCALE_ITLZERO};

std::vector<LCTYPE> Concat(std::vector<LCTYPE> a, const std::vector<LCTYPE>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::string Both(CDatumUhrzeit value) {
  CString text;
  value.GetDatumUhrzeit(text);
  return static_cast<LPCSTR>(text);
}

class SettingsQueriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scripted = true;
    answers = {{LOCALE_ICENTURY, "1"}, {LOCALE_IMONLZERO, "1"}, {LOCALE_IDAYLZERO, "1"},
               {LOCALE_SDATE, "."},    {LOCALE_IDATE, "1"},     {LOCALE_STIME, ":"},
               {LOCALE_ITIME, "1"},    {LOCALE_ITLZERO, "1"},   {LOCALE_S1159, "AM"},
               {LOCALE_S2359, "PM"}};
  }
  void TearDown() override { scripted = false; }
};

TEST_F(SettingsQueriesTest, DateThenTimeSettingsInOrder) {
  queries.clear();
  CDatumUhrzeit fromNumbers(14, 7, 9045, 2024, 3, 5);
  EXPECT_EQ(Concat(kDate, kTime), queries);
  queries.clear();
  CTime time(2024, 3, 5, 14, 7, 9);
  CDatumUhrzeit fromTime(time);
  EXPECT_EQ(Concat(kDate, kTime), queries);
  queries.clear();
  CDatumUhrzeit copy(fromTime);
  Both(copy);
  EXPECT_TRUE(queries.empty());
}

TEST_F(SettingsQueriesTest, DesignatorIsReadOnlyOnTheTwelveHourClock) {
  struct Case {
    const char* clock;
    int hour;
    std::vector<LCTYPE> expected;
  };
  const Case cases[] = {
      {"1", 14, kTime},
      {"2", 14, kTime},
      {"0", 9, Concat(kTime, {LOCALE_S1159})},
      {"0", 0, Concat(kTime, {LOCALE_S1159})},
      {"0", 12, Concat(kTime, {LOCALE_S2359})},
  };
  for (const Case& c : cases) {
    answers[LOCALE_ITIME] = c.clock;
    queries.clear();
    CDatumUhrzeit value(c.hour, 7, 45, 9);
    EXPECT_EQ(c.expected, queries) << "clock " << c.clock << ", hour " << c.hour;
  }
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

}  // namespace
