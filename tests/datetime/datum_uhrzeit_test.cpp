// CDatumUhrzeit with the regional settings given as the user's overrides.
#include <DatumUhrzeit.h>

#include <stdlib.h>
#include <time.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>
#include <temp_registry.h>

#include "regional_test_support.h"

namespace {

std::string Both(CDatumUhrzeit value) {
  CString text;
  value.GetDatumUhrzeit(text);
  return static_cast<LPCSTR>(text);
}

class DatumUhrzeitTest : public RegistryTest {};

TEST_F(DatumUhrzeitTest, WorkedExamples) {
  struct Example {
    RegionalOverrides settings;
    std::function<CDatumUhrzeit()> make;
    const char *datum, *uhrzeit, *both;
  };
  const Example examples[] = {
      {kSetD, [] { return CDatumUhrzeit(14, 7, 9045, 2024, 3, 5); }, "05.03.2024", "14:07:09.045",
       "05.03.2024 14:07:09.045"},
      {kSetU, [] { return CDatumUhrzeit(14, 7, 9045, 2024, 3, 5); }, " 3/ 5/2024",
       " 2:07:09.045 PM", " 3/ 5/2024  2:07:09.045 PM"},
      {kSetU, [] { return CDatumUhrzeit(9, 30, 0, 0); }, "", " 9:30:00.000 AM", "  9:30:00.000 AM"},
      {kSetD, [] { return CDatumUhrzeit(0, 5, 1500, 10); }, "", "00:05:11.500", " 00:05:11.500"},
      {kSetD, [] { return CDatumUhrzeit(98, 12, 24); }, "24.12.1998", "", "24.12.1998 "},
      {With(kSetD, {{"iCentury", "0"}}), [] { return CDatumUhrzeit(2005, 1, 9); }, "09.01.05", "",
       "09.01.05 "},
      {kSetD, [] { return CDatumUhrzeit(); }, "", "", " "},
  };
  for (const Example& example : examples) {
    SetRegionalOverrides(example.settings);
    CDatumUhrzeit value = example.make();
    CString datum, uhrzeit;
    value.GetDatum(datum);
    value.GetUhrzeit(uhrzeit);
    EXPECT_STREQ(example.datum, datum);
    EXPECT_STREQ(example.uhrzeit, uhrzeit);
    EXPECT_EQ(example.both, Both(value));
  }
}

TEST_F(DatumUhrzeitTest, CenturyRules) {
  struct Case {
    const char* century;
    int year;
    const char* text;
  };
  const Case cases[] = {
      {"1", 0, "2000"},    {"1", 89, "2089"},   {"1", 90, "1990"},  {"1", 199, "2099"},
      {"1", 200, " 200"},  {"1", 1998, "1998"}, {"1", -1, "1999"},  {"1", -2100, "-100"},
      {"0", 1900, "00"},   {"0", 1999, "99"},   {"0", 2000, "00"},  {"0", 2099, "99"},
      {"0", 2100, "00"},   {"0", 150, "50"},    {"0", 2150, "50"},  {"0", 5, "05"},
      {"0", 3500, "1400"}, {"0", -5, "-5"},     {"1 ", 1998, "98"}, {"", 1998, "98"},
  };
  for (const Case& c : cases) {
    SetRegionalOverrides(With(kSetD, {{"iCentury", c.century}}));
    EXPECT_EQ(std::string("01.01.") + c.text + " ", Both(CDatumUhrzeit(c.year, 1, 1)))
        << "century '" << c.century << "', year " << c.year;
  }
}

TEST_F(DatumUhrzeitTest, ConstructorArithmetic) {
  SetRegionalOverrides(kSetD);
  const std::pair<CDatumUhrzeit, const char*> cases[] = {
      // Whole seconds in the milliseconds move to the seconds, without carry.
      {CDatumUhrzeit(8, 0, 2999, 58), " 08:00:60.999"},
      {CDatumUhrzeit(8, 0, 999, 58), " 08:00:58.999"},
      {CDatumUhrzeit(8, 61, -5, 75), " 08:61:75.-05"},
      // The six-argument form takes its seconds from the milliseconds.
      {CDatumUhrzeit(8, 0, 999, 2024, 13, 32), "32.13.2024 08:00:00.999"},
      {CDatumUhrzeit(8, 0, 1000, 2024, 1, 2), "02.01.2024 08:00:01.000"},
      {CDatumUhrzeit(8, 0, 75000, 2024, 1, 2), "02.01.2024 08:00:75.000"},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(expected, Both(value));
}

TEST_F(DatumUhrzeitTest, OrdersClocksPaddingAndSeparators) {
  const std::pair<RegionalOverrides, const char*> cases[] = {
      {{}, "05.03.2024 07:05:09.045"},
      {{{"iDate", "0"}}, "03.05.2024 07:05:09.045"},
      {{{"iDate", "2"}}, "2024.03.05 07:05:09.045"},
      {{{"iDate", "3"}}, " 07:05:09.045"},
      {{{"iDate", ""}}, " 07:05:09.045"},
      {{{"iDate", "1 "}}, " 07:05:09.045"},
      {{{"iTime", "2"}}, "05.03.2024 "},
      {{{"iTime", ""}}, "05.03.2024 "},
      {{{"iTime", "01"}}, "05.03.2024 "},
      {{{"iMonLZero", "0"}, {"iDayLZero", "x"}}, " 5. 3.2024 07:05:09.045"},
      {{{"iTLZero", "0"}}, "05.03.2024  7:05:09.045"},
      {{{"iTLZero", "2"}}, "05.03.2024 07:05:09.045"},
      {{{"sDate", ""}, {"sTime", ""}}, "05032024 070509.045"},
      {{{"sDate", "--"}, {"sTime", " :: "}}, "05--03--2024 07 :: 05 :: 09.045"},
      {{{"sDate", "\xE5\xB9\xB4"}},
       "05\xE5\xB9\xB4"
       "03\xE5\xB9\xB4"
       "2024 07:05:09.045"},
      // The 24-hour clock appends no designator.
      {{{"s1159", "AM"}, {"s2359", "PM"}}, "05.03.2024 07:05:09.045"},
  };
  for (const auto& [changes, expected] : cases) {
    SetRegionalOverrides(With(kSetD, changes));
    EXPECT_EQ(expected, Both(CDatumUhrzeit(7, 5, 9045, 2024, 3, 5)));
  }
}

// Hour 12 is afternoon and hour 0 is written 12, as a reader of a 12-hour
// clock expects.
TEST_F(DatumUhrzeitTest, TwelveHourClock) {
  SetRegionalOverrides(With(kSetU, {{"s1159", "vm"}, {"s2359", "nm"}}));
  const std::pair<int, const char*> cases[] = {
      {0, "12:30:00.000 vm"},  {1, " 1:30:00.000 vm"},  {11, "11:30:00.000 vm"},
      {12, "12:30:00.000 nm"}, {13, " 1:30:00.000 nm"}, {23, "11:30:00.000 nm"},
      {24, "12:30:00.000 nm"}, {25, "13:30:00.000 nm"}, {-1, "-1:30:00.000 vm"},
  };
  for (const auto& [hour, expected] : cases) {
    EXPECT_EQ(std::string(" ") + expected, Both(CDatumUhrzeit(hour, 30, 0, 0))) << hour;
  }
  SetRegionalOverrides({{"iTLZero", "1"}});
  EXPECT_EQ(" 12:05:00.000 vm", Both(CDatumUhrzeit(0, 5, 0, 0)));
  EXPECT_EQ(" 01:05:00.000 nm", Both(CDatumUhrzeit(13, 5, 0, 0)));
}

TEST_F(DatumUhrzeitTest, FromCTimeTakesLocalPartsWithZeroMilliseconds) {
  setenv("TZ", "CET-1", 1);  // one hour east of Greenwich, no summer time
  tzset();
  SetRegionalOverrides(kSetD);
  CTime zeit(2024, 3, 5, 14, 7, 9);
  EXPECT_EQ("05.03.2024 14:07:09.000", Both(CDatumUhrzeit(zeit)));
  CTime epoch(static_cast<time_t>(0));
  EXPECT_EQ("01.01.1970 01:00:00.000", Both(CDatumUhrzeit(epoch)));
}

TEST_F(DatumUhrzeitTest, SettingsAreReadForEveryObjectAndNotKept) {
  SetRegionalOverrides(kSetD);
  const CDatumUhrzeit before(14, 7, 9045, 2024, 3, 5);
  SetRegionalOverrides(kSetU);
  EXPECT_EQ(" 3/ 5/2024  2:07:09.045 PM", Both(CDatumUhrzeit(14, 7, 9045, 2024, 3, 5)));
  EXPECT_EQ("05.03.2024 14:07:09.045", Both(before));
}

}  // namespace
