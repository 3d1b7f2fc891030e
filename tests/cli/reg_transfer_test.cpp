// vintutil reg export and reg import, end to end: round trips in both
// formats with every value type, files from Windows, and refusal of
// malformed files with nothing applied.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "run_cli.h"
#include "temp_registry.h"
#include "text_encoding.h"

namespace {

using ::testing::HasSubstr;

using CliTransfer = RegistryTest;

// A key tree with a value of every type, awkward names and data included.
void FillSampleTree() {
  const std::vector<std::vector<std::string>> adds = {
      {"HKCU\\Software\\Round", "/ve", "/d", "default text"},
      {"HKCU\\Software\\Round", "/v", "sz", "/d", "C:\\Pro\"gramme\\ \xC3\xA4"},
      {"HKCU\\Software\\Round", "/v", "empty", "/d", ""},
      {"HKCU\\Software\\Round", "/v", "expand", "/t", "REG_EXPAND_SZ", "/d", "%PATH%;x"},
      {"HKCU\\Software\\Round", "/v", "multi", "/t", "REG_MULTI_SZ", "/d", "one\\0two\\0"},
      {"HKCU\\Software\\Round", "/v", "dword", "/t", "REG_DWORD", "/d", "0x80000001"},
      {"HKCU\\Software\\Round", "/v", "qword", "/t", "REG_QWORD", "/d", "18446744073709551615"},
      {"HKCU\\Software\\Round", "/v", "binary", "/t", "REG_BINARY", "/d", std::string(200, 'e')},
      {"HKCU\\Software\\Round", "/v", "none", "/t", "REG_NONE", "/d", ""},
      {"HKCU\\Software\\Round\\Sub Key\\Deeper", "/v", "name with \\ and \"", "/d", "x"},
      {"HKCU\\Software\\Round\\Empty"},
  };
  for (std::vector<std::string> add : adds) {
    add.insert(add.begin(), {"reg", "add"});
    ASSERT_EQ(RunCli(add).status, 0) << add[2];
  }
}

class CliRoundTrip : public RegistryTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CliRoundTrip, ExportDeleteImportGivesBackTheSameBytes) {
  FillSampleTree();
  const std::string first = registry_.dir() + "/first.reg";
  const std::string second = registry_.dir() + "/second.reg";
  const CliRun exported =
      RunCli({"reg", "export", "HKCU\\Software\\Round", first, "--format", GetParam()});
  ASSERT_EQ(exported.status, 0) << exported.err;
  const CliRun before = RunCli({"reg", "query", "HKCU\\Software\\Round", "/s"});

  ASSERT_EQ(RunCli({"reg", "delete", "HKCU\\Software\\Round", "/f"}).status, 0);
  const CliRun imported = RunCli({"reg", "import", first});
  ASSERT_EQ(imported.status, 0) << imported.err;
  EXPECT_EQ(RunCli({"reg", "query", "HKCU\\Software\\Round", "/s"}).out, before.out);

  ASSERT_EQ(
      RunCli({"reg", "export", "HKCU\\Software\\Round", second, "--format", GetParam()}).status, 0);
  EXPECT_EQ(ReadFileBytes(second), ReadFileBytes(first));
}

INSTANTIATE_TEST_SUITE_P(BothFormats, CliRoundTrip, ::testing::Values("unicode", "regedit4"));

TEST_F(CliTransfer, ExportWritesUnicodeByDefaultAndKeepsAnExistingFile) {
  ASSERT_EQ(
      RunCli({"reg", "add", "HKLM\\Software\\A", "/v", "v", "/t", "REG_DWORD", "/d", "10"}).status,
      0);
  const std::string file = registry_.dir() + "/a.reg";
  ASSERT_EQ(RunCli({"reg", "export", "HKLM\\Software\\A", file}).status, 0);
  EXPECT_EQ(ReadFileBytes(file),
            "\xFF\xFE" + Utf8ToUtf16le("Windows Registry Editor Version 5.00\r\n\r\n"
                                       "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n"
                                       "\"v\"=dword:0000000a\r\n\r\n"));

  const CliRun again = RunCli({"reg", "export", "HKLM\\Software\\A", file});
  EXPECT_EQ(again.status, 1);
  EXPECT_THAT(again.err, HasSubstr("exists and is kept"));
  EXPECT_EQ(RunCli({"reg", "export", "HKLM\\Software\\A", file, "/y"}).status, 0);
}

TEST_F(CliTransfer, ImportsAFileAsWindowsWritesItWithItsDeletions) {
  ASSERT_EQ(RunCli({"reg", "add", "HKLM\\SOFTWARE\\Old\\Below", "/v", "x", "/d", "1"}).status, 0);
  ASSERT_EQ(
      RunCli({"reg", "add", "HKLM\\SOFTWARE\\TORVALE\\VARNO4\\PROGRAMME", "/v", "Gone", "/d", "1"})
          .status,
      0);
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
  const CliRun run = RunCli({"reg", "import", file});
  EXPECT_EQ(run.status, 0) << run.err;
  const CliRun query = RunCli({"reg", "query", "HKLM\\SOFTWARE\\TORVALE\\VARNO4\\PROGRAMME"});
  EXPECT_EQ(query.out,
            "\nHKEY_LOCAL_MACHINE\\SOFTWARE\\TORVALE\\VARNO4\\PROGRAMME\n"
            "    Favis    REG_SZ    C:\\Programme\\Favis\\\n"
            "    Tools    REG_EXPAND_SZ    %PATH%\n\n");
  EXPECT_EQ(RunCli({"reg", "query", "HKLM\\SOFTWARE\\Old"}).status, 1);
}

TEST_F(CliTransfer, MalformedFileIsRefusedWithItsLineAndNothingApplied) {
  ASSERT_EQ(RunCli({"reg", "add", "HKCU\\Software\\Kept", "/v", "v", "/d", "before"}).status, 0);
  const std::string file = registry_.dir() + "/bad.reg";
  WriteFileBytes(file,
                 "REGEDIT4\r\n\r\n"
                 "[HKEY_CURRENT_USER\\Software\\Kept]\r\n"
                 "\"v\"=\"after\"\r\n"
                 "[HKEY_CURRENT_USER\\Software\\New]\r\n"
                 "\"n\"=dword:1\r\n"
                 "\"broken\"=hex:01,0g\r\n");
  const CliRun run = RunCli({"reg", "import", file});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "vintutil: " + file + ", line 7: invalid hex byte '0g'; nothing was imported\n");
  EXPECT_THAT(RunCli({"reg", "query", "HKCU\\Software\\Kept", "/v", "v"}).out,
              HasSubstr("REG_SZ    before"));
  EXPECT_EQ(RunCli({"reg", "query", "HKCU\\Software\\New"}).status, 1);
}

TEST_F(CliTransfer, FileWithAnUnknownRootIsRefusedWhole) {
  const std::string file = registry_.dir() + "/root.reg";
  WriteFileBytes(file,
                 "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\New]\n\"a\"=\"b\"\n"
                 "[HKEY_CLASSES_ROOT\\.txt]\n@=\"txtfile\"\n");
  const CliRun run = RunCli({"reg", "import", file});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("line 4: 'HKEY_CLASSES_ROOT\\.txt' is not under"));
  EXPECT_EQ(RunCli({"reg", "query", "HKCU\\Software\\New"}).status, 1);
}

TEST_F(CliTransfer, MissingFilesAreFailures) {
  EXPECT_THAT(RunCli({"reg", "import", registry_.dir() + "/none.reg"}).err,
              HasSubstr("cannot read"));
  EXPECT_EQ(RunCli({"reg", "import", registry_.dir() + "/none.reg"}).status, 1);
  const CliRun run = RunCli({"reg", "export", "HKCU\\Software\\None", registry_.dir() + "/x.reg"});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("does not exist"));
}

}  // namespace
