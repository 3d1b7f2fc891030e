// vintutil setup and vintutil show, end to end in a private registry.
#include <map>
#include <regex>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "registry_values.h"
#include "run_cli.h"
#include "temp_registry.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using CliSetupShow = RegistryTest;

const std::string kVarno4 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\TORVALE\\VARNO4\\";

// The rows of `show`'s table: name, type, value, default.
std::vector<std::vector<std::string>> TableRows(const std::string& table) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(table);
  const std::regex columns("  (\\S+)  +(\\S+)  +(.*?)  +(\\S.*)");
  std::smatch m;
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_match(line, m, columns) && m[2] != "TYPE")
      rows.push_back({m[1], m[2], m[3], m[4]});
  }
  return rows;
}

TEST_F(CliSetupShow, SetupCreatesThenRefreshesWhatTheWriterRefreshes) {
  const CliRun first = RunOk({"setup"});
  EXPECT_EQ(first.err, "");
  for (const std::string& line :
       {"created " + kVarno4 + "STOERSCHRIEB", "created " + kVarno4 + "SCHNITTSTELLEN",
        "created " + kVarno4 + "OPTIONEN", "created " + kVarno4 + "PROGRAMME",
        "created " + kVarno4 + "VEDORIR", std::string("wrote     PARAMETERLEVEL = REG_BINARY 2"),
        std::string("wrote     MATRIX = REG_SZ \"4, 0, 1, 1\""),
        std::string("wrote     TOL-T2 = REG_BINARY 0.1"),
        std::string("wrote     CurrGround = REG_SZ \"LINE\"")}) {
    EXPECT_THAT(first.out, HasSubstr(line + "\n"));
  }

  const std::string options = "HKLM\\SOFTWARE\\TORVALE\\VARNO4\\OPTIONEN";
  RunOk({"reg", "add", options, "/v", "MATRIX", "/d", "1, 2, 3, 4", "/f"});
  RunOk({"reg", "add", options, "/v", "AUTOSAVE", "/d", "TRUE", "/f"});
  const CliRun second = RunOk({"setup"});
  EXPECT_THAT(second.out, HasSubstr("section " + kVarno4 + "OPTIONEN\n"));
  EXPECT_THAT(second.out,
              HasSubstr("refreshed MATRIX = REG_SZ \"4, 0, 1, 1\" (was \"1, 2, 3, 4\")\n"));
  EXPECT_THAT(second.out, Not(HasSubstr("AUTOSAVE")));
  EXPECT_THAT(second.out, Not(HasSubstr("created")));
  EXPECT_THAT(RunOk({"setup"}).out, HasSubstr("Every value was already in place."));
}

TEST_F(CliSetupShow, ShowListsEverySettingWithItsDefault) {
  const CliRun empty = RunOk({"show"});
  EXPECT_THAT(empty.out, HasSubstr(kVarno4 + "VEDORIR  (key missing)"));
  const auto unset = TableRows(empty.out);
  EXPECT_EQ(unset.size(), 5u + 26 + 6 + 7 + 21 + 2 + 1 + 1);
  for (const auto& row : unset) EXPECT_EQ(row[2], "unset") << row[0];

  RunOk({"setup"});
  int withDefault = 0;
  for (const auto& row : TableRows(RunOk({"show"}).out)) {
    if (row[3] == "-") continue;
    ++withDefault;
    EXPECT_EQ(row[2], row[3]) << row[0];
  }
  EXPECT_EQ(withDefault, 5 + 4 + 21);

  RunOk({"reg", "add", "HKLM\\SOFTWARE\\TORVALE\\VARNO4\\USERINFO", "/v", "NAME", "/d",
         "Anna \"A\" Berg"});
  const std::string json = RunOk({"show", "--format", "json"}).out;
  for (const char* entry :
       {"{\"name\": \"PARAMETERLEVEL\", \"type\": \"REG_BINARY\", \"set\": true, \"value\": 2, "
        "\"default\": 2}",
        "{\"name\": \"TOL-T2\", \"type\": \"REG_BINARY\", \"set\": true, \"value\": 0.1, "
        "\"default\": 0.1}",
        "{\"name\": \"NAME\", \"type\": \"REG_SZ\", \"set\": true, \"value\": \"Anna \\\"A\\\" "
        "Berg\", \"default\": null}",
        "{\"name\": \"COMPANY\", \"type\": \"REG_SZ\", \"set\": false, \"value\": null, "
        "\"default\": null}"}) {
    EXPECT_THAT(json, HasSubstr(entry));
  }
}

// What show promises of a stored value: a 4-byte REG_BINARY is a signed
// number, a text with control characters stays on one line, and a setting
// stored otherwise than the suite stores it is marked, as is a plant tools
// folder that cannot be used on this system.
TEST_F(CliSetupShow, ShowDecodesSignedNumbersEscapesControlsAndMarksWrongTypes) {
  regtest::Put(HKEY_LOCAL_MACHINE, kStoerschrieb, "FORMAT", regtest::Binary32(0xFFFFFFFE));
  regtest::Put(HKEY_LOCAL_MACHINE, kOptionen, "PARAMETERLEVEL", regtest::Dword(3));
  regtest::Put(HKEY_LOCAL_MACHINE, kOptionen, "AUTOSAVE", {REG_EXPAND_SZ, std::string("TRUE", 5)});
  regtest::Put(HKEY_LOCAL_MACHINE, kVedorir, "RatingV", regtest::Binary32(100));
  regtest::Put(HKEY_LOCAL_MACHINE, kUserInfo, "NAME", regtest::Text("Anna\nBerg\x1b[2J\t\x7f"));
  regtest::Put(HKEY_LOCAL_MACHINE, kProgramme, "SSTOOLS", regtest::Text("C:\\Tools\\"));

  const std::string table = RunOk({"show"}).out;
  std::map<std::string, std::vector<std::string>> rows;
  for (const auto& row : TableRows(table)) rows[row[0]] = row;
  EXPECT_EQ(rows["FORMAT"][2], "-2");
  EXPECT_EQ(rows["NAME"][2], "\"Anna^JBerg^[[2J^I^?\"");
  const std::string wrong = "  (wrong type: the suite stores ";
  EXPECT_EQ(rows["PARAMETERLEVEL"][1], "REG_DWORD");
  EXPECT_EQ(rows["PARAMETERLEVEL"][3], "2" + wrong + "REG_BINARY of 4 bytes)");
  EXPECT_EQ(rows["AUTOSAVE"][3], "\"FALSE\"" + wrong + "REG_SZ)");
  EXPECT_EQ(rows["RatingV"][3], "100" + wrong + "REG_BINARY of 8 bytes)");
  EXPECT_EQ(rows["FORMAT"][3], "0");  // a signed number of the right type: no mark
#ifndef _WIN32                        // on Windows, a drive letter starts a folder like any other
  EXPECT_EQ(rows["SSTOOLS"][3], "-  (not usable on this system: it is a Windows path)");
#endif

  const std::string json = RunOk({"show", "--format", "json"}).out;
  for (const char* entry :
       {"{\"name\": \"FORMAT\", \"type\": \"REG_BINARY\", \"set\": true, \"value\": -2, "
        "\"default\": 0}",
        "{\"name\": \"PARAMETERLEVEL\", \"type\": \"REG_DWORD\", \"set\": true, \"value\": 3, "
        "\"default\": 2, \"expected\": \"REG_BINARY of 4 bytes\"}",
        "\"value\": \"Anna\\u000aBerg\\u001b[2J\\u0009\x7f\""}) {
    EXPECT_THAT(json, HasSubstr(entry));
  }
#ifndef _WIN32
  EXPECT_THAT(json, HasSubstr("\"default\": null, \"unusable\": \"it is a Windows path\"}"));
#endif
}

}  // namespace
