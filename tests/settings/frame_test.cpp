// The store object itself, and how every reporting operation fails when its
// section is missing or its value cannot be read or written.
#include <string.h>

#include <functional>
#include <tuple>

#include "settings_test.h"

namespace {

TEST_F(SettingsTest, NewStoreHasItsInitialStateAndWindowsWidths) {
  for (HKEY key : {store_.m_hKeySchnittstellen, store_.m_hKeyOptionen, store_.m_hKeyProgramme,
                   store_.m_hKeyVedorir}) {
    EXPECT_EQ(key, nullptr);
  }
  EXPECT_EQ(store_.m_dwWert, 0u);
  EXPECT_EQ(store_.m_szWert[0], '\0');
  EXPECT_EQ(store_.m_dwTyp, 1u);
  EXPECT_EQ(store_.m_dwGroesse, 0u);
  EXPECT_STREQ(store_.m_strTitel, ReportCapture::kTitle);
  EXPECT_EQ(sizeof store_.m_dwWert + sizeof store_.m_dwTyp + sizeof store_.m_dwGroesse, 12u);
  EXPECT_EQ(sizeof store_.m_szWert, 1256u);
}

TEST_F(SettingsTest, CopyAndAssignmentTakeTheWholeBufferOver) {
  for (size_t i = 0; i < sizeof store_.m_szWert; ++i) store_.m_szWert[i] = static_cast<char>(i);
  store_.m_dwWert = 77;
  store_.m_dwTyp = 3;
  store_.m_dwGroesse = 1234;
  StoreProbe copy(store_);
  StoreProbe assigned;
  assigned = store_;
  for (const StoreProbe* target : {&copy, &assigned}) {
    EXPECT_EQ(memcmp(target->m_szWert, store_.m_szWert, sizeof store_.m_szWert), 0);
    EXPECT_EQ(target->m_dwWert + target->m_dwTyp + target->m_dwGroesse, 77u + 3u + 1234u);
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
  EXPECT_EQ(store_.m_dwTyp, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(store_.m_dwGroesse, 3u);
  ASSERT_EQ(store_.SetParameterLevel(2), 0);
  EXPECT_EQ(store_.GetParameterLevel(), 2u);
  EXPECT_EQ(store_.m_dwWert, 2u);
  EXPECT_EQ(store_.m_dwTyp, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(store_.m_dwGroesse, 4u);
  EXPECT_EQ(store_.m_hKeySchnittstellen, nullptr);
  EXPECT_EQ(store_.m_hKeyOptionen, nullptr);
}

using S = CVarnoRegInit;
using W = unsigned short;
using DW = unsigned long;
constexpr RegDiagCall kRead = REGDIAG_QUERY, kWrite = REGDIAG_SET;

// Runs a getter with an out argument: true when it failed and left the
// argument alone.
template <typename T>
bool FailsUntouched(S& s, long (S::*get)(T&), T before) {
  T value = before;
  return (s.*get)(value) == -1 && value == before;
}

// One reporting operation: runs it and tells whether it gave its failure
// value (the arranged registry would give anything else on success). A
// missing section is reported as (10189, sectionContext); a failure of the
// value's registry call as (10191 read / 10190 write, valueContext), or not
// at all when valueContext is 0.
struct Operation {
  std::function<bool(S&)> failed;
  unsigned int sectionContext;
  RegDiagCall valueCall;
  unsigned int valueContext;
};

const Operation kOperations[] = {
    {[](S& s) { return s.GetStoerDatenformat() == 0; }, 10192, kRead, 10192},
    {[](S& s) { return s.SetStoerDatenformat(1) == -1; }, 10192, kWrite, 10192},
    {[](S& s) { return s.GetStoerDatenArt() == 0; }, 10192, kRead, 10193},
    {[](S& s) { return s.SetStoerDatenArt(1) == -1; }, 10192, kWrite, 10193},
    {[](S& s) { return s.GetStoerProgrammName().IsEmpty(); }, 10194, kRead, 10194},
    {[](S& s) { return s.SetStoerProgrammName("x") == -1; }, 10194, kWrite, 10194},
    {[](S& s) { return s.GetComtradeViewerPath().IsEmpty(); }, 10194, kRead, 10194},
    {[](S& s) { return FailsUntouched<W>(s, &S::GetSchnittComPort, 999); }, 10192, kRead, 0},
    {[](S& s) { return FailsUntouched<DW>(s, &S::GetSchnittBaudrate, 999); }, 10192, kRead, 0},
    {[](S& s) { return FailsUntouched<CString>(s, &S::GetSchnittVFDName, "old"); }, 10192, kRead,
     0},
    {[](S& s) { return s.SetSchnittComPort(1) == -1; }, 10192, kWrite, 0},
    {[](S& s) { return s.GetAutoSave() == 0; }, 10192, kRead, 10212},
    {[](S& s) { return s.SetAutoSave(1) == -1; }, 10192, kWrite, 10212},
    {[](S& s) { return s.GetUmrechnungPrimaer() == 0; }, 10192, kRead, 10292},
    {[](S& s) { return s.SetUmrechnungPrimaer(1) == -1; }, 10192, kWrite, 10292},
    {[](S& s) { return s.GetParameterLevel() == 0; }, 10192, kRead, 10293},
    {[](S& s) { return s.SetParameterLevel(1) == -1; }, 10192, kWrite, 10293},
    {[](S& s) {
       int o[4] = {9, 9, 9, 9};
       return s.GetMatrixOptions(o, o + 1, o + 2, o + 3) == -1 && o[0] + o[1] + o[2] + o[3] == 36;
     },
     10192, kRead, 10212},
    {[](S& s) { return s.SetMatrixOptions(1, 2, 3, 4) == -1; }, 10192, kWrite, 10212},
    {[](S& s) { return s.GetZEBPrintSettings().IsEmpty(); }, 10192, kRead, 0},
    {[](S& s) { return s.SetZEBPrintSettings("z") == -1; }, 10192, kWrite, 0},
    {[](S& s) { return s.GetPrintOptions().IsEmpty(); }, 10192, kRead, 0},
    {[](S& s) { return s.GetDisplayEditorPathAndName().IsEmpty(); }, 10282, kRead, 0},
    {[](S& s) { return s.SetDisplayEditorPathAndName("d") == -1; }, 10282, kWrite, 10279},
    {[](S& s) { return s.GetCFCPathAndName().IsEmpty(); }, 10282, kRead, 10283},
    {[](S& s) { return s.SetCFCPathAndName("c") == -1; }, 10282, kWrite, 10283},
    {[](S& s) { return s.GetGraphicToolPath().IsEmpty(); }, 10282, kRead, 10282},
    {[](S& s) { return s.SetGraphicToolPath("t") == -1; }, 10282, kWrite, 10194},
    {[](S& s) { return s.SetBasicRegStructAnlProjAnlVisu() == -1; }, 10282, kRead, 10471},
};

// Every value of the operations above, present and readable as success.
void StoreEveryValue() {
  using regtest::Binary32;
  using regtest::Text;
  const std::tuple<const std::string*, const char*, regtest::Value> values[] = {
      {&kStoerschrieb, "FORMAT", Binary32(5)},
      {&kStoerschrieb, "DART", Binary32(6)},
      {&kStoerschrieb, "GRAFPROG", Text("g")},
      {&kProgramme, "COMTRADEVIEWER", Text("c")},
      {&kSchnittstellen, "COMPORT", Text("3")},
      {&kSchnittstellen, "BAUDRATE", Text("9600")},
      {&kSchnittstellen, "FMSVFDNAME", Text("v")},
      {&kOptionen, "AUTOSAVE", Text("TRUE")},
      {&kOptionen, "UMRECHNUNGPRIM", Text("TRUE")},
      {&kOptionen, "PARAMETERLEVEL", Binary32(3)},
      {&kOptionen, "MATRIX", Text("1, 2, 3, 4")},
      {&kOptionen, "ZEBPRINTSETTINGS", Text("z")},
      {&kOptionen, "PRINTOPTIONS", Text("p")},
      {&kProgramme, "DISPLAYEDITOR", Text("d")},
      {&kProgramme, "CFC", Text("c")},
      {&kProgramme, "GRAFIKTOOLS", Text("t")},
      {&kProgramme, "SSTOOLS", Text("/nonexistent/")},
  };
  for (const auto& [key, name, value] : values) regtest::Put(HKEY_LOCAL_MACHINE, *key, name, value);
}

TEST_F(SettingsTest, EachOperationReportsItsMissingSectionAndFailedValue) {
  for (const Operation& op : kOperations) {
    SCOPED_TRACE(&op - kOperations);
    reports_.clear();
    EXPECT_TRUE(op.failed(store_));
    EXPECT_EQ(reports_.pairs(), (std::vector<ReportPair>{{10189, op.sectionContext}}));
    EXPECT_EQ(RegDiagOpenHandleCount(), 0);
  }
  EXPECT_FALSE(regtest::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\TORVALE"));

  StoreEveryValue();
  for (const Operation& op : kOperations) {
    SCOPED_TRACE(&op - kOperations);
    reports_.clear();
    EXPECT_FALSE(op.failed(store_));
    RegDiagFailNth(op.valueCall, 1, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(op.failed(store_));
    RegDiagClearFaults();
    std::vector<ReportPair> expected;
    if (op.valueContext != 0) {
      expected.emplace_back(op.valueCall == kRead ? 10191 : 10190, op.valueContext);
    }
    EXPECT_EQ(reports_.pairs(), expected);
    EXPECT_EQ(RegDiagOpenHandleCount(), 0);
  }
}

}  // namespace
