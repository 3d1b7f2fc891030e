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

struct Texts {
  std::string datum, uhrzeit, beide;
};

Texts TextsOf(CDatumUhrzeit& value) {
  CString datum, uhrzeit, beide;
  value.GetDatum(datum);
  value.GetUhrzeit(uhrzeit);
  value.GetDatumUhrzeit(beide);
  return {static_cast<LPCSTR>(datum), static_cast<LPCSTR>(uhrzeit), static_cast<LPCSTR>(beide)};
}

std::string DateOf(int j, int m, int t) {
  CDatumUhrzeit value(j, m, t);
  return TextsOf(value).datum;
}

std::string TimeOf(int h, int min, int ms, int s) {
  CDatumUhrzeit value(h, min, ms, s);
  return TextsOf(value).uhrzeit;
}

class DatumUhrzeitTest : public RegistryTest {};

struct WorkedExample {
  const char* name;
  const RegionalOverrides* settings;
  std::function<CDatumUhrzeit()> make;
  Texts expected;
};

TEST_F(DatumUhrzeitTest, WorkedExamples) {
  const RegionalOverrides setDCentury0 = With(kSetD, {{"iCentury", "0"}});
  const WorkedExample examples[] = {
      {"date and time, D",
       &kSetD,
       [] { return CDatumUhrzeit(14, 7, 9045, 2024, 3, 5); },
       {"05.03.2024", "14:07:09.045", "05.03.2024 14:07:09.045"}},
      {"date and time, U",
       &kSetU,
       [] { return CDatumUhrzeit(14, 7, 9045, 2024, 3, 5); },
       {" 3/ 5/2024", " 2:07:09.045 PM", " 3/ 5/2024  2:07:09.045 PM"}},
      {"morning time, U",
       &kSetU,
       [] { return CDatumUhrzeit(9, 30, 0, 0); },
       {"", " 9:30:00.000 AM", "  9:30:00.000 AM"}},
      {"milliseconds carried, D",
       &kSetD,
       [] { return CDatumUhrzeit(0, 5, 1500, 10); },
       {"", "00:05:11.500", " 00:05:11.500"}},
      {"two-digit year 98, D",
       &kSetD,
       [] { return CDatumUhrzeit(98, 12, 24); },
       {"24.12.1998", "", "24.12.1998 "}},
      {"century 0, D",
       &setDCentury0,
       [] { return CDatumUhrzeit(2005, 1, 9); },
       {"09.01.05", "", "09.01.05 "}},
  };
  for (const WorkedExample& example : examples) {
    SCOPED_TRACE(example.name);
    SetRegionalOverrides(*example.settings);
    CDatumUhrzeit value = example.make();
    const Texts texts = TextsOf(value);
    EXPECT_EQ(example.expected.datum, texts.datum);
    EXPECT_EQ(example.expected.uhrzeit, texts.uhrzeit);
    EXPECT_EQ(example.expected.beide, texts.beide);
  }
}

TEST_F(DatumUhrzeitTest, DefaultConstructedHasEmptyTextsJoinedByOneSpace) {
  SetRegionalOverrides(kSetD);
  CDatumUhrzeit value;
  const Texts texts = TextsOf(value);
  EXPECT_EQ("", texts.datum);
  EXPECT_EQ("", texts.uhrzeit);
  EXPECT_EQ(" ", texts.beide);
}

TEST_F(DatumUhrzeitTest, FourDigitCenturyMapsShortYears) {
  SetRegionalOverrides(kSetD);
  const std::pair<int, const char*> years[] = {
      {0, "2000"},    {89, "2089"}, {90, "1990"},  {199, "2099"},   {200, " 200"},
      {1998, "1998"}, {-1, "1999"}, {-90, "1910"}, {-2100, "-100"}, {12345, "12345"}};
  for (const auto& [year, text] : years) {
    EXPECT_EQ(std::string("01.01.") + text, DateOf(year, 1, 1)) << "year " << year;
  }
}

TEST_F(DatumUhrzeitTest, TwoDigitCenturyKeepsLastTwoDigits) {
  SetRegionalOverrides(With(kSetD, {{"iCentury", "0"}}));
  const std::pair<int, const char*> years[] = {
      {1900, "00"}, {1999, "99"}, {2000, "00"}, {2099, "99"}, {2100, "00"},   {2005, "05"},
      {150, "50"},  {2150, "50"}, {99, "99"},   {5, "05"},    {3500, "1400"}, {-5, "-5"}};
  for (const auto& [year, text] : years) {
    EXPECT_EQ(std::string("01.01.") + text, DateOf(year, 1, 1)) << "year " << year;
  }
}

TEST_F(DatumUhrzeitTest, CenturyOtherThanOneMeansTwoDigits) {
  for (const char* century : {"0", "2", "", "01", "1 "}) {
    SetRegionalOverrides(With(kSetD, {{"iCentury", century}}));
    EXPECT_EQ("01.01.98", DateOf(1998, 1, 1)) << "century '" << century << "'";
  }
}

TEST_F(DatumUhrzeitTest, LeadingZerosOfMonthAndDay) {
  struct Case {
    const char *monthZero, *dayZero, *expected;
  };
  const Case cases[] = {{"1", "1", "04.03.2024"},
                        {"0", "0", " 4. 3.2024"},
                        {"1", "0", " 4.03.2024"},
                        {"x", "01", " 4. 3.2024"}};
  for (const Case& c : cases) {
    SetRegionalOverrides(With(kSetD, {{"iMonLZero", c.monthZero}, {"iDayLZero", c.dayZero}}));
    EXPECT_EQ(c.expected, DateOf(2024, 3, 4)) << c.monthZero << "/" << c.dayZero;
  }
  // Numbers of more digits than the width are written whole.
  SetRegionalOverrides(kSetD);
  EXPECT_EQ("32.13.2024", DateOf(2024, 13, 32));
}

TEST_F(DatumUhrzeitTest, DateOrders) {
  const std::pair<const char*, const char*> orders[] = {
      {"0", "03.04.2024"}, {"1", "04.03.2024"}, {"2", "2024.03.04"}};
  for (const auto& [order, expected] : orders) {
    SetRegionalOverrides(With(kSetD, {{"iDate", order}}));
    EXPECT_EQ(expected, DateOf(2024, 3, 4)) << "order " << order;
  }
}

TEST_F(DatumUhrzeitTest, UnknownDateOrderLeavesDateEmpty) {
  for (const char* order : {"3", "", "00", "1 ", "-1", "D"}) {
    SetRegionalOverrides(With(kSetD, {{"iDate", order}}));
    CDatumUhrzeit value(14, 7, 9045, 2024, 3, 5);
    const Texts texts = TextsOf(value);
    EXPECT_EQ("", texts.datum) << "order '" << order << "'";
    EXPECT_EQ("14:07:09.045", texts.uhrzeit);
  }
}

TEST_F(DatumUhrzeitTest, UnknownClockLeavesTimeEmpty) {
  for (const char* clock : {"2", "", "00", "1 ", "24"}) {
    SetRegionalOverrides(With(kSetU, {{"iTime", clock}}));
    CDatumUhrzeit value(14, 7, 9045, 2024, 3, 5);
    const Texts texts = TextsOf(value);
    EXPECT_EQ(" 3/ 5/2024", texts.datum) << "clock '" << clock << "'";
    EXPECT_EQ("", texts.uhrzeit);
    EXPECT_EQ(" 3/ 5/2024 ", texts.beide);
  }
}

TEST_F(DatumUhrzeitTest, SeparatorsAreUsedWhole) {
  const std::pair<const char*, const char*> separators[] = {
      {"", ""}, {"--", "--"}, {" :: ", " :: "}, {"\xE5\xB9\xB4", "\xE5\xB9\xB4"}};
  for (const auto& [separator, inserted] : separators) {
    SetRegionalOverrides(With(kSetD, {{"sDate", separator}, {"sTime", separator}}));
    CDatumUhrzeit value(14, 7, 9045, 2024, 3, 5);
    const Texts texts = TextsOf(value);
    const std::string s = inserted;
    EXPECT_EQ("05" + s + "03" + s + "2024", texts.datum) << "separator '" << separator << "'";
    EXPECT_EQ("14" + s + "07" + s + "09.045", texts.uhrzeit);
  }
}

TEST_F(DatumUhrzeitTest, TwelveHourClock) {
  // Hour 12 is afternoon and hour 0 is written 12, as a reader of a 12-hour
  // clock expects.
  struct Case {
    int hour;
    const char* withoutZero;
    const char* withZero;
  };
  const Case cases[] = {
      {0, "12:30:00.000 vm", "12:30:00.000 vm"},  {1, " 1:30:00.000 vm", "01:30:00.000 vm"},
      {11, "11:30:00.000 vm", "11:30:00.000 vm"}, {12, "12:30:00.000 nm", "12:30:00.000 nm"},
      {13, " 1:30:00.000 nm", "01:30:00.000 nm"}, {23, "11:30:00.000 nm", "11:30:00.000 nm"},
      {24, "12:30:00.000 nm", "12:30:00.000 nm"}, {25, "13:30:00.000 nm", "13:30:00.000 nm"},
      {-1, "-1:30:00.000 vm", "-1:30:00.000 vm"},
  };
  const RegionalOverrides twelveHour = With(kSetU, {{"s1159", "vm"}, {"s2359", "nm"}});
  for (const Case& c : cases) {
    SetRegionalOverrides(With(twelveHour, {{"iTLZero", "0"}}));
    EXPECT_EQ(c.withoutZero, TimeOf(c.hour, 30, 0, 0)) << "hour " << c.hour;
    SetRegionalOverrides(With(twelveHour, {{"iTLZero", "1"}}));
    EXPECT_EQ(c.withZero, TimeOf(c.hour, 30, 0, 0)) << "hour " << c.hour;
  }
}

TEST_F(DatumUhrzeitTest, TwentyFourHourClockHasNoDesignator) {
  SetRegionalOverrides(With(kSetD, {{"s1159", "AM"}, {"s2359", "PM"}}));
  EXPECT_EQ("00:05:00.000", TimeOf(0, 5, 0, 0));
  EXPECT_EQ("23:05:00.000", TimeOf(23, 5, 0, 0));
  EXPECT_EQ("25:05:00.000", TimeOf(25, 5, 0, 0));
  // Only "0" gives the space-padded hour; any other text the zero.
  SetRegionalOverrides(With(kSetD, {{"iTLZero", "0"}}));
  EXPECT_EQ(" 7:05:00.000", TimeOf(7, 5, 0, 0));
  SetRegionalOverrides(With(kSetD, {{"iTLZero", "2"}}));
  EXPECT_EQ("07:05:00.000", TimeOf(7, 5, 0, 0));
}

TEST_F(DatumUhrzeitTest, FourArgumentConstructorCarriesWholeSeconds) {
  SetRegionalOverrides(kSetD);
  EXPECT_EQ("08:00:60.999", TimeOf(8, 0, 2999, 58));
  EXPECT_EQ("08:00:58.999", TimeOf(8, 0, 999, 58));
  EXPECT_EQ("08:00:59.000", TimeOf(8, 0, 1000, 58));
  EXPECT_EQ("08:00:75.000", TimeOf(8, 0, 0, 75));
  // No range checks: negative milliseconds stay, no carry into the minutes.
  EXPECT_EQ("08:61:00.-1234", TimeOf(8, 61, -1234, 0));
  EXPECT_EQ("08:00:00.-05", TimeOf(8, 0, -5, 0));
}

TEST_F(DatumUhrzeitTest, SixArgumentConstructorTakesSecondsFromMilliseconds) {
  SetRegionalOverrides(kSetD);
  const std::pair<int, const char*> cases[] = {{999, "08:00:00.999"},
                                               {1000, "08:00:01.000"},
                                               {59999, "08:00:59.999"},
                                               {75000, "08:00:75.000"},
                                               {0, "08:00:00.000"}};
  for (const auto& [ms, expected] : cases) {
    CDatumUhrzeit value(8, 0, ms, 2024, 1, 2);
    const Texts texts = TextsOf(value);
    EXPECT_EQ(expected, texts.uhrzeit) << "ms " << ms;
    EXPECT_EQ("02.01.2024", texts.datum);
  }
}

TEST_F(DatumUhrzeitTest, FromCTimeTakesLocalPartsWithZeroMilliseconds) {
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  SetRegionalOverrides(kSetD);
  CTime zeit(2024, 3, 5, 14, 7, 9);
  CDatumUhrzeit value(zeit);
  EXPECT_EQ("05.03.2024 14:07:09.000", TextsOf(value).beide);
  CTime epoch(static_cast<time_t>(0));  // 01:00 in Berlin
  CDatumUhrzeit atEpoch(epoch);
  EXPECT_EQ("01.01.1970 01:00:00.000", TextsOf(atEpoch).beide);
}

TEST_F(DatumUhrzeitTest, SettingsAreReadForEveryTextAndNotKept) {
  SetRegionalOverrides(kSetD);
  CDatumUhrzeit before(14, 7, 9045, 2024, 3, 5);
  SetRegionalOverrides(kSetU);
  CDatumUhrzeit after(14, 7, 9045, 2024, 3, 5);
  EXPECT_EQ("05.03.2024 14:07:09.045", TextsOf(before).beide);
  EXPECT_EQ(" 3/ 5/2024  2:07:09.045 PM", TextsOf(after).beide);
}

TEST_F(DatumUhrzeitTest, CopyAndAssignmentTakeBothTexts) {
  SetRegionalOverrides(kSetD);
  CDatumUhrzeit original(14, 7, 9045, 2024, 3, 5);
  CDatumUhrzeit copy(original);
  CDatumUhrzeit assigned(1, 2, 3, 4);
  CDatumUhrzeit& result = (assigned = original);
  EXPECT_EQ(&assigned, &result);
  EXPECT_EQ("05.03.2024 14:07:09.045", TextsOf(copy).beide);
  EXPECT_EQ("05.03.2024 14:07:09.045", TextsOf(assigned).beide);
  CDatumUhrzeit empty;
  assigned = empty;
  EXPECT_EQ(" ", TextsOf(assigned).beide);
}

}  // namespace
