// Options: truth values, parameter level, matrix options and print texts.
#include "settings_test.h"

namespace {

using regtest::Bytes;
using regtest::Text;

class OptionsTest : public SettingsTest {
 protected:
  void SetUp() override { regtest::CreateKey(HKEY_LOCAL_MACHINE, kOptionen); }
};

TEST_F(OptionsTest, TruthValuesAreStoredAsTrueOrFalseAndOnlyExactlyTrueReadsAsTrue) {
  ASSERT_EQ(store_.SetAutoSave(5), 0);
  EXPECT_EQ(Stored(kOptionen, "AUTOSAVE"),
            (regtest::Value{REG_SZ, Bytes({'T', 'R', 'U', 'E', 0})}));
  EXPECT_EQ(store_.GetAutoSave(), 1);
  ASSERT_EQ(store_.SetUmrechnungPrimaer(-1), 0);
  EXPECT_EQ(Stored(kOptionen, "UMRECHNUNGPRIM"), Text("TRUE"));
  EXPECT_EQ(store_.GetUmrechnungPrimaer(), 1);
  ASSERT_EQ(store_.SetAutoSave(0), 0);
  EXPECT_EQ(Stored(kOptionen, "AUTOSAVE"), Text("FALSE"));
  EXPECT_EQ(store_.GetAutoSave(), 0);
  const regtest::Value kFalseReadings[] = {
      Text("true"), Text("True"), Text("1"), Text("TRUE "), {REG_DWORD, Bytes({1, 0, 0, 0})}};
  for (const regtest::Value& value : kFalseReadings) {
    SCOPED_TRACE(testing::PrintToString(value));
    Store(kOptionen, "AUTOSAVE", value);
    Store(kOptionen, "UMRECHNUNGPRIM", value);
    EXPECT_EQ(store_.GetAutoSave(), 0);
    EXPECT_EQ(store_.GetUmrechnungPrimaer(), 0);
  }
  EXPECT_TRUE(reports_.messages().empty());
}

TEST_F(OptionsTest, ParameterLevelIsFourBinaryBytesReadUnsigned) {
  ASSERT_EQ(store_.SetParameterLevel(-1), 0);
  EXPECT_EQ(Stored(kOptionen, "PARAMETERLEVEL"),
            (regtest::Value{REG_BINARY, Bytes({0xff, 0xff, 0xff, 0xff})}));
  EXPECT_EQ(store_.GetParameterLevel(), 4294967295ul);
  Store(kOptionen, "PARAMETERLEVEL", {REG_DWORD, Bytes({3, 0, 0, 0})});
  EXPECT_EQ(store_.GetParameterLevel(), 3u);
  Store(kOptionen, "PARAMETERLEVEL", {REG_BINARY, Bytes({2})});
  EXPECT_EQ(store_.GetParameterLevel(), 2u);
  Store(kOptionen, "PARAMETERLEVEL", {REG_BINARY, Bytes({1, 2, 3, 4, 5})});
  EXPECT_EQ(store_.GetParameterLevel(), 0u);
  EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({{10191, 10293}}));
}

// A stored matrix text and the options it sets (9: left unchanged).
struct MatrixParse {
  const char* text;
  std::vector<int> options;
};

const MatrixParse kMatrixParses[] = {
    {"4,5,6", {4, 5, 6, 9}},
    {"x, 1, 2, 3", {9, 9, 9, 9}},
    {" 1,\t 2,3,   -4", {1, 2, 3, -4}},
    {"1 , 2, 3, 4", {1, 9, 9, 9}},
    {"+1, -2, 3, 4 trailing", {1, -2, 3, 4}},
    {"1, , 3, 4", {1, 9, 9, 9}},
    {"", {9, 9, 9, 9}},
};

TEST_F(OptionsTest, MatrixOptionsAreWrittenAsListAndParsedAsSscanfDoes) {
  ASSERT_EQ(store_.SetMatrixOptions(-3, 0, 12, 7), 0);
  EXPECT_EQ(Stored(kOptionen, "MATRIX"), Text("-3, 0, 12, 7"));
  for (const MatrixParse& parse : kMatrixParses) {
    SCOPED_TRACE(parse.text);
    Store(kOptionen, "MATRIX", Text(parse.text));
    int a = 9, b = 9, c = 9, d = 9;
    EXPECT_EQ(store_.GetMatrixOptions(&a, &b, &c, &d), 0);
    EXPECT_EQ(std::vector<int>({a, b, c, d}), parse.options);
  }
}

TEST_F(OptionsTest, PrintTextsAreCutToTheirLimits) {
  ASSERT_EQ(store_.SetZEBPrintSettings(std::string(2000, 'z').c_str()), 0);
  EXPECT_EQ(Stored(kOptionen, "ZEBPRINTSETTINGS"), Text(std::string(1255, 'z')));
  EXPECT_EQ(std::string(store_.GetZEBPrintSettings()), std::string(1255, 'z'));
  ASSERT_EQ(store_.SetPrintOptions(std::string(12000, 'p').c_str()), 0);
  EXPECT_EQ(Stored(kOptionen, "PRINTOPTIONS"), Text(std::string(9999, 'p')));
  EXPECT_EQ(std::string(store_.GetPrintOptions()), std::string(9999, 'p'));
  // Print settings too long for the buffer read empty, silently.
  Store(kOptionen, "ZEBPRINTSETTINGS", Text(std::string(1256, 'z')));
  EXPECT_TRUE(store_.GetZEBPrintSettings().IsEmpty());
  EXPECT_TRUE(reports_.messages().empty());
  // A failed print options write is reported with its value path.
  RegDiagFailNth(REGDIAG_SET, 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(store_.SetPrintOptions("p"), -1);
  EXPECT_EQ(
      reports_.messages(),
      std::vector<std::string>({ReportCapture::LibraryMessage(102, kOptionen + "\\PRINTOPTIONS")}));
}

}  // namespace
