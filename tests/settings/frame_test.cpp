// The store object itself, and how every reporting operation fails when its
// section is missing or its value cannot be read or written.
#include <string.h>

#include <functional>

#include "settings_test.h"

namespace {

using regtest::Text;

TEST_F(SettingsTest, NewStoreHasItsInitialStateAndWindowsWidths) {
  EXPECT_EQ(store_.keys(), std::vector<HKEY>(4, nullptr));
  EXPECT_EQ(store_.fields(), std::vector<DWORD>({0, REG_SZ, 0}));
  EXPECT_EQ(store_.m_szWert[0], '\0');
  EXPECT_STREQ(store_.m_strTitel, ReportCapture::kTitle);
  EXPECT_EQ(sizeof store_.m_dwWert + sizeof store_.m_dwTyp + sizeof store_.m_dwGroesse, 12u);
  EXPECT_EQ(sizeof store_.m_szWert, 1256u);
}

TEST_F(SettingsTest, CopyAndAssignmentTakeTheWholeBufferOver) {
  for (size_t i = 0; i < sizeof store_.m_szWert; ++i) store_.m_szWert[i] = static_cast<char>(i);
  store_.m_dwWert = 77;
  store_.m_dwTyp = 3;
  store_.m_dwGroesse = 1234;
  StoreProbe copy(store_), assigned;
  assigned = store_;
  for (const StoreProbe* target : {&copy, &assigned}) {
    EXPECT_EQ(memcmp(target->m_szWert, store_.m_szWert, sizeof store_.m_szWert), 0);
    EXPECT_EQ(target->fields(), std::vector<DWORD>({77, 3, 1234}));
    EXPECT_STREQ(target->m_strTitel, ReportCapture::kTitle);
  }
}

TEST_F(SettingsTest, ValueAccessGoesThroughTheMemberBuffersAndClosesTheMemberKeys) {
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kSchnittstellen);
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kOptionen);
  ASSERT_EQ(store_.SetSchnittPar("X", static_cast<unsigned short>(42)), 0);
  EXPECT_STREQ(store_.m_szWert, "42");
  EXPECT_EQ(store_.m_dwGroesse, 3u);
  unsigned short w = 0;
  ASSERT_EQ(store_.GetSchnittPar("X", w), 0);
  EXPECT_EQ(store_.fields(), std::vector<DWORD>({0, REG_SZ, 3}));
  ASSERT_EQ(store_.SetParameterLevel(2), 0);
  EXPECT_EQ(store_.GetParameterLevel(), 2u);
  EXPECT_EQ(store_.fields(), std::vector<DWORD>({2, REG_BINARY, 4}));
}

// A getter with an out argument, as a test of its failure: true when it
// failed and left the argument alone.
template <typename T>
std::function<bool(S&)> Untouched(long (S::*get)(T&), T before) {
  return [get, before](S& s) {
    T value = before;
    return (s.*get)(value) == -1 && value == before;
  };
}

long SetVfdName(S& s) {
  CString strName = "v";
  return s.SetSchnittVFDName(strName);
}

bool MatrixFailed(S& s) {
  int o[4] = {9, 9, 9, 9};
  return s.GetMatrixOptions(o, o + 1, o + 2, o + 3) == -1 && o[0] + o[1] + o[2] + o[3] == 36;
}

// A setting and its reporting operations. The setter writes a value that the
// getter tells from its failure value (no setter: the value is arranged).
// A missing section is reported as (10189, section) by both; a failed
// registry call on the value as (10191, read) and (10190, write), or not at
// all where that context is 0.
struct Setting {
  std::function<long(S&)> set;
  std::function<bool(S&)> getFailed;
  unsigned int section, read, write;
};

const Setting kSettings[] = {
    {CALL(s.SetStoerDatenformat(5)), CALL(s.GetStoerDatenformat() == 0), 10192, 10192, 10192},
    {CALL(s.SetStoerDatenArt(6)), CALL(s.GetStoerDatenArt() == 0), 10192, 10193, 10193},
    {CALL(s.SetStoerProgrammName("g")), CALL(s.GetStoerProgrammName() == ""), 10194, 10194, 10194},
    {nullptr, CALL(s.GetComtradeViewerPath() == ""), 10194, 10194, 0},
    {CALL(s.SetSchnittComPort(3)), Untouched<unsigned short>(&S::GetSchnittComPort, 9), 10192, 0,
     0},
    {CALL(s.SetSchnittBaudrate(96)), Untouched<unsigned long>(&S::GetSchnittBaudrate, 9), 10192, 0,
     0},
    {SetVfdName, Untouched<CString>(&S::GetSchnittVFDName, "old"), 10192, 0, 0},
    {CALL(s.SetAutoSave(1)), CALL(s.GetAutoSave() == 0), 10192, 10212, 10212},
    {CALL(s.SetUmrechnungPrimaer(1)), CALL(s.GetUmrechnungPrimaer() == 0), 10192, 10292, 10292},
    {CALL(s.SetParameterLevel(1)), CALL(s.GetParameterLevel() == 0), 10192, 10293, 10293},
    {CALL(s.SetMatrixOptions(1, 2, 3, 4)), MatrixFailed, 10192, 10212, 10212},
    {CALL(s.SetZEBPrintSettings("z")), CALL(s.GetZEBPrintSettings() == ""), 10192, 0, 0},
    {nullptr, CALL(s.GetPrintOptions() == ""), 10192, 0, 0},
    {CALL(s.SetDisplayEditorPathAndName("d")), CALL(s.GetDisplayEditorPathAndName() == ""), 10282,
     0, 10279},
    {CALL(s.SetCFCPathAndName("c")), CALL(s.GetCFCPathAndName() == ""), 10282, 10283, 10283},
    {CALL(s.SetGraphicToolPath("t")), CALL(s.GetGraphicToolPath() == ""), 10282, 10282, 10194},
    {nullptr, CALL(s.SetBasicRegStructAnlProjAnlVisu() == -1), 10282, 10471, 0},
};

TEST_F(SettingsTest, EachOperationReportsItsMissingSectionAndFailedValue) {
  for (const Setting& setting : kSettings) {
    SCOPED_TRACE(&setting - kSettings);
    reports_.clear();
    EXPECT_TRUE(!setting.set || setting.set(store_) == -1);
    EXPECT_TRUE(setting.getFailed(store_));
    EXPECT_EQ(reports_.pairs(), Pairs(setting.set ? 2 : 1, {10189, setting.section}));
  }
  EXPECT_FALSE(regtest::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\TORVALE"));

  regtest::CreateKey(HKEY_LOCAL_MACHINE, kStoerschrieb);
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kSchnittstellen);
  Store(kProgramme, "COMTRADEVIEWER", Text("c"));
  Store(kProgramme, "SSTOOLS", Text("/nonexistent/"));
  Store(kOptionen, "PRINTOPTIONS", Text("p"));
  for (const Setting& setting : kSettings) {
    SCOPED_TRACE(&setting - kSettings);
    reports_.clear();
    EXPECT_TRUE(!setting.set || setting.set(store_) == 0);
    EXPECT_FALSE(setting.getFailed(store_));
    RegDiagFailNth(REGDIAG_QUERY, 1, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(setting.getFailed(store_));
    Pairs expected;
    if (setting.read != 0) expected.emplace_back(10191, setting.read);
    if (setting.set) {
      RegDiagFailNth(REGDIAG_SET, 1, ERROR_ACCESS_DENIED);
      EXPECT_EQ(setting.set(store_), -1);
      if (setting.write != 0) expected.emplace_back(10190, setting.write);
    }
    RegDiagClearFaults();
    EXPECT_EQ(reports_.pairs(), expected);
    EXPECT_EQ(RegDiagOpenHandleCount(), 0);
  }
  EXPECT_EQ(store_.keys(), std::vector<HKEY>(4, nullptr));
}

// The print options alone report a failed write with the value's path.
TEST_F(SettingsTest, FailedPrintOptionsWriteIsReportedWithItsPath) {
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kOptionen);
  RegDiagFailNth(REGDIAG_SET, 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(store_.SetPrintOptions("p"), -1);
  EXPECT_EQ(
      reports_.messages(),
      std::vector<std::string>({ReportCapture::LibraryMessage(102, kOptionen + "\\PRINTOPTIONS")}));
}

}  // namespace
