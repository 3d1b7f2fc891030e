// Fixture of the settings store tests: an empty registry of the test's own,
// the reports captured, and a store constructed with the tests' string
// table. After every test no key may be left open.
#ifndef VINTUTIL_TESTS_SETTINGS_TEST_H
#define VINTUTIL_TESTS_SETTINGS_TEST_H

#include <string>

#include <registry_diagnostics.h>

#include "VarnoRegInit.h"
#include "registry_values.h"
#include "report_capture.h"
#include "temp_registry.h"

// The store with its members in view.
class StoreProbe : public CVarnoRegInit {
 public:
  using CVarnoRegInit::m_dwGroesse;
  using CVarnoRegInit::m_dwTyp;
  using CVarnoRegInit::m_dwWert;
  using CVarnoRegInit::m_hKeyOptionen;
  using CVarnoRegInit::m_hKeyProgramme;
  using CVarnoRegInit::m_hKeySchnittstellen;
  using CVarnoRegInit::m_hKeyVedorir;
  using CVarnoRegInit::m_strTitel;
  using CVarnoRegInit::m_szWert;
};

class SettingsTest : public RegistryTest {
 protected:
  void TearDown() override { EXPECT_EQ(RegDiagOpenHandleCount(), 0) << "a key was left open"; }

  ReportCapture reports_;
  StoreProbe store_;
};

#endif
