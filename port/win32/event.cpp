// Event objects: CreateEventA, SetEvent, ResetEvent, the waits and
// CloseHandle, within one process.
//
// A HANDLE is a slot number and the slot's generation, as registry handles
// are, so a closed or made-up handle fails with ERROR_INVALID_HANDLE and a
// stale one never reaches an event created later. Every event shares one
// mutex: a wait for several events (all of them, or any) then sees and
// takes their states at one instant, and an automatic-reset event is taken
// by exactly one waiter. A waiting thread sleeps on a condition variable of
// its own that each event it waits for knows, so SetEvent wakes only the
// threads waiting for that event.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace {

struct Waiter {
  std::condition_variable wake;
};

struct Event {
  bool manualReset = false;
  bool signaled = false;
  std::vector<Waiter*> waiters;
};

struct Slot {
  uint32_t generation = 1;  // bumped at each close: stale handles stop matching
  std::shared_ptr<Event> event;
};

std::mutex eventMutex;
std::vector<Slot> slots;          // guarded by eventMutex
std::vector<uint32_t> freeSlots;  // guarded by eventMutex

// (generation << 32) | (slot + 1) << 2: never null, never INVALID_HANDLE_VALUE.
HANDLE encode(uint32_t slot, uint32_t generation) {
  return reinterpret_cast<HANDLE>((uintptr_t(generation) << 32) | (uintptr_t(slot + 1) << 2));
}

// The slot of `handle`, or null; with eventMutex held.
Slot* decode(HANDLE handle) {
  const uintptr_t bits = reinterpret_cast<uintptr_t>(handle);
  const uintptr_t index = (bits & 0xffffffffu) >> 2;
  if ((bits & 3) != 0 || index == 0 || index > slots.size()) return nullptr;
  Slot& slot = slots[index - 1];
  return slot.event && slot.generation == uint32_t(bits >> 32) ? &slot : nullptr;
}

// The event of `handle`, or null with ERROR_INVALID_HANDLE set; with
// eventMutex held.
Event* eventOf(HANDLE handle) {
  Slot* slot = decode(handle);
  if (slot) return slot->event.get();
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

// Takes the signal of an event a wait was satisfied by.
void take(Event& event) {
  if (!event.manualReset) event.signaled = false;
}

// The index of the event that satisfies the wait now, taking its signal
// (all of them when `all`, then index 0), or nothing.
std::optional<DWORD> satisfied(const std::vector<std::shared_ptr<Event>>& events, bool all) {
  if (all) {
    if (!std::all_of(events.begin(), events.end(), [](const auto& e) { return e->signaled; }))
      return std::nullopt;
    for (const auto& e : events) take(*e);
    return 0;
  }
  for (size_t i = 0; i < events.size(); ++i) {
    if (events[i]->signaled) {
      take(*events[i]);
      return DWORD(i);
    }
  }
  return std::nullopt;
}

// Keeps `waiter` on the waiting lists of `events` while it lives; with
// eventMutex held at both ends.
class WaitingOn {
 public:
  WaitingOn(const std::vector<std::shared_ptr<Event>>& events, Waiter* waiter)
      : events_(events), waiter_(waiter) {
    for (const auto& e : events_) e->waiters.push_back(waiter_);
  }
  ~WaitingOn() {
    for (const auto& e : events_) {
      auto it = std::find(e->waiters.begin(), e->waiters.end(), waiter_);
      if (it != e->waiters.end()) e->waiters.erase(it);
    }
  }
  WaitingOn(const WaitingOn&) = delete;
  WaitingOn& operator=(const WaitingOn&) = delete;

 private:
  const std::vector<std::shared_ptr<Event>>& events_;
  Waiter* waiter_;
};

DWORD failWith(DWORD error) {
  SetLastError(error);
  return WAIT_FAILED;
}

}  // namespace

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                           BOOL bInitialState, LPCSTR lpName) {
  (void)lpEventAttributes;  // handles are not inherited: there is no CreateProcess
  // Named events are shared between processes on Windows; these are not.
  if (lpName) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  auto event = std::make_shared<Event>();
  event->manualReset = bManualReset != FALSE;
  event->signaled = bInitialState != FALSE;
  std::lock_guard<std::mutex> lock(eventMutex);
  uint32_t index;
  if (!freeSlots.empty()) {
    index = freeSlots.back();
    freeSlots.pop_back();
  } else {
    index = uint32_t(slots.size());
    slots.emplace_back();
  }
  slots[index].event = std::move(event);
  SetLastError(ERROR_SUCCESS);
  return encode(index, slots[index].generation);
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
  std::lock_guard<std::mutex> lock(eventMutex);
  Event* event = eventOf(hEvent);
  if (!event) return FALSE;
  event->signaled = true;
  for (Waiter* w : event->waiters) w->wake.notify_one();
  return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
  std::lock_guard<std::mutex> lock(eventMutex);
  Event* event = eventOf(hEvent);
  if (!event) return FALSE;
  event->signaled = false;
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
  std::shared_ptr<Event> released;  // freed outside the lock
  std::lock_guard<std::mutex> lock(eventMutex);
  Slot* slot = decode(hObject);
  if (!slot) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // A thread still waiting keeps the event until its wait ends.
  released = std::move(slot->event);
  ++slot->generation;
  freeSlots.push_back(uint32_t(slot - slots.data()));
  return TRUE;
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                                    DWORD dwMilliseconds) {
  if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles)
    return failWith(ERROR_INVALID_PARAMETER);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(dwMilliseconds);
  std::vector<std::shared_ptr<Event>> events;
  std::unique_lock<std::mutex> lock(eventMutex);
  for (DWORD i = 0; i < nCount; ++i) {
    Slot* slot = decode(lpHandles[i]);
    if (!slot) return failWith(ERROR_INVALID_HANDLE);
    // Waiting for all of one event twice could never be satisfied at once.
    if (bWaitAll && std::find(events.begin(), events.end(), slot->event) != events.end())
      return failWith(ERROR_INVALID_PARAMETER);
    events.push_back(slot->event);
  }
  Waiter me;
  std::optional<WaitingOn> waiting;
  for (;;) {
    if (std::optional<DWORD> index = satisfied(events, bWaitAll != FALSE))
      return WAIT_OBJECT_0 + *index;
    if (dwMilliseconds != INFINITE && std::chrono::steady_clock::now() >= deadline)
      return WAIT_TIMEOUT;
    if (!waiting) waiting.emplace(events, &me);
    if (dwMilliseconds == INFINITE) {
      me.wake.wait(lock);
    } else {
      me.wake.wait_until(lock, deadline);
    }
  }
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}
