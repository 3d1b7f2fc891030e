// vintutil reg query, add and delete, end to end in a private registry; the
// data reg add stores for each type; the failures of every command and their
// help.
#include <windows.h>

#include <optional>
#include <sstream>

#include <gtest/gtest.h>

#include "run_cli.h"
#include "temp_registry.h"
#include "value_format.h"

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
      {{"/v", "None", "/t", "REG_NONE", "/d", "ab"}, "None    REG_NONE    610062000000"},
      {{"/v", "Big", "/t", "REG_DWORD_BIG_ENDIAN", "/d", "456"},
       "Big    REG_DWORD_BIG_ENDIAN    0x1c8"},
      {{"/v", "Sep", "/t", "REG_MULTI_SZ", "/s", "#", "/d", "a#b#"},
       "Sep    REG_MULTI_SZ    a\\0b"},
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
// (Windows keeps keys of its own under Software). As reg.exe: the queried
// key's header only when it has values, each key below with /s, a search's
// count only with /v or /ve.
TEST_F(CliReg, QueryListsValuesThenSubkeysAndKeepsTheHivesApart) {
  RunOk({"reg", "add", "HKEY_CURRENT_USER\\Software\\Test\\Inner\\Sub\\Empty", "/v", "x"});
  RunOk({"reg", "delete", "HKCU\\Software\\Test\\Inner\\Sub\\Empty", "/v", "x", "/f"});
  RunOk({"reg", "add", "HKCU\\Software\\Test\\Inner", "/v", "A", "/d", "1"});
  RunOk({"reg", "add", "HKCU\\Software\\Test\\Inner\\Sub", "/v", "A", "/d", "2"});
  RunOk({"reg", "add", "HKLM\\Software\\Test\\Inner", "/v", "A", "/d", "machine"});
  const std::string inner = "HKEY_CURRENT_USER\\Software\\Test\\Inner";
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"hkcu\\Software\\Test\\Inner\\"},
       "\n" + inner + "\n    A    REG_SZ    1\n\n" + inner + "\\Sub\n"},
      {{kKey}, "\n" + inner + "\n"},
      {{inner + "\\Sub\\Empty"}, "\n"},
      {{kKey, "/s"},
       "\n" + inner + "\n    A    REG_SZ    1\n\n" + inner + "\\Sub\n    A    REG_SZ    2\n\n" +
           inner + "\\Sub\\Empty\n\n"},
      {{kKey, "/v", "a", "/s"},
       "\n" + inner + "\n    A    REG_SZ    1\n\n" + inner +
           "\\Sub\n    A    REG_SZ    2\n\nEnd of search: 2 match(es) found.\n"},
      {{"HKEY_LOCAL_MACHINE\\Software\\Test\\Inner", "/v", "A"},
       "\nHKEY_LOCAL_MACHINE\\Software\\Test\\Inner\n    A    REG_SZ    machine\n\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"reg", "query"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(RunOk(args).out, c.out) << ::testing::PrintToString(args);
  }
  const CliRun none = RunCli({"reg", "query", kKey, "/ve", "/s"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "\nEnd of search: 0 match(es) found.\n");
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

// The bytes reg add stores for /t TYPE /d DATA, as reg.exe stores them
// (its conformance tests, run on Windows, and Wine's reg.exe agree on each
// row); nothing where reg.exe refuses the data.
TEST(RegAddData, StoresWhatRegExeStores) {
  using Bytes = std::vector<unsigned char>;
  const std::optional<std::string> none;
  const Bytes ffff{0xFF, 0xFF, 0xFF, 0xFF};
  const struct {
    uint32_t type;
    std::optional<std::string> data;
    std::optional<Bytes> stored;
    const char* separator = "\\0";
  } cases[] = {
      // Numbers: decimal, a leading zero still decimal; hex after 0x only.
      {REG_DWORD, "010", Bytes{10, 0, 0, 0}},
      {REG_DWORD, "09", Bytes{9, 0, 0, 0}},
      {REG_DWORD, "0123", Bytes{123, 0, 0, 0}},
      {REG_DWORD, "0x1A", Bytes{0x1A, 0, 0, 0}},
      {REG_DWORD, "0XdeadBEEF", Bytes{0xEF, 0xBE, 0xAD, 0xDE}},
      {REG_DWORD, "4294967295", ffff},
      {REG_DWORD, "0xffffffff", ffff},
      {REG_DWORD, "+5", Bytes{5, 0, 0, 0}},
      {REG_DWORD, " 5", Bytes{5, 0, 0, 0}},
      {REG_DWORD, "", Bytes{0, 0, 0, 0}},
      {REG_DWORD, "4294967296", std::nullopt},
      {REG_DWORD, "0x01ffffffff", std::nullopt},
      {REG_DWORD, "-1", std::nullopt},
      {REG_DWORD, "-0x1", std::nullopt},
      {REG_DWORD, "5 ", std::nullopt},
      {REG_DWORD, "0x", std::nullopt},
      {REG_DWORD, "00x123", std::nullopt},
      {REG_DWORD, "0xabcdefg", std::nullopt},
      {REG_DWORD, "123xyz", std::nullopt},
      {REG_DWORD, "deadbeef", std::nullopt},
      {REG_DWORD, "1e3", std::nullopt},
      {REG_DWORD, none, std::nullopt},
      // Stored little-endian, as reg.exe does.
      {REG_DWORD_BIG_ENDIAN, "456", Bytes{0xC8, 0x01, 0, 0}},
      {REG_DWORD_BIG_ENDIAN, "0x456", Bytes{0x56, 0x04, 0, 0}},
      {REG_DWORD_BIG_ENDIAN, none, std::nullopt},
      {REG_QWORD, "0x123456789abcdef", Bytes{0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}},
      {REG_QWORD, "0123", Bytes{123, 0, 0, 0, 0, 0, 0, 0}},
      {REG_QWORD, "-1", Bytes(8, 0xFF)},
      {REG_QWORD, "-2", Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {REG_QWORD, "18446744073709551615", Bytes(8, 0xFF)},
      {REG_QWORD, none, Bytes(8, 0)},
      {REG_QWORD, "18446744073709551616", std::nullopt},
      {REG_QWORD, "0x01ffffffffffffffff", std::nullopt},
      {REG_QWORD, "-0x1", std::nullopt},
      // Hex digits; an odd count gets a leading zero.
      {REG_BINARY, "deadbeef", Bytes{0xDE, 0xAD, 0xBE, 0xEF}},
      {REG_BINARY, "abc", Bytes{0x0A, 0xBC}},
      {REG_BINARY, "DeAdBeEf0DD", Bytes{0x0D, 0xEA, 0xDB, 0xEE, 0xF0, 0xDD}},
      {REG_BINARY, "", Bytes{}},
      {REG_BINARY, none, Bytes{}},
      {REG_BINARY, "0xDeAdBeEf", std::nullopt},
      {REG_BINARY, "x01", std::nullopt},
      {REG_BINARY, "01x", std::nullopt},
      {REG_BINARY, "a b", std::nullopt},
      // REG_NONE holds the text as UTF-16 with its zero.
      {REG_NONE, "ab", Bytes{'a', 0, 'b', 0, 0, 0}},
      {REG_NONE, none, Bytes{0, 0}},
      {REG_SZ, none, Bytes{0}},
      {REG_EXPAND_SZ, "%PATH%", Bytes{'%', 'P', 'A', 'T', 'H', '%', 0}},
      // Texts between separators; an empty one only alone.
      {REG_MULTI_SZ, "a\\0b", Bytes{'a', 0, 'b', 0, 0}},
      {REG_MULTI_SZ, "a#b", Bytes{'a', '#', 'b', 0, 0}},
      {REG_MULTI_SZ, "a#b", Bytes{'a', 0, 'b', 0, 0}, "#"},
      {REG_MULTI_SZ, "a\\0#b", Bytes{'a', '\\', '0', 0, 'b', 0, 0}, "#"},
      {REG_MULTI_SZ, "a#", Bytes{'a', 0, 0}, "#"},
      {REG_MULTI_SZ, "a\\0", Bytes{'a', 0, 0}},
      {REG_MULTI_SZ, "#", Bytes{0, 0}, "#"},
      {REG_MULTI_SZ, "\\0", Bytes{0, 0}},
      {REG_MULTI_SZ, "", Bytes{0}},
      {REG_MULTI_SZ, none, Bytes{0}},
      {REG_MULTI_SZ, "##", std::nullopt, "#"},
      {REG_MULTI_SZ, "#a", std::nullopt, "#"},
      {REG_MULTI_SZ, "two##texts", std::nullopt, "#"},
      {REG_MULTI_SZ, "\\0a", std::nullopt},
      {REG_MULTI_SZ, "two\\0\\0texts", std::nullopt},
      {REG_LINK, "x", std::nullopt},
      {REG_RESOURCE_LIST, "00", std::nullopt},
  };
  for (const auto& c : cases) {
    std::string error;
    const auto stored = ParseData(c.type, c.data, c.separator, &error);
    const std::string what = TypeName(c.type) + " /d '" + c.data.value_or("(none)") + "'";
    EXPECT_EQ(stored, c.stored) << what;
    EXPECT_EQ(error.empty(), c.stored.has_value()) << what << ": " << error;
  }
}

// What the numbered types are called, and how /se shows the texts of a
// REG_MULTI_SZ.
TEST(RegQueryFormat, TypeNamesAndSeparatorsAsRegExe) {
  const std::pair<uint32_t, const char*> names[] = {
      {0, "REG_NONE"},
      {5, "REG_DWORD_BIG_ENDIAN"},
      {6, "REG_LINK"},
      {8, "REG_RESOURCE_LIST"},
      {9, "REG_FULL_RESOURCE_DESCRIPTOR"},
      {10, "REG_RESOURCE_REQUIREMENTS_LIST"},
      {11, "REG_QWORD"},
      {0x20, "REG_UNKNOWN(0x20)"},
  };
  for (const auto& [type, name] : names) {
    EXPECT_EQ(TypeName(type), name);
    if (type != 0x20) {
      EXPECT_EQ(ParseTypeName(name), type);
    }
  }
  EXPECT_EQ(ParseTypeName("reg_dword_little_endian"), REG_DWORD);
  const std::vector<unsigned char> multi{'a', 0, 'b', 0, 0};
  EXPECT_EQ(FormatData(REG_MULTI_SZ, multi), "a\\0b");
  EXPECT_EQ(FormatData(REG_MULTI_SZ, multi, "#"), "a#b");
}

// /ve and /v "" address the default value, set or not; reg add without /v
// sets it too; /va empties a key and keeps its subkeys.
TEST_F(CliReg, DefaultValueAndAllValues) {
  const std::string header = "\nHKEY_CURRENT_USER\\Software\\Test\n    (Default)    REG_SZ    ";
  RunOk({"reg", "add", kKey, "/v", "A", "/d", "a"});
  for (const char* value : {"/ve", "/v"}) {
    std::vector<std::string> query{"reg", "query", kKey, value};
    if (value == std::string("/v")) query.push_back("");
    EXPECT_EQ(RunOk(query).out, header + "(value not set)\n\n");
  }
  RunOk({"reg", "add", kKey, "/d", "no name"});
  EXPECT_EQ(RunOk({"reg", "query", kKey, "/v", ""}).out, header + "no name\n\n");
  RunFails({"reg", "add", kKey}, "value (Default) exists and is kept");
  RunOk({"reg", "add", kKey, "/f"});
  EXPECT_EQ(RunOk({"reg", "query", kKey, "/ve"}).out, header + "\n\n");
  RunOk({"reg", "add", kKey, "/v", "", "/t", "REG_DWORD", "/d", "7", "/f"});
  EXPECT_EQ(RunOk({"reg", "query", kKey, "/ve"}).out,
            "\nHKEY_CURRENT_USER\\Software\\Test\n    (Default)    REG_DWORD    0x7\n\n");
  RunOk({"reg", "add", "HKCU\\Software\\Test\\Sub", "/v", "B", "/d", "b"});

  RunFails({"reg", "delete", kKey, "/va"}, "its values are kept");
  EXPECT_EQ(RunOk({"reg", "delete", kKey, "/va", "/f"}).out, kDone);
  EXPECT_EQ(RunOk({"reg", "query", kKey}).out, "\nHKEY_CURRENT_USER\\Software\\Test\\Sub\n");
  EXPECT_EQ(RunOk({"reg", "delete", kKey, "/va", "/f"}).out, kDone);
  RunOk({"reg", "query", "HKCU\\Software\\Test\\Sub", "/v", "B"});
}

// A value on a root key: the value a .reg file sets there is shown and
// deleted with the commands that set it.
TEST_F(CliReg, RootKeyValuesAreSetShownAndDeletedAlike) {
  const std::string file = registry_.dir() + "/root.reg";
  WriteFileBytes(file, "REGEDIT4\n\n[HKEY_CURRENT_USER]\n\"Imported\"=\"i\"\n");
  RunOk({"reg", "import", file});
  RunOk({"reg", "add", "HKCU", "/v", "Added", "/d", "a"});
  for (const char* name : {"Imported", "Added"}) {
    EXPECT_NE(RunOk({"reg", "query", "HKCU", "/v", name}).out.find("REG_SZ"), std::string::npos);
    RunOk({"reg", "delete", "HKCU", "/v", name, "/f"});
    RunFails({"reg", "query", "HKCU", "/v", name}, "does not exist");
  }
}

// reg query /f: key names, value names and data, narrowed by /k, /d, /v
// without a name, /c, /e and /t; the count of matches ends the search and
// decides the exit status.
TEST_F(CliReg, QueryFindSearchesAsRegExe) {
  RunOk({"reg", "add", kKey, "/v", "Colour", "/d", "Red"});
  RunOk({"reg", "add", kKey, "/v", "Size", "/t", "REG_DWORD", "/d", "0x10"});
  RunOk({"reg", "add", kKey, "/v", "List", "/t", "REG_MULTI_SZ", "/d", "red\\0blue"});
  RunOk({"reg", "add", "HKCU\\Software\\Test\\Reddish", "/v", "Shade", "/d", "dark red"});
  const std::string key = "HKEY_CURRENT_USER\\Software\\Test";
  const std::string colour = "    Colour    REG_SZ    Red\n";
  const std::string list = "    List    REG_MULTI_SZ    red\\0blue\n";
  const std::string listHash = "    List    REG_MULTI_SZ    red#blue\n";
  const std::string shade = "    Shade    REG_SZ    dark red\n";
  const auto found = [](int n) {
    return "End of search: " + std::to_string(n) + " match(es) found.\n";
  };
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"/f", "red"}, "\n" + key + "\n" + colour + list + "\n" + key + "\\Reddish\n" + found(3)},
      {{"/f", "red", "/s"},
       "\n" + key + "\n" + colour + list + "\n" + key + "\\Reddish\n" + shade + "\n" + found(4)},
      {{"/f", "red", "/k"}, "\n" + key + "\\Reddish\n" + found(1)},
      {{"/f", "red", "/d"}, "\n" + key + "\n" + colour + list + "\n" + found(2)},
      {{"/f", "red", "/d", "/c"}, "\n" + key + "\n" + list + "\n" + found(1)},
      {{"/f", "red", "/e"}, "\n" + key + "\n" + colour + "\n" + found(1)},
      {{"/f", "s*e", "/v"}, "\n" + key + "\n" + "    Size    REG_DWORD    0x10\n\n" + found(1)},
      {{"/f", "?ark", "/s", "/t", "REG_SZ"}, "\n" + key + "\\Reddish\n" + shade + "\n" + found(1)},
      {{"/f", "blue", "/se", "#"}, "\n" + key + "\n" + listHash + "\n" + found(1)},
      {{"/t", "REG_MULTI_SZ"}, "\n" + key + "\n" + list + "\n" + found(1)},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"reg", "query", kKey};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(RunOk(args).out, c.out) << ::testing::PrintToString(args);
  }
  const CliRun none = RunCli({"reg", "query", kKey, "/f", "green", "/s"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.out, "\n" + found(0));
}

TEST_F(CliReg, FailuresExitNonZeroWithOneLineReason) {
  const struct {
    std::vector<std::string> args;
    const char* reason;
  } cases[] = {
      {{"reg", "query", "HKCR\\x"}, "unknown root"},
      {{"reg", "query", "HKCU\\Missing"}, "does not exist"},
      {{"reg", "query", "HKCU", "/v", "missing"}, "value missing: the key"},
      {{"reg", "add", "HKCU\\x", "/v", "a", "/t", "REG_TEXT"}, "unknown type"},
      {{"reg", "add", "HKCU\\x", "/v", "a", "/t", "REG_DWORD", "/d", "-1"}, "not a 32-bit"},
      {{"reg", "add", "HKCU\\x", "/v", "a", "/t", "REG_BINARY", "/d", "zz"}, "not hex data"},
      {{"reg", "add", "HKCU\\x", "/v", "a", "/t", "REG_DWORD"}, "give /d NUMBER"},
      {{"reg", "add", "HKCU\\x", "/v", "a", "/t", "REG_LINK", "/d", "0"}, "cannot be given"},
      {{"reg", "add", "HKCU\\x", "/t", "REG_MULTI_SZ", "/s", "##", "/d", "a"}, "one character"},
      {{"reg", "add", "HKCU\\x", "/t", "REG_MULTI_SZ", "/s", "", "/d", "a"}, "one character"},
      {{"reg", "query", "HKCU", "/se", "ab"}, "one character"},
      {{"reg", "query", "HKCU", "/k"}, "give /f PATTERN"},
      {{"reg", "query", "HKCU", "/f", "x", "/v", "a"}, "without a name"},
      {{"reg", "query", "HKCU", "/t", "REG_TEXT"}, "unknown type"},
      {{"reg", "delete", "HKLM", "/f"}, "root key cannot be deleted"},
      {{"reg", "query", "HKCU\\", "/v", "a"}, "without a backslash after it"},
      {{"reg", "add", "HKCU\\x\\\\", "/v", "a"}, "one backslash at most"},
      {{"reg", "delete", "HKCU\\x", "/va", "/v", "a"}, "excludes"},
      {{"reg", "delete", "HKCU\\Missing", "/f"}, "does not exist"},
      {{"reg", "import", registry_.dir() + "/none.reg"}, "cannot read"},
      {{"reg", "export", "HKCU\\None", registry_.dir() + "/x.reg"}, "does not exist"},
      // Usage errors exit 1, as reg.exe's do.
      {{"reg", "add", "HKCU\\x", "/v", "a", "/ve"}, "excludes"},
      {{"reg", "query", "HKCU\\x", "/x"}, "not expected"},
      {{"reg"}, "subcommand"},
      {{}, "subcommand"},
      {{"frobnicate"}, "subcommand"},
  };
  for (const auto& c : cases) RunFails(c.args, c.reason);
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
