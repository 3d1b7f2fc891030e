// TempRegistry on Windows. The tests run against the machine's real registry
// (under Wine, the prefix's), so a test's empty registry is made by clearing
// what tests write, before the test and again after it:
// - the suite's trees HKCU\SOFTWARE\TORVALE and HKLM\SOFTWARE\TORVALE are
//   deleted, and so is any key that appeared during the test directly under
//   HKCU, HKCU\SOFTWARE or HKLM\SOFTWARE;
// - HKCU\Control Panel\International holds the user's regional settings and
//   belongs to the system: it is put back as it was, values the test added
//   deleted and values it changed restored.
// dir() is a fresh scratch directory for the test's files. Faults and
// handle counts of the registry diagnostics start anew.
// One TempRegistry exists at a time (one per test), so the state taken at
// its start is kept here rather than in the object.
#include "temp_registry.h"

#include <windows.h>

#include <registry_diagnostics.h>

#include <filesystem>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Parent {
  HKEY root;
  const char* path;
};

// Where tests may create keys of their own.
const Parent kParents[] = {
    {HKEY_CURRENT_USER, ""},
    {HKEY_CURRENT_USER, "SOFTWARE"},
    {HKEY_LOCAL_MACHINE, "SOFTWARE"},
};

const char kSuiteTree[] = "SOFTWARE\\TORVALE";
const char kInternational[] = "Control Panel\\International";

struct NamedValue {
  std::string name;
  DWORD type;
  std::vector<BYTE> data;
};

// Key names compare without regard to case, as the registry does.
struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return lstrcmpiA(a.c_str(), b.c_str()) < 0;
  }
};
using NameSet = std::set<std::string, NoCaseLess>;

std::vector<NameSet> keysBefore;
std::vector<NamedValue> internationalBefore;

NameSet subkeys(const Parent& parent) {
  NameSet names;
  HKEY key;
  if (RegOpenKeyExA(parent.root, parent.path, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
  char name[256];
  DWORD length = sizeof name;
  for (DWORD i = 0; RegEnumKeyExA(key, i, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
       ++i, length = sizeof name) {
    names.insert(name);
  }
  RegCloseKey(key);
  return names;
}

void deleteTree(HKEY root, const std::string& path) {
  LSTATUS status = RegDeleteTreeA(root, path.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    throw std::runtime_error("cannot delete the test key " + path);
  }
}

void deleteSuiteTrees() {
  deleteTree(HKEY_CURRENT_USER, kSuiteTree);
  deleteTree(HKEY_LOCAL_MACHINE, kSuiteTree);
}

void deleteKeysCreatedSince(const std::vector<NameSet>& before) {
  for (size_t i = 0; i < before.size(); ++i) {
    const Parent& parent = kParents[i];
    for (const std::string& name : subkeys(parent)) {
      if (before[i].count(name) != 0) continue;
      deleteTree(parent.root, *parent.path ? std::string(parent.path) + "\\" + name : name);
    }
  }
}

std::vector<NamedValue> values(HKEY key) {
  std::vector<NamedValue> result;
  char name[16384];
  BYTE data[65536];
  DWORD nameLength = sizeof name, type, size = sizeof data;
  for (DWORD i = 0;
       RegEnumValueA(key, i, name, &nameLength, NULL, &type, data, &size) == ERROR_SUCCESS;
       ++i, nameLength = sizeof name, size = sizeof data) {
    result.push_back({name, type, std::vector<BYTE>(data, data + size)});
  }
  return result;
}

std::vector<NamedValue> internationalValues() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kInternational, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return {};
  }
  std::vector<NamedValue> result = values(key);
  RegCloseKey(key);
  return result;
}

void restoreInternational(const std::vector<NamedValue>& saved) {
  HKEY key;
  if (RegCreateKeyA(HKEY_CURRENT_USER, kInternational, &key) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot open HKCU\\Control Panel\\International");
  }
  NameSet savedNames;
  for (const NamedValue& value : saved) savedNames.insert(value.name);
  for (const NamedValue& value : values(key)) {
    if (savedNames.count(value.name) == 0) RegDeleteValueA(key, value.name.c_str());
  }
  for (const NamedValue& value : saved) {
    RegSetValueExA(key, value.name.c_str(), 0, value.type, value.data.data(),
                   static_cast<DWORD>(value.data.size()));
  }
  RegCloseKey(key);
}

}  // namespace

TempRegistry::TempRegistry() {
  char unique[MAX_PATH];
  const std::filesystem::path temp = std::filesystem::temp_directory_path();
  if (GetTempFileNameA(temp.string().c_str(), "vin", 0, unique) == 0) {
    throw std::runtime_error("cannot name a scratch directory");
  }
  // The name was made a file to reserve it: a directory takes its place.
  std::filesystem::remove(unique);
  std::filesystem::create_directory(unique);
  dir_ = unique;
  RegDiagReset();
  RegDiagClearFaults();
  deleteSuiteTrees();
  keysBefore.clear();
  for (const Parent& parent : kParents) keysBefore.push_back(subkeys(parent));
  internationalBefore = internationalValues();
}

TempRegistry::~TempRegistry() {
  RegDiagClearFaults();
  RegDiagReset();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
  try {
    deleteSuiteTrees();
    deleteKeysCreatedSince(keysBefore);
    restoreInternational(internationalBefore);
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
}
