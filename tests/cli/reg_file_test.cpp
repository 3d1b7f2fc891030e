// The .reg parser and writer on their own: round trips of every value type
// in both formats, the exact text regedit writes, and refusal of malformed
// files with the line of the fault.
#include <windows.h>

#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "reg_file.h"
#include "text_encoding.h"

namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<unsigned char>;

// The bytes of a literal, its terminating zero included.
template <size_t N>
Bytes Z(const char (&text)[N]) {
  return Bytes(text, text + N);
}

RegFileValue Value(std::string name, uint32_t type, Bytes data) {
  return {std::move(name), false, type, std::move(data)};
}

RegFile OneKey(RegFileFormat format, const char* path, std::vector<RegFileValue> values) {
  return {format, {{path, false, std::move(values)}}};
}

class RegFileRoundTrip : public ::testing::TestWithParam<RegFileFormat> {};

// Every type, and the awkward data that must travel in hex form.
TEST_P(RegFileRoundTrip, GivesBackEveryTypeAndByte) {
  RegFile original = OneKey(GetParam(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\TORVALE\\VARNO4\\OPTIONEN",
                            {
                                Value("", REG_SZ, Z("default")),
                                Value("quote\"and\\slash", REG_SZ, Z("C:\\Pro\"g")),
                                Value("umlaut", REG_SZ, Z("Gr\xC3\xBC\xC3\x9F\xF0\x9F\x98\x80")),
                                // Not UTF-8: Latin-1 bytes, a stray continuation, a surrogate.
                                Value("latin1", REG_SZ, Z("\xE4\xF6\xFF\x80\xED\xB2\x80")),
                                Value("unterminated", REG_SZ, {'a', 'b', 'c'}),
                                Value("embedded zero", REG_SZ, Z("a\0b")),
                                Value("newline", REG_SZ, Z("a\r\nb")),
                                Value("empty sz", REG_SZ, Z("")),
                                Value("no data sz", REG_SZ, {}),
                                Value("expand", REG_EXPAND_SZ, Z("%HOME%\\x")),
                                Value("multi", REG_MULTI_SZ, Z("one\0zwei\xC3\xA4\0")),
                                Value("dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}),
                                Value("short dword", REG_DWORD, {1, 2}),
                                Value("qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 0x80}),
                                Value("binary", REG_BINARY, Bytes(100, 0xAB)),
                                Value("empty binary", REG_BINARY, {}),
                                Value("none", REG_NONE, {0, 1}),
                                Value("odd type", 0x12345678, {9}),
                            });
  original.keys.push_back({"HKEY_CURRENT_USER\\SOFTWARE\\TORVALE\\Sub Key",
                           false,
                           {Value("x", REG_SZ, Z("y")), {"old", true, 0, {}}}});
  original.keys.push_back({"HKEY_CURRENT_USER\\SOFTWARE\\Gone", true, {}});
  const RegFileParseResult parsed = ParseRegFile(SerializeRegFile(original));
  ASSERT_TRUE(parsed.ok) << parsed.errorLine << ": " << parsed.error;
  EXPECT_EQ(parsed.file.format, GetParam());
  EXPECT_EQ(parsed.file.keys, original.keys);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, RegFileRoundTrip,
                         ::testing::Values(RegFileFormat::kUnicode, RegFileFormat::kRegedit4));

TEST(RegFileWriter, WritesAsRegeditDoes) {
  EXPECT_EQ(SerializeRegFile(
                OneKey(RegFileFormat::kRegedit4, "HKEY_LOCAL_MACHINE\\SOFTWARE\\A",
                       {Value("", REG_SZ, Z("d")), Value("s", REG_SZ, Z("a\\\"b")),
                        Value("n", REG_DWORD, {0x0a, 0, 0, 0}), Value("e", REG_EXPAND_SZ, Z("ab")),
                        Value("q", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0})})),
            "REGEDIT4\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n"
            "@=\"d\"\r\n"
            "\"s\"=\"a\\\\\\\"b\"\r\n"
            "\"n\"=dword:0000000a\r\n"
            "\"e\"=hex(2):61,62,00\r\n"
            "\"q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
            "\r\n");

  // "test"=hex: takes 11 columns, so the first line holds 22 bytes, the
  // following ones 25 each after their two blanks.
  Bytes data;
  for (int i = 0; i < 60; ++i) data.push_back(static_cast<unsigned char>(i));
  EXPECT_THAT(SerializeRegFile(OneKey(RegFileFormat::kRegedit4, "HKEY_CURRENT_USER\\A",
                                      {Value("test", REG_BINARY, data)})),
              HasSubstr("\"test\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,"
                        "13,14,15,\\\r\n"
                        "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,"
                        "2d,2e,\\\r\n"
                        "  2f,30,31,32,33,34,35,36,37,38,39,3a,3b\r\n"));

  // U+1F600 as a surrogate pair.
  EXPECT_EQ(
      SerializeRegFile(OneKey(RegFileFormat::kUnicode, "HKEY_CURRENT_USER\\A",
                              {Value("m", REG_MULTI_SZ, Z("\xC3\xA4\xF0\x9F\x98\x80\0"))})),
      "\xFF\xFE" +
          Utf8ToUtf16le("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n"
                        "\"m\"=hex(7):e4,00,3d,d8,00,de,00,00,00,00\r\n\r\n"));
}

TEST(RegFileWriter, NamesALineBreakItCannotWrite) {
  RegFile file = OneKey(RegFileFormat::kUnicode, "HKEY_CURRENT_USER\\A", {});
  EXPECT_EQ(UnwritableName(file), "");
  file.keys[0].values.push_back(Value("a\nb", REG_SZ, Z("x")));
  EXPECT_EQ(UnwritableName(file),
            "the value name 'a\nb' under HKEY_CURRENT_USER\\A holds a line break");
  file.keys.insert(file.keys.begin(), {"HKEY_CURRENT_USER\\B\rC", false, {}});
  EXPECT_THAT(UnwritableName(file), HasSubstr("the key name"));
}

TEST(RegFileParser, ReadsFilesAsWindowsRegeditWritesThem) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; comment\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TORVALE\\VARNO4\\PROGRAMME]\r\n"
      "\"Favis\"=\"C:\\\\Programme\\\\Favis\\\\\"\r\n"
      "\"Path\"=hex(2):25,00,50,00,41,00,\\\r\n"
      "    54,00,48,00,25,00,00,00\r\n"
      "\"Level\"=DWORD:2\r\n"
      "@=-\r\n"
      "\r\n"
      "[-HKEY_CURRENT_USER\\SOFTWARE\\Old]\n";
  const RegFileParseResult parsed = ParseRegFile("\xFF\xFE" + Utf8ToUtf16le(text));
  ASSERT_TRUE(parsed.ok) << parsed.errorLine << ": " << parsed.error;
  EXPECT_EQ(parsed.file.keys,
            (std::vector<RegFileKey>{{"HKEY_LOCAL_MACHINE\\SOFTWARE\\TORVALE\\VARNO4\\PROGRAMME",
                                      false,
                                      {Value("Favis", REG_SZ, Z("C:\\Programme\\Favis\\")),
                                       Value("Path", REG_EXPAND_SZ, Z("%PATH%")),
                                       Value("Level", REG_DWORD, {2, 0, 0, 0}),
                                       {"", true, 0, {}}}},
                                     {"HKEY_CURRENT_USER\\SOFTWARE\\Old", true, {}}}));
  EXPECT_EQ(parsed.file.keys[0].values[1].line, 6);

  // REGEDIT4 takes its bytes unchanged.
  const RegFileParseResult regedit4 =
      ParseRegFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"t\"=\"\xE4\"\n\"h\"=hex(1):e4,00\n");
  ASSERT_TRUE(regedit4.ok) << regedit4.error;
  EXPECT_EQ(regedit4.file.format, RegFileFormat::kRegedit4);
  EXPECT_EQ(regedit4.file.keys[0].values[0].data, Z("\xE4"));
  EXPECT_EQ(regedit4.file.keys[0].values[1].data, Z("\xE4"));
}

TEST(RegFileParser, RefusesMalformedFilesWithLineAndReason) {
  const std::string key = "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n";
  // Line 3 of a Unicode file holds an unpaired high surrogate.
  const std::string brokenUtf16 = "\xFF\xFE" +
                                  Utf8ToUtf16le("Windows Registry Editor Version 5.00\r\n\r\n") +
                                  std::string("\x00\xD8", 2);
  const struct {
    std::string text;
    int line;
    const char* reason;
  } cases[] = {
      {"", 1, "not a registry file"},
      {"REGEDIT5\r\n[HKEY_CURRENT_USER\\A]\r\n", 1, "not a registry file"},
      {"REGEDIT4\n\n\"a\"=\"b\"\n", 3, "before the first [key]"},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\A\n", 2, "closing ]"},
      {"REGEDIT4\n[]\n", 2, "empty key name"},
      {key + "\"a\"\"b\"\n", 3, "'=' expected"},
      {key + "\"a=1\n", 3, "no closing quote"},
      {key + "\"a\"=\"b\n", 3, "no closing quote"},
      {key + "\"a\"=\"b\" x\n", 3, "after the closing"},
      {key + "\"a\"=\"\\n\"\n", 3, "unknown escape"},
      {key + "\"a\"=dword:123456789\n", 3, "dword:"},
      {key + "\"a\"=dword:\n", 3, "dword:"},
      {key + "\"a\"=hex:01,zz\n", 3, "'zz'"},
      {key + "\"a\"=hex:01,,02\n", 3, "''"},
      {key + "\"a\"=hex:123\n", 3, "'123'"},
      {key + "\"a\"=hex(x):00\n", 3, "hex(N)"},
      {key + "\"a\"=hex:00,\\\n", 3, "end of the file"},
      {key + "\"a\"=text\n", 3, "unknown data"},
      {key + "value\n", 3, "neither"},
      {"REGEDIT4\n[-HKEY_CURRENT_USER\\A]\n\"a\"=\"b\"\n", 3, "being deleted"},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex(1):41,00,42\n", 3,
       "not UTF-16LE"},
      {brokenUtf16, 3, ""},
  };
  for (const auto& c : cases) {
    const RegFileParseResult parsed = ParseRegFile(c.text);
    EXPECT_FALSE(parsed.ok) << c.text;
    EXPECT_EQ(parsed.errorLine, c.line) << c.text;
    EXPECT_THAT(parsed.error, HasSubstr(c.reason));
    EXPECT_TRUE(parsed.file.keys.empty());
  }
}

}  // namespace
