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

using DatumUhrzeitTest = RegistryTest;

// A maker of the value, so that it is built after its settings are written.
template <typename... Args>
std::function<CDatumUhrzeit()> Make(Args... args) {
  return [=] { return CDatumUhrzeit(args...); };
}

TEST_F(DatumUhrzeitTest, WorkedExamples) {
  const struct {
    RegionalOverrides settings;
    std::function<CDatumUhrzeit()> make;
    const char *datum, *uhrzeit, *both;
  } examples[] = {
      {kSetD, Make(14, 7, 9045, 2024, 3, 5), "05.03.2024", "14:07:09.045",
       "05.03.2024 14:07:09.045"},
      {kSetU, Make(14, 7, 9045, 2024, 3, 5), " 3/ 5/2024", " 2:07:09.045 PM",
       " 3/ 5/2024  2:07:09.045 PM"},
      {kSetU, Make(9, 30, 0, 0), "", " 9:30:00.000 AM", "  9:30:00.000 AM"},
      {kSetD, Make(0, 5, 1500, 10), "", "00:05:11.500", " 00:05:11.500"},
      {kSetD, Make(98, 12, 24), "24.12.1998", "", "24.12.1998 "},
      {With(kSetD, {{"iCentury", "0"}}), Make(2005, 1, 9), "09.01.05", "", "09.01.05 "},
      {kSetD, [] { return CDatumUhrzeit(); }, "", "", " "},
  };
  for (const auto& example : examples) {
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
  const struct {
    const char* century;
    int year;
    const char* text;
  } cases[] = {
      {"1", 0, "2000"},    {"1", 89, "2089"},   {"1", 90, "1990"},  {"1", 199, "2099"},
      {"1", 200, " 200"},  {"1", 1998, "1998"}, {"1", -1, "1999"},  {"1", -2100, "-100"},
      {"0", 1900, "00"},   {"0", 1999, "99"},   {"0", 2000, "00"},  {"0", 2099, "99"},
      {"0", 2100, "00"},   {"0", 150, "50"},    {"0", 2150, "50"},  {"0", 5, "05"},
      {"0", 3500, "1400"}, {"0", -5, "-5"},     {"1 ", 1998, "98"}, {"", 1998, "98"},
  };
  for (const auto& c : cases) {
    SetRegionalOverrides(With(kSetD, {{"iCentury", c.century}}));
    EXPECT_EQ(std::string("01.01.") + c.text + " ", Both(CDatumUhrzeit(c.year, 1, 1)))
        << "century '" << c.century << "', year " << c.year;
  }
}

// Constructor arithmetic, orders, clocks, leading zeros and separators.
TEST_F(DatumUhrzeitTest, Texts) {
  const RegionalOverrides vmNm = With(kSetU, {{"s1159", "vm"}, {"s2359", "nm"}});
  const auto at = Make(7, 5, 9045, 2024, 3, 5);
  const struct {
    RegionalOverrides settings;
    std::function<CDatumUhrzeit()> make;
    const char* expected;
  } cases[] = {
      // Whole seconds in the milliseconds move to the seconds, without carry.
      {kSetD, Make(8, 0, 2999, 58), " 08:00:60.999"},
      {kSetD, Make(8, 0, 999, 58), " 08:00:58.999"},
      {kSetD, Make(8, 61, -5, 75), " 08:61:75.-05"},
      // The six-argument form takes its seconds from the milliseconds.
      {kSetD, Make(8, 0, 999, 2024, 13, 32), "32.13.2024 08:00:00.999"},
      {kSetD, Make(8, 0, 75000, 2024, 1, 2), "02.01.2024 08:00:75.000"},
      {With(kSetD, {{"iDate", "0"}}), at, "03.05.2024 07:05:09.045"},
      {With(kSetD, {{"iDate", "2"}}), at, "2024.03.05 07:05:09.045"},
      // An unknown order or clock leaves its text empty.
      {With(kSetD, {{"iDate", "3"}}), at, " 07:05:09.045"},
      {With(kSetD, {{"iDate", ""}}), at, " 07:05:09.045"},
      {With(kSetD, {{"iDate", "1 "}}), at, " 07:05:09.045"},
      {With(kSetD, {{"iTime", "2"}}), at, "05.03.2024 "},
      {With(kSetD, {{"iTime", "01"}}), at, "05.03.2024 "},
      {With(kSetD, {{"iMonLZero", "0"}, {"iDayLZero", "x"}}), at, " 5. 3.2024 07:05:09.045"},
      {With(kSetD, {{"iTLZero", "0"}}), at, "05.03.2024  7:05:09.045"},
      {With(kSetD, {{"iTLZero", "2"}}), at, "05.03.2024 07:05:09.045"},
      {With(kSetD, {{"sDate", ""}, {"sTime", ""}}), at, "05032024 070509.045"},
      {With(kSetD, {{"sDate", "--"}, {"sTime", " :: "}}), at, "05--03--2024 07 :: 05 :: 09.045"},
      {With(kSetD, {{"sDate", "\xE5\xB9\xB4"}}), at,
       "05\xE5\xB9\xB4"
       "03\xE5\xB9\xB4"
       "2024 07:05:09.045"},
      // The 24-hour clock appends no designator.
      {With(kSetD, {{"s1159", "AM"}, {"s2359", "PM"}}), at, "05.03.2024 07:05:09.045"},
      // Hour 12 is afternoon and hour 0 is written 12 on the 12-hour clock.
      {vmNm, Make(0, 30, 0, 0), " 12:30:00.000 vm"},
      {vmNm, Make(11, 30, 0, 0), " 11:30:00.000 vm"},
      {vmNm, Make(12, 30, 0, 0), " 12:30:00.000 nm"},
      {vmNm, Make(13, 30, 0, 0), "  1:30:00.000 nm"},
      {vmNm, Make(24, 30, 0, 0), " 12:30:00.000 nm"},
      {vmNm, Make(25, 30, 0, 0), " 13:30:00.000 nm"},
      {vmNm, Make(-1, 30, 0, 0), " -1:30:00.000 vm"},
      {With(vmNm, {{"iTLZero", "1"}}), Make(0, 5, 0, 0), " 12:05:00.000 vm"},
      {With(vmNm, {{"iTLZero", "1"}}), Make(13, 5, 0, 0), " 01:05:00.000 nm"},
  };
  for (const auto& c : cases) {
    SetRegionalOverrides(c.settings);
    EXPECT_EQ(c.expected, Both(c.make()));
  }
}

TEST_F(DatumUhrzeitTest, FromCTimeTakesLocalPartsWithZeroMilliseconds) {
  setenv("TZ", "CET-1", 1);  // one hour east of Greenwich, no summer time
  tzset();
  SetRegionalOverrides(kSetD);
  CTime epoch(static_cast<time_t>(0));
  EXPECT_EQ("01.01.1970 01:00:00.000", Both(CDatumUhrzeit(epoch)));
}

}  // namespace
