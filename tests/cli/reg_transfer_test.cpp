// vintutil reg export and reg import, end to end: round trips in both
// formats with every value type, and refusal of malformed files with nothing
// applied.
#include <gtest/gtest.h>

#include "cli_common.h"
#include "run_cli.h"
#include "temp_registry.h"
#include "text_encoding.h"

namespace {

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
      {"HKCU\\Software\\Round\\Schl\xC3\xBCssel", "/v", "n\xC3\xA4me", "/d",
       "Gr\xC3\xBC\xC3\x9F"
       "e \xE2\x82\xAC"},
      {key, "/v", "\xC3\x84nderung", "/t", "REG_MULTI_SZ", "/d", "\xC3\xA9t\xC3\xA9\\0hiver"},
      {"HKCU\\Software\\Round\\Empty"},
  };
  for (std::vector<std::string> add : adds) {
    add.insert(add.begin(), {"reg", "add"});
    RunOk(add);
  }
  const std::string first = registry_.dir() + "/first.reg";
  const std::string second = registry_.dir() + "/second.reg";
  RunOk({"reg", "export", key, first, "--format", GetParam()});
  EXPECT_EQ(ReadFileBytes(first).rfind("REGEDIT4\r\n", 0) == 0,
            GetParam() == std::string("regedit4"));
  const std::string before = RunOk({"reg", "query", key, "/s"}).out;
  RunOk({"reg", "delete", key, "/f"});
  RunOk({"reg", "import", first});
  EXPECT_EQ(RunOk({"reg", "query", key, "/s"}).out, before);
  RunOk({"reg", "export", key, second, "--format", GetParam()});
  EXPECT_EQ(ReadFileBytes(second), ReadFileBytes(first));
}

INSTANTIATE_TEST_SUITE_P(BothFormats, CliRoundTrip, ::testing::Values("unicode", "regedit4"));

// REGEDIT4 files hold the text of a code page: Windows-1252 unless
// --codepage names another, both ways; what the code page cannot hold is
// refused with its name, and nothing is written.
TEST_F(CliTransfer, Regedit4TextIsInTheCodePage) {
  const char* const key = "HKCU\\Software\\Cyr";
  RunOk({"reg", "add", key, "/v", "\xD0\x98\xD0\xBC\xD1\x8F", "/d", "\xD0\x9F\xD1\x80\xD0\xB8"});
  const std::string file = registry_.dir() + "/cyr.reg";
  RunFails({"reg", "export", key, file, "--format", "regedit4"},
           "cannot write " + file +
               ": the value name '\xD0\x98\xD0\xBC\xD1\x8F' under "
               "HKEY_CURRENT_USER\\Software\\Cyr holds text that code page 1252 cannot hold");
  EXPECT_EQ(ReadFileBytes(file), "");
  RunOk({"reg", "export", key, file, "--format", "regedit4", "--codepage", "1251"});
  EXPECT_EQ(ReadFileBytes(file),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Cyr]\r\n"
            "\"\xC8\xEC\xFF\"=\"\xCF\xF0\xE8\"\r\n\r\n");
  RunOk({"reg", "delete", key, "/f"});
  RunOk({"reg", "import", file, "--codepage", "1251"});
  EXPECT_NE(RunOk({"reg", "query", key})
                .out.find("\xD0\x98\xD0\xBC\xD1\x8F    REG_SZ    \xD0\x9F\xD1\x80\xD0\xB8"),
            std::string::npos);

  // The same bytes read as Windows-1252 are other characters, still valid text.
  RunOk({"reg", "import", file});
  EXPECT_NE(RunOk({"reg", "query", key}).out.find("\xC3\x88\xC3\xAC\xC3\xBF    REG_SZ"),
            std::string::npos);

  RunFails({"reg", "import", file, "--codepage", "4711"}, "code page 4711 is not known",
           kExitUsage);
  RunFails({"reg", "export", key, file, "--codepage", "x"}, "not a code page number", kExitUsage);
}

// Whatever bytes a value holds, the JSON outputs are valid UTF-8.
TEST_F(CliTransfer, JsonOutputIsValidUtf8WhateverIsStored) {
  const std::string file = registry_.dir() + "/odd.reg";
  // A Unicode file with a lone surrogate and an odd byte in text data, and
  // an 8-bit file in the newer format whose text is not UTF-8.
  WriteFileBytes(
      file,
      "\xFF\xFE" + Utf8ToUtf16le("Windows Registry Editor Version 5.00\r\n\r\n"
                                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TORVALE\\VARNO4\\OPTIONEN]\r\n"
                                 "\"SPRACHE\"=hex(1):00,d8,41\r\n"));
  RunOk({"reg", "import", file});
  WriteFileBytes(file,
                 "Windows Registry Editor Version 5.00\r\n\r\n"
                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TORVALE\\VARNO4\\PROGRAMME]\r\n"
                 "\"FAVIS\"=\"C:\\\\Gr\xFC\xDF"
                 "e\"\r\n");
  RunOk({"reg", "import", file});
  const std::string json = RunOk({"show", "--format", "json"}).out;
  EXPECT_TRUE(IsValidUtf8(json)) << json;
  EXPECT_NE(json.find("Gr\xEF\xBF\xBD\xEF\xBF\xBD"
                      "e"),
            std::string::npos)
      << json;
#ifndef _WIN32
  const std::string history =
      RunOk({"reg", "history", "HKLM\\SOFTWARE\\TORVALE", "--format", "json"}).out;
  EXPECT_TRUE(IsValidUtf8(history)) << history;
#endif

  // Exported and imported again, the stored bytes are the same.
  const std::string exported = registry_.dir() + "/again.reg";
  RunOk({"reg", "export", "HKLM\\SOFTWARE\\TORVALE", exported});
  const std::string before = RunOk({"reg", "query", "HKLM\\SOFTWARE\\TORVALE", "/s"}).out;
  RunOk({"reg", "delete", "HKLM\\SOFTWARE\\TORVALE", "/f"});
  RunOk({"reg", "import", exported});
  EXPECT_EQ(RunOk({"reg", "query", "HKLM\\SOFTWARE\\TORVALE", "/s"}).out, before);
}

TEST_F(CliTransfer, ExportWritesUnicodeByDefaultAndKeepsAnExistingFile) {
  RunOk({"reg", "add", "HKLM\\Software\\A", "/v", "v", "/t", "REG_DWORD", "/d", "10"});
  const std::string file = registry_.dir() + "/a.reg";
  RunOk({"reg", "export", "HKLM\\Software\\A", file});
  EXPECT_EQ(ReadFileBytes(file),
            "\xFF\xFE" + Utf8ToUtf16le("Windows Registry Editor Version 5.00\r\n\r\n"
                                       "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n"
                                       "\"v\"=dword:0000000a\r\n\r\n"));
  RunFails({"reg", "export", "HKLM\\Software\\A", file}, "exists and is kept");
  RunOk({"reg", "export", "HKLM\\Software\\A", file, "/y"});
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
    RunFails({"reg", "import", file}, error);
    EXPECT_NE(
        RunOk({"reg", "query", "HKCU\\Software\\Kept", "/v", "v"}).out.find("REG_SZ    before"),
        std::string::npos);
    RunFails({"reg", "query", "HKCU\\Software\\New"}, "does not exist");
  }
}

}  // namespace
