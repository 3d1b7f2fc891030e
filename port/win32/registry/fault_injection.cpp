#include "fault_injection.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace vreg {
namespace {

struct Fault {
  RegDiagCall call;
  unsigned long long due;  // value of the call's counter at which it fires
  LONG error;
};

constexpr int kCallKinds = REGDIAG_ENUM + 1;

std::mutex faultMutex;
std::vector<Fault> pending;                      // guarded by faultMutex
unsigned long long callCounts[kCallKinds] = {};  // guarded by faultMutex
std::atomic<bool> anyPending{false};

}  // namespace

LONG takeFault(RegDiagCall call) {
  if (!anyPending.load(std::memory_order_acquire)) return ERROR_SUCCESS;
  std::lock_guard<std::mutex> lock(faultMutex);
  unsigned long long count = ++callCounts[call];
  for (auto it = pending.begin(); it != pending.end(); ++it) {
    if (it->call == call && it->due == count) {
      LONG error = it->error;
      pending.erase(it);
      anyPending.store(!pending.empty(), std::memory_order_release);
      return error;
    }
  }
  return ERROR_SUCCESS;
}

void addFault(RegDiagCall call, unsigned n, LONG error) {
  if (call < REGDIAG_OPEN || call > REGDIAG_ENUM || n == 0) return;
  std::lock_guard<std::mutex> lock(faultMutex);
  // Calls are only counted while a fault is pending, so restart the count.
  if (pending.empty()) std::fill(std::begin(callCounts), std::end(callCounts), 0);
  pending.push_back({call, callCounts[call] + n, error});
  anyPending.store(true, std::memory_order_release);
}

void clearFaults() {
  std::lock_guard<std::mutex> lock(faultMutex);
  pending.clear();
  anyPending.store(false, std::memory_order_release);
}

}  // namespace vreg
