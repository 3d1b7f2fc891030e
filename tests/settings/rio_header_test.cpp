// The test-set export header: defaults, store and load.
#include <string.h>

#include <cstddef>

#include "rio_header_values.h"
#include "settings_test.h"

namespace {

using regtest::Bytes;
using regtest::Text;
using riotest::DoubleBytes;
using riotest::kNumbers;

class RioHeaderTest : public SettingsTest {
 protected:
  void SetUp() override { regtest::CreateKey(HKEY_LOCAL_MACHINE, kVedorir); }

  // A record whose every number is a sentinel.
  static void Poison(SRioHeader& rio, double value) {
    for (const auto& number : kNumbers) rio.*number.member = value;
  }
};

TEST(RioHeaderLayout, MembersLieInTheSuitesOrder) {
  EXPECT_EQ(offsetof(SRioHeader, strImpCorr), 3 * sizeof(CString));
  EXPECT_EQ(offsetof(SRioHeader, dRatingV) % sizeof(double), 0u);
  EXPECT_EQ(offsetof(SRioHeader, dXEXL), offsetof(SRioHeader, dRatingV) + 13 * sizeof(double));
  EXPECT_EQ(offsetof(SRioHeader, dKS1), offsetof(SRioHeader, dXEXL) + sizeof(double) + 16);
  EXPECT_EQ(offsetof(SRioHeader, dTime0Max), offsetof(SRioHeader, dKS1) + 4 * sizeof(double));
  EXPECT_EQ(sizeof(SRioHeader), offsetof(SRioHeader, dTime0Max) + sizeof(double));
}

TEST_F(RioHeaderTest, InitRegStructSetsTheDefaultsAndLeavesTheRest) {
  SRioHeader rio;
  rio.strText1 = "a";
  rio.strText2 = "b";
  rio.strText3 = "c";
  memset(rio.abReserved, 0x5a, sizeof rio.abReserved);
  store_.InitRegStruct(rio);
  for (const auto& number : kNumbers) {
    EXPECT_EQ(DoubleBytes(rio.*number.member), DoubleBytes(number.storeDefault)) << number.name;
  }
  EXPECT_STREQ(rio.strImpCorr, "FALSE");
  EXPECT_STREQ(rio.strCurrGround, "LINE");
  EXPECT_STREQ(rio.strText1, "a");
  EXPECT_STREQ(rio.strText2, "b");
  EXPECT_STREQ(rio.strText3, "c");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(rio.abReserved), 16), std::string(16, 0x5a));
}

TEST_F(RioHeaderTest, DefaultsStoreAsRawDoublesAndLoadBackBitForBit) {
  SRioHeader rio;
  store_.InitRegStruct(rio);
  ASSERT_EQ(store_.SetRioHeaderStruct(rio), 0);
  EXPECT_EQ(Stored(kVedorir, "RatingV"),
            (regtest::Value{REG_BINARY, Bytes({0, 0, 0, 0, 0, 0, 0x59, 0x40})}));
  for (const auto& number : kNumbers) {
    EXPECT_EQ(Stored(kVedorir, number.name),
              (regtest::Value{REG_BINARY, DoubleBytes(number.storeDefault)}));
  }
  EXPECT_EQ(Stored(kVedorir, "ImpCorr"), Text("FALSE"));
  EXPECT_EQ(Stored(kVedorir, "CurrGround"), Text("LINE"));
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kVedorir), 21u);

  SRioHeader loaded;
  Poison(loaded, -7.0);
  ASSERT_EQ(store_.GetRioHeaderStruct(loaded), 1);
  for (const auto& number : kNumbers) {
    EXPECT_EQ(DoubleBytes(loaded.*number.member), DoubleBytes(number.storeDefault)) << number.name;
  }
  EXPECT_STREQ(loaded.strImpCorr, "FALSE");
  EXPECT_STREQ(loaded.strCurrGround, "LINE");
  EXPECT_TRUE(reports_.reports().empty());
  EXPECT_EQ(store_.m_hKeyVedorir, nullptr);
}

TEST_F(RioHeaderTest, CurrGroundIsAlwaysLineAndImpCorrIsTheRecords) {
  SRioHeader rio;
  store_.InitRegStruct(rio);
  rio.strImpCorr = "TRUE";
  rio.strCurrGround = "EARTH";
  ASSERT_EQ(store_.SetRioHeaderStruct(rio), 0);
  EXPECT_EQ(Stored(kVedorir, "ImpCorr"), (regtest::Value{REG_SZ, Bytes({'T', 'R', 'U', 'E', 0})}));
  EXPECT_EQ(Stored(kVedorir, "CurrGround"), Text("LINE"));
  SRioHeader loaded;
  ASSERT_EQ(store_.GetRioHeaderStruct(loaded), 1);
  EXPECT_STREQ(loaded.strImpCorr, "TRUE");
  EXPECT_STREQ(loaded.strCurrGround, "LINE");
}

TEST_F(RioHeaderTest, NumbersAreWrittenAndReadInTheirOrders) {
  // Fail the nth write (read) of each order: the value named at that
  // position is the one missing (kept).
  const char* const kReadOrder[] = {"RatingV", "RatingI", "RatingFreq", "MaxV",     "MaxI",
                                    "I",       "IE",      "TOL-T1",     "TOL-T2",   "TOL-Z1",
                                    "TOL-Z2",  "RERL",    "XEXL",       "KS1",      "KS2",
                                    "ZS1",     "ZS2",     "Time0Max",   "LineAngle"};
  SRioHeader rio;
  store_.InitRegStruct(rio);
  for (unsigned n = 1; n <= 19; ++n) {
    SCOPED_TRACE(n);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kVedorir.c_str());
    regtest::CreateKey(HKEY_LOCAL_MACHINE, kVedorir);
    reports_.clear();
    RegDiagFailNth(REGDIAG_SET, n, ERROR_WRITE_FAULT);
    ASSERT_EQ(store_.SetRioHeaderStruct(rio), 0);
    EXPECT_FALSE(Stored(kVedorir, kNumbers[n - 1].name));
    EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kVedorir), 20u);
    EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({{10190, 10193}}));

    regtest::Put(HKEY_LOCAL_MACHINE, kVedorir, kNumbers[n - 1].name,
                 {REG_BINARY, DoubleBytes(1.0)});
    reports_.clear();
    SRioHeader loaded;
    Poison(loaded, -7.0);
    RegDiagFailNth(REGDIAG_QUERY, n, ERROR_READ_FAULT);
    ASSERT_EQ(store_.GetRioHeaderStruct(loaded), 1);
    for (const auto& number : kNumbers) {
      const bool failed = strcmp(number.name, kReadOrder[n - 1]) == 0;
      const double expected = failed                                      ? -7.0
                              : (number.member == kNumbers[n - 1].member) ? 1.0
                                                                          : number.storeDefault;
      EXPECT_EQ(DoubleBytes(loaded.*number.member), DoubleBytes(expected)) << number.name;
    }
    EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({{10191, 10193}}));
  }
}

TEST_F(RioHeaderTest, TextsGoOnAfterSingleFailures) {
  SRioHeader rio;
  store_.InitRegStruct(rio);
  rio.strImpCorr = std::string(1256, 'i').c_str();
  ASSERT_EQ(store_.SetRioHeaderStruct(rio), 0);
  EXPECT_FALSE(Stored(kVedorir, "ImpCorr"));
  EXPECT_EQ(Stored(kVedorir, "CurrGround"), Text("LINE"));
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kVedorir), 20u);
  EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({{10190, 10193}}));

  reports_.clear();
  SRioHeader loaded;
  loaded.strImpCorr = "kept";
  loaded.strCurrGround = "kept too";
  RegDiagFailNth(REGDIAG_QUERY, 21, ERROR_READ_FAULT);
  ASSERT_EQ(store_.GetRioHeaderStruct(loaded), 1);
  EXPECT_STREQ(loaded.strImpCorr, "kept");
  EXPECT_STREQ(loaded.strCurrGround, "kept too");
  EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({{10191, 10193}, {10191, 10193}}));
}

TEST_F(RioHeaderTest, ShortNumberFillsTheLowBytesOfZero) {
  Store(kVedorir, "RatingV", {REG_BINARY, Bytes({1, 2})});
  SRioHeader loaded;
  Poison(loaded, -7.0);
  ASSERT_EQ(store_.GetRioHeaderStruct(loaded), 1);
  EXPECT_EQ(DoubleBytes(loaded.dRatingV), Bytes({1, 2, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(reports_.pairs().size(), 20u);
}

TEST_F(RioHeaderTest, MissingSectionLeavesTheRecordAlone) {
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kVedorir.c_str());
  SRioHeader rio;
  Poison(rio, -7.0);
  rio.strImpCorr = "mine";
  EXPECT_EQ(store_.SetRioHeaderStruct(rio), -1);
  EXPECT_EQ(store_.GetRioHeaderStruct(rio), -1);
  EXPECT_EQ(DoubleBytes(rio.dRatingV), DoubleBytes(-7.0));
  EXPECT_STREQ(rio.strImpCorr, "mine");
  EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({{10189, 10291}, {10189, 10291}}));
  EXPECT_FALSE(regtest::KeyExists(HKEY_LOCAL_MACHINE, kVedorir));
}

}  // namespace
