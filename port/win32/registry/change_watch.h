// The change watch of one hive, behind RegNotifyChangeKeyValue.
//
// A watch holds the registrations made on the keys of one hive. While it has
// any, a thread of its own sleeps until the hive's change source
// (change_source.h) tells of a commit, in any process or on any machine.
// Woken, the thread reads the history records made since it last looked (the
// hive records every change in the change's own transaction) and signals
// each registration that one of them concerns: by key (the registered key,
// or any key below it for a subtree registration) and by kind
// (REG_NOTIFY_CHANGE_NAME for a subkey created or deleted,
// REG_NOTIFY_CHANGE_LAST_SET for a value set or deleted; the watched key's
// deletion concerns every registration on it). A registration signals once
// and is then gone. Other keys' changes wake the thread but signal nobody.
#ifndef VINTUTIL_REGISTRY_CHANGE_WATCH_H
#define VINTUTIL_REGISTRY_CHANGE_WATCH_H

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "change_source.h"

namespace vreg {

struct Registration {
  HKEY handle = nullptr;  // the key handle registered on
  std::string key;        // the key's full path below the root, folded
  bool subtree = false;
  DWORD filter = 0;  // REG_NOTIFY_CHANGE_* bits
  HANDLE event = nullptr;
  std::thread::id thread;  // the registering thread; none when thread agnostic
};

class ChangeWatch {
 public:
  explicit ChangeWatch(std::unique_ptr<ChangeSource> source);
  ~ChangeWatch();
  ChangeWatch(const ChangeWatch&) = delete;
  ChangeWatch& operator=(const ChangeWatch&) = delete;

  // Adds `registration`, which counts only the changes committed from now
  // on: the ones before are taken in first. Starts the thread if needed.
  LONG add(Registration registration);
  // Signals and removes the registrations for which `matches` holds; stops
  // the thread when none is left.
  void release(const std::function<bool(const Registration&)>& matches);
  // Takes in the changes committed so far, in the calling thread: a writer
  // of this process calls it after its commit, so that its own change has
  // signalled by the time the write returns, as on Windows.
  void takeInChanges();
  // Whether the hive's changes can be followed now (for a hive file: its
  // change counter exists).
  bool followable();

 private:
  // The thread's state, shared with whoever stops it.
  struct Runner {
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    std::thread thread;
  };

  void run(std::shared_ptr<Runner> runner);
  void stop(std::unique_lock<std::mutex>& lock);
  // With mutex_ held.
  LONG scan();
  void fire(const std::function<bool(const Registration&)>& matches);

  std::mutex mutex_;
  std::condition_variable retry_;               // the thread's wait before reading again
  const std::unique_ptr<ChangeSource> source_;  // its record side guarded by mutex_
  int64_t lastSeen_ = 0;  // guarded by mutex_: the place of the newest record taken in
  std::vector<Registration> registrations_;  // guarded by mutex_
  std::shared_ptr<Runner> runner_;           // guarded by mutex_
};

}  // namespace vreg

#endif
