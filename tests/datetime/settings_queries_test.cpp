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

struct Query {
  LCID locale;
  LCTYPE type;
  int cchData;
  bool operator==(const Query& other) const {
    return locale == other.locale && type == other.type && cchData == other.cchData;
  }
};

bool scripted = false;
std::vector<Query> queries;
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
  queries.push_back({Locale, LCType, cchData});
  memset(lpLCData, 'x', cchData);
  const auto answer = answers.find(LCType);
  if (answer == answers.end()) return 0;
  memcpy(lpLCData, answer->second.c_str(), answer->second.size() + 1);
  return static_cast<int>(answer->second.size()) + 1;
}

namespace {

std::vector<Query> Expected(std::initializer_list<LCTYPE> types) {
  std::vector<Query> expected;
  for (LCTYPE type : types) expected.push_back({LOCALE_USER_DEFAULT, type, 128});
  return expected;
}

const std::vector<Query> kDateQueries =
    Expected({LOCALE_ICENTURY, LOCALE_IMONLZERO, LOCALE_IDAYLZERO, LOCALE_SDATE, LOCALE_IDATE});
const std::vector<Query> kTimeQueries = Expected({LOCALE_STIME, LOCALE_ITIME, LOCALE_ITLZERO});

std::vector<Query> Concat(std::vector<Query> a, const std::vector<Query>& b) {
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

  static std::string Both(CDatumUhrzeit& value) {
    CString text;
    value.GetDatumUhrzeit(text);
    return static_cast<LPCSTR>(text);
  }
};

TEST_F(SettingsQueriesTest, DateReadsItsFiveSettingsInOrder) {
  CDatumUhrzeit value(2024, 3, 5);
  EXPECT_EQ(kDateQueries, queries);
}

TEST_F(SettingsQueriesTest, TimeReadsDesignatorOnlyOnTwelveHourClock) {
  struct Case {
    const char* clock;
    int hour;
    std::vector<Query> expected;
  };
  const Case cases[] = {
      {"1", 14, kTimeQueries},
      {"0", 9, Concat(kTimeQueries, Expected({LOCALE_S1159}))},
      {"0", 0, Concat(kTimeQueries, Expected({LOCALE_S1159}))},
      {"0", 12, Concat(kTimeQueries, Expected({LOCALE_S2359}))},
      {"0", 14, Concat(kTimeQueries, Expected({LOCALE_S2359}))},
      {"2", 14, kTimeQueries},
  };
  for (const Case& c : cases) {
    answers[LOCALE_ITIME] = c.clock;
    queries.clear();
    CDatumUhrzeit value(c.hour, 7, 45, 9);
    EXPECT_EQ(c.expected, queries) << "clock " << c.clock << ", hour " << c.hour;
  }
}

TEST_F(SettingsQueriesTest, DateAndTimeBuildDateFirst) {
  CDatumUhrzeit fromNumbers(14, 7, 9045, 2024, 3, 5);
  EXPECT_EQ(Concat(kDateQueries, kTimeQueries), queries);
  queries.clear();
  CTime time(2024, 3, 5, 14, 7, 9);
  CDatumUhrzeit fromTime(time);
  EXPECT_EQ(Concat(kDateQueries, kTimeQueries), queries);
}

TEST_F(SettingsQueriesTest, CopiesAndGettersReadNothing) {
  CDatumUhrzeit value(14, 7, 9045, 2024, 3, 5);
  queries.clear();
  CDatumUhrzeit copy(value);
  copy = value;
  CString text;
  copy.GetDatum(text);
  copy.GetUhrzeit(text);
  copy.GetDatumUhrzeit(text);
  EXPECT_TRUE(queries.empty());
}

TEST_F(SettingsQueriesTest, FailedQueryIsAnEmptyText) {
  answers.erase(LOCALE_SDATE);
  answers.erase(LOCALE_STIME);
  CDatumUhrzeit value(14, 7, 9045, 2024, 3, 5);
  EXPECT_EQ("05032024 140709.045", Both(value));

  answers[LOCALE_ITIME] = "0";
  answers.erase(LOCALE_S2359);
  CDatumUhrzeit noDesignator(14, 7, 9045, 4);
  EXPECT_EQ(" 020713.045 ", Both(noDesignator));

  // A failed century or leading-zero query selects the other branch.
  answers.erase(LOCALE_ICENTURY);
  answers.erase(LOCALE_IDAYLZERO);
  CDatumUhrzeit shortYear(2024, 3, 5);
  EXPECT_EQ(" 50324 ", Both(shortYear));
}

TEST_F(SettingsQueriesTest, FailedOrderOrClockBuildsNoText) {
  answers.erase(LOCALE_IDATE);
  answers.erase(LOCALE_ITIME);
  CDatumUhrzeit value(14, 7, 9045, 2024, 3, 5);
  EXPECT_EQ(" ", Both(value));
}

}  // namespace
