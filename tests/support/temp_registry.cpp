#include "temp_registry.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include <registry_diagnostics.h>

TempRegistry::TempRegistry() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vintutil-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  setenv("VINTUTIL_REGISTRY", dir_.c_str(), 1);
  RegDiagReset();
  RegDiagClearFaults();
}

TempRegistry::~TempRegistry() {
  RegDiagClearFaults();
  RegDiagReset();
  unsetenv("VINTUTIL_REGISTRY");
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string TempRegistry::userHive() const {
  return dir_ + "/user-" + std::to_string(getuid()) + ".db";
}
