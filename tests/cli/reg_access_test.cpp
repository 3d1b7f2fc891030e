// vintutil reg query, add and delete, end to end in a private registry.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "run_cli.h"
#include "temp_registry.h"

namespace {

using ::testing::HasSubstr;

using CliReg = RegistryTest;

constexpr const char* kKey = "HKCU\\Software\\Test";
constexpr const char* kDone = "The operation completed successfully.\n";

struct TypedCase {
  std::vector<std::string> addArgs;  // after KEY
  std::string queryLine;             // what `reg query KEY /v NAME` shows
};

void PrintTo(const TypedCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.addArgs); }

class CliRegTypes : public RegistryTest, public ::testing::WithParamInterface<TypedCase> {};

TEST_P(CliRegTypes, AddThenQueryShowsTheValueAsRegExeDoes) {
  const TypedCase& c = GetParam();
  std::vector<std::string> add{"reg", "add", kKey};
  add.insert(add.end(), c.addArgs.begin(), c.addArgs.end());
  const CliRun added = RunCli(add);
  ASSERT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(added.out, kDone);

  const std::string name = c.addArgs[0] == "/ve" ? "" : c.addArgs[1];
  const CliRun query =
      RunCli(name.empty() ? std::vector<std::string>{"reg", "query", kKey, "/ve"}
                          : std::vector<std::string>{"reg", "query", kKey, "/v", name});
  EXPECT_EQ(query.status, 0) << query.err;
  EXPECT_EQ(query.out, "\nHKEY_CURRENT_USER\\Software\\Test\n" + c.queryLine + "\n\n");
}

INSTANTIATE_TEST_SUITE_P(
    EveryType, CliRegTypes,
    ::testing::Values(
        TypedCase{{"/v", "Text", "/d", "hello world"}, "    Text    REG_SZ    hello world"},
        TypedCase{{"/v", "Expand", "/t", "REG_EXPAND_SZ", "/d", "%HOME%/x"},
                  "    Expand    REG_EXPAND_SZ    %HOME%/x"},
        TypedCase{{"/v", "Multi", "/t", "REG_MULTI_SZ", "/d", "a\\0b\\0c"},
                  "    Multi    REG_MULTI_SZ    a\\0b\\0c"},
        TypedCase{{"/v", "Dword", "/t", "REG_DWORD", "/d", "4294967295"},
                  "    Dword    REG_DWORD    0xffffffff"},
        TypedCase{{"--value", "Hex", "--type", "reg_dword", "--data", "0x2A"},
                  "    Hex    REG_DWORD    0x2a"},
        TypedCase{{"/v", "Qword", "/t", "REG_QWORD", "/d", "0x1122334455667788"},
                  "    Qword    REG_QWORD    0x1122334455667788"},
        TypedCase{{"/v", "Bin", "/t", "REG_BINARY", "/d", "00ff10"},
                  "    Bin    REG_BINARY    00FF10"},
        TypedCase{{"/v", "None", "/t", "REG_NONE", "/d", "ab"}, "    None    REG_NONE    AB"},
        TypedCase{{"/ve", "/d", "default"}, "    (Default)    REG_SZ    default"},
        // Data that looks like a switch is data.
        TypedCase{{"/V", "Path", "/D", "/f"}, "    Path    REG_SZ    /f"}));

TEST_F(CliReg, QueryListsValuesThenSubkeys) {
  ASSERT_EQ(RunCli({"reg", "add", "HKEY_CURRENT_USER\\Software\\Test\\Sub"}).status, 0);
  ASSERT_EQ(RunCli({"reg", "add", kKey, "/v", "A", "/d", "1"}).status, 0);
  const CliRun run = RunCli({"reg", "query", "hkcu\\Software\\Test\\"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "\nHKEY_CURRENT_USER\\Software\\Test\n    A    REG_SZ    1\n\n"
            "HKEY_CURRENT_USER\\Software\\Test\\Sub\n");

  const CliRun recursive = RunCli({"reg", "query", "HKCU\\Software", "/s"});
  EXPECT_EQ(recursive.status, 0);
  EXPECT_EQ(recursive.out,
            "\nHKEY_CURRENT_USER\\Software\n"
            "\nHKEY_CURRENT_USER\\Software\\Test\n    A    REG_SZ    1\n"
            "\nHKEY_CURRENT_USER\\Software\\Test\\Sub\n"
            "\nEnd of search: 1 match(es) found.\n");
}

TEST_F(CliReg, OverwriteWithoutForceIsRefusedWhenNobodyCanConfirm) {
  ASSERT_EQ(RunCli({"reg", "add", kKey, "/v", "A", "/d", "old"}).status, 0);
  const CliRun refused = RunCli({"reg", "add", kKey, "/v", "A", "/d", "new"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(
      refused.err,
      "vintutil: HKEY_CURRENT_USER\\Software\\Test, value A exists and is kept: standard input "
      "is not a terminal, so this cannot be confirmed: add /f (--force)\n");
  EXPECT_THAT(RunCli({"reg", "query", kKey, "/v", "A"}).out, HasSubstr("REG_SZ    old"));

  EXPECT_EQ(RunCli({"reg", "add", kKey, "/v", "A", "/d", "new", "/f"}).status, 0);
  EXPECT_THAT(RunCli({"reg", "query", kKey, "/v", "A"}).out, HasSubstr("REG_SZ    new"));
}

TEST_F(CliReg, DeleteAsksForConfirmationAndRemovesValueOrWholeKey) {
  ASSERT_EQ(
      RunCli({"reg", "add", "HKCU\\Software\\Test\\Sub\\Deeper", "/v", "x", "/d", "1"}).status, 0);
  ASSERT_EQ(RunCli({"reg", "add", kKey, "/v", "A", "/d", "1"}).status, 0);

  EXPECT_EQ(RunCli({"reg", "delete", kKey, "/v", "A"}).status, 1);
  EXPECT_EQ(RunCli({"reg", "query", kKey, "/v", "A"}).status, 0);
  EXPECT_EQ(RunCli({"reg", "delete", kKey, "/v", "A", "/f"}).out, kDone);
  EXPECT_EQ(RunCli({"reg", "query", kKey, "/v", "A"}).status, 1);

  EXPECT_EQ(RunCli({"reg", "delete", kKey}).status, 1);
  const CliRun deleted = RunCli({"reg", "delete", kKey, "--force"});
  EXPECT_EQ(deleted.status, 0) << deleted.err;
  EXPECT_EQ(RunCli({"reg", "query", "HKCU\\Software\\Test\\Sub\\Deeper"}).status, 1);
  EXPECT_EQ(RunCli({"reg", "query", kKey}).status, 1);
  EXPECT_EQ(RunCli({"reg", "query", "HKCU\\Software"}).status, 0);
}

TEST_F(CliReg, MachineAndUserHivesAreSeparate) {
  ASSERT_EQ(RunCli({"reg", "add", "HKLM\\Software\\Same", "/v", "where", "/d", "machine"}).status,
            0);
  ASSERT_EQ(RunCli({"reg", "add", "HKCU\\Software\\Same", "/v", "where", "/d", "user"}).status, 0);
  EXPECT_THAT(RunCli({"reg", "query", "HKEY_LOCAL_MACHINE\\Software\\Same"}).out,
              HasSubstr("REG_SZ    machine"));
  EXPECT_THAT(RunCli({"reg", "query", "HKCU\\Software\\Same"}).out, HasSubstr("REG_SZ    user"));
}

struct FailureCase {
  std::vector<std::string> args;
  int status;
  std::string reason;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << ::testing::PrintToString(c.args); }

class CliRegFailures : public RegistryTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CliRegFailures, ExitNonZeroWithOneLineReason) {
  const CliRun run = RunCli(GetParam().args);
  EXPECT_EQ(run.status, GetParam().status);
  EXPECT_THAT(run.err, HasSubstr(GetParam().reason));
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliRegFailures,
    ::testing::Values(
        FailureCase{{"reg", "query", "HKCR\\x"}, 1, "unknown root"},
        FailureCase{{"reg", "query", "HKCU\\Missing"}, 1, "does not exist"},
        FailureCase{{"reg", "query", "HKCU", "/v", "missing"}, 1, "value missing: the key"},
        FailureCase{{"reg", "add", "HKCU\\x", "/v", "a", "/t", "REG_TEXT"}, 1, "unknown type"},
        FailureCase{{"reg", "add", "HKCU\\x", "/v", "a", "/t", "REG_DWORD", "/d", "-1"},
                    1,
                    "not a 32-bit number"},
        FailureCase{{"reg", "add", "HKCU\\x", "/v", "a", "/t", "REG_DWORD", "/d", "4294967296"},
                    1,
                    "not a 32-bit number"},
        FailureCase{{"reg", "add", "HKCU\\x", "/v", "a", "/t", "REG_BINARY", "/d", "abc"},
                    1,
                    "two digits per byte"},
        FailureCase{{"reg", "add", "HKCU\\x", "/v", "a", "/t", "REG_BINARY", "/d", "zz"},
                    1,
                    "not hex data"},
        FailureCase{{"reg", "add", "HKCU\\x", "/d", "data"}, 1, "give /v NAME or /ve"},
        FailureCase{{"reg", "delete", "HKLM", "/f"}, 1, "root key cannot be deleted"},
        FailureCase{{"reg", "delete", "HKCU\\Missing", "/f"}, 1, "does not exist"},
        FailureCase{{"reg", "add", "HKCU\\x", "/v", "a", "/ve"}, 2, "excludes"},
        FailureCase{{"reg"}, 2, "subcommand"}, FailureCase{{}, 2, "subcommand"},
        FailureCase{{"frobnicate"}, 2, "subcommand"}));

TEST(CliHelp, EveryCommandHasHelp) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                               {"setup", "--help"},
                                               {"show", "--help"},
                                               {"reg", "--help"},
                                               {"reg", "query", "/?"},
                                               {"reg", "add", "--help"},
                                               {"reg", "delete", "--help"},
                                               {"reg", "export", "--help"},
                                               {"reg", "import", "--help"},
                                               {"date", "--help"},
                                               {"df", "--help"}}) {
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.status, 0) << args[0];
    EXPECT_THAT(run.out, HasSubstr("Usage:")) << args[0];
  }
}

}  // namespace
