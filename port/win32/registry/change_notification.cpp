// RegNotifyChangeKeyValue: a registration per call, kept by the change
// watch of the key's hive (change_watch.h), which signals the caller's
// event once a change in any process concerns the key.
//
// As on Windows, a registration also ends, signalling, when its key handle
// is closed, when its key is deleted, and, unless REG_NOTIFY_THREAD_AGNOSTIC
// is given, when the thread that made it exits. A synchronous call waits on
// an event of its own.
#include <windows.h>

#include <pthread.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "change_notification.h"
#include "change_watch.h"
#include "handle_table.h"
#include "key_path.h"
#include "name_folding.h"

using namespace vreg;

namespace {

// The process's watches, one per hive.
struct Watches {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<ChangeWatch>> byHive;  // guarded by mutex
};

// Never destroyed: watcher threads and exiting threads may use it during
// the process's exit. A forked child starts without watches (its parent's
// threads are not in it), leaving the parent's copy alone.
std::atomic<Watches*> processWatches{new Watches};
std::once_flag forkHandlerOnce;

Watches& watches() {
  std::call_once(forkHandlerOnce,
                 [] { pthread_atfork(nullptr, nullptr, [] { processWatches = new Watches; }); });
  return *processWatches.load();
}

std::shared_ptr<ChangeWatch> watchOf(const std::string& hive) {
  Watches& w = watches();
  std::lock_guard<std::mutex> lock(w.mutex);
  auto it = w.byHive.find(hive);
  return it != w.byHive.end() ? it->second : nullptr;
}

std::shared_ptr<ChangeWatch> watchOrNew(const Hive& hive) {
  Watches& w = watches();
  std::lock_guard<std::mutex> lock(w.mutex);
  std::shared_ptr<ChangeWatch>& watch = w.byHive[hive.identity()];
  if (!watch) watch = std::make_shared<ChangeWatch>(hive.changeSource());
  return watch;
}

void releaseEverywhere(const std::function<bool(const Registration&)>& matches) {
  std::vector<std::shared_ptr<ChangeWatch>> all;
  {
    Watches& w = watches();
    std::lock_guard<std::mutex> lock(w.mutex);
    for (const auto& entry : w.byHive) all.push_back(entry.second);
  }
  for (const auto& watch : all) watch->release(matches);
}

// Ends the registrations a thread made without REG_NOTIFY_THREAD_AGNOSTIC
// when the thread exits.
struct ThreadRegistrations {
  bool made = false;
  ~ThreadRegistrations() {
    if (!made) return;
    const std::thread::id self = std::this_thread::get_id();
    releaseEverywhere([self](const Registration& r) { return r.thread == self; });
  }
};
thread_local ThreadRegistrations threadRegistrations;

// Adds `registration` on `key`. The watch counts the changes after the
// newest record when it adds it; a deletion of the key committed after the
// key was found but before that point is in no change it will read, so the
// key is looked for again: gone, the registration signals at once.
LONG addRegistration(ChangeWatch& watch, const OpenKey& key, Registration registration) {
  const HKEY handle = registration.handle;
  const HANDLE event = registration.event;
  LONG result = watch.add(std::move(registration));
  KeyId exists;
  if (result == ERROR_SUCCESS &&
      key.hive->findKey(key.key, key.path, &exists) == ERROR_KEY_DELETED) {
    watch.release([&](const Registration& r) { return r.handle == handle && r.event == event; });
  }
  return result;
}

}  // namespace

namespace vreg {

void changesCommitted(const std::string& hive) {
  if (std::shared_ptr<ChangeWatch> watch = watchOf(hive)) watch->takeInChanges();
}

void keyHandleClosed(HKEY handle) {
  releaseEverywhere([handle](const Registration& r) { return r.handle == handle; });
}

}  // namespace vreg

extern "C" LSTATUS WINAPI RegNotifyChangeKeyValue(HKEY hKey, BOOL bWatchSubtree,
                                                  DWORD dwNotifyFilter, HANDLE hEvent,
                                                  BOOL fAsynchronous) {
  if ((dwNotifyFilter & ~DWORD(REG_LEGAL_CHANGE_FILTER)) || (fAsynchronous && !hEvent))
    return ERROR_INVALID_PARAMETER;
  OpenKey key;
  LONG result = resolveKey(hKey, &key);
  if (result != ERROR_SUCCESS) return result;
  if (!(key.access & KEY_NOTIFY)) return ERROR_ACCESS_DENIED;
  KeyId exists;
  result = key.hive->findKey(key.key, key.path, &exists);
  if (result != ERROR_SUCCESS) return result;

  std::shared_ptr<ChangeWatch> watch = watchOrNew(*key.hive);
  // A hive file's watchers sleep on its change counter: make it exist now
  // when this process may (the first writer makes it otherwise).
  if (!watch->followable() && key.hive->checkWritable() == ERROR_SUCCESS)
    key.hive->prepareForWatch();

  Registration registration;
  registration.handle = hKey;
  registration.key = foldName(key.path);
  registration.subtree = bWatchSubtree != FALSE;
  registration.filter = dwNotifyFilter;
  if (fAsynchronous) {
    // Registering resets the event, as Windows does.
    if (!ResetEvent(hEvent)) return ERROR_INVALID_HANDLE;
    registration.event = hEvent;
    if (!(dwNotifyFilter & REG_NOTIFY_THREAD_AGNOSTIC)) {
      registration.thread = std::this_thread::get_id();
      threadRegistrations.made = true;
    }
    return addRegistration(*watch, key, std::move(registration));
  }
  registration.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!registration.event) return ERROR_NOT_ENOUGH_MEMORY;
  const HANDLE event = registration.event;
  result = addRegistration(*watch, key, std::move(registration));
  if (result == ERROR_SUCCESS) WaitForSingleObject(event, INFINITE);
  CloseHandle(event);
  return result;
}
