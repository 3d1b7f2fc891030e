// Fault-record settings: codes, the viewer program, and filling it in.
#include "settings_test.h"

namespace {

using regtest::Binary32;
using regtest::Bytes;
using regtest::Text;

class FaultRecordTest : public SettingsTest {};

TEST_F(FaultRecordTest, CodesAreFourByteBinaryReadBackUnsigned) {
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kStoerschrieb);
  ASSERT_EQ(store_.SetStoerDatenArt(7), 0);
  EXPECT_EQ(Stored(kStoerschrieb, "DART"), (regtest::Value{REG_BINARY, Bytes({7, 0, 0, 0})}));
  EXPECT_EQ(store_.GetStoerDatenArt(), 7u);
  ASSERT_EQ(store_.SetStoerDatenformat(-1), 0);
  EXPECT_EQ(Stored(kStoerschrieb, "FORMAT"), Binary32(0xffffffff));
  EXPECT_EQ(store_.GetStoerDatenformat(), 4294967295ul);
  Store(kStoerschrieb, "DART", {REG_BINARY, Bytes({0x2c, 0x01})});
  EXPECT_EQ(store_.GetStoerDatenArt(), 300u);
  Store(kStoerschrieb, "FORMAT", {REG_DWORD, Bytes({9, 0, 0, 0})});
  EXPECT_EQ(store_.GetStoerDatenformat(), 9u);
  EXPECT_TRUE(reports_.messages().empty());
  Store(kStoerschrieb, "FORMAT", {REG_BINARY, Bytes({1, 2, 3, 4, 5, 6, 7, 8})});
  EXPECT_EQ(store_.GetStoerDatenformat(), 0u);
  EXPECT_EQ(reports_.pairs(), (std::vector<ReportPair>{{10191, 10192}}));
}

TEST_F(FaultRecordTest, ViewerProgramIsATextOfAtMost255Characters) {
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kStoerschrieb);
  ASSERT_EQ(store_.SetStoerProgrammName(""), 0);
  EXPECT_EQ(Stored(kStoerschrieb, "GRAFPROG"), Text(""));
  const std::string longest(255, 'p');
  ASSERT_EQ(store_.SetStoerProgrammName(longest.c_str()), 0);
  EXPECT_EQ(Stored(kStoerschrieb, "GRAFPROG"), Text(longest));
  EXPECT_EQ(std::string(store_.GetStoerProgrammName()), longest);
  // One character more is refused as a failed write; the value stays.
  EXPECT_EQ(store_.SetStoerProgrammName(std::string(256, 'q').c_str()), -1);
  EXPECT_EQ(Stored(kStoerschrieb, "GRAFPROG"), Text(longest));
  Store(kStoerschrieb, "GRAFPROG", Text(std::string(256, 'r')));
  EXPECT_TRUE(store_.GetStoerProgrammName().IsEmpty());
  EXPECT_EQ(reports_.pairs(), (std::vector<ReportPair>{{10190, 10194}, {10191, 10194}}));
}

// CheckStoerProgrammName: what "GRAFPROG" becomes, and the reports made, for
// the states of "GRAFPROG", "Favis" and "COMTRADEVIEWER" (nullopt: missing)
// and of their sections.
struct CheckCase {
  const char* name;
  std::optional<std::string> grafprog, favis, comtrade;
  std::string expected;
  std::vector<ReportPair> reports;
  bool stoerschrieb = true, programme = true;
};

const CheckCase kCheckCases[] = {
    {"set program is left alone", "X:\\any.exe", "F:\\", "C:\\", "X:\\any.exe", {}},
    {"Favis wins over COMTRADE", "", "F:\\favis\\", "C:\\ct\\", "F:\\favis\\FAVIS4.EXE", {}},
    {"missing program, Favis",
     std::nullopt,
     "F:\\",
     std::nullopt,
     "F:\\FAVIS4.EXE",
     {{10191, 10194}}},
    {"empty Favis, COMTRADE", "", "", "C:\\ct\\", "C:\\ct\\COMTRADEVIEW.EXE", {}},
    {"missing Favis, COMTRADE", "", std::nullopt, "C:\\ct\\", "C:\\ct\\COMTRADEVIEW.EXE", {}},
    {"overlong Favis is absent", "", std::string(256, 'f'), "C:\\", "C:\\COMTRADEVIEW.EXE", {}},
    {"nothing to take", "", "", "", "", {}},
    {"missing COMTRADE is reported", "", std::nullopt, std::nullopt, "", {{10191, 10194}}},
    {"Favis too long for the program",
     "",
     std::string(250, 'f'),
     std::nullopt,
     "",
     {{10190, 10194}}},
    {"no program section", "", std::nullopt, std::nullopt, "", {}, true, false},
    {"no fault-record section",
     std::nullopt,
     "F:\\",
     std::nullopt,
     "",
     {{10189, 10194}, {10189, 10194}},
     false},
};

TEST_F(FaultRecordTest, CheckStoerProgrammNameFillsAnEmptyProgram) {
  for (const CheckCase& c : kCheckCases) {
    SCOPED_TRACE(c.name);
    for (const std::string* key : {&kStoerschrieb, &kProgramme}) {
      regtest::DeleteTree(HKEY_LOCAL_MACHINE, *key);
    }
    if (c.stoerschrieb) regtest::CreateKey(HKEY_LOCAL_MACHINE, kStoerschrieb);
    if (c.programme) regtest::CreateKey(HKEY_LOCAL_MACHINE, kProgramme);
    if (c.grafprog) Store(kStoerschrieb, "GRAFPROG", Text(*c.grafprog));
    if (c.favis) Store(kProgramme, "Favis", Text(*c.favis));
    if (c.comtrade) Store(kProgramme, "COMTRADEVIEWER", Text(*c.comtrade));
    reports_.clear();
    EXPECT_EQ(store_.CheckStoerProgrammName(), 0);
    const bool written = !c.expected.empty() || c.grafprog;
    EXPECT_EQ(Stored(kStoerschrieb, "GRAFPROG"),
              written ? std::optional(Text(c.expected)) : std::nullopt);
    EXPECT_EQ(regtest::KeyExists(HKEY_LOCAL_MACHINE, kStoerschrieb), c.stoerschrieb);
    EXPECT_EQ(reports_.pairs(), c.reports);
    EXPECT_EQ(RegDiagOpenHandleCount(), 0);
  }
}

TEST_F(FaultRecordTest, CheckWithFavisSetDoesNotReadComtrade) {
  Store(kStoerschrieb, "GRAFPROG", Text(""));
  Store(kProgramme, "Favis", Text("F:\\"));
  Store(kProgramme, "COMTRADEVIEWER", Text("C:\\"));
  // The third query would be COMTRADEVIEWER: failing it must change nothing.
  RegDiagFailNth(REGDIAG_QUERY, 3, ERROR_ACCESS_DENIED);
  EXPECT_EQ(store_.CheckStoerProgrammName(), 0);
  RegDiagClearFaults();
  EXPECT_EQ(Stored(kStoerschrieb, "GRAFPROG"), Text("F:\\FAVIS4.EXE"));
  EXPECT_TRUE(reports_.messages().empty());
}

}  // namespace
