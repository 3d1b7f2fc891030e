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

// Every type, non-ASCII names, and the awkward data that must travel in hex
// form. A Unicode file also carries what a REGEDIT4 file in Windows-1252
// cannot: characters beyond the code page, bytes that are not UTF-8, and
// text data that is not valid UTF-16.
TEST_P(RegFileRoundTrip, GivesBackEveryTypeAndByte) {
  const bool unicode = GetParam() == RegFileFormat::kUnicode;
  RegFile original = OneKey(GetParam(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\TORVALE\\VARNO4\\OPTIONEN",
                            {
                                Value("", REG_SZ, Z("default")),
                                Value("quote\"and\\slash", REG_SZ, Z("C:\\Pro\"g")),
                                Value("n\xC3\xA4me", REG_SZ,
                                      Z("Gr\xC3\xBC\xC3\x9F"
                                        "e \xE2\x82\xAC")),
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
  original.keys.push_back({"HKEY_CURRENT_USER\\SOFTWARE\\TORVALE\\Schl\xC3\xBCssel",
                           false,
                           {Value("x", REG_SZ, Z("y")), {"old", true, 0, {}}}});
  original.keys.push_back({"HKEY_CURRENT_USER\\SOFTWARE\\Gone", true, {}});
  if (unicode) {
    original.keys.push_back(
        {"HKEY_CURRENT_USER\\SOFTWARE\\\xF0\x9F\x98\x80",
         false,
         {
             Value("\xD0\x98\xD0\xBC\xD1\x8F", REG_SZ, Z("\xE6\x97\xA5\xF0\x9F\x98\x80")),
             // Not UTF-8: Latin-1 bytes, a stray continuation, a surrogate.
             Value("latin1", REG_SZ, Z("\xE4\xF6\xFF\x80\xED\xB2\x80")),
             // What UTF-16 data that is not valid UTF-16 is held as.
             Value("lone high", REG_SZ, Z("a\xED\xA0\x80")),
             Value("lone low", REG_EXPAND_SZ, Z("\xED\xB0\x80z")),
             Value("odd length", REG_SZ, {'a', 0xF8, 0x84, 0x82}),
             Value("high before byte", REG_MULTI_SZ, {0xED, 0xA0, 0x80, 0xE4}),
         }});
  }
  ASSERT_EQ(UnwritableName(original), "");
  const RegFileParseResult parsed = ParseRegFile(SerializeRegFile(original));
  ASSERT_TRUE(parsed.ok) << parsed.errorLine << ": " << parsed.error;
  EXPECT_EQ(parsed.file.format, GetParam());
  EXPECT_EQ(parsed.file.keys, original.keys);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, RegFileRoundTrip,
                         ::testing::Values(RegFileFormat::kUnicode, RegFileFormat::kRegedit4));

// Text data in a Unicode file that is not valid UTF-16 is held so that it
// is written back byte for byte; valid UTF-16 becomes valid UTF-8.
TEST(TextEncoding, HoldsAnyUtf16DataAndGivesItBack) {
  const std::string u16[] = {
      std::string("A\0", 2),       // plain text
      std::string("A\0B", 3),      // odd length
      std::string("\x00\xD8", 2),  // lone high surrogate at the end
      std::string("\x00\xD8"
                  "A\0",
                  4),                      // lone high surrogate before a character
      std::string("\x00\xD8\x00\xD8", 4),  // two high surrogates
      std::string("\x00\xDC"
                  "A\0",
                  4),                              // lone low surrogate
      std::string("\xE4\xDC", 2),                  // lone low surrogate in the range of bytes
      std::string("\x3D\xD8\x00\xDE", 4),          // a pair: U+1F600
      std::string("\x00\xD8\x00\xD8\x00\xDE", 6),  // a lone high, then a pair
      std::string(),
  };
  for (const std::string& data : u16) {
    EXPECT_EQ(Utf8ToUtf16le(Utf16leToUtf8(data)), data) << ::testing::PrintToString(data);
  }
  EXPECT_EQ(Utf16leToUtf8(std::string("\x3D\xD8\x00\xDE", 4)), "\xF0\x9F\x98\x80");
  EXPECT_TRUE(IsValidUtf8(Utf16leToUtf8(std::string("\xE4\0\xAC\x20", 4))));

  // Any 8-bit text comes back too, including what looks like held UTF-16.
  const std::string u8[] = {
      "\xED\xA0\x80",              // a lone high surrogate's form
      "\xED\xA0\x80\xED\xB0\x80",  // a high and a low form: not a pair
      "\xED\xA0\x80\xE4",          // a high form before a byte
      "\xED\xA0\x80\xED\xA0\x80\x80",
      "\xF8\x84",       // too short for an odd byte
      "\xF8\x84\x82x",  // an odd byte's form, not at the end
      "\xC0\x80\xFF",
  };
  for (const std::string& text : u8) {
    EXPECT_EQ(Utf16leToUtf8(Utf8ToUtf16le(text)), text) << ::testing::PrintToString(text);
  }
  EXPECT_EQ(ValidUtf8("a\xE4\xC3\xA4"), "a\xEF\xBF\xBD\xC3\xA4");
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));
}

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
            "the value name 'a\nb' under HKEY_CURRENT_USER\\A holds a line break, which a .reg "
            "file cannot hold");
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

  // REGEDIT4 is read in Windows-1252, hex text data too.
  const RegFileParseResult regedit4 =
      ParseRegFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"t\"=\"\xE4\"\n\"h\"=hex(1):e4,80,00\n");
  ASSERT_TRUE(regedit4.ok) << regedit4.error;
  EXPECT_EQ(regedit4.file.format, RegFileFormat::kRegedit4);
  EXPECT_EQ(regedit4.file.keys[0].values[0].data, Z("\xC3\xA4"));
  EXPECT_EQ(regedit4.file.keys[0].values[1].data, Z("\xC3\xA4\xE2\x82\xAC"));
}

// A REGEDIT4 file written on a machine with another code page, read with
// --codepage and written back in the same bytes.
TEST(RegFileCodePage, ReadsAndWritesTheTextOfTheCodePage) {
  const struct {
    unsigned codePage;
    std::string name;  // as the file holds it
    std::string data;
    std::string utf8Name;  // as the registry holds it
    std::string utf8Data;
  } cases[] = {
      // Western Europe: "näme"="Grüße €"
      {1252, "n\xE4me",
       "Gr\xFC\xDF"
       "e \x80",
       "n\xC3\xA4me",
       "Gr\xC3\xBC\xC3\x9F"
       "e \xE2\x82\xAC"},
      // Central Europe: "Příliš"
      {1250, "P\xF8\xEDli\x9A", "\x8A", "P\xC5\x99\xC3\xADli\xC5\xA1", "\xC5\xA0"},
      // Cyrillic: "Имя"="Привет"
      {1251, "\xC8\xEC\xFF", "\xCF\xF0\xE8\xE2\xE5\xF2", "\xD0\x98\xD0\xBC\xD1\x8F",
       "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
      // Japanese: "表" ends in the byte of a backslash, which must not escape the quote.
      {932, "\x95\x5C", "\x83\x5C\x83\x74\x83\x67", "\xE8\xA1\xA8",
       "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88"},
      // UTF-8 itself.
      {65001, "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.codePage);
    const std::string file = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + c.name + "]\r\n\"" + c.name +
                             "\"=\"" + c.data + "\"\r\n\r\n";
    const RegFileParseResult parsed = ParseRegFile(file, c.codePage);
    ASSERT_TRUE(parsed.ok) << parsed.errorLine << ": " << parsed.error;
    ASSERT_EQ(parsed.file.keys.size(), 1u);
    EXPECT_EQ(parsed.file.keys[0].path, "HKEY_CURRENT_USER\\" + c.utf8Name);
    const std::string data = c.utf8Data + '\0';
    EXPECT_EQ(
        parsed.file.keys[0].values,
        (std::vector<RegFileValue>{Value(c.utf8Name, REG_SZ, Bytes(data.begin(), data.end()))}));
    EXPECT_EQ(parsed.file.codePage, c.codePage);
    EXPECT_EQ(UnwritableName(parsed.file), "");
    EXPECT_EQ(SerializeRegFile(parsed.file), file);
  }

  // What the code page cannot hold is refused with its name; a byte that is
  // no character of the code page refuses the file with its line.
  RegFile cyrillic = OneKey(RegFileFormat::kRegedit4, "HKEY_CURRENT_USER\\A",
                            {Value("\xD0\x98\xD0\xBC\xD1\x8F", REG_SZ, Z("x"))});
  EXPECT_EQ(
      UnwritableName(cyrillic),
      "the value name '\xD0\x98\xD0\xBC\xD1\x8F' under HKEY_CURRENT_USER\\A holds text that code "
      "page 1252 cannot hold");
  cyrillic.codePage = 1251;
  EXPECT_EQ(UnwritableName(cyrillic), "");
  cyrillic.keys[0].values[0] = Value("n", REG_EXPAND_SZ, Z("\xE2\x82\xAC \xE4"));
  EXPECT_THAT(UnwritableName(cyrillic), HasSubstr("the data of the value 'n'"));
  cyrillic.keys[0].path = "HKEY_CURRENT_USER\\\xF0\x9F\x98\x80";
  EXPECT_THAT(UnwritableName(cyrillic), HasSubstr("the key name"));
  cyrillic.format = RegFileFormat::kUnicode;
  EXPECT_EQ(UnwritableName(cyrillic), "");

  const RegFileParseResult undefined =
      ParseRegFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"a\"=hex(1):82,00\n", 932);
  EXPECT_FALSE(undefined.ok);
  EXPECT_EQ(undefined.errorLine, 3);
  EXPECT_THAT(undefined.error, HasSubstr("not text in code page 932"));
  const RegFileParseResult truncated =
      ParseRegFile("REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\n\"a\x82\"=\"b\"\n", 932);
  EXPECT_FALSE(truncated.ok);
  EXPECT_EQ(truncated.errorLine, 4);
  EXPECT_THAT(truncated.error, HasSubstr("not text in code page 932"));
}

// What Windows' regedit (and Wine's) reads besides what it writes.
TEST(RegFileParser, ReadsWhatRegeditAccepts) {
  const std::string key = "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n";
  const struct {
    std::string text;
    RegFileValue value;
  } cases[] = {
      // Line ends of CR alone, as old Mac editors write them.
      {"REGEDIT4\r\r[HKEY_CURRENT_USER\\A]\r\"v\"=\"DValue\"\r", Value("v", REG_SZ, Z("DValue"))},
      {"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\"v\"=\"x\"\n", Value("v", REG_SZ, Z("x"))},
      // Wine's escapes of line breaks.
      {key + "\"a\\nb\"=\"1\\r\\n2\\\\n\"\n", Value("a\nb", REG_SZ, Z("1\r\n2\\n"))},
      // Comments after the data.
      {key + "\"v\"=\"x\" ;comment\n", Value("v", REG_SZ, Z("x"))},
      {key + "\"v\"=dword:1f ; comment\n", Value("v", REG_DWORD, {0x1f, 0, 0, 0})},
      {key + "\"v\"=hex:01,02;comment\n", Value("v", REG_BINARY, {1, 2})},
      {key + "#comment\n\"v\"=hex:01\n", Value("v", REG_BINARY, {1})},
      // Comments inside continued hex data, and where they end it.
      {key + "\"v\"=hex:11,22,\\;comment\n  33,\\\n  44\n",
       Value("v", REG_BINARY, {0x11, 0x22, 0x33, 0x44})},
      {key + "\"v\"=hex:11,\\\n; a comment line\n\n  22\n", Value("v", REG_BINARY, {0x11, 0x22})},
      {key + "\"v\"=hex:11,22,;comment\n", Value("v", REG_BINARY, {0x11, 0x22})},
      {key + "\"v\"=hex(7):4c,69,\\\n  6e,65,00,00,\n", Value("v", REG_MULTI_SZ, Z("Line\0"))},
      {key + "\"v\"=hex(2):\\\n  25,00\n", Value("v", REG_EXPAND_SZ, Z("%"))},
      // Continued data at the end of the file ends there.
      {key + "\"v\"=hex:11,22,\\", Value("v", REG_BINARY, {0x11, 0x22})},
      // A byte of more than two digits, as long as it is a byte.
      {key + "\"v\"=hex:012,0001,a\n", Value("v", REG_BINARY, {0x12, 0x01, 0x0a})},
      // Blanks around the bytes, after the comma.
      {key + "\"v\"=hex:  01,\t02 \n", Value("v", REG_BINARY, {1, 2})},
      // Text data in hex form, UTF-16 in a Unicode file: odd length and a
      // lone surrogate are held as they are.
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex(1):41,00,42\n",
       Value("v", REG_SZ, {'A', 0xF8, 0x84, 0x82})},
      {"Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex(1):00,d8,00,00\n",
       Value("v", REG_SZ, Z("\xED\xA0\x80"))},
      {key + "\"v\"=-  ;gone\n", {"v", true, 0, {}}},
  };
  for (const auto& c : cases) {
    const RegFileParseResult parsed = ParseRegFile(c.text);
    ASSERT_TRUE(parsed.ok) << c.text << "\nline " << parsed.errorLine << ": " << parsed.error;
    ASSERT_EQ(parsed.file.keys.size(), 1u) << c.text;
    EXPECT_EQ(parsed.file.keys[0].values, std::vector<RegFileValue>{c.value}) << c.text;
  }
}

TEST(RegFileParser, RefusesMalformedFilesWithLineAndReason) {
  const std::string key = "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n";
  // A Unicode file with an odd number of bytes.
  const std::string oddUtf16 =
      "\xFF\xFE" + Utf8ToUtf16le("Windows Registry Editor Version 5.00\r\n\r\nx") + "y";
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
      {key + "\"a\"=\"\\t\"\n", 3, "unknown escape \\t"},
      {key + "\"a\"=\"\\0\"\n", 3, "unknown escape \\0"},
      {key + "\"a\"=dword:123456789\n", 3, "dword:"},
      {key + "\"a\"=dword:\n", 3, "dword:"},
      {key + "\"a\"=hex:01,zz\n", 3, "'zz'"},
      {key + "\"a\"=hex:01,,02\n", 3, "''"},
      {key + "\"a\"=hex:123\n", 3, "'123'"},
      {key + "\"a\"=hex:01 ,02\n", 3, "'01'"},
      {key + "\"a\"=hex:01,02\\\n", 3, "'02\\'"},
      {key + "\"a\"=hex:01,\\ x\n", 3, "after the backslash"},
      {key + "\"a\"=hex:01,\\\n;c\n  x1\n", 5, "'x1'"},
      {key + "\"a\"=dword:1 2\n", 3, "dword:"},
      {key + "\"a\"=hex(x):00\n", 3, "hex(N)"},
      {key + "\"a\"=text\n", 3, "unknown data"},
      {key + "value\n", 3, "neither"},
      {"REGEDIT4\n[-HKEY_CURRENT_USER\\A]\n\"a\"=\"b\"\n", 3, "being deleted"},
      {oddUtf16, 3, "half a character"},
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
