// vintutil reg query, add and delete, end to end in a private registry; the
// failures of every command and their help.
#include <sstream>

#include <gtest/gtest.h>

#include "run_cli.h"
#include "temp_registry.h"

namespace {

using CliReg = RegistryTest;

constexpr const char* kKey = "HKCU\\Software\\Test";
constexpr const char* kDone = "The operation completed successfully.\n";

// Every type added, then queried as reg.exe shows it; the first argument is
// the value's switch.
TEST_F(CliReg, AddThenQueryShowsEveryTypeAsRegExeDoes) {
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"/v", "Text", "/d", "hello world"}, "Text    REG_SZ    hello world"},
      {{"/v", "Expand", "/t", "REG_EXPAND_SZ", "/d", "%HOME%/x"},
       "Expand    REG_EXPAND_SZ    %HOME%/x"},
      {{"/v", "Multi", "/t", "REG_MULTI_SZ", "/d", "a\\0b\\0c"},
       "Multi    REG_MULTI_SZ    a\\0b\\0c"},
      {{"/v", "Dword", "/t", "REG_DWORD", "/d", "4294967295"}, "Dword    REG_DWORD    0xffffffff"},
      {{"--value", "Hex", "--type", "reg_dword", "--data", "0x2A"}, "Hex    REG_DWORD    0x2a"},
      {{"/v", "Qword", "/t", "REG_QWORD", "/d", "0x1122334455667788"},
       "Qword    REG_QWORD    0x1122334455667788"},
      {{"/v", "Bin", "/t", "REG_BINARY", "/d", "00ff10"}, "Bin    REG_BINARY    00FF10"},
      {{"/v", "None", "/t", "REG_NONE", "/d", "ab"}, "None    REG_NONE    AB"},
      {{"/ve", "/d", "default"}, "(Default)    REG_SZ    default"},
      // Data that looks like a switch is data.
      {{"/V", "Path", "/D", "/f"}, "Path    REG_SZ    /f"},
  };
  for (const auto& [addArgs, shown] : cases) {
    std::vector<std::string> add{"reg", "add", kKey};
    add.insert(add.end(), addArgs.begin(), addArgs.end());
    EXPECT_EQ(RunOk(add).out, kDone);
    std::vector<std::string> query{"reg", "query", kKey, addArgs[0]};
    if (addArgs[0] != "/ve") query.push_back(addArgs[1]);
    EXPECT_EQ(RunOk(query).out,
              std::string("\nHKEY_CURRENT_USER\\Software\\Test\n    ") + shown + "\n\n");
  }
}

// Below the test's own key, so that the tree /s lists is the test's alone
// (Windows keeps keys of its own under Software).
TEST_F(CliReg, QueryListsValuesThenSubkeysAndKeepsTheHivesApart) {
  RunOk({"reg", "add", "HKEY_CURRENT_USER\\Software\\Test\\Inner\\Sub"});
  RunOk({"reg", "add", "HKCU\\Software\\Test\\Inner", "/v", "A", "/d", "1"});
  RunOk({"reg", "add", "HKLM\\Software\\Test\\Inner", "/v", "A", "/d", "machine"});
  EXPECT_EQ(RunOk({"reg", "query", "hkcu\\Software\\Test\\Inner\\"}).out,
            "\nHKEY_CURRENT_USER\\Software\\Test\\Inner\n    A    REG_SZ    1\n\n"
            "HKEY_CURRENT_USER\\Software\\Test\\Inner\\Sub\n");
  EXPECT_EQ(RunOk({"reg", "query", kKey, "/s"}).out,
            "\nHKEY_CURRENT_USER\\Software\\Test\n"
            "\nHKEY_CURRENT_USER\\Software\\Test\\Inner\n    A    REG_SZ    1\n"
            "\nHKEY_CURRENT_USER\\Software\\Test\\Inner\\Sub\n"
            "\nEnd of search: 1 match(es) found.\n");
  EXPECT_EQ(RunOk({"reg", "query", "HKEY_LOCAL_MACHINE\\Software\\Test\\Inner", "/v", "A"}).out,
            "\nHKEY_LOCAL_MACHINE\\Software\\Test\\Inner\n    A    REG_SZ    machine\n\n");
}

// Without /f an overwrite or a deletion needs a confirmation that standard
// input, not a terminal, cannot give.
TEST_F(CliReg, ChangesNeedForceWhenNobodyCanConfirm) {
  RunOk({"reg", "add", "HKCU\\Software\\Test\\Sub\\Deeper", "/v", "x", "/d", "1"});
  RunOk({"reg", "add", kKey, "/v", "A", "/d", "old"});
  const std::vector<std::string> queryA{"reg", "query", kKey, "/v", "A"};
  const CliRun refused = RunCli({"reg", "add", kKey, "/v", "A", "/d", "new"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(
      refused.err,
      "vintutil: HKEY_CURRENT_USER\\Software\\Test, value A exists and is kept: standard input "
      "is not a terminal, so this cannot be confirmed: add /f (--force)\n");
  EXPECT_NE(RunOk(queryA).out.find("REG_SZ    old"), std::string::npos);
  RunOk({"reg", "add", kKey, "/v", "A", "/d", "new", "/f"});
  EXPECT_NE(RunOk(queryA).out.find("REG_SZ    new"), std::string::npos);

  RunFails({"reg", "delete", kKey, "/v", "A"}, "cannot be confirmed");
  RunOk(queryA);
  EXPECT_EQ(RunOk({"reg", "delete", kKey, "/v", "A", "/f"}).out, kDone);
  RunFails(queryA, "does not exist");
  RunFails({"reg", "delete", kKey}, "cannot be confirmed");
  RunOk({"reg", "delete", kKey, "--force"});
  RunFails({"reg", "query", "HKCU\\Software\\Test\\Sub\\Deeper"}, "does not exist");
  RunFails({"reg", "query", kKey}, "does not exist");
  RunOk({"reg", "query", "HKCU\\Software"});
}

TEST_F(CliReg, FailuresExitNonZeroWithOneLineReason) {
  const struct {
    std::vector<std::string> args;
    int status;
    const char* reason;
  } cases[] = {
      {{"reg", "query", "HKCR\\x"}, 1, "unknown root"},
      {{"reg", "query", "HKCU\\Missing"}, 1, "does not exist"},
      {{"reg", "query", "HKCU", "/v", "missing"}, 1, "value missing: the key"},
      {{"reg", "add", "HKCU\\x", "/v", "a", "/t", "REG_TEXT"}, 1, "unknown type"},
      {{"reg", "add", "HKCU\\x", "/v", "a", "/t", "REG_DWORD", "/d", "-1"}, 1, "not a 32-bit"},
      {{"reg", "add", "HKCU\\x", "/v", "a", "/t", "REG_DWORD", "/d", "4294967296"}, 1, "not a 32"},
      {{"reg", "add", "HKCU\\x", "/v", "a", "/t", "REG_BINARY", "/d", "abc"}, 1, "two digits"},
      {{"reg", "add", "HKCU\\x", "/v", "a", "/t", "REG_BINARY", "/d", "zz"}, 1, "not hex data"},
      {{"reg", "add", "HKCU\\x", "/d", "data"}, 1, "give /v NAME or /ve"},
      {{"reg", "delete", "HKLM", "/f"}, 1, "root key cannot be deleted"},
      {{"reg", "delete", "HKCU\\Missing", "/f"}, 1, "does not exist"},
      {{"reg", "import", registry_.dir() + "/none.reg"}, 1, "cannot read"},
      {{"reg", "export", "HKCU\\None", registry_.dir() + "/x.reg"}, 1, "does not exist"},
      {{"reg", "add", "HKCU\\x", "/v", "a", "/ve"}, 2, "excludes"},
      {{"reg"}, 2, "subcommand"},
      {{}, 2, "subcommand"},
      {{"frobnicate"}, 2, "subcommand"},
  };
  for (const auto& c : cases) RunFails(c.args, c.reason, c.status);
}

TEST(CliHelp, EveryCommandHasHelp) {
  for (const char* command : {"--help", "setup --help", "show --help", "reg --help", "reg query /?",
                              "reg add --help", "reg delete --help", "reg export --help",
                              "reg import --help", "date --help", "df --help"}) {
    std::istringstream words(command);
    const std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
    EXPECT_NE(RunOk(args).out.find("Usage:"), std::string::npos) << command;
  }
}

}  // namespace
