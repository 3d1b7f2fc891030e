// What the setters store and what the getters make of a stored value: codes,
// truth values, parameter level, matrix, viewer program, print texts and
// tool paths, with the limits of the buffers they pass through.
#include <functional>
#include <optional>

#include "settings_test.h"

namespace {

using regtest::Binary32;
using regtest::Bytes;
using regtest::Text;
using regtest::Value;

// A setter call and what it leaves under the value; nullopt: it refused the
// text, wrote nothing, gave -1 and reported (10190, report) unless that is 0.
struct Write {
  std::function<long(S&)> write;
  const std::string* key;
  const char* name;
  std::optional<Value> stored;
  unsigned int report = 0;
};

TEST_F(SettingsTest, SettersStoreTheirEncodings) {
  const Write kWrites[] = {
      {CALL(s.SetStoerDatenArt(7)), &kStoerschrieb, "DART", Binary32(7)},
      {CALL(s.SetStoerDatenformat(-1)), &kStoerschrieb, "FORMAT", Binary32(0xffffffff)},
      {CALL(s.SetStoerProgrammName("")), &kStoerschrieb, "GRAFPROG", Text("")},
      {CALL(s.SetStoerProgrammName(Xs(255))), &kStoerschrieb, "GRAFPROG", Text(Xs(255))},
      {CALL(s.SetStoerProgrammName(Xs(256))), &kStoerschrieb, "GRAFPROG", {}, 10194},
      {CALL(s.SetAutoSave(5)), &kOptionen, "AUTOSAVE", Text("TRUE")},
      {CALL(s.SetAutoSave(0)), &kOptionen, "AUTOSAVE", Text("FALSE")},
      {CALL(s.SetUmrechnungPrimaer(-1)), &kOptionen, "UMRECHNUNGPRIM", Text("TRUE")},
      {CALL(s.SetUmrechnungPrimaer(0)), &kOptionen, "UMRECHNUNGPRIM", Text("FALSE")},
      {CALL(s.SetParameterLevel(-1)), &kOptionen, "PARAMETERLEVEL", Binary32(0xffffffff)},
      {CALL(s.SetMatrixOptions(-3, 0, 12, 7)), &kOptionen, "MATRIX", Text("-3, 0, 12, 7")},
      {CALL(s.SetZEBPrintSettings(Xs(2000))), &kOptionen, "ZEBPRINTSETTINGS", Text(Xs(1255))},
      {CALL(s.SetPrintOptions(Xs(12000))), &kOptionen, "PRINTOPTIONS", Text(Xs(9999))},
      {CALL(s.SetCFCPathAndName(Xs(1255))), &kProgramme, "CFC", Text(Xs(1255))},
      {CALL(s.SetCFCPathAndName(Xs(1256))), &kProgramme, "CFC", {}, 10283},
      {CALL(s.SetGraphicToolPath("")), &kProgramme, "GRAFIKTOOLS", Text("")},
      {CALL(s.SetDisplayEditorPathAndName("D:\\e")), &kProgramme, "DISPLAYEDITOR", Text("D:\\e")},
  };
  for (const Write& write : kWrites) {
    SCOPED_TRACE(std::string(write.name) + " #" + std::to_string(&write - kWrites));
    regtest::CreateKey(HKEY_LOCAL_MACHINE, *write.key);
    regtest::Delete(HKEY_LOCAL_MACHINE, *write.key, write.name);
    reports_.clear();
    EXPECT_EQ(write.write(store_), write.stored ? 0 : -1);
    EXPECT_EQ(Stored(*write.key, write.name), write.stored);
    EXPECT_EQ(reports_.pairs(), (write.report ? Pairs{{10190, write.report}} : Pairs{}));
  }
}

std::string Result(long long number) { return std::to_string(number); }
std::string Result(const CString& text) { return static_cast<LPCSTR>(text); }

// A stored value and what a getter gives for it; the read is reported as
// (10191, report) unless that is 0.
struct Read {
  const std::string* key;
  const char* name;
  Value stored;
  std::function<std::string(S&)> read;
  std::string expected;
  unsigned int report = 0;
};

#define READ(expression) CALL(Result(expression))

// GetMatrixOptions: its result and the four options, each starting as 9.
std::string Matrix(S& s) {
  int o[4] = {9, 9, 9, 9};
  std::string result = Result(s.GetMatrixOptions(o, o + 1, o + 2, o + 3));
  for (int option : o) result += ' ' + std::to_string(option);
  return result;
}

TEST_F(SettingsTest, GettersReadStoredValues) {
  const Value kDword1{REG_DWORD, Bytes({1, 0, 0, 0})}, kShort{REG_BINARY, Bytes({0x2c, 0x01})},
      kLong{REG_BINARY, Bytes({1, 2, 3, 4, 5, 6, 7, 8})};
  const Read kReads[] = {
      {&kStoerschrieb, "DART", Binary32(7), READ(s.GetStoerDatenArt()), "7"},
      {&kStoerschrieb, "FORMAT", Binary32(0xffffffff), READ(s.GetStoerDatenformat()), "4294967295"},
      {&kStoerschrieb, "DART", kShort, READ(s.GetStoerDatenArt()), "300"},
      {&kStoerschrieb, "FORMAT", kDword1, READ(s.GetStoerDatenformat()), "1"},
      {&kStoerschrieb, "FORMAT", kLong, READ(s.GetStoerDatenformat()), "0", 10192},
      {&kStoerschrieb, "GRAFPROG", Text(Xs(255)), READ(s.GetStoerProgrammName()), Xs(255)},
      {&kStoerschrieb, "GRAFPROG", Text(Xs(256)), READ(s.GetStoerProgrammName()), "", 10194},
      {&kProgramme, "COMTRADEVIEWER", Text("C:\\"), READ(s.GetComtradeViewerPath()), "C:\\"},
      {&kOptionen, "AUTOSAVE", Text("TRUE"), READ(s.GetAutoSave()), "1"},
      {&kOptionen, "AUTOSAVE", Text("true"), READ(s.GetAutoSave()), "0"},
      {&kOptionen, "AUTOSAVE", Text("1"), READ(s.GetAutoSave()), "0"},
      {&kOptionen, "AUTOSAVE", Text("TRUE "), READ(s.GetAutoSave()), "0"},
      {&kOptionen, "AUTOSAVE", kDword1, READ(s.GetAutoSave()), "0"},
      {&kOptionen, "UMRECHNUNGPRIM", Text("TRUE"), READ(s.GetUmrechnungPrimaer()), "1"},
      {&kOptionen, "UMRECHNUNGPRIM", Text("True"), READ(s.GetUmrechnungPrimaer()), "0"},
      {&kOptionen, "PARAMETERLEVEL", Binary32(0xffffffff), READ(s.GetParameterLevel()),
       "4294967295"},
      {&kOptionen, "PARAMETERLEVEL", kDword1, READ(s.GetParameterLevel()), "1"},
      {&kOptionen, "PARAMETERLEVEL", kShort, READ(s.GetParameterLevel()), "300"},
      {&kOptionen, "PARAMETERLEVEL", kLong, READ(s.GetParameterLevel()), "0", 10293},
      // The matrix options are parsed as sscanf parses "%d, %d, %d, %d".
      {&kOptionen, "MATRIX", Text("4,5,6"), Matrix, "0 4 5 6 9"},
      {&kOptionen, "MATRIX", Text("x, 1, 2, 3"), Matrix, "0 9 9 9 9"},
      {&kOptionen, "MATRIX", Text(" 1,\t 2,3,   -4"), Matrix, "0 1 2 3 -4"},
      {&kOptionen, "MATRIX", Text("1 , 2, 3, 4"), Matrix, "0 1 9 9 9"},
      {&kOptionen, "MATRIX", Text("+1, -2, 3, 4 trailing"), Matrix, "0 1 -2 3 4"},
      {&kOptionen, "MATRIX", Text("1, , 3, 4"), Matrix, "0 1 9 9 9"},
      {&kOptionen, "MATRIX", Text(""), Matrix, "0 9 9 9 9"},
      {&kOptionen, "ZEBPRINTSETTINGS", Text(Xs(1255)), READ(s.GetZEBPrintSettings()), Xs(1255)},
      {&kOptionen, "ZEBPRINTSETTINGS", Text(Xs(1256)), READ(s.GetZEBPrintSettings()), ""},
      {&kOptionen, "PRINTOPTIONS", Text(Xs(9999)), READ(s.GetPrintOptions()), Xs(9999)},
      {&kProgramme, "CFC", Text(Xs(1255)), READ(s.GetCFCPathAndName()), Xs(1255)},
      {&kProgramme, "CFC", Text(Xs(1256)), READ(s.GetCFCPathAndName()), "", 10283},
      {&kProgramme, "GRAFIKTOOLS", Text(""), READ(s.GetGraphicToolPath()), ""},
      {&kProgramme, "DISPLAYEDITOR", Text(Xs(300)), READ(s.GetDisplayEditorPathAndName()), Xs(300)},
      // The display editor counts as present with 1 to 255 characters.
      {&kProgramme, "DISPLAYEDITOR", Text(""), READ(s.GetBildEditorProg()), "0"},
      {&kProgramme, "DISPLAYEDITOR", Text("e"), READ(s.GetBildEditorProg()), "1"},
      {&kProgramme, "DISPLAYEDITOR", Text(Xs(255)), READ(s.GetBildEditorProg()), "1"},
      {&kProgramme, "DISPLAYEDITOR", Text(Xs(256)), READ(s.GetBildEditorProg()), "0"},
  };
  for (const Read& read : kReads) {
    SCOPED_TRACE(std::string(read.name) + " #" + std::to_string(&read - kReads));
    Store(*read.key, read.name, read.stored);
    reports_.clear();
    EXPECT_EQ(read.read(store_), read.expected);
    EXPECT_EQ(reports_.pairs(), (read.report ? Pairs{{10191, read.report}} : Pairs{}));
  }
}

// Neither presence test reports anything.
TEST_F(SettingsTest, PresenceTestsAskTheirKeys) {
  EXPECT_EQ(store_.GetBildEditorProg(), 0);
  EXPECT_EQ(store_.GetCfcProg(), 0);
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kProgramme);
  EXPECT_EQ(store_.GetBildEditorProg(), 0);
  regtest::CreateKey(HKEY_LOCAL_MACHINE,
                     "SOFTWARE\\TORVALE\\MORLIN\\2.0\\APPLICATIONS\\QZCHART\\RORAZE\\VARNO");
  EXPECT_EQ(store_.GetCfcProg(), 1);
  EXPECT_TRUE(reports_.messages().empty());
}

}  // namespace
