// vintutil setup and vintutil show, end to end in a private registry.
#include <regex>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "run_cli.h"
#include "temp_registry.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using CliSetupShow = RegistryTest;

const char* const kSections[] = {"STOERSCHRIEB", "SCHNITTSTELLEN", "OPTIONEN", "PROGRAMME",
                                 "VEDORIR"};

// The rows of `show`'s table: name, type, value, default.
std::vector<std::vector<std::string>> TableRows(const std::string& table) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(table);
  std::string line;
  const std::regex columns("  (\\S+)  +(\\S+)  +(.*?)  +(\\S.*)");
  while (std::getline(lines, line)) {
    std::smatch m;
    if (std::regex_match(line, m, columns) && m[2] != "TYPE") {
      rows.push_back({m[1], m[2], m[3], m[4]});
    }
  }
  return rows;
}

TEST_F(CliSetupShow, SetupCreatesTheFiveSectionsAndSaysWhatItWrote) {
  const CliRun run = RunCli({"setup"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (const char* section : kSections) {
    EXPECT_THAT(run.out,
                HasSubstr(std::string("created HKEY_LOCAL_MACHINE\\SOFTWARE\\TORVALE\\VARNO4\\") +
                          section + "\n"));
  }
  EXPECT_THAT(run.out, HasSubstr("wrote     PARAMETERLEVEL = REG_BINARY 2\n"));
  EXPECT_THAT(run.out, HasSubstr("wrote     MATRIX = REG_SZ \"4, 0, 1, 1\"\n"));
  EXPECT_THAT(run.out, HasSubstr("wrote     TOL-T2 = REG_BINARY 0.1\n"));
  EXPECT_THAT(run.out, HasSubstr("wrote     CurrGround = REG_SZ \"LINE\"\n"));
}

TEST_F(CliSetupShow, SecondSetupRefreshesOnlyWhatTheWriterRefreshes) {
  ASSERT_EQ(RunCli({"setup"}).status, 0);
  ASSERT_EQ(RunCli({"reg", "add", "HKLM\\SOFTWARE\\TORVALE\\VARNO4\\OPTIONEN", "/v", "MATRIX", "/d",
                    "1, 2, 3, 4", "/f"})
                .status,
            0);
  ASSERT_EQ(RunCli({"reg", "add", "HKLM\\SOFTWARE\\TORVALE\\VARNO4\\OPTIONEN", "/v", "AUTOSAVE",
                    "/d", "TRUE", "/f"})
                .status,
            0);
  const CliRun run = RunCli({"setup"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out,
              HasSubstr("section HKEY_LOCAL_MACHINE\\SOFTWARE\\TORVALE\\VARNO4\\OPTIONEN\n"));
  EXPECT_THAT(run.out,
              HasSubstr("refreshed MATRIX = REG_SZ \"4, 0, 1, 1\" (was \"1, 2, 3, 4\")\n"));
  EXPECT_THAT(run.out, Not(HasSubstr("AUTOSAVE")));
  EXPECT_THAT(run.out, Not(HasSubstr("created")));

  const CliRun third = RunCli({"setup"});
  EXPECT_EQ(third.status, 0);
  EXPECT_THAT(third.out, HasSubstr("Every value was already in place."));
}

TEST_F(CliSetupShow, SetupThatCannotWriteReportsAndFails) {
  // A registry location that is a file, not a directory: no hive can open.
  const std::string notADirectory = registry_.dir() + "/file";
  WriteFileBytes(notADirectory, "x");
  setenv("VINTUTIL_REGISTRY", notADirectory.c_str(), 1);
  const CliRun run = RunCli({"setup"});
  EXPECT_NE(run.status, 0);
  // One report, in the program's wording, then the one-line reason.
  EXPECT_EQ(run.err,
            "vintutil settings: Cannot open the registry key of the fault-record format (sections "
            "STOERSCHRIEB, SCHNITTSTELLEN, OPTIONEN).\n"
            "vintutil: setup is incomplete: see the reports above\n");
}

TEST_F(CliSetupShow, ShowOnAnEmptyRegistryListsEverySettingAsUnset) {
  const CliRun run = RunCli({"show"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out,
              HasSubstr("HKEY_LOCAL_MACHINE\\SOFTWARE\\TORVALE\\VARNO4\\VEDORIR  (key missing)"));
  const auto rows = TableRows(run.out);
  // 5 + 26 + 6 + 7 + 21 + 2 + 1 + 1 settings.
  EXPECT_EQ(rows.size(), 69u);
  for (const auto& row : rows) EXPECT_EQ(row[2], "unset") << row[0];
}

TEST_F(CliSetupShow, AfterSetupShowFindsEveryDefaultInPlace) {
  ASSERT_EQ(RunCli({"setup"}).status, 0);
  const CliRun run = RunCli({"show"});
  EXPECT_EQ(run.status, 0) << run.err;
  int withDefault = 0;
  for (const auto& row : TableRows(run.out)) {
    if (row[3] == "-") continue;
    ++withDefault;
    EXPECT_EQ(row[2], row[3]) << row[0];
  }
  EXPECT_EQ(withDefault, 5 + 4 + 21);
}

TEST_F(CliSetupShow, ShowFormatsJsonForScripts) {
  ASSERT_EQ(RunCli({"setup"}).status, 0);
  ASSERT_EQ(RunCli({"reg", "add", "HKLM\\SOFTWARE\\TORVALE\\VARNO4\\USERINFO", "/v", "NAME", "/d",
                    "Anna \"A\" Berg"})
                .status,
            0);
  const CliRun run = RunCli({"show", "--format", "json"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("{\"name\": \"PARAMETERLEVEL\", \"type\": \"REG_BINARY\", "
                                 "\"set\": true, \"value\": 2, \"default\": 2}"));
  EXPECT_THAT(run.out, HasSubstr("{\"name\": \"TOL-T2\", \"type\": \"REG_BINARY\", \"set\": true, "
                                 "\"value\": 0.1, \"default\": 0.1}"));
  EXPECT_THAT(run.out, HasSubstr("{\"name\": \"NAME\", \"type\": \"REG_SZ\", \"set\": true, "
                                 "\"value\": \"Anna \\\"A\\\" Berg\", \"default\": null}"));
  EXPECT_THAT(run.out, HasSubstr("{\"name\": \"COMPANY\", \"type\": \"REG_SZ\", \"set\": false, "
                                 "\"value\": null, \"default\": null}"));
}

}  // namespace
