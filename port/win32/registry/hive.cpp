#include "hive.h"

#include <atomic>

#include <registry_server.h>

#include "file_hive.h"
#include "served_hive.h"

namespace vreg {
namespace {

std::atomic<int> lockTimeoutMs{5000};

}  // namespace

void Hive::setLockTimeout(int milliseconds) { lockTimeoutMs.store(milliseconds); }

int Hive::lockTimeout() { return lockTimeoutMs.load(); }

std::shared_ptr<Hive> openHive(HiveKind kind) {
  if (kind == HiveKind::Machine) {
    std::string server = registry_server::machineHiveServer();
    if (!server.empty()) return openServedHive(std::move(server));
  }
  return openFileHive(locateHive(kind));
}

}  // namespace vreg
