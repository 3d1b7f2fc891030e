// The administrative settings writer: construction on fresh and prepared
// machines, its setters through the open keys, and key ownership.
#include <string.h>

#include <algorithm>
#include <functional>

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

const std::string* const kSections[] = {&kStoerschrieb, &kSchnittstellen, &kOptionen, &kProgramme,
                                        &kVedorir};

class AdminProbe : public CAdminRegInit {
 public:
  using CAdminRegInit::m_dwGroesse;
  using CAdminRegInit::m_hKeyOptionen;
  using CAdminRegInit::m_hKeyProgramme;
  using CAdminRegInit::m_hKeyStoerschrieb;
  using CAdminRegInit::m_hKeyVedorir;
};

class AdminTest : public RegistryTest {
 protected:
  ReportCapture reports_;
};

// A value written on a fresh machine, in write order, and the pair reported
// when its write fails.
struct Write {
  const std::string* key;
  std::string name;
  regtest::Value value;
  ReportPair failure;
};

std::vector<Write> FreshMachineWrites() {
  std::vector<Write> writes = {
      {&kStoerschrieb, "FORMAT", Binary32(0), {10190, 10192}},
      {&kStoerschrieb, "FAVIS_FORMAT_D3", Binary32(1), {10190, 10192}},
      {&kStoerschrieb, "DART", Binary32(0), {10190, 10193}},
      {&kStoerschrieb, "FAVIS_MODE_D3", Binary32(1), {10190, 10193}},
      {&kStoerschrieb, "GRAFPROG", {REG_SZ, Bytes({0})}, {10190, 10194}},
      {&kOptionen, "AUTOSAVE", Text("FALSE"), {10190, 10212}},
      {&kOptionen, "PARAMETERLEVEL", {REG_BINARY, Bytes({2, 0, 0, 0})}, {10190, 10293}},
      {&kOptionen, "UMRECHNUNGPRIM", Text("FALSE"), {10190, 10292}},
      {&kOptionen, "MATRIX", Text("4, 0, 1, 1"), {10190, 10212}},
  };
  for (const auto& number : riotest::kNumbers) {
    const double value = strcmp(number.name, "TOL-T2") == 0 ? 0.1 : number.storeDefault;
    writes.push_back({&kVedorir, number.name, {REG_BINARY, DoubleBytes(value)}, {10190, 10193}});
  }
  writes.push_back({&kVedorir, "ImpCorr", Text("FALSE"), {10190, 10193}});
  writes.push_back({&kVedorir, "CurrGround", Text("LINE"), {10190, 10193}});
  return writes;
}

TEST_F(AdminTest, FreshMachineGetsExactlyTheListedValues) {
  {
    AdminProbe admin;
    EXPECT_EQ(RegDiagOpenHandleCount(), 5);
  }
  EXPECT_EQ(RegDiagOpenHandleCount(), 0);
  EXPECT_TRUE(reports_.messages().empty());
  const std::vector<Write> writes = FreshMachineWrites();
  for (const Write& write : writes) EXPECT_EQ(Stored(*write.key, write.name), write.value);
  for (const std::string* key : kSections) {
    EXPECT_TRUE(regtest::KeyExists(HKEY_LOCAL_MACHINE, *key));
    const auto count = std::count_if(writes.begin(), writes.end(),
                                     [&](const Write& write) { return write.key == key; });
    EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, *key), static_cast<DWORD>(count)) << *key;
  }
}

TEST_F(AdminTest, FreshMachineWritesInTheListedOrder) {
  // Failing the nth write of the construction leaves exactly that value out.
  const std::vector<Write> writes = FreshMachineWrites();
  for (unsigned n = 1; n <= writes.size(); ++n) {
    const Write& write = writes[n - 1];
    SCOPED_TRACE(write.name);
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\TORVALE");
    reports_.clear();
    RegDiagFailNth(REGDIAG_SET, n, ERROR_WRITE_FAULT);
    { CAdminRegInit admin; }
    RegDiagClearFaults();
    EXPECT_FALSE(Stored(*write.key, write.name));
    EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>{write.failure});
    // A two-write setter stops after its failed first write.
    if (write.name == "FORMAT") {
      EXPECT_FALSE(Stored(kStoerschrieb, "FAVIS_FORMAT_D3"));
    }
    // The header stops at its first failure.
    if (write.key == &kVedorir) {
      EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kVedorir), n - 10);
    }
  }
}

TEST_F(AdminTest, SecondConstructionRefreshesOnlyTheAdministrativeValues) {
  { CAdminRegInit admin; }
  Store(kStoerschrieb, "FORMAT", Binary32(5));
  Store(kStoerschrieb, "FAVIS_FORMAT_D3", Binary32(9));
  Store(kStoerschrieb, "FAVIS_MODE_D3", Binary32(9));
  Store(kOptionen, "MATRIX", Text("7, 7, 7, 7"));
  Store(kOptionen, "AUTOSAVE", Text("TRUE"));
  Store(kVedorir, "RatingV", {REG_BINARY, DoubleBytes(230.0)});
  regtest::Delete(HKEY_LOCAL_MACHINE, kVedorir, "MaxI");
  { CAdminRegInit admin; }
  EXPECT_EQ(Stored(kStoerschrieb, "FAVIS_FORMAT_D3"), Binary32(1));
  EXPECT_EQ(Stored(kStoerschrieb, "FAVIS_MODE_D3"), Binary32(1));
  EXPECT_EQ(Stored(kOptionen, "MATRIX"), Text("4, 0, 1, 1"));
  EXPECT_EQ(Stored(kStoerschrieb, "FORMAT"), Binary32(5));
  EXPECT_EQ(Stored(kOptionen, "AUTOSAVE"), Text("TRUE"));
  EXPECT_EQ(Stored(kVedorir, "RatingV"), (regtest::Value{REG_BINARY, DoubleBytes(230.0)}));
  EXPECT_FALSE(Stored(kVedorir, "MaxI"));
  EXPECT_TRUE(reports_.messages().empty());
  // A failed refresh is reported and the construction goes on.
  Store(kOptionen, "MATRIX", Text("7, 7, 7, 7"));
  RegDiagFailNth(REGDIAG_SET, 1, ERROR_WRITE_FAULT);
  RegDiagFailNth(REGDIAG_SET, 2, ERROR_WRITE_FAULT);
  { CAdminRegInit admin; }
  EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({{10190, 10192}, {10190, 10193}}));
  EXPECT_EQ(Stored(kOptionen, "MATRIX"), Text("4, 0, 1, 1"));
}

TEST_F(AdminTest, SectionThatCannotBeOpenedOrCreatedEndsTheConstruction) {
  const unsigned int kContexts[] = {10192, 10192, 10192, 10282, 10291};
  for (unsigned n = 1; n <= 5; ++n) {
    SCOPED_TRACE(n);
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\TORVALE");
    reports_.clear();
    RegDiagFailNth(REGDIAG_CREATE, n, ERROR_ACCESS_DENIED);
    AdminProbe admin;
    RegDiagClearFaults();
    EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({{10189, kContexts[n - 1]}}));
    EXPECT_EQ(RegDiagOpenHandleCount(), static_cast<long>(n - 1));
    for (unsigned k = 0; k < 5; ++k) {
      EXPECT_EQ(regtest::KeyExists(HKEY_LOCAL_MACHINE, *kSections[k]), k + 1 < n) << *kSections[k];
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

// A setter, the value it writes, and the context reported with 10190 when
// that write fails (0: none, for the interface parameters).
struct Setter {
  std::function<long(CAdminRegInit&)> call;
  const std::string* key;
  const char* name;
  regtest::Value value;
  unsigned int failure;
};

TEST_F(AdminSettersTest, SettersWriteTheStoresEncodingsAndReportFailedWrites) {
  using A = CAdminRegInit;
  const Setter kSetters[] = {
      {[](A& a) { return a.SetStoerDatenformat(7); }, &kStoerschrieb, "FORMAT", Binary32(7), 10192},
      {[](A& a) { return a.SetStoerDatenArt(-2); }, &kStoerschrieb, "DART", Binary32(0xfffffffe),
       10193},
      {[](A& a) { return a.SetStoerProgrammName("G:\\v.exe"); }, &kStoerschrieb, "GRAFPROG",
       Text("G:\\v.exe"), 10194},
      {[](A& a) { return a.SetAutoSave(5); }, &kOptionen, "AUTOSAVE", Text("TRUE"), 10212},
      {[](A& a) { return a.SetUmrechnungPrimaer(1); }, &kOptionen, "UMRECHNUNGPRIM", Text("TRUE"),
       10292},
      {[](A& a) { return a.SetParameterLevel(-1); }, &kOptionen, "PARAMETERLEVEL",
       Binary32(0xffffffff), 10293},
      {[](A& a) { return a.SetMatrixOptions(-3, 0, 12, 7); }, &kOptionen, "MATRIX",
       Text("-3, 0, 12, 7"), 10212},
      {[](A& a) { return a.SetSchnittPar("A", static_cast<unsigned short>(65535)); },
       &kSchnittstellen, "A", Text("65535"), 0},
      {[](A& a) { return a.SetSchnittPar("B", static_cast<unsigned long>(0x1'0000'0002ull)); },
       &kSchnittstellen, "B", Text("2"), 0},
      {[](A& a) {
         CString strText = "txt";
         return a.SetSchnittPar("C", strText);
       },
       &kSchnittstellen, "C", Text("txt"), 0},
      {[](A& a) { return a.SetDisplayEditorPathAndName("D"); }, &kProgramme, "DISPLAYEDITOR",
       Text("D"), 10279},
      {[](A& a) { return a.SetCFCPathAndName("C"); }, &kProgramme, "CFC", Text("C"), 10283},
      {[](A& a) { return a.SetGraphicToolPath("T"); }, &kProgramme, "GRAFIKTOOLS", Text("T"),
       10194},
  };
  for (const Setter& setter : kSetters) {
    SCOPED_TRACE(setter.name);
    reports_.clear();
    regtest::Delete(HKEY_LOCAL_MACHINE, *setter.key, setter.name);
    RegDiagFailNth(REGDIAG_SET, 1, ERROR_WRITE_FAULT);
    EXPECT_EQ(setter.call(admin_), -1);
    EXPECT_FALSE(Stored(*setter.key, setter.name));
    std::vector<ReportPair> expected;
    if (setter.failure != 0) expected.emplace_back(10190, setter.failure);
    EXPECT_EQ(reports_.pairs(), expected);
    ASSERT_EQ(setter.call(admin_), 0);
    EXPECT_EQ(Stored(*setter.key, setter.name), setter.value);
  }
  EXPECT_EQ(admin_.m_dwGroesse, 2u);
}

TEST_F(AdminSettersTest, CodeSettersWriteTheFlagAfterTheCode) {
  Store(kStoerschrieb, "FAVIS_FORMAT_D3", Binary32(0));
  ASSERT_EQ(admin_.SetStoerDatenformat(7), 0);
  EXPECT_EQ(Stored(kStoerschrieb, "FAVIS_FORMAT_D3"), Binary32(1));
  RegDiagFailNth(REGDIAG_SET, 2, ERROR_WRITE_FAULT);
  EXPECT_EQ(admin_.SetStoerDatenArt(3), -1);
  EXPECT_EQ(Stored(kStoerschrieb, "DART"), Binary32(3));
  EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>({{10190, 10193}}));
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
  EXPECT_EQ(admin.SetRioHeaderStruct(rio), 0);
  EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kVedorir), 21u);
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
  EXPECT_TRUE(reports_.messages().empty());
}

TEST_F(AdminTest, AssignmentFromAnIncompleteWriterLeavesItsMissingKeysEmpty) {
  RegDiagFailNth(REGDIAG_CREATE, 4, ERROR_ACCESS_DENIED);
  AdminProbe partial;
  RegDiagClearFaults();
  AdminProbe full;
  full = partial;
  EXPECT_EQ(RegDiagOpenHandleCount(), 6);
  EXPECT_EQ(full.m_hKeyProgramme, nullptr);
  EXPECT_EQ(full.m_hKeyVedorir, nullptr);
  EXPECT_NE(full.m_hKeyOptionen, nullptr);
}

}  // namespace
