// vintutil reg export and reg import, end to end: round trips in both
// formats with every value type, files from Windows, and refusal of
// malformed files with nothing applied.
#include <algorithm>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "run_ok.h"
#include "temp_registry.h"
#include "text_encoding.h"

namespace {

using ::testing::HasSubstr;

using CliTransfer = RegistryTest;

class CliRoundTrip : public RegistryTest, public ::testing::WithParamInterface<const char*> {};

// A key tree with a value of every type, awkward names and data included,
// exported, deleted, imported and exported again.
TEST_P(CliRoundTrip, ExportDeleteImportGivesBackTheSameBytes) {
  const char* const key = "HKCU\\Software\\Round";
  const std::vector<std::vector<std::string>> adds = {
      {key, "/ve", "/d", "default text"},
      {key, "/v", "sz", "/d", "C:\\Pro\"gramme\\ \xC3\xA4"},
      {key, "/v", "empty", "/d", ""},
      {key, "/v", "expand", "/t", "REG_EXPAND_SZ", "/d", "%PATH%;x"},
      {key, "/v", "multi", "/t", "REG_MULTI_SZ", "/d", "one\\0two\\0"},
      {key, "/v", "dword", "/t", "REG_DWORD", "/d", "0x80000001"},
      {key, "/v", "qword", "/t", "REG_QWORD", "/d", "18446744073709551615"},
      {key, "/v", "binary", "/t", "REG_BINARY", "/d", std::string(200, 'e')},
      {key, "/v", "none", "/t", "REG_NONE", "/d", ""},
      {"HKCU\\Software\\Round\\Sub Key\\Deeper", "/v", "name with \\ and \"", "/d", "x"},
      {"HKCU\\Software\\Round\\Empty"},
  };
  for (std::vector<std::string> add : adds) {
    add.insert(add.begin(), {"reg", "add"});
    RunOk(add);
  }
  const std::string first = registry_.dir() + "/first.reg";
  const std::string second = registry_.dir() + "/second.reg";
  RunOk({"reg", "export", key, first, "--format", GetParam()});
  const std::string before = RunOk({"reg", "query", key, "/s"}).out;
  RunOk({"reg", "delete", key, "/f"});
  RunOk({"reg", "import", first});
  EXPECT_EQ(RunOk({"reg", "query", key, "/s"}).out, before);
  RunOk({"reg", "export", key, second, "--format", GetParam()});
  EXPECT_EQ(ReadFileBytes(second), ReadFileBytes(first));
}

INSTANTIATE_TEST_SUITE_P(BothFormats, CliRoundTrip, ::testing::Values("unicode", "regedit4"));

TEST_F(CliTransfer, ExportWritesUnicodeByDefaultAndKeepsAnExistingFile) {
  RunOk({"reg", "add", "HKLM\\Software\\A", "/v", "v", "/t", "REG_DWORD", "/d", "10"});
  const std::string file = registry_.dir() + "/a.reg";
  RunOk({"reg", "export", "HKLM\\Software\\A", file});
  EXPECT_EQ(ReadFileBytes(file),
            "\xFF\xFE" + Utf8ToUtf16le("Windows Registry Editor Version 5.00\r\n\r\n"
                                       "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n"
                                       "\"v\"=dword:0000000a\r\n\r\n"));
  const CliRun again = RunCli({"reg", "export", "HKLM\\Software\\A", file});
  EXPECT_EQ(again.status, 1);
  EXPECT_THAT(again.err, HasSubstr("exists and is kept"));
  RunOk({"reg", "export", "HKLM\\Software\\A", file, "/y"});
}

TEST_F(CliTransfer, ImportsAFileAsWindowsWritesItWithItsDeletions) {
  RunOk({"reg", "add", "HKLM\\SOFTWARE\\Old\\Below", "/v", "x", "/d", "1"});
  RunOk({"reg", "add", "HKLM\\SOFTWARE\\TORVALE\\VARNO4\\PROGRAMME", "/v", "Gone", "/d", "1"});
  const std::string file = registry_.dir() + "/windows.reg";
  WriteFileBytes(
      file,
      "\xFF\xFE" + Utf8ToUtf16le("Windows Registry Editor Version 5.00\r\n\r\n"
                                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TORVALE\\VARNO4\\PROGRAMME]\r\n"
                                 "\"Favis\"=\"C:\\\\Programme\\\\Favis\\\\\"\r\n"
                                 "\"Gone\"=-\r\n"
                                 "\"Tools\"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00,\\\r\n"
                                 "  00,00\r\n\r\n"
                                 "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"));
  RunOk({"reg", "import", file});
  EXPECT_EQ(RunOk({"reg", "query", "HKLM\\SOFTWARE\\TORVALE\\VARNO4\\PROGRAMME"}).out,
            "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\TORVALE\\VARNO4\\PROGRAMME\n"
            "    Favis    REG_SZ    C:\\Programme\\Favis\\\n"
            "    Tools    REG_EXPAND_SZ    %PATH%\n\n");
  EXPECT_EQ(RunCli({"reg", "query", "HKLM\\SOFTWARE\\Old"}).status, 1);
}

// A fault anywhere in the file refuses it whole, with the fault's line.
TEST_F(CliTransfer, RefusedFileChangesNothing) {
  RunOk({"reg", "add", "HKCU\\Software\\Kept", "/v", "v", "/d", "before"});
  const std::string file = registry_.dir() + "/bad.reg";
  const std::pair<const char*, std::string> cases[] = {
      {"REGEDIT4\r\n\r\n"
       "[HKEY_CURRENT_USER\\Software\\Kept]\r\n"
       "\"v\"=\"after\"\r\n"
       "[HKEY_CURRENT_USER\\Software\\New]\r\n"
       "\"n\"=dword:1\r\n"
       "\"broken\"=hex:01,0g\r\n",
       "vintutil: " + file + ", line 7: invalid hex byte '0g'; nothing was imported\n"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\Software\\New]\n\"a\"=\"b\"\n"
       "[HKEY_CLASSES_ROOT\\.txt]\n@=\"txtfile\"\n",
       "vintutil: " + file + ", line 4: 'HKEY_CLASSES_ROOT\\.txt' is not under"},
  };
  for (const auto& [text, error] : cases) {
    WriteFileBytes(file, text);
    const CliRun run = RunCli({"reg", "import", file});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr(error));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_THAT(RunOk({"reg", "query", "HKCU\\Software\\Kept", "/v", "v"}).out,
                HasSubstr("REG_SZ    before"));
    EXPECT_EQ(RunCli({"reg", "query", "HKCU\\Software\\New"}).status, 1);
  }
}

TEST_F(CliTransfer, MissingFilesAreFailures) {
  const CliRun import = RunCli({"reg", "import", registry_.dir() + "/none.reg"});
  EXPECT_EQ(import.status, 1);
  EXPECT_THAT(import.err, HasSubstr("cannot read"));
  const CliRun run = RunCli({"reg", "export", "HKCU\\Software\\None", registry_.dir() + "/x.reg"});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("does not exist"));
}

}  // namespace
