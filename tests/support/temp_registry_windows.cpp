// TempRegistry on Windows. The tests run against the machine's real registry
// (under Wine, the prefix's), so a test's empty registry is made by clearing
// what tests write, before the test and again after it:
// - the suite's trees HKCU\SOFTWARE\TORVALE and HKLM\SOFTWARE\TORVALE are
//   deleted, and so is any key that appeared during the test directly under
//   HKCU, HKCU\SOFTWARE or HKLM\SOFTWARE;
// - HKCU\Control Panel\International holds the user's regional settings and
//   belongs to the system: a copy taken beside it at the start is copied
//   back at the end, so that it holds again exactly what it held.
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
const char kInternationalCopy[] = "Control Panel\\International as before the test";

// Key names compare without regard to case, as the registry does.
struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return lstrcmpiA(a.c_str(), b.c_str()) < 0;
  }
};
using NameSet = std::set<std::string, NoCaseLess>;

std::vector<NameSet> keysBefore;

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

// Makes the key HKCU\`to` hold what HKCU\`from` holds, values and subkeys,
// and nothing else.
void copyKey(const char* from, const char* to) {
  HKEY target;
  LSTATUS status = RegCreateKeyA(HKEY_CURRENT_USER, to, &target);
  if (status == ERROR_SUCCESS) {
    status = RegDeleteTreeA(target, NULL);
    if (status == ERROR_SUCCESS) status = RegCopyTreeA(HKEY_CURRENT_USER, from, target);
    RegCloseKey(target);
  }
  if (status != ERROR_SUCCESS) {
    throw std::runtime_error(std::string("cannot copy HKCU\\") + from + " to HKCU\\" + to);
  }
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
  copyKey(kInternational, kInternationalCopy);
}

TempRegistry::~TempRegistry() {
  RegDiagClearFaults();
  RegDiagReset();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
  try {
    deleteSuiteTrees();
    deleteKeysCreatedSince(keysBefore);
    copyKey(kInternationalCopy, kInternational);
    deleteTree(HKEY_CURRENT_USER, kInternationalCopy);
  } catch (const std::exception& e) {
    ADD_FAILURE() << e.what();
  }
}
