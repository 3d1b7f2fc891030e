// Fixture of the settings store tests: an empty registry of the test's own,
// the reports captured, and a store constructed with the tests' string
// table. After every test no key may be left open.
#ifndef VINTUTIL_TESTS_SETTINGS_TEST_H
#define VINTUTIL_TESTS_SETTINGS_TEST_H

#include <map>
#include <string>
#include <vector>

#include <registry_diagnostics.h>

#include "VarnoRegInit.h"
#include "registry_values.h"
#include "report_capture.h"
#include "temp_registry.h"

using S = CVarnoRegInit;
using Pairs = std::vector<ReportPair>;

// An operation on the store as a table entry: CALL(s.GetAutoSave() == 0).
#define CALL(expression) [](S& s) { return expression; }

// A text of n times 'x', kept for the whole test program.
inline const char* Xs(size_t n) {
  static std::map<size_t, std::string> texts;
  return texts.try_emplace(n, n, 'x').first->second.c_str();
}

// The store with its members in view.
class StoreProbe : public CVarnoRegInit {
 public:
  using CVarnoRegInit::m_dwGroesse;
  using CVarnoRegInit::m_dwTyp;
  using CVarnoRegInit::m_dwWert;
  using CVarnoRegInit::m_strTitel;
  using CVarnoRegInit::m_szWert;
  std::vector<DWORD> fields() const { return {m_dwWert, m_dwTyp, m_dwGroesse}; }
  std::vector<HKEY> keys() const {
    return {m_hKeySchnittstellen, m_hKeyOptionen, m_hKeyProgramme, m_hKeyVedorir};
  }
};

class SettingsTest : public RegistryTest {
 protected:
  void TearDown() override { EXPECT_EQ(RegDiagOpenHandleCount(), 0) << "a key was left open"; }

  ReportCapture reports_;
  StoreProbe store_;
};

#endif
