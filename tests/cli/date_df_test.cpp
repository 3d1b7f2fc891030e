// vintutil date and vintutil df, end to end.
#include <sys/statvfs.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "run_cli.h"
#include "temp_registry.h"

namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;

using CliDate = RegistryTest;

// The user's short date and time pictures: day.month.year with leading zeros
// and four-digit year, 24-hour clock. The settings not overridden come from
// the locale, or its fall-back.
TEST_F(CliDate, PrintsTheDateAndTimeAfterTheOverridesAndSaysWhereEachCameFrom) {
  for (const auto& [name, value] :
       {std::pair{"sShortDate", "dd.MM.yyyy"}, std::pair{"sTimeFormat", "HH:mm:ss"}}) {
    RunOk({"reg", "add", "HKCU\\Control Panel\\International", "/v", name, "/d", value});
  }
  EXPECT_THAT(
      RunOk({"date"}).out,
      MatchesRegex("[0-3][0-9]\\.[01][0-9]\\.[0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\S*\n"));
  const CliRun run = RunOk({"date", "--locale", "C", "--settings"});
  EXPECT_THAT(run.out, HasSubstr("\niCentury\t\"1\"\toverride\n"));
  EXPECT_THAT(run.out, HasSubstr("\nsDate\t\".\"\toverride\n"));
  EXPECT_THAT(run.out, MatchesRegex("(.|\n)*\ns1159\t\"[^\"]*\"\t(locale|fall-back)\n(.|\n)*"));
  EXPECT_THAT(run.out, HasSubstr("\nOverrides honoured, under HKEY_CURRENT_USER\\Control "
                                 "Panel\\International:\n"
                                 "sShortDate\t\"dd.MM.yyyy\"\tdecides iCentury, iMonLZero, "
                                 "iDayLZero, sDate, iDate\n"
                                 "sTimeFormat\t\"HH:mm:ss\"\tdecides sTime, iTime, iTLZero\n"
                                 "s1159\tnot set\ns2359\tnot set\n"));
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 16);
}

// Values Windows keeps beside the overrides, or an override of the wrong
// type, are listed as ignored with the reason; a picture that cannot give a
// setting is reported instead of a date with parts missing.
TEST_F(CliDate, SettingsSayWhatIsIgnoredAndAnUnreadablePictureIsReported) {
  const std::string key = "HKCU\\Control Panel\\International";
  RunOk({"reg", "add", key, "/v", "sDate", "/d", "-"});
  RunOk({"reg", "add", key, "/v", "s1159", "/t", "REG_DWORD", "/d", "1"});
  RunOk({"reg", "add", key, "/v", "sLongDate", "/d", "dddd, d. MMMM yyyy"});
  const CliRun run = RunOk({"date", "--settings"});
  EXPECT_THAT(run.out, HasSubstr("\ns1159\tnot set\n"));
  EXPECT_THAT(run.out,
              HasSubstr("\nValues ignored:\n"
                        "sDate\t\"-\"\tfollows from sShortDate\n"
                        "s1159\t1\tstored as REG_DWORD, not as REG_SZ text\n"
                        "sLongDate\t\"dddd, d. MMMM yyyy\"\tnot one of the settings the date and "
                        "time texts are built from\n"));

  RunOk({"reg", "add", key, "/v", "sShortDate", "/d", "MM/dd"});
  const CliRun unreadable = RunFails(
      {"date"},
      "vintutil: the short date picture \"MM/dd\" (HKEY_CURRENT_USER\\Control "
      "Panel\\International\\sShortDate) has no year (y), so iCentury cannot be read and the "
      "date and time are not printed: correct the picture or delete it\n");
  EXPECT_EQ(unreadable.out, "");
  EXPECT_THAT(RunFails({"date", "--settings"}, "has no year (y)").out,
              ::testing::StartsWith("iCentury\t\"\"\tunreadable\n"));
}

TEST_F(CliDate, LocaleChoosesTheRegionalSettings) {
  RunFails({"date", "--locale", "xx_NOWHERE.UTF-8"},
           "vintutil: locale 'xx_NOWHERE.UTF-8' is not installed (see locale -a)\n");
  const CliRun german = RunCli({"date", "--locale", "de_DE.UTF-8"});
  if (german.status != 0) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  EXPECT_THAT(german.out, MatchesRegex("[0-3][0-9]\\.[01][0-9]\\.[0-9]{4} .*\n"));
}

TEST_F(CliDate, DfPrintsTheFreeMebibytesOfADirectory) {
  struct statvfs st;
  ASSERT_EQ(statvfs(registry_.dir().c_str(), &st), 0);
  const CliRun run = RunOk({"df", registry_.dir()});
  EXPECT_THAT(run.out, MatchesRegex("[0-9]+ MiB\n"));
  // Other processes write to the disk meanwhile: allow a little drift.
  EXPECT_NEAR(std::stoll(run.out), (static_cast<long long>(st.f_bavail) * st.f_frsize) >> 20, 64);
  RunFails({"df", registry_.dir() + "/missing"}, "cannot get the free space of");
}

}  // namespace
