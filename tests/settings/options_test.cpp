// Options: truth values, parameter level, matrix options and print texts.
#include "settings_test.h"

namespace {

using regtest::Bytes;
using regtest::Text;

class OptionsTest : public SettingsTest {
 protected:
  void SetUp() override { regtest::CreateKey(HKEY_LOCAL_MACHINE, kOptionen); }
};

TEST_F(OptionsTest, TruthValuesAreStoredAsTrueOrFalseText) {
  ASSERT_EQ(store_.SetAutoSave(5), 0);
  EXPECT_EQ(Stored(kOptionen, "AUTOSAVE"),
            (regtest::Value{REG_SZ, Bytes({'T', 'R', 'U', 'E', 0})}));
  EXPECT_EQ(store_.GetAutoSave(), 1);
  ASSERT_EQ(store_.SetAutoSave(0), 0);
  EXPECT_EQ(Stored(kOptionen, "AUTOSAVE"), Text("FALSE"));
  EXPECT_EQ(store_.GetAutoSave(), 0);
  ASSERT_EQ(store_.SetUmrechnungPrimaer(-1), 0);
  EXPECT_EQ(Stored(kOptionen, "UMRECHNUNGPRIM"), Text("TRUE"));
  EXPECT_EQ(store_.GetUmrechnungPrimaer(), 1);
}

TEST_F(OptionsTest, OnlyExactlyTrueReadsAsTrue) {
  const regtest::Value kFalseReadings[] = {
      Text("true"), Text("True"), Text("1"), Text("TRUE "), {REG_DWORD, Bytes({1, 0, 0, 0})}};
  for (const regtest::Value& value : kFalseReadings) {
    SCOPED_TRACE(testing::PrintToString(value));
    Store(kOptionen, "AUTOSAVE", value);
    Store(kOptionen, "UMRECHNUNGPRIM", value);
    EXPECT_EQ(store_.GetAutoSave(), 0);
    EXPECT_EQ(store_.GetUmrechnungPrimaer(), 0);
  }
  EXPECT_TRUE(reports_.reports().empty());
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

TEST_F(OptionsTest, MatrixOptionsRoundTrip) {
  ASSERT_EQ(store_.SetMatrixOptions(-3, 0, 12, 7), 0);
  EXPECT_EQ(Stored(kOptionen, "MATRIX"), Text("-3, 0, 12, 7"));
  int a = 0, b = 0, c = 0, d = 0;
  ASSERT_EQ(store_.GetMatrixOptions(&a, &b, &c, &d), 0);
  EXPECT_EQ(std::vector<int>({a, b, c, d}), std::vector<int>({-3, 0, 12, 7}));
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

TEST_F(OptionsTest, MatrixOptionsAreParsedAsSscanfDoes) {
  for (const MatrixParse& parse : kMatrixParses) {
    SCOPED_TRACE(parse.text);
    Store(kOptionen, "MATRIX", Text(parse.text));
    int a = 9, b = 9, c = 9, d = 9;
    EXPECT_EQ(store_.GetMatrixOptions(&a, &b, &c, &d), 0);
    EXPECT_EQ(std::vector<int>({a, b, c, d}), parse.options);
  }
}

TEST_F(OptionsTest, ZebPrintSettingsAreCutTo1255Bytes) {
  const std::string text(2000, 'z');
  ASSERT_EQ(store_.SetZEBPrintSettings(text.c_str()), 0);
  EXPECT_EQ(Stored(kOptionen, "ZEBPRINTSETTINGS"), Text(text.substr(0, 1255)));
  EXPECT_EQ(std::string(store_.GetZEBPrintSettings()), text.substr(0, 1255));
}

TEST_F(OptionsTest, PrintOptionsAreCutTo9999BytesAndReadBackWhole) {
  const std::string text(12000, 'p');
  ASSERT_EQ(store_.SetPrintOptions(text.c_str()), 0);
  EXPECT_EQ(Stored(kOptionen, "PRINTOPTIONS"), Text(text.substr(0, 9999)));
  EXPECT_EQ(std::string(store_.GetPrintOptions()), text.substr(0, 9999));
}

TEST_F(OptionsTest, MissingPrintTextsReadEmptyWithoutReport) {
  EXPECT_TRUE(store_.GetPrintOptions().IsEmpty());
  EXPECT_TRUE(store_.GetZEBPrintSettings().IsEmpty());
  Store(kOptionen, "ZEBPRINTSETTINGS", Text(std::string(1256, 'z')));
  EXPECT_TRUE(store_.GetZEBPrintSettings().IsEmpty());
  EXPECT_TRUE(reports_.reports().empty());
}

TEST_F(OptionsTest, FailedPrintOptionsWriteIsReportedWithTheValuePath) {
  RegDiagFailNth(REGDIAG_SET, 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(store_.SetPrintOptions("p"), -1);
  EXPECT_EQ(
      reports_.messages(),
      std::vector<std::string>({ReportCapture::LibraryMessage(102, kOptionen + "\\PRINTOPTIONS")}));
}

TEST_F(OptionsTest, UsesTheStoreBuffersAndClosesTheMemberKey) {
  ASSERT_EQ(store_.SetAutoSave(0), 0);
  EXPECT_STREQ(store_.m_szWert, "FALSE");
  EXPECT_EQ(store_.m_dwGroesse, 6u);
  ASSERT_EQ(store_.SetParameterLevel(2), 0);
  EXPECT_EQ(store_.GetParameterLevel(), 2u);
  EXPECT_EQ(store_.m_dwWert, 2u);
  EXPECT_EQ(store_.m_dwTyp, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(store_.m_dwGroesse, 4u);
  EXPECT_EQ(store_.m_hKeyOptionen, nullptr);
}

}  // namespace
