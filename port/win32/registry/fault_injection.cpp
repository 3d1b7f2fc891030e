#include "fault_injection.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace vreg {
namespace {

// Calls and storage steps are kinds of one numbering (1 to 9).
struct Fault {
  int kind;
  unsigned long long due;  // value of the kind's counter at which it fires
  long error;              // a Win32 code for calls, a SQLite code for steps
};

constexpr int kKinds = REGDIAG_SYNC + 1;

std::mutex faultMutex;
std::vector<Fault> pending;              // guarded by faultMutex
unsigned long long counts[kKinds] = {};  // guarded by faultMutex
std::atomic<bool> anyPending{false};

long take(int kind) {
  if (!anyPending.load(std::memory_order_acquire)) return 0;
  std::lock_guard<std::mutex> lock(faultMutex);
  unsigned long long count = ++counts[kind];
  for (auto it = pending.begin(); it != pending.end(); ++it) {
    if (it->kind == kind && it->due == count) {
      long error = it->error;
      pending.erase(it);
      anyPending.store(!pending.empty(), std::memory_order_release);
      return error;
    }
  }
  return 0;
}

void add(int kind, unsigned n, long error) {
  std::lock_guard<std::mutex> lock(faultMutex);
  // Kinds are only counted while a fault is pending, so restart the count.
  if (pending.empty()) std::fill(std::begin(counts), std::end(counts), 0);
  pending.push_back({kind, counts[kind] + n, error});
  anyPending.store(true, std::memory_order_release);
}

}  // namespace

LONG takeFault(RegDiagCall call) { return LONG(take(call)); }

int takeStorageFault(RegDiagStorage step) { return int(take(step)); }

void addFault(RegDiagCall call, unsigned n, LONG error) {
  if (call >= REGDIAG_OPEN && call <= REGDIAG_ENUM && n != 0) add(call, n, error);
}

void addStorageFault(RegDiagStorage step, unsigned n, int sqliteResult) {
  if (step >= REGDIAG_PREPARE && step <= REGDIAG_SYNC && n != 0) add(step, n, sqliteResult);
}

void clearFaults() {
  std::lock_guard<std::mutex> lock(faultMutex);
  pending.clear();
  anyPending.store(false, std::memory_order_release);
}

}  // namespace vreg
