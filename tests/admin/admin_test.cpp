// The administrative settings writer: construction on fresh and prepared
// machines, its setters through the open keys, and key ownership.
#include <string.h>

#include <functional>

#include <registry_diagnostics.h>

#include "AdminRegInit.h"
#include "registry_values.h"
#include "report_capture.h"
#include "rio_header_values.h"
#include "temp_registry.h"

namespace {

using regtest::Binary32;
using regtest::Text;
using riotest::DoubleBytes;
using A = CAdminRegInit;
using Pairs = std::vector<ReportPair>;

const std::string* const kSections[] = {&kStoerschrieb, &kSchnittstellen, &kOptionen, &kProgramme,
                                        &kVedorir};

class AdminProbe : public CAdminRegInit {
 public:
  using CAdminRegInit::m_dwGroesse;
  // Which of the five sections hold a key: "11100" for the first three.
  std::string open() const {
    std::string result;
    for (HKEY key : {m_hKeyStoerschrieb, m_hKeySchnittstellen, m_hKeyOptionen, m_hKeyProgramme,
                     m_hKeyVedorir}) {
      result += key != NULL ? '1' : '0';
    }
    return result;
  }
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
      {&kStoerschrieb, "GRAFPROG", Text(""), {10190, 10194}},
      {&kOptionen, "AUTOSAVE", Text("FALSE"), {10190, 10212}},
      {&kOptionen, "PARAMETERLEVEL", Binary32(2), {10190, 10293}},
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

TEST_F(AdminTest, FreshMachineGetsExactlyTheListedValuesInTheListedOrder) {
  const std::vector<Write> writes = FreshMachineWrites();
  {
    AdminProbe admin;
    EXPECT_EQ(admin.open(), "11111");
  }
  EXPECT_EQ(RegDiagOpenHandleCount(), 0);
  EXPECT_TRUE(reports_.messages().empty());
  for (const Write& write : writes) EXPECT_EQ(Stored(*write.key, write.name), write.value);
  DWORD values = 0;
  for (const std::string* key : kSections) {
    EXPECT_TRUE(regtest::KeyExists(HKEY_LOCAL_MACHINE, *key)) << *key;
    values += regtest::ValueCount(HKEY_LOCAL_MACHINE, *key);
  }
  EXPECT_EQ(values, writes.size());

  // Failing the nth write of the construction leaves exactly that value out.
  for (unsigned n = 1; n <= writes.size(); ++n) {
    const Write& write = writes[n - 1];
    SCOPED_TRACE(write.name);
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\TORVALE");
    reports_.clear();
    RegDiagFailNth(REGDIAG_SET, n, ERROR_WRITE_FAULT);
    { A admin; }
    RegDiagClearFaults();
    EXPECT_FALSE(Stored(*write.key, write.name));
    EXPECT_EQ(reports_.pairs(), Pairs{write.failure});
    // A two-write setter stops after its failed first write, the header at
    // its first failure.
    EXPECT_TRUE(write.name != "FORMAT" || !Stored(kStoerschrieb, "FAVIS_FORMAT_D3"));
    if (write.key == &kVedorir) {
      EXPECT_EQ(regtest::ValueCount(HKEY_LOCAL_MACHINE, kVedorir), n - 10);
    }
  }
}

TEST_F(AdminTest, SecondConstructionRefreshesOnlyTheAdministrativeValues) {
  { A admin; }
  Store(kStoerschrieb, "FORMAT", Binary32(5));
  Store(kStoerschrieb, "FAVIS_FORMAT_D3", Binary32(9));
  Store(kStoerschrieb, "FAVIS_MODE_D3", Binary32(9));
  Store(kOptionen, "MATRIX", Text("7, 7, 7, 7"));
  Store(kOptionen, "AUTOSAVE", Text("TRUE"));
  Store(kVedorir, "RatingV", {REG_BINARY, DoubleBytes(230.0)});
  regtest::Delete(HKEY_LOCAL_MACHINE, kVedorir, "MaxI");
  { A admin; }
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
  { A admin; }
  EXPECT_EQ(reports_.pairs(), Pairs({{10190, 10192}, {10190, 10193}}));
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
    EXPECT_EQ(reports_.pairs(), Pairs({{10189, kContexts[n - 1]}}));
    EXPECT_EQ(admin.open(), std::string(n - 1, '1') + std::string(6 - n, '0'));
    EXPECT_EQ(RegDiagOpenHandleCount(), static_cast<long>(n - 1));
    for (unsigned k = 0; k < 5; ++k) {
      EXPECT_EQ(regtest::KeyExists(HKEY_LOCAL_MACHINE, *kSections[k]), k + 1 < n) << *kSections[k];
    }
    if (n > 1) continue;
    // Setters whose section holds no key fail as failed writes do.
    reports_.clear();
    EXPECT_EQ(admin.SetStoerDatenformat(1), -1);
    EXPECT_EQ(admin.SetAutoSave(1), -1);
    EXPECT_EQ(admin.SetSchnittPar("X", static_cast<unsigned short>(1)), -1);
    EXPECT_EQ(reports_.pairs(), Pairs({{10190, 10192}, {10190, 10212}}));
  }
}

// A setter, the value it writes, and the context reported with 10190 when
// that write fails (0: none, for the interface parameters).
struct Setter {
  std::function<long(A&)> call;
  const std::string* key;
  const char* name;
  regtest::Value value;
  unsigned int failure;
};

#define CALL(expression) [](A& a) { return expression; }

long SetText(A& a) {
  CString strText = "txt";
  return a.SetSchnittPar("C", strText);
}

long SetRioDefaults(A& a) {
  SRioHeader rio;
  a.InitRegStruct(rio);
  return a.SetRioHeaderStruct(rio);
}

TEST_F(AdminTest, SettersWriteTheStoresEncodingsAndReportFailedWrites) {
  const Setter kSetters[] = {
      {CALL(a.SetStoerDatenformat(7)), &kStoerschrieb, "FORMAT", Binary32(7), 10192},
      {CALL(a.SetStoerDatenArt(-2)), &kStoerschrieb, "DART", Binary32(0xfffffffe), 10193},
      {CALL(a.SetStoerProgrammName("G:\\v")), &kStoerschrieb, "GRAFPROG", Text("G:\\v"), 10194},
      {CALL(a.SetAutoSave(5)), &kOptionen, "AUTOSAVE", Text("TRUE"), 10212},
      {CALL(a.SetUmrechnungPrimaer(1)), &kOptionen, "UMRECHNUNGPRIM", Text("TRUE"), 10292},
      {CALL(a.SetParameterLevel(-1)), &kOptionen, "PARAMETERLEVEL", Binary32(0xffffffff), 10293},
      {CALL(a.SetMatrixOptions(-3, 0, 12, 7)), &kOptionen, "MATRIX", Text("-3, 0, 12, 7"), 10212},
      {CALL(a.SetSchnittPar("A", static_cast<unsigned short>(65535))), &kSchnittstellen, "A",
       Text("65535"), 0},
      {CALL(a.SetSchnittPar("B", static_cast<unsigned long>(0x1'0000'0002ull))), &kSchnittstellen,
       "B", Text("2"), 0},
      {SetText, &kSchnittstellen, "C", Text("txt"), 0},
      {CALL(a.SetDisplayEditorPathAndName("D")), &kProgramme, "DISPLAYEDITOR", Text("D"), 10279},
      {CALL(a.SetCFCPathAndName("C")), &kProgramme, "CFC", Text("C"), 10283},
      {CALL(a.SetGraphicToolPath("T")), &kProgramme, "GRAFIKTOOLS", Text("T"), 10194},
      {SetRioDefaults, &kVedorir, "RatingV", {REG_BINARY, DoubleBytes(100.0)}, 10193},
  };
  AdminProbe admin;
  for (const Setter& setter : kSetters) {
    SCOPED_TRACE(setter.name);
    reports_.clear();
    regtest::Delete(HKEY_LOCAL_MACHINE, *setter.key, setter.name);
    RegDiagFailNth(REGDIAG_SET, 1, ERROR_WRITE_FAULT);
    EXPECT_EQ(setter.call(admin), -1);
    EXPECT_FALSE(Stored(*setter.key, setter.name));
    EXPECT_EQ(reports_.pairs(), (setter.failure ? Pairs{{10190, setter.failure}} : Pairs{}));
    ASSERT_EQ(setter.call(admin), 0);
    EXPECT_EQ(Stored(*setter.key, setter.name), setter.value);
  }
  EXPECT_EQ(admin.m_dwGroesse, 5u);
}

TEST_F(AdminTest, CodeSettersWriteTheFlagAfterTheCode) {
  A admin;
  Store(kStoerschrieb, "FAVIS_FORMAT_D3", Binary32(0));
  ASSERT_EQ(admin.SetStoerDatenformat(7), 0);
  EXPECT_EQ(Stored(kStoerschrieb, "FAVIS_FORMAT_D3"), Binary32(1));
  RegDiagFailNth(REGDIAG_SET, 2, ERROR_WRITE_FAULT);
  EXPECT_EQ(admin.SetStoerDatenArt(3), -1);
  EXPECT_EQ(Stored(kStoerschrieb, "DART"), Binary32(3));
  EXPECT_EQ(reports_.pairs(), Pairs({{10190, 10193}}));
}

TEST_F(AdminTest, TextsBeyond259CharactersAreRefused) {
  A admin;
  const std::string longest(259, 'p');
  ASSERT_EQ(admin.SetCFCPathAndName(longest.c_str()), 0);
  EXPECT_EQ(admin.SetCFCPathAndName(std::string(260, 'q').c_str()), -1);
  EXPECT_EQ(Stored(kProgramme, "CFC"), Text(longest));
  CString strLong = std::string(260, 'r').c_str();
  EXPECT_EQ(admin.SetSchnittPar("T", strLong), -1);
  EXPECT_FALSE(Stored(kSchnittstellen, "T"));
  EXPECT_EQ(reports_.pairs(), Pairs({{10190, 10283}}));
}

// Copies hold keys of their own; an assignment from an incomplete writer
// leaves its missing keys empty.
TEST_F(AdminTest, CopiesAndAssignmentsEachCloseTheirOwnKeys) {
  {
    AdminProbe first, second;
    EXPECT_EQ(RegDiagOpenHandleCount(), 10);
    second = first;
    second = second;
    EXPECT_EQ(RegDiagOpenHandleCount(), 10);
    {
      AdminProbe copy(first);
      EXPECT_EQ(RegDiagOpenHandleCount(), 15);
    }
    EXPECT_EQ(RegDiagOpenHandleCount(), 10);
    EXPECT_EQ(first.SetCFCPathAndName("first"), 0);
    EXPECT_EQ(second.SetGraphicToolPath("second"), 0);
  }
  EXPECT_EQ(RegDiagOpenHandleCount(), 0);
  EXPECT_EQ(Stored(kProgramme, "CFC"), Text("first"));
  EXPECT_EQ(Stored(kProgramme, "GRAFIKTOOLS"), Text("second"));
  regtest::DeleteTree(HKEY_LOCAL_MACHINE, kProgramme);
  RegDiagFailNth(REGDIAG_CREATE, 1, ERROR_ACCESS_DENIED);
  AdminProbe partial;
  RegDiagClearFaults();
  AdminProbe full;
  full = partial;
  EXPECT_EQ(RegDiagOpenHandleCount(), 6);
  EXPECT_EQ(full.open(), "11100");
}

}  // namespace
