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
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 11);
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
