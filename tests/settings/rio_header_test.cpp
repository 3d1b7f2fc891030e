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

// The bytes of each number of a record (null: the defaults), in write order.
std::vector<std::string> NumbersOf(const SRioHeader* rio) {
  std::vector<std::string> result;
  for (const auto& n : kNumbers)
    result.push_back(DoubleBytes(rio ? rio->*n.member : n.storeDefault));
  return result;
}

class RioHeaderTest : public SettingsTest {
 protected:
  void SetUp() override {
    regtest::CreateKey(HKEY_LOCAL_MACHINE, kVedorir);
    defaults_.strText1 = "a";
    memset(defaults_.abReserved, 0x5a, sizeof defaults_.abReserved);
    store_.InitRegStruct(defaults_);
    for (const auto& number : kNumbers) poisoned_.*number.member = -7.0;
  }
  SRioHeader defaults_, poisoned_;
};

TEST(RioHeaderLayout, MembersLieInTheSuitesOrder) {
  EXPECT_EQ(offsetof(SRioHeader, strImpCorr), 3 * sizeof(CString));
  EXPECT_EQ(offsetof(SRioHeader, dRatingV) % sizeof(double), 0u);
  EXPECT_EQ(offsetof(SRioHeader, dXEXL), offsetof(SRioHeader, dRatingV) + 13 * sizeof(double));
  EXPECT_EQ(offsetof(SRioHeader, dKS1), offsetof(SRioHeader, dXEXL) + sizeof(double) + 16);
  EXPECT_EQ(offsetof(SRioHeader, dTime0Max), offsetof(SRioHeader, dKS1) + 4 * sizeof(double));
  EXPECT_EQ(sizeof(SRioHeader), offsetof(SRioHeader, dTime0Max) + sizeof(double));
}

TEST_F(RioHeaderTest, DefaultsStoreAsRawDoublesAndLoadBackBitForBit) {
  // InitRegStruct sets the numbers and the two texts, and leaves the rest.
  EXPECT_EQ(NumbersOf(&defaults_), NumbersOf(nullptr));
  EXPECT_STREQ(defaults_.strImpCorr + "|" + defaults_.strCurrGround + "|" + defaults_.strText1,
               "FALSE|LINE|a");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(defaults_.abReserved), 16), std::string(16, 0x5a));
  defaults_.strCurrGround = "EARTH";  // always stored as "LINE"
  ASSERT_EQ(store_.SetRioHeaderStruct(defaults_), 0);
  EXPECT_EQ(Stored(kVedorir, "RatingV"),
            (regtest::Value{REG_BINARY, Bytes({0, 0, 0, 0, 0, 0, 0x59, 0x40})}));
  for (const auto& number : kNumbers) {
    EXPECT_EQ(Stored(kVedorir, number.name),
              (regtest::Value{REG_BINARY, DoubleBytes(number.storeDefault)}));
  }
  EXPECT_EQ(Stored(kVedorir, "ImpCorr"), Text("FALSE"));
  EXPECT_EQ(Stored(kVedorir, "CurrGround"), Text("LINE"));
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kVedorir), 21u);
  Store(kVedorir, "ImpCorr", Text("TRUE"));
  ASSERT_EQ(store_.GetRioHeaderStruct(poisoned_), 1);
  EXPECT_EQ(NumbersOf(&poisoned_), NumbersOf(nullptr));
  EXPECT_STREQ(poisoned_.strImpCorr + "|" + poisoned_.strCurrGround, "TRUE|LINE");
  // A shorter number fills the low bytes of zero.
  Store(kVedorir, "RatingV", {REG_BINARY, Bytes({1, 2})});
  ASSERT_EQ(store_.GetRioHeaderStruct(poisoned_), 1);
  EXPECT_EQ(DoubleBytes(poisoned_.dRatingV), Bytes({1, 2, 0, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(reports_.messages().empty());
  EXPECT_EQ(store_.keys(), std::vector<HKEY>(4, nullptr));
}

TEST_F(RioHeaderTest, SingleFailuresOfTheNumbersFollowTheWriteAndReadOrders) {
  // Fail the nth write (read) of each order: the value named at that
  // position is the one missing (kept).
  const char* const kReadOrder[] = {"RatingV", "RatingI", "RatingFreq", "MaxV",     "MaxI",
                                    "I",       "IE",      "TOL-T1",     "TOL-T2",   "TOL-Z1",
                                    "TOL-Z2",  "RERL",    "XEXL",       "KS1",      "KS2",
                                    "ZS1",     "ZS2",     "Time0Max",   "LineAngle"};
  for (unsigned n = 1; n <= 19; ++n) {
    SCOPED_TRACE(n);
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, kVedorir);
    regtest::CreateKey(HKEY_LOCAL_MACHINE, kVedorir);
    reports_.clear();
    RegDiagFailNth(REGDIAG_SET, n, ERROR_WRITE_FAULT);
    ASSERT_EQ(store_.SetRioHeaderStruct(defaults_), 0);
    EXPECT_FALSE(Stored(kVedorir, kNumbers[n - 1].name));
    EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kVedorir), 20u);

    Store(kVedorir, kNumbers[n - 1].name, {REG_BINARY, DoubleBytes(1.0)});
    SRioHeader loaded = poisoned_;
    RegDiagFailNth(REGDIAG_QUERY, n, ERROR_READ_FAULT);
    ASSERT_EQ(store_.GetRioHeaderStruct(loaded), 1);
    std::vector<std::string> expected = NumbersOf(nullptr);
    expected[n - 1] = DoubleBytes(1.0);
    for (size_t i = 0; i < expected.size(); ++i) {
      if (strcmp(kNumbers[i].name, kReadOrder[n - 1]) == 0) expected[i] = DoubleBytes(-7.0);
    }
    EXPECT_EQ(NumbersOf(&loaded), expected);
    EXPECT_EQ(reports_.pairs(), Pairs({{10190, 10193}, {10191, 10193}}));
  }
}

TEST_F(RioHeaderTest, TextsGoOnAfterSingleFailures) {
  defaults_.strImpCorr = std::string(1256, 'i').c_str();
  ASSERT_EQ(store_.SetRioHeaderStruct(defaults_), 0);
  EXPECT_FALSE(Stored(kVedorir, "ImpCorr"));
  EXPECT_EQ(Stored(kVedorir, "CurrGround"), Text("LINE"));
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kVedorir), 20u);
  poisoned_.strImpCorr = "kept";
  poisoned_.strCurrGround = "kept too";
  RegDiagFailNth(REGDIAG_QUERY, 21, ERROR_READ_FAULT);
  ASSERT_EQ(store_.GetRioHeaderStruct(poisoned_), 1);
  EXPECT_STREQ(poisoned_.strImpCorr + "|" + poisoned_.strCurrGround, "kept|kept too");
  EXPECT_EQ(reports_.pairs(), Pairs({{10190, 10193}, {10191, 10193}, {10191, 10193}}));
}

TEST_F(RioHeaderTest, MissingSectionLeavesTheRecordAlone) {
  regtest::DeleteTree(HKEY_LOCAL_MACHINE, kVedorir);
  poisoned_.strImpCorr = "mine";
  EXPECT_EQ(store_.SetRioHeaderStruct(poisoned_), -1);
  EXPECT_EQ(store_.GetRioHeaderStruct(poisoned_), -1);
  EXPECT_EQ(DoubleBytes(poisoned_.dRatingV), DoubleBytes(-7.0));
  EXPECT_STREQ(poisoned_.strImpCorr, "mine");
  EXPECT_EQ(reports_.pairs(), Pairs({{10189, 10291}, {10189, 10291}}));
  EXPECT_FALSE(regtest::KeyExists(HKEY_LOCAL_MACHINE, kVedorir));
}

}  // namespace
