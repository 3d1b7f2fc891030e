// The administrative settings writer: construction on fresh and prepared
// machines, its setters through the open keys, and key ownership.
#include <string.h>

#include <registry_diagnostics.h>

#include "AdminRegInit.h"
#include "registry_values.h"
#include "report_capture.h"
#include "rio_header_values.h"
#include "temp_registry.h"

namespace {

using regtest::Binary32;
using regtest::Bytes;
using regtest::Text;
using riotest::DoubleBytes;

const std::string kBase = "SOFTWARE\\TORVALE\\VARNO4\\";
const std::string kStoerschrieb = kBase + "STOERSCHRIEB";
const std::string kSchnittstellen = kBase + "SCHNITTSTELLEN";
const std::string kOptionen = kBase + "OPTIONEN";
const std::string kProgramme = kBase + "PROGRAMME";
const std::string kVedorir = kBase + "VEDORIR";

class AdminProbe : public CAdminRegInit {
 public:
  using CAdminRegInit::CAdminRegInit;
  using CAdminRegInit::m_dwGroesse;
  using CAdminRegInit::m_hKeyOptionen;
  using CAdminRegInit::m_hKeyProgramme;
  using CAdminRegInit::m_hKeySchnittstellen;
  using CAdminRegInit::m_hKeyStoerschrieb;
  using CAdminRegInit::m_hKeyVedorir;
  using CAdminRegInit::m_szWert;
};

class AdminTest : public RegistryTest {
 protected:
  void TearDown() override { reports_.ExpectStandardShape(); }

  std::optional<regtest::Value> Stored(const std::string& key, const std::string& name) {
    return regtest::Get(HKEY_LOCAL_MACHINE, key, name);
  }

  ReportCapture reports_;
};

TEST_F(AdminTest, FreshMachineGetsExactlyTheListedValues) {
  {
    AdminProbe admin;
    EXPECT_EQ(RegDiagOpenHandleCount(), 5);
  }
  EXPECT_EQ(RegDiagOpenHandleCount(), 0);
  EXPECT_TRUE(reports_.reports().empty());
  EXPECT_EQ(Stored(kStoerschrieb, "FORMAT"), Binary32(0));
  EXPECT_EQ(Stored(kStoerschrieb, "FAVIS_FORMAT_D3"), Binary32(1));
  EXPECT_EQ(Stored(kStoerschrieb, "DART"), Binary32(0));
  EXPECT_EQ(Stored(kStoerschrieb, "FAVIS_MODE_D3"), Binary32(1));
  EXPECT_EQ(Stored(kStoerschrieb, "GRAFPROG"), (regtest::Value{REG_SZ, Bytes({0})}));
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kStoerschrieb), 5u);
  EXPECT_EQ(Stored(kOptionen, "AUTOSAVE"), Text("FALSE"));
  EXPECT_EQ(Stored(kOptionen, "PARAMETERLEVEL"), (regtest::Value{REG_BINARY, Bytes({2, 0, 0, 0})}));
  EXPECT_EQ(Stored(kOptionen, "UMRECHNUNGPRIM"), Text("FALSE"));
  EXPECT_EQ(Stored(kOptionen, "MATRIX"), Text("4, 0, 1, 1"));
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kOptionen), 4u);
  EXPECT_TRUE(regtest::KeyExists(HKEY_LOCAL_MACHINE, kSchnittstellen));
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kSchnittstellen), 0u);
  EXPECT_TRUE(regtest::KeyExists(HKEY_LOCAL_MACHINE, kProgramme));
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kProgramme), 0u);
  for (const auto& number : riotest::kNumbers) {
    const double expected = strcmp(number.name, "TOL-T2") == 0 ? 0.1 : number.storeDefault;
    EXPECT_EQ(Stored(kVedorir, number.name), (regtest::Value{REG_BINARY, DoubleBytes(expected)}))
        << number.name;
  }
  EXPECT_EQ(Stored(kVedorir, "ImpCorr"), Text("FALSE"));
  EXPECT_EQ(Stored(kVedorir, "CurrGround"), Text("LINE"));
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kVedorir), 21u);
}

TEST_F(AdminTest, FreshMachineWritesInTheListedOrder) {
  // Failing the nth write of the construction leaves exactly that value out.
  std::vector<std::string> order = {"FORMAT",         "FAVIS_FORMAT_D3", "DART",
                                    "FAVIS_MODE_D3",  "GRAFPROG",        "AUTOSAVE",
                                    "PARAMETERLEVEL", "UMRECHNUNGPRIM",  "MATRIX"};
  const std::vector<ReportPair> pairs = {{10190, 10192}, {10190, 10192}, {10190, 10193},
                                         {10190, 10193}, {10190, 10194}, {10190, 10212},
                                         {10190, 10293}, {10190, 10292}, {10190, 10212}};
  for (const auto& number : riotest::kNumbers) order.push_back(number.name);
  order.push_back("ImpCorr");
  order.push_back("CurrGround");
  for (unsigned n = 1; n <= order.size(); ++n) {
    SCOPED_TRACE(order[n - 1]);
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\TORVALE");
    reports_.clear();
    RegDiagFailNth(REGDIAG_SET, n, ERROR_WRITE_FAULT);
    { CAdminRegInit admin; }
    RegDiagClearFaults();
    const std::string& key = n <= 5 ? kStoerschrieb : n <= 9 ? kOptionen : kVedorir;
    EXPECT_FALSE(Stored(key, order[n - 1]));
    ASSERT_EQ(reports_.pairs().size(), 1u);
    EXPECT_EQ(reports_.pairs()[0], n <= 9 ? pairs[n - 1] : ReportPair(10190, 10193));
    // A two-write setter stops after its failed first write.
    if (order[n - 1] == "FORMAT") {
      EXPECT_FALSE(Stored(kStoerschrieb, "FAVIS_FORMAT_D3"));
    }
    // The header stops at its first failure.
    if (n > 9) {
      EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kVedorir), n - 10);
    }
  }
}

TEST_F(AdminTest, SecondConstructionRefreshesOnlyTheAdministrativeValues) {
  { CAdminRegInit admin; }
  regtest::Put(HKEY_LOCAL_MACHINE, kStoerschrieb, "FORMAT", Binary32(5));
  regtest::Put(HKEY_LOCAL_MACHINE, kStoerschrieb, "FAVIS_FORMAT_D3", Binary32(9));
  regtest::Put(HKEY_LOCAL_MACHINE, kStoerschrieb, "FAVIS_MODE_D3", Binary32(9));
  regtest::Put(HKEY_LOCAL_MACHINE, kOptionen, "MATRIX", Text("7, 7, 7, 7"));
  regtest::Put(HKEY_LOCAL_MACHINE, kOptionen, "AUTOSAVE", Text("TRUE"));
  regtest::Put(HKEY_LOCAL_MACHINE, kVedorir, "RatingV", {REG_BINARY, DoubleBytes(230.0)});
  regtest::Delete(HKEY_LOCAL_MACHINE, kVedorir, "MaxI");
  { CAdminRegInit admin; }
  EXPECT_EQ(Stored(kStoerschrieb, "FAVIS_FORMAT_D3"), Binary32(1));
  EXPECT_EQ(Stored(kStoerschrieb, "FAVIS_MODE_D3"), Binary32(1));
  EXPECT_EQ(Stored(kOptionen, "MATRIX"), Text("4, 0, 1, 1"));
  EXPECT_EQ(Stored(kStoerschrieb, "FORMAT"), Binary32(5));
  EXPECT_EQ(Stored(kOptionen, "AUTOSAVE"), Text("TRUE"));
  EXPECT_EQ(Stored(kVedorir, "RatingV"), (regtest::Value{REG_BINARY, DoubleBytes(230.0)}));
  EXPECT_FALSE(Stored(kVedorir, "MaxI"));
  EXPECT_TRUE(reports_.reports().empty());
}

TEST_F(AdminTest, ExistingSectionRefreshReportsEachFailureAndGoesOn) {
  { CAdminRegInit admin; }
  RegDiagFailNth(REGDIAG_SET, 1, ERROR_WRITE_FAULT);
  RegDiagFailNth(REGDIAG_SET, 2, ERROR_WRITE_FAULT);
  { CAdminRegInit admin; }
  EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({{10190, 10192}, {10190, 10193}}));
  EXPECT_EQ(Stored(kOptionen, "MATRIX"), Text("4, 0, 1, 1"));
}

TEST_F(AdminTest, SectionThatCannotBeOpenedOrCreatedEndsTheConstruction) {
  // Per section: its report pair, and the handles it leaves open.
  const std::pair<ReportPair, long> kCases[] = {{{10189, 10192}, 0},
                                                {{10189, 10192}, 1},
                                                {{10189, 10192}, 2},
                                                {{10189, 10282}, 3},
                                                {{10189, 10291}, 4}};
  for (unsigned n = 1; n <= 5; ++n) {
    SCOPED_TRACE(n);
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\TORVALE");
    reports_.clear();
    RegDiagFailNth(REGDIAG_CREATE, n, ERROR_ACCESS_DENIED);
    AdminProbe admin;
    RegDiagClearFaults();
    EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({kCases[n - 1].first}));
    EXPECT_EQ(RegDiagOpenHandleCount(), kCases[n - 1].second);
    const std::string* keys[] = {&kStoerschrieb, &kSchnittstellen, &kOptionen, &kProgramme,
                                 &kVedorir};
    for (unsigned k = 0; k < 5; ++k) {
      EXPECT_EQ(regtest::KeyExists(HKEY_LOCAL_MACHINE, *keys[k]), k + 1 < n) << *keys[k];
    }
    if (n == 1) {
      EXPECT_EQ(admin.m_hKeyStoerschrieb, nullptr);
      reports_.clear();
      EXPECT_EQ(admin.SetStoerDatenformat(1), -1);
      EXPECT_EQ(admin.SetAutoSave(1), -1);
      EXPECT_EQ(admin.SetSchnittPar("X", static_cast<unsigned short>(1)), -1);
      EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({{10190, 10192}, {10190, 10212}}));
    }
  }
}

class AdminSettersTest : public AdminTest {
 protected:
  AdminProbe admin_;
};

TEST_F(AdminSettersTest, CodeSettersWriteTheCodeAndTheFlag) {
  regtest::Put(HKEY_LOCAL_MACHINE, kStoerschrieb, "FAVIS_FORMAT_D3", Binary32(0));
  ASSERT_EQ(admin_.SetStoerDatenformat(7), 0);
  EXPECT_EQ(Stored(kStoerschrieb, "FORMAT"), (regtest::Value{REG_BINARY, Bytes({7, 0, 0, 0})}));
  EXPECT_EQ(Stored(kStoerschrieb, "FAVIS_FORMAT_D3"), Binary32(1));
  ASSERT_EQ(admin_.SetStoerDatenArt(-2), 0);
  EXPECT_EQ(Stored(kStoerschrieb, "DART"), Binary32(0xfffffffe));
  RegDiagFailNth(REGDIAG_SET, 2, ERROR_WRITE_FAULT);
  EXPECT_EQ(admin_.SetStoerDatenArt(3), -1);
  EXPECT_EQ(Stored(kStoerschrieb, "DART"), Binary32(3));
  EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({{10190, 10193}}));
}

TEST_F(AdminSettersTest, TextAndOptionSettersWriteTheStoresEncodings) {
  CString strText = "txt";
  ASSERT_EQ(admin_.SetAutoSave(5), 0);
  EXPECT_EQ(Stored(kOptionen, "AUTOSAVE"), Text("TRUE"));
  ASSERT_EQ(admin_.SetAutoSave(0), 0);
  EXPECT_EQ(Stored(kOptionen, "AUTOSAVE"), Text("FALSE"));
  ASSERT_EQ(admin_.SetUmrechnungPrimaer(1), 0);
  EXPECT_EQ(Stored(kOptionen, "UMRECHNUNGPRIM"), Text("TRUE"));
  ASSERT_EQ(admin_.SetParameterLevel(-1), 0);
  EXPECT_EQ(Stored(kOptionen, "PARAMETERLEVEL"), Binary32(0xffffffff));
  ASSERT_EQ(admin_.SetMatrixOptions(-3, 0, 12, 7), 0);
  EXPECT_EQ(Stored(kOptionen, "MATRIX"), Text("-3, 0, 12, 7"));
  ASSERT_EQ(admin_.SetSchnittPar("A", static_cast<unsigned short>(65535)), 0);
  ASSERT_EQ(admin_.SetSchnittPar("B", static_cast<unsigned long>(0x1'0000'0002ull)), 0);
  ASSERT_EQ(admin_.SetSchnittPar("C", strText), 0);
  EXPECT_EQ(Stored(kSchnittstellen, "A"), Text("65535"));
  EXPECT_EQ(Stored(kSchnittstellen, "B"), Text("2"));
  EXPECT_EQ(Stored(kSchnittstellen, "C"), Text("txt"));
  ASSERT_EQ(admin_.SetStoerProgrammName("G:\\v.exe"), 0);
  ASSERT_EQ(admin_.SetDisplayEditorPathAndName("D"), 0);
  ASSERT_EQ(admin_.SetCFCPathAndName("C"), 0);
  ASSERT_EQ(admin_.SetGraphicToolPath("T"), 0);
  EXPECT_EQ(Stored(kStoerschrieb, "GRAFPROG"), Text("G:\\v.exe"));
  EXPECT_EQ(Stored(kProgramme, "DISPLAYEDITOR"), Text("D"));
  EXPECT_EQ(Stored(kProgramme, "CFC"), Text("C"));
  EXPECT_EQ(Stored(kProgramme, "GRAFIKTOOLS"), Text("T"));
  EXPECT_EQ(admin_.m_dwGroesse, 2u);
  EXPECT_TRUE(reports_.reports().empty());
}

TEST_F(AdminSettersTest, FailedWritesReportTheirPairsExceptInterfaceParameters) {
  using Setter = std::function<long(CAdminRegInit&)>;
  const std::pair<Setter, std::optional<ReportPair>> kCases[] = {
      {[](CAdminRegInit& a) { return a.SetStoerProgrammName("p"); }, ReportPair{10190, 10194}},
      {[](CAdminRegInit& a) { return a.SetAutoSave(1); }, ReportPair{10190, 10212}},
      {[](CAdminRegInit& a) { return a.SetMatrixOptions(1, 2, 3, 4); }, ReportPair{10190, 10212}},
      {[](CAdminRegInit& a) { return a.SetUmrechnungPrimaer(1); }, ReportPair{10190, 10292}},
      {[](CAdminRegInit& a) { return a.SetParameterLevel(1); }, ReportPair{10190, 10293}},
      {[](CAdminRegInit& a) { return a.SetDisplayEditorPathAndName("d"); },
       ReportPair{10190, 10279}},
      {[](CAdminRegInit& a) { return a.SetCFCPathAndName("c"); }, ReportPair{10190, 10283}},
      {[](CAdminRegInit& a) { return a.SetGraphicToolPath("g"); }, ReportPair{10190, 10194}},
      {[](CAdminRegInit& a) { return a.SetSchnittPar("X", static_cast<unsigned short>(1)); },
       std::nullopt},
      {[](CAdminRegInit& a) { return a.SetStoerDatenformat(1); }, ReportPair{10190, 10192}},
  };
  for (const auto& [setter, pair] : kCases) {
    reports_.clear();
    RegDiagFailNth(REGDIAG_SET, 1, ERROR_WRITE_FAULT);
    EXPECT_EQ(setter(admin_), -1);
    EXPECT_EQ(reports_.pairs(), pair ? std::vector<ReportPair>{*pair} : std::vector<ReportPair>{});
  }
}

TEST_F(AdminSettersTest, TextsBeyond259CharactersAreRefused) {
  const std::string longest(259, 'p');
  ASSERT_EQ(admin_.SetCFCPathAndName(longest.c_str()), 0);
  EXPECT_EQ(Stored(kProgramme, "CFC"), Text(longest));
  EXPECT_EQ(admin_.SetCFCPathAndName(std::string(260, 'q').c_str()), -1);
  EXPECT_EQ(Stored(kProgramme, "CFC"), Text(longest));
  CString strLong = std::string(260, 'r').c_str();
  EXPECT_EQ(admin_.SetSchnittPar("T", strLong), -1);
  EXPECT_FALSE(Stored(kSchnittstellen, "T"));
  EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({{10190, 10283}}));
}

TEST_F(AdminTest, RioHeaderStopsAtTheFirstFailedWrite) {
  // An existing section receives nothing from the construction.
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kVedorir);
  AdminProbe admin;
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kVedorir), 0u);
  SRioHeader rio;
  admin.InitRegStruct(rio);
  RegDiagFailNth(REGDIAG_SET, 3, ERROR_WRITE_FAULT);
  EXPECT_EQ(admin.SetRioHeaderStruct(rio), -1);
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kVedorir), 2u);
  EXPECT_TRUE(Stored(kVedorir, "RatingV"));
  EXPECT_TRUE(Stored(kVedorir, "RatingI"));
  EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({{10190, 10193}}));
  reports_.clear();
  EXPECT_EQ(admin.SetRioHeaderStruct(rio), 0);
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kVedorir), 21u);
}

TEST_F(AdminSettersTest, InitRegStructDiffersFromTheStoresInTolT2Only) {
  SRioHeader rio;
  admin_.InitRegStruct(rio);
  for (const auto& number : riotest::kNumbers) {
    const double expected = strcmp(number.name, "TOL-T2") == 0 ? 0.1 : number.storeDefault;
    EXPECT_EQ(DoubleBytes(rio.*number.member), DoubleBytes(expected)) << number.name;
  }
  EXPECT_STREQ(rio.strImpCorr, "FALSE");
  EXPECT_STREQ(rio.strCurrGround, "LINE");
}

TEST_F(AdminTest, CopiesAndAssignmentsEachCloseTheirOwnKeys) {
  {
    AdminProbe first;
    AdminProbe second;
    EXPECT_EQ(RegDiagOpenHandleCount(), 10);
    second = first;
    EXPECT_EQ(RegDiagOpenHandleCount(), 10);
    second = second;
    EXPECT_EQ(RegDiagOpenHandleCount(), 10);
    {
      AdminProbe copy(first);
      EXPECT_EQ(RegDiagOpenHandleCount(), 15);
      EXPECT_NE(copy.m_hKeyVedorir, first.m_hKeyVedorir);
    }
    EXPECT_EQ(RegDiagOpenHandleCount(), 10);
    // Both objects keep writing through working keys.
    EXPECT_EQ(first.SetCFCPathAndName("first"), 0);
    EXPECT_EQ(second.SetGraphicToolPath("second"), 0);
  }
  EXPECT_EQ(RegDiagOpenHandleCount(), 0);
  EXPECT_EQ(Stored(kProgramme, "CFC"), Text("first"));
  EXPECT_EQ(Stored(kProgramme, "GRAFIKTOOLS"), Text("second"));
  EXPECT_TRUE(reports_.reports().empty());
}

TEST_F(AdminTest, AssignmentFromAnIncompleteWriterLeavesItsMissingKeysEmpty) {
  RegDiagFailNth(REGDIAG_CREATE, 4, ERROR_ACCESS_DENIED);
  AdminProbe partial;
  RegDiagClearFaults();
  reports_.clear();
  AdminProbe full;
  full = partial;
  EXPECT_EQ(RegDiagOpenHandleCount(), 6);
  EXPECT_EQ(full.m_hKeyProgramme, nullptr);
  EXPECT_EQ(full.m_hKeyVedorir, nullptr);
  EXPECT_NE(full.m_hKeyOptionen, nullptr);
}

}  // namespace
