// vintutil setup: runs the administrative writer and says what it did, by
// comparing the five settings sections before and after.
#include <AdminRegInit.h>
#include <VarnoStrings.h>

#include <strings.h>

#include <iostream>

#include "cli_common.h"
#include "commands.h"
#include "host_resources.h"
#include "machine_hive_advice.h"
#include "registry_tree.h"
#include "value_format.h"

namespace {

const char* const kSections[] = {VARNO_SEC_STOERSCHRIEB, VARNO_SEC_SCHNITTSTELLEN,
                                 VARNO_SEC_OPTIONEN, VARNO_SEC_PROGRAMME, VARNO_SEC_VEDORIR};

struct SectionState {
  bool exists = false;
  std::vector<RegFileValue> values;
};

SectionState ReadSection(const KeyPath& path) {
  SectionState state;
  KeyHandle key;
  if (key.Open(path, KEY_READ) != ERROR_SUCCESS) return state;
  state.exists = true;
  ReadValues(key.get(), state.values);
  return state;
}

const RegFileValue* FindValue(const SectionState& state, const std::string& name) {
  for (const RegFileValue& v : state.values) {
    if (strcasecmp(v.name.c_str(), name.c_str()) == 0) return &v;
  }
  return nullptr;
}

// Whether this process may write the machine hive, asked as setup's first
// write would: creating HKLM\SOFTWARE, where its sections lie.
LONG MachineHiveWriteAccess() {
  HKEY key = nullptr;
  const LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, nullptr, 0,
                                  KEY_CREATE_SUB_KEY | KEY_SET_VALUE, nullptr, &key, nullptr);
  if (rc == ERROR_SUCCESS) RegCloseKey(key);
  return rc;
}

int RunSetup() {
  // Every write would be refused: said once, up front, with what to do.
  if (MachineHiveWriteAccess() == ERROR_ACCESS_DENIED) {
    return Fail(MachineHiveAccessDenied() + "; nothing was written");
  }
  std::vector<KeyPath> paths;
  std::vector<SectionState> before;
  for (const char* section : kSections) {
    paths.push_back(KeyPath{HKEY_LOCAL_MACHINE, std::string(VARNO_REG_BASEPATH) + section});
    before.push_back(ReadSection(paths.back()));
  }
  {
    CAdminRegInit writer;  // creates, writes and refreshes; its destructor closes the keys
  }
  int written = 0;
  int changed = 0;
  for (size_t i = 0; i < paths.size(); ++i) {
    const SectionState after = ReadSection(paths[i]);
    if (!after.exists) continue;  // not reached: the report said why
    std::cout << (before[i].exists ? "section " : "created ") << paths[i].Full() << "\n";
    for (const RegFileValue& value : after.values) {
      const RegFileValue* old = FindValue(before[i], value.name);
      const std::string shown = TypeName(value.type) + " " + FormatDecoded(value.type, value.data);
      if (!old) {
        std::cout << "  wrote     " << value.name << " = " << shown << "\n";
        ++written;
      } else if (old->type != value.type || old->data != value.data) {
        std::cout << "  refreshed " << value.name << " = " << shown << " (was "
                  << FormatDecoded(old->type, old->data) << ")\n";
        ++changed;
      }
    }
  }
  if (written == 0 && changed == 0) std::cout << "Every value was already in place.\n";
  if (ReportCount() > 0) return Fail("setup is incomplete: see the reports above");
  return kExitSuccess;
}

}  // namespace

void AddSetupCommand(CLI::App& app, int& status) {
  app.add_subcommand("setup",
                     "Create the suite's settings sections under HKLM with their defaults and "
                     "refresh the administrative values (needs write access to the machine hive)")
      ->callback([&status] { status = RunSetup(); });
}
