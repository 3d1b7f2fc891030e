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

using Bytes = std::vector<unsigned char>;

Bytes B(std::string_view s) { return Bytes(s.begin(), s.end()); }

RegFileValue Value(std::string name, uint32_t type, Bytes data) {
  RegFileValue v;
  v.name = std::move(name);
  v.type = type;
  v.data = std::move(data);
  return v;
}

// Every type, and the awkward data that must travel in hex form.
RegFile SampleFile(RegFileFormat format) {
  RegFile file;
  file.format = format;
  RegFileKey key;
  key.path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\TORVALE\\VARNO4\\OPTIONEN";
  key.values = {
      Value("", REG_SZ, B(std::string("default\0", 8))),
      Value("AUTOSAVE", REG_SZ, B(std::string("FALSE\0", 6))),
      Value("quote\"and\\slash", REG_SZ, B(std::string("C:\\Pro\"g\0", 9))),
      Value("umlaut", REG_SZ,
            B(std::string("Gr\xC3\xBC\xC3\x9F"
                          "e\0",
                          8))),
      Value("latin1", REG_SZ, B(std::string("\xE4\xF6\0", 3))),
      Value("unterminated", REG_SZ, B("abc")),
      Value("embedded zero", REG_SZ, B(std::string("a\0b\0", 4))),
      Value("newline", REG_SZ, B(std::string("a\r\nb\0", 5))),
      Value("empty sz", REG_SZ, B(std::string("\0", 1))),
      Value("no data sz", REG_SZ, {}),
      Value("expand", REG_EXPAND_SZ, B(std::string("%HOME%\\x\0", 9))),
      Value("multi", REG_MULTI_SZ, B(std::string("one\0zwei\xC3\xA4\0\0", 12))),
      Value("dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}),
      Value("short dword", REG_DWORD, {1, 2}),
      Value("qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 0x80}),
      Value("binary", REG_BINARY, Bytes(100, 0xAB)),
      Value("empty binary", REG_BINARY, {}),
      Value("none", REG_NONE, {0, 1}),
      Value("odd type", 0x12345678, {9}),
  };
  file.keys.push_back(key);
  RegFileKey sub;
  sub.path = "HKEY_CURRENT_USER\\SOFTWARE\\TORVALE\\Sub Key";
  sub.values = {Value("x", REG_SZ, B(std::string("y\0", 2)))};
  file.keys.push_back(sub);
  RegFileKey gone;
  gone.path = "HKEY_CURRENT_USER\\SOFTWARE\\Gone";
  gone.remove = true;
  file.keys.push_back(gone);
  RegFileValue removed;
  removed.name = "old";
  removed.remove = true;
  file.keys[1].values.push_back(removed);
  return file;
}

class RegFileRoundTrip : public ::testing::TestWithParam<RegFileFormat> {};

TEST_P(RegFileRoundTrip, GivesBackEveryTypeAndByte) {
  const RegFile original = SampleFile(GetParam());
  const RegFileParseResult parsed = ParseRegFile(SerializeRegFile(original));
  ASSERT_TRUE(parsed.ok) << parsed.errorLine << ": " << parsed.error;
  EXPECT_EQ(parsed.file.format, GetParam());
  EXPECT_EQ(parsed.file.keys, original.keys);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, RegFileRoundTrip,
                         ::testing::Values(RegFileFormat::kUnicode, RegFileFormat::kRegedit4));

TEST(RegFileWriter, WritesRegedit4AsRegeditDoes) {
  RegFile file;
  file.format = RegFileFormat::kRegedit4;
  RegFileKey key;
  key.path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\A";
  key.values = {Value("", REG_SZ, B(std::string("d\0", 2))),
                Value("s", REG_SZ, B(std::string("a\\\"b\0", 5))),
                Value("n", REG_DWORD, {0x0a, 0, 0, 0}),
                Value("e", REG_EXPAND_SZ, B(std::string("ab\0", 3))),
                Value("q", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0})};
  file.keys.push_back(key);
  EXPECT_EQ(SerializeRegFile(file),
            "REGEDIT4\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n"
            "@=\"d\"\r\n"
            "\"s\"=\"a\\\\\\\"b\"\r\n"
            "\"n\"=dword:0000000a\r\n"
            "\"e\"=hex(2):61,62,00\r\n"
            "\"q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
            "\r\n");
}

TEST(RegFileWriter, WrapsHexDataAt80ColumnsAsRegeditDoes) {
  RegFile file;
  file.format = RegFileFormat::kRegedit4;
  RegFileKey key;
  key.path = "HKEY_CURRENT_USER\\A";
  Bytes data;
  for (int i = 0; i < 60; ++i) data.push_back(static_cast<unsigned char>(i));
  key.values = {Value("test", REG_BINARY, data)};
  file.keys.push_back(key);
  const std::string text = SerializeRegFile(file);
  // "test"=hex: takes 11 columns, so the first line holds 22 bytes, the
  // following ones 25 each after their two blanks.
  EXPECT_THAT(text, ::testing::HasSubstr(
                        "\"test\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,"
                        "13,14,15,\\\r\n"
                        "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,"
                        "2d,2e,\\\r\n"
                        "  2f,30,31,32,33,34,35,36,37,38,39,3a,3b\r\n"));
}

TEST(RegFileWriter, WritesUnicodeFilesAsUtf16leWithByteOrderMark) {
  RegFile file;
  RegFileKey key;
  key.path = "HKEY_CURRENT_USER\\A";
  key.values = {Value("m", REG_MULTI_SZ, B(std::string("\xC3\xA4\0\0", 4)))};
  file.keys.push_back(key);
  const std::string bytes = SerializeRegFile(file);
  ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  const auto text = Utf16leToUtf8(bytes.substr(2));
  ASSERT_TRUE(text);
  EXPECT_EQ(*text,
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n"
            "\"m\"=hex(7):e4,00,00,00,00,00\r\n\r\n");
}

TEST(RegFileWriter, NamesALineBreakItCannotWrite) {
  RegFile file;
  file.keys.push_back({"HKEY_CURRENT_USER\\A", false, {}});
  EXPECT_EQ(UnwritableName(file), "");
  file.keys[0].values.push_back({"a\nb", false, REG_SZ, {'x', 0}});
  EXPECT_EQ(UnwritableName(file),
            "the value name 'a\nb' under HKEY_CURRENT_USER\\A holds a line break");
  file.keys.insert(file.keys.begin(), {"HKEY_CURRENT_USER\\B\rC", false, {}});
  EXPECT_NE(UnwritableName(file).find("the key name"), std::string::npos);
}

TEST(RegFileParser, ReadsAFileAsWindowsRegeditWritesIt) {
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
  ASSERT_EQ(parsed.file.keys.size(), 2u);
  const RegFileKey& key = parsed.file.keys[0];
  EXPECT_EQ(key.path, "HKEY_LOCAL_MACHINE\\SOFTWARE\\TORVALE\\VARNO4\\PROGRAMME");
  ASSERT_EQ(key.values.size(), 4u);
  EXPECT_EQ(key.values[0], Value("Favis", REG_SZ, B(std::string("C:\\Programme\\Favis\\\0", 20))));
  EXPECT_EQ(key.values[1], Value("Path", REG_EXPAND_SZ, B(std::string("%PATH%\0", 7))));
  EXPECT_EQ(key.values[1].line, 6);
  EXPECT_EQ(key.values[2], Value("Level", REG_DWORD, {2, 0, 0, 0}));
  EXPECT_TRUE(key.values[3].remove);
  EXPECT_EQ(key.values[3].name, "");
  EXPECT_TRUE(parsed.file.keys[1].remove);
  EXPECT_EQ(parsed.file.keys[1].path, "HKEY_CURRENT_USER\\SOFTWARE\\Old");
}

TEST(RegFileParser, TakesRegedit4BytesUnchanged) {
  const RegFileParseResult parsed =
      ParseRegFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"t\"=\"\xE4\"\n\"h\"=hex(1):e4,00\n");
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(parsed.file.format, RegFileFormat::kRegedit4);
  EXPECT_EQ(parsed.file.keys[0].values[0].data, B(std::string("\xE4\0", 2)));
  EXPECT_EQ(parsed.file.keys[0].values[1].data, B(std::string("\xE4\0", 2)));
}

struct MalformedCase {
  const char* text;
  int line;
  const char* reason;
};

void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.reason; }

class RegFileMalformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(RegFileMalformed, IsRefusedWithLineAndReason) {
  const MalformedCase& c = GetParam();
  const RegFileParseResult parsed = ParseRegFile(c.text);
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(parsed.errorLine, c.line);
  EXPECT_THAT(parsed.error, ::testing::HasSubstr(c.reason));
  EXPECT_TRUE(parsed.file.keys.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegFileMalformed,
    ::testing::Values(
        MalformedCase{"", 1, "not a registry file"},
        MalformedCase{"REGEDIT5\r\n[HKEY_CURRENT_USER\\A]\r\n", 1, "not a registry file"},
        MalformedCase{"REGEDIT4\n\n\"a\"=\"b\"\n", 3, "before the first [key]"},
        MalformedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A\n", 2, "closing ]"},
        MalformedCase{"REGEDIT4\n[]\n", 2, "empty key name"},
        MalformedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"\"b\"\n", 3, "'=' expected"},
        MalformedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a=1\n", 3, "no closing quote"},
        MalformedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"b\n", 3, "no closing quote"},
        MalformedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"b\" x\n", 3, "after the closing"},
        MalformedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=\"\\n\"\n", 3, "unknown escape"},
        MalformedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:123456789\n", 3, "dword:"},
        MalformedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=dword:\n", 3, "dword:"},
        MalformedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:01,zz\n", 3, "'zz'"},
        MalformedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:01,,02\n", 3, "''"},
        MalformedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:123\n", 3, "'123'"},
        MalformedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex(x):00\n", 3, "hex(N)"},
        MalformedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex:00,\\\n", 3, "end of the file"},
        MalformedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=text\n", 3, "unknown data"},
        MalformedCase{"REGEDIT4\n[HKEY_CURRENT_USER\\A]\nvalue\n", 3, "neither"},
        MalformedCase{"REGEDIT4\n[-HKEY_CURRENT_USER\\A]\n\"a\"=\"b\"\n", 3, "being deleted"},
        MalformedCase{"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n"
                      "\"a\"=hex(1):41,00,42\n",
                      3, "not UTF-16LE"}));

TEST(RegFileParser, RefusesBrokenUtf16WithTheLineOfTheFault) {
  // Line 3 holds an unpaired high surrogate.
  std::string bytes = "\xFF\xFE" + Utf8ToUtf16le("Windows Registry Editor Version 5.00\r\n\r\n");
  bytes += std::string("\x00\xD8", 2);
  const RegFileParseResult parsed = ParseRegFile(bytes);
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(parsed.errorLine, 3);
}

TEST(TextEncoding, KeepsEveryByteStringThroughUtf16) {
  for (const std::string& s : {std::string("plain"), std::string("\xC3\xA4\xF0\x9F\x98\x80", 6),
                               std::string("\xE4\xFF\x80\0x", 5), std::string("\xED\xB2\x80", 3)}) {
    const auto back = Utf16leToUtf8(Utf8ToUtf16le(s));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, s);
  }
  EXPECT_EQ(Utf8ToUtf16le("\xF0\x9F\x98\x80"), std::string("\x3D\xD8\x00\xDE", 4));
}

}  // namespace
