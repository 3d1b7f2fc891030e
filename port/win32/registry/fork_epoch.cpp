#include "fork_epoch.h"

#include <pthread.h>

#include <atomic>
#include <mutex>

namespace vreg {
namespace {

std::atomic<unsigned> epoch{0};
std::once_flag counting;

}  // namespace

void countForks() {
  std::call_once(counting, [] { pthread_atfork(nullptr, nullptr, [] { epoch.fetch_add(1); }); });
}

unsigned forkEpoch() { return epoch.load(std::memory_order_relaxed); }

}  // namespace vreg
