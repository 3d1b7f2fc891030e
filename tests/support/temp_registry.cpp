#include "temp_registry.h"

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <registry_diagnostics.h>
#include <registry_server.h>

#include "served_hive.h"

namespace {

// Keeps the test from running without its served hive (in a fixture's
// constructor: before SetUp). A server it cannot reach skips it, saying why,
// except in continuous integration (CI set), where a missing server must not
// pass unnoticed; a server that refused the hive fails it.
void StopWithoutServedHive(const std::string& reason, bool reachable) {
  if (reachable || getenv("CI") != nullptr) FAIL() << reason;
  GTEST_SKIP() << reason;
}

}  // namespace

TempRegistry::TempRegistry() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vintutil-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  setenv("VINTUTIL_REGISTRY", dir_.c_str(), 1);
  // Empty: the machine hive is the file, whatever /etc/vintutil/registry.conf says.
  setenv("VINTUTIL_MACHINE_HIVE", "", 1);
  const std::string server = TestServerDir();
  if (!server.empty()) {
    try {
      served_ = std::make_shared<ServedHive>(server);
    } catch (const ServerUnreachable& e) {
      StopWithoutServedHive(e.what(), false);
    } catch (const std::exception& e) {
      StopWithoutServedHive(e.what(), true);
    }
  }
  RegDiagReset();
  RegDiagClearFaults();
}

TempRegistry::~TempRegistry() {
  RegDiagClearFaults();
  RegDiagReset();
  served_.reset();
  unsetenv("VINTUTIL_MACHINE_HIVE");
  unsetenv("VINTUTIL_REGISTRY");
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string TempRegistry::userHive() const {
  return dir_ + "/user-" + std::to_string(getuid()) + ".db";
}

void TempRegistry::quietBeforeForks() const {
  if (served()) RegDiagReset();
}

void TempRegistry::settle() const {
  if (!served()) return;
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + 30s;
  for (;;) {
    const registry_server::HiveStatus status = registry_server::hiveStatus(HKEY_LOCAL_MACHINE);
    if (status.replicaGeneration >= status.generation || steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(10ms);
  }
  // The replica's thread rests a moment after each copy before it sleeps.
  std::this_thread::sleep_for(300ms);
}
