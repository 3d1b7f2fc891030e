// The store object itself, and how every reporting operation fails when its
// section is missing or its value cannot be read or written.
#include <string.h>

#include <functional>
#include <optional>

#include "settings_test.h"

namespace {

TEST_F(SettingsTest, NewStoreHasItsInitialStateAndTitle) {
  EXPECT_EQ(store_.m_hKeySchnittstellen, nullptr);
  EXPECT_EQ(store_.m_hKeyOptionen, nullptr);
  EXPECT_EQ(store_.m_hKeyProgramme, nullptr);
  EXPECT_EQ(store_.m_hKeyVedorir, nullptr);
  EXPECT_EQ(store_.m_dwWert, 0u);
  EXPECT_EQ(store_.m_szWert[0], '\0');
  EXPECT_EQ(store_.m_dwTyp, 1u);
  EXPECT_EQ(store_.m_dwGroesse, 0u);
  EXPECT_STREQ(store_.m_strTitel, ReportCapture::kTitle);
}

TEST_F(SettingsTest, MembersKeepTheirWindowsWidths) {
  EXPECT_EQ(sizeof store_.m_dwWert, 4u);
  EXPECT_EQ(sizeof store_.m_szWert, 1256u);
  EXPECT_EQ(sizeof store_.m_dwTyp, 4u);
  EXPECT_EQ(sizeof store_.m_dwGroesse, 4u);
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
    EXPECT_EQ(target->m_dwWert, 77u);
    EXPECT_EQ(target->m_dwTyp, 3u);
    EXPECT_EQ(target->m_dwGroesse, 1234u);
    EXPECT_STREQ(target->m_strTitel, ReportCapture::kTitle);
  }
}

// One reporting operation: runs it and tells whether it gave its failure
// value (the arranged registry would give anything else on success).
struct Operation {
  const char* name;
  std::function<bool(CVarnoRegInit&)> failed;
  ReportPair missingSection;
  RegDiagCall valueCall;                   // the registry call of the value
  std::optional<ReportPair> valueFailure;  // nullopt: the value's failure is silent
};

const Operation kOperations[] = {
    {"GetStoerDatenformat",
     [](CVarnoRegInit& s) { return s.GetStoerDatenformat() == 0; },
     {10189, 10192},
     REGDIAG_QUERY,
     ReportPair{10191, 10192}},
    {"SetStoerDatenformat",
     [](CVarnoRegInit& s) { return s.SetStoerDatenformat(1) == -1; },
     {10189, 10192},
     REGDIAG_SET,
     ReportPair{10190, 10192}},
    {"GetStoerDatenArt",
     [](CVarnoRegInit& s) { return s.GetStoerDatenArt() == 0; },
     {10189, 10192},
     REGDIAG_QUERY,
     ReportPair{10191, 10193}},
    {"SetStoerDatenArt",
     [](CVarnoRegInit& s) { return s.SetStoerDatenArt(1) == -1; },
     {10189, 10192},
     REGDIAG_SET,
     ReportPair{10190, 10193}},
    {"GetStoerProgrammName",
     [](CVarnoRegInit& s) { return s.GetStoerProgrammName().IsEmpty(); },
     {10189, 10194},
     REGDIAG_QUERY,
     ReportPair{10191, 10194}},
    {"SetStoerProgrammName",
     [](CVarnoRegInit& s) { return s.SetStoerProgrammName("x") == -1; },
     {10189, 10194},
     REGDIAG_SET,
     ReportPair{10190, 10194}},
    {"GetComtradeViewerPath",
     [](CVarnoRegInit& s) { return s.GetComtradeViewerPath().IsEmpty(); },
     {10189, 10194},
     REGDIAG_QUERY,
     ReportPair{10191, 10194}},
    {"GetSchnittComPort",
     [](CVarnoRegInit& s) {
       unsigned short w = 999;
       return s.GetSchnittComPort(w) == -1 && w == 999;
     },
     {10189, 10192},
     REGDIAG_QUERY,
     std::nullopt},
    {"GetSchnittBaudrate",
     [](CVarnoRegInit& s) {
       unsigned long dw = 999;
       return s.GetSchnittBaudrate(dw) == -1 && dw == 999;
     },
     {10189, 10192},
     REGDIAG_QUERY,
     std::nullopt},
    {"GetSchnittVFDName",
     [](CVarnoRegInit& s) {
       CString str = "old";
       return s.GetSchnittVFDName(str) == -1 && str == "old";
     },
     {10189, 10192},
     REGDIAG_QUERY,
     std::nullopt},
    {"SetSchnittComPort",
     [](CVarnoRegInit& s) { return s.SetSchnittComPort(1) == -1; },
     {10189, 10192},
     REGDIAG_SET,
     std::nullopt},
    {"GetAutoSave",
     [](CVarnoRegInit& s) { return s.GetAutoSave() == 0; },
     {10189, 10192},
     REGDIAG_QUERY,
     ReportPair{10191, 10212}},
    {"SetAutoSave",
     [](CVarnoRegInit& s) { return s.SetAutoSave(1) == -1; },
     {10189, 10192},
     REGDIAG_SET,
     ReportPair{10190, 10212}},
    {"GetUmrechnungPrimaer",
     [](CVarnoRegInit& s) { return s.GetUmrechnungPrimaer() == 0; },
     {10189, 10192},
     REGDIAG_QUERY,
     ReportPair{10191, 10292}},
    {"SetUmrechnungPrimaer",
     [](CVarnoRegInit& s) { return s.SetUmrechnungPrimaer(1) == -1; },
     {10189, 10192},
     REGDIAG_SET,
     ReportPair{10190, 10292}},
    {"GetParameterLevel",
     [](CVarnoRegInit& s) { return s.GetParameterLevel() == 0; },
     {10189, 10192},
     REGDIAG_QUERY,
     ReportPair{10191, 10293}},
    {"SetParameterLevel",
     [](CVarnoRegInit& s) { return s.SetParameterLevel(1) == -1; },
     {10189, 10192},
     REGDIAG_SET,
     ReportPair{10190, 10293}},
    {"GetMatrixOptions",
     [](CVarnoRegInit& s) {
       int a = 9, b = 9, c = 9, d = 9;
       return s.GetMatrixOptions(&a, &b, &c, &d) == -1 && a == 9 && b == 9 && c == 9 && d == 9;
     },
     {10189, 10192},
     REGDIAG_QUERY,
     ReportPair{10191, 10212}},
    {"SetMatrixOptions",
     [](CVarnoRegInit& s) { return s.SetMatrixOptions(1, 2, 3, 4) == -1; },
     {10189, 10192},
     REGDIAG_SET,
     ReportPair{10190, 10212}},
    {"GetZEBPrintSettings",
     [](CVarnoRegInit& s) { return s.GetZEBPrintSettings().IsEmpty(); },
     {10189, 10192},
     REGDIAG_QUERY,
     std::nullopt},
    {"SetZEBPrintSettings",
     [](CVarnoRegInit& s) { return s.SetZEBPrintSettings("z") == -1; },
     {10189, 10192},
     REGDIAG_SET,
     std::nullopt},
    {"GetPrintOptions",
     [](CVarnoRegInit& s) { return s.GetPrintOptions().IsEmpty(); },
     {10189, 10192},
     REGDIAG_QUERY,
     std::nullopt},
    {"GetDisplayEditorPathAndName",
     [](CVarnoRegInit& s) { return s.GetDisplayEditorPathAndName().IsEmpty(); },
     {10189, 10282},
     REGDIAG_QUERY,
     std::nullopt},
    {"SetDisplayEditorPathAndName",
     [](CVarnoRegInit& s) { return s.SetDisplayEditorPathAndName("d") == -1; },
     {10189, 10282},
     REGDIAG_SET,
     ReportPair{10190, 10279}},
    {"GetCFCPathAndName",
     [](CVarnoRegInit& s) { return s.GetCFCPathAndName().IsEmpty(); },
     {10189, 10282},
     REGDIAG_QUERY,
     ReportPair{10191, 10283}},
    {"SetCFCPathAndName",
     [](CVarnoRegInit& s) { return s.SetCFCPathAndName("c") == -1; },
     {10189, 10282},
     REGDIAG_SET,
     ReportPair{10190, 10283}},
    {"GetGraphicToolPath",
     [](CVarnoRegInit& s) { return s.GetGraphicToolPath().IsEmpty(); },
     {10189, 10282},
     REGDIAG_QUERY,
     ReportPair{10191, 10282}},
    {"SetGraphicToolPath",
     [](CVarnoRegInit& s) { return s.SetGraphicToolPath("t") == -1; },
     {10189, 10282},
     REGDIAG_SET,
     ReportPair{10190, 10194}},
    {"SetBasicRegStructAnlProjAnlVisu",
     [](CVarnoRegInit& s) { return s.SetBasicRegStructAnlProjAnlVisu() == -1; },
     {10189, 10282},
     REGDIAG_QUERY,
     ReportPair{10191, 10471}},
};

TEST_F(SettingsTest, MissingSectionIsReportedOnceAndCreatesNothing) {
  for (const Operation& op : kOperations) {
    SCOPED_TRACE(op.name);
    reports_.clear();
    EXPECT_TRUE(op.failed(store_));
    EXPECT_EQ(reports_.pairs(), std::vector<ReportPair>{op.missingSection});
    EXPECT_EQ(RegDiagOpenHandleCount(), 0);
  }
  EXPECT_FALSE(regtest::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\TORVALE"));
}

// Every value of the operations above is present and would read as success.
void StoreEveryValue() {
  using regtest::Text;
  const std::pair<const std::string*, std::pair<const char*, regtest::Value>> values[] = {
      {&kStoerschrieb, {"FORMAT", regtest::Binary32(5)}},
      {&kStoerschrieb, {"DART", regtest::Binary32(6)}},
      {&kStoerschrieb, {"GRAFPROG", Text("g")}},
      {&kProgramme, {"COMTRADEVIEWER", Text("c")}},
      {&kSchnittstellen, {"COMPORT", Text("3")}},
      {&kSchnittstellen, {"BAUDRATE", Text("9600")}},
      {&kSchnittstellen, {"FMSVFDNAME", Text("v")}},
      {&kOptionen, {"AUTOSAVE", Text("TRUE")}},
      {&kOptionen, {"UMRECHNUNGPRIM", Text("TRUE")}},
      {&kOptionen, {"PARAMETERLEVEL", regtest::Binary32(3)}},
      {&kOptionen, {"MATRIX", Text("1, 2, 3, 4")}},
      {&kOptionen, {"ZEBPRINTSETTINGS", Text("z")}},
      {&kOptionen, {"PRINTOPTIONS", Text("p")}},
      {&kProgramme, {"DISPLAYEDITOR", Text("d")}},
      {&kProgramme, {"CFC", Text("c")}},
      {&kProgramme, {"GRAFIKTOOLS", Text("t")}},
      {&kProgramme, {"SSTOOLS", Text("/nonexistent/")}},
  };
  for (const auto& [key, value] : values) {
    regtest::Put(HKEY_LOCAL_MACHINE, *key, value.first, value.second);
  }
}

TEST_F(SettingsTest, FailedValueIsReportedWithItsPairOrSilently) {
  StoreEveryValue();
  for (const Operation& op : kOperations) {
    SCOPED_TRACE(op.name);
    reports_.clear();
    RegDiagFailNth(op.valueCall, 1, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(op.failed(store_));
    RegDiagClearFaults();
    std::vector<ReportPair> expected;
    if (op.valueFailure) expected.push_back(*op.valueFailure);
    EXPECT_EQ(reports_.pairs(), expected);
    EXPECT_EQ(RegDiagOpenHandleCount(), 0);
  }
}

TEST_F(SettingsTest, OperationsSucceedWithoutReportsWhenEverythingIsThere) {
  StoreEveryValue();
  for (const Operation& op : kOperations) {
    SCOPED_TRACE(op.name);
    EXPECT_FALSE(op.failed(store_));
  }
  EXPECT_TRUE(reports_.reports().empty());
}

}  // namespace
