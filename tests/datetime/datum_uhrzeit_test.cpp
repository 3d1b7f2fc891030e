// CDatumUhrzeit with the regional settings given as the user's overrides:
// the short date and time pictures and the designators.
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
  return [=]() mutable { return CDatumUhrzeit(args...); };
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
      {With(kSetD, {{LOCALE_SSHORTDATE, "dd.MM.yy"}}), Make(2005, 1, 9), "09.01.05", "",
       "09.01.05 "},
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

// Four-digit years after "yyyy", two-digit ones after "yy"; a picture
// without a year gives no century setting, which means two digits.
TEST_F(DatumUhrzeitTest, CenturyRules) {
  const char* four = "dd.MM.yyyy";
  const char* two = "dd.MM.yy";
  const struct {
    const char* shortDate;
    int year;
    const char* text;
  } cases[] = {
      {four, 0, "2000"},   {four, 89, "2089"},   {four, 90, "1990"},    {four, 199, "2099"},
      {four, 200, " 200"}, {four, 1998, "1998"}, {four, -1, "1999"},    {four, -2100, "-100"},
      {two, 1900, "00"},   {two, 1999, "99"},    {two, 2000, "00"},     {two, 2099, "99"},
      {two, 2100, "00"},   {two, 150, "50"},     {two, 2150, "50"},     {two, 5, "05"},
      {two, 3500, "1400"}, {two, -5, "-5"},      {"dd.MM", 1998, "98"},
  };
  for (const auto& c : cases) {
    SetRegionalOverrides({{LOCALE_SSHORTDATE, c.shortDate}});
    EXPECT_EQ(std::string("01.01.") + c.text + " ", Both(CDatumUhrzeit(c.year, 1, 1)))
        << c.shortDate << ", year " << c.year;
  }
}

// Constructor arithmetic, orders, clocks, leading zeros and separators.
TEST_F(DatumUhrzeitTest, Texts) {
  setenv("TZ", "CET-1", 1);  // one hour east of Greenwich, no summer time
  tzset();
  const RegionalOverrides vmNm = With(kSetU, {{LOCALE_S1159, "vm"}, {LOCALE_S2359, "nm"}});
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
      // A CTime gives its local parts and millisecond 0.
      {kSetD, Make(CTime(static_cast<time_t>(0))), "01.01.1970 01:00:00.000"},
      {With(kSetD, {{LOCALE_SSHORTDATE, "MM.dd.yyyy"}}), at, "03.05.2024 07:05:09.045"},
      {With(kSetD, {{LOCALE_SSHORTDATE, "yyyy.MM.dd"}}), at, "2024.03.05 07:05:09.045"},
      // A time picture without an hour gives no clock: no time text.
      {With(kSetD, {{LOCALE_STIMEFORMAT, "mm:ss"}}), at, "05.03.2024 "},
      {With(kSetD, {{LOCALE_SSHORTDATE, "d.M.yyyy"}}), at, " 5. 3.2024 07:05:09.045"},
      {With(kSetD, {{LOCALE_STIMEFORMAT, "H:mm:ss"}}), at, "05.03.2024  7:05:09.045"},
      {With(kSetD, {{LOCALE_SSHORTDATE, "ddMMyyyy"}, {LOCALE_STIMEFORMAT, "HHmmss"}}), at,
       "05032024 070509.045"},
      {With(kSetD, {{LOCALE_SSHORTDATE, "dd--MM--yyyy"}, {LOCALE_STIMEFORMAT, "HH :: mm :: ss"}}),
       at, "05--03--2024 07 :: 05 :: 09.045"},
      {With(kSetD, {{LOCALE_SSHORTDATE, "dd\xE5\xB9\xB4MM\xE5\xB9\xB4yyyy"}}), at,
       "05\xE5\xB9\xB4"
       "03\xE5\xB9\xB4"
       "2024 07:05:09.045"},
      // The 24-hour clock appends no designator.
      {With(kSetD, {{LOCALE_S1159, "AM"}, {LOCALE_S2359, "PM"}}), at, "05.03.2024 07:05:09.045"},
      // Hour 12 is afternoon and hour 0 is written 12 on the 12-hour clock.
      {vmNm, Make(0, 30, 0, 0), " 12:30:00.000 vm"},
      {vmNm, Make(11, 30, 0, 0), " 11:30:00.000 vm"},
      {vmNm, Make(12, 30, 0, 0), " 12:30:00.000 nm"},
      {vmNm, Make(13, 30, 0, 0), "  1:30:00.000 nm"},
      {vmNm, Make(24, 30, 0, 0), " 12:30:00.000 nm"},
      {vmNm, Make(25, 30, 0, 0), " 13:30:00.000 nm"},
      {vmNm, Make(-1, 30, 0, 0), " -1:30:00.000 vm"},
      {With(vmNm, {{LOCALE_STIMEFORMAT, "hh:mm:ss tt"}}), Make(0, 5, 0, 0), " 12:05:00.000 vm"},
      {With(vmNm, {{LOCALE_STIMEFORMAT, "hh:mm:ss tt"}}), Make(13, 5, 0, 0), " 01:05:00.000 nm"},
  };
  for (const auto& c : cases) {
    SetRegionalOverrides(c.settings);
    EXPECT_EQ(c.expected, Both(c.make()));
  }
}

}  // namespace
