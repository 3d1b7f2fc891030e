#include "handle_table.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <vector>

namespace vreg {
namespace {

struct Slot {
  uint32_t generation = 1;  // bumped at each close: stale HKEYs stop matching
  bool used = false;
  OpenKey key;
};

std::mutex tableMutex;
std::vector<Slot> slots;            // guarded by tableMutex
std::vector<uint32_t> freeSlots;    // guarded by tableMutex
long usedSlots = 0;                 // guarded by tableMutex
std::shared_ptr<Hive> machineHive;  // guarded by tableMutex
std::shared_ptr<Hive> userHive;     // guarded by tableMutex
uid_t userHiveOwner = 0;            // guarded by tableMutex: whose hive userHive is

// Handles are (generation << 32) | (slot + 1) << 2: never null, never a
// predefined root (those have the top 32 bits all set).
HKEY encode(uint32_t slot, uint32_t generation) {
  return reinterpret_cast<HKEY>((uintptr_t(generation) << 32) | (uintptr_t(slot + 1) << 2));
}

Slot* decode(HKEY handle) {
  uintptr_t bits = reinterpret_cast<uintptr_t>(handle);
  uintptr_t index = (bits & 0xffffffffu) >> 2;
  if ((bits & 3) != 0 || index == 0 || index > slots.size()) return nullptr;
  Slot& slot = slots[index - 1];
  return slot.used && slot.generation == uint32_t(bits >> 32) ? &slot : nullptr;
}

// A served hive's threads use the library's static objects: at exit they
// stop before those are destroyed (the handler, registered after they were
// made, runs first).
void dropHivesAtExit() {
  static std::once_flag once;
  std::call_once(once, [] { std::atexit([] { resetHandlesAndHives(); }); });
}

std::shared_ptr<Hive>& hiveFor(HiveKind kind) {
  if (kind == HiveKind::Machine) {
    if (!machineHive) {
      machineHive = openHive(kind);
      if (!machineHive->file()) dropHivesAtExit();
    }
    return machineHive;
  }
  // A process that changes its user id changes its HKEY_CURRENT_USER.
  if (!userHive || userHiveOwner != getuid()) {
    userHive = openHive(kind);
    userHiveOwner = getuid();
  }
  return userHive;
}

}  // namespace

bool isPredefinedKey(HKEY handle) {
  uintptr_t bits = reinterpret_cast<uintptr_t>(handle);
  return bits >= reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT) &&
         bits <= reinterpret_cast<uintptr_t>(HKEY_CURRENT_CONFIG);
}

LONG resolveKey(HKEY handle, OpenKey* out) {
  std::lock_guard<std::mutex> lock(tableMutex);
  if (handle == HKEY_LOCAL_MACHINE || handle == HKEY_CURRENT_USER) {
    out->hive = hiveFor(handle == HKEY_LOCAL_MACHINE ? HiveKind::Machine : HiveKind::User);
    out->key = kRootKey;
    out->path.clear();
    out->access = KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  if (isPredefinedKey(handle)) return ERROR_NOT_SUPPORTED;
  Slot* slot = decode(handle);
  if (!slot) return ERROR_INVALID_HANDLE;
  *out = slot->key;
  return ERROR_SUCCESS;
}

HKEY addHandle(OpenKey key) {
  std::lock_guard<std::mutex> lock(tableMutex);
  uint32_t index;
  if (!freeSlots.empty()) {
    index = freeSlots.back();
    freeSlots.pop_back();
  } else {
    index = uint32_t(slots.size());
    slots.emplace_back();
  }
  Slot& slot = slots[index];
  slot.used = true;
  slot.key = std::move(key);
  ++usedSlots;
  return encode(index, slot.generation);
}

LONG closeHandle(HKEY handle) {
  std::shared_ptr<Hive> released;  // dropped outside the lock
  std::lock_guard<std::mutex> lock(tableMutex);
  Slot* slot = decode(handle);
  if (!slot) return ERROR_INVALID_HANDLE;
  released = std::move(slot->key.hive);
  slot->key = OpenKey();
  slot->used = false;
  ++slot->generation;
  freeSlots.push_back(uint32_t(slot - slots.data()));
  --usedSlots;
  return ERROR_SUCCESS;
}

long openHandleCount() {
  std::lock_guard<std::mutex> lock(tableMutex);
  return usedSlots;
}

void resetHandlesAndHives() {
  std::vector<OpenKey> dropped;  // destroyed outside the lock
  std::shared_ptr<Hive> machine, user;
  {
    std::lock_guard<std::mutex> lock(tableMutex);
    // Keep the generations, so that handles of before the reset stay invalid.
    for (Slot& slot : slots) {
      if (slot.used) ++slot.generation;
      slot.used = false;
      dropped.push_back(std::move(slot.key));
      slot.key = OpenKey();
    }
    freeSlots.clear();
    for (uint32_t i = uint32_t(slots.size()); i-- > 0;) freeSlots.push_back(i);
    usedSlots = 0;
    machine = std::move(machineHive);
    user = std::move(userHive);
  }
}

}  // namespace vreg
