// Filling in an unset fault-record viewer program from the fault-record
// viewer's or the COMTRADE viewer's directory.
#include "settings_test.h"

namespace {

using regtest::Text;

const std::string k250(250, 'f'), k256(256, 'f');

// The states of "GRAFPROG", "Favis" and "COMTRADEVIEWER" (null: missing)
// and of their sections; what "GRAFPROG" becomes (null: still missing) and
// the reports made.
struct CheckCase {
  const char *grafprog, *favis, *comtrade, *expected;
  Pairs reports;
  bool stoerschrieb = true, programme = true;
};

const CheckCase kCheckCases[] = {
    {"X:\\any.exe", "F:\\", "C:\\", "X:\\any.exe", {}},
    {"", "F:\\favis\\", "C:\\ct\\", "F:\\favis\\FAVIS4.EXE", {}},
    // Favis set and COMTRADEVIEWER missing: COMTRADEVIEWER is not read.
    {nullptr, "F:\\", nullptr, "F:\\FAVIS4.EXE", {{10191, 10194}}},
    {"", "", "C:\\ct\\", "C:\\ct\\COMTRADEVIEW.EXE", {}},
    {"", nullptr, "C:\\ct\\", "C:\\ct\\COMTRADEVIEW.EXE", {}},
    {"", k256.c_str(), "C:\\", "C:\\COMTRADEVIEW.EXE", {}},
    {"", "", "", "", {}},
    {"", nullptr, nullptr, "", {{10191, 10194}}},
    {"", k250.c_str(), nullptr, "", {{10190, 10194}}},
    {"", nullptr, nullptr, "", {}, true, false},
    {nullptr, "F:\\", nullptr, nullptr, {{10189, 10194}, {10189, 10194}}, false},
};

TEST_F(SettingsTest, CheckStoerProgrammNameFillsAnEmptyProgram) {
  for (const CheckCase& c : kCheckCases) {
    SCOPED_TRACE(&c - kCheckCases);
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, kStoerschrieb);
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, kProgramme);
    if (c.stoerschrieb) regtest::CreateKey(HKEY_LOCAL_MACHINE, kStoerschrieb);
    if (c.programme) regtest::CreateKey(HKEY_LOCAL_MACHINE, kProgramme);
    if (c.grafprog) Store(kStoerschrieb, "GRAFPROG", Text(c.grafprog));
    if (c.favis) Store(kProgramme, "Favis", Text(c.favis));
    if (c.comtrade) Store(kProgramme, "COMTRADEVIEWER", Text(c.comtrade));
    reports_.clear();
    EXPECT_EQ(store_.CheckStoerProgrammName(), 0);
    EXPECT_EQ(Stored(kStoerschrieb, "GRAFPROG"),
              c.expected ? std::optional(Text(c.expected)) : std::nullopt);
    EXPECT_EQ(regtest::KeyExists(HKEY_LOCAL_MACHINE, kStoerschrieb), c.stoerschrieb);
    EXPECT_EQ(reports_.pairs(), c.reports);
  }
}

}  // namespace
