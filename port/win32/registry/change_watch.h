// The change watch of one hive, behind RegNotifyChangeKeyValue.
//
// A watch holds the registrations made on the keys of one hive. While it has
// any, a thread of its own sleeps on the hive's change counter, a futex that
// every writer in every process wakes after its commit. Woken, the thread
// reads the history records committed since it last looked (the hive records
// every change in the change's own transaction) and signals each
// registration that one of them concerns: by key (the registered key, or any
// key below it for a subtree registration) and by kind (REG_NOTIFY_CHANGE_NAME
// for a subkey created or deleted, REG_NOTIFY_CHANGE_LAST_SET for a value set
// or deleted; the watched key's deletion concerns every registration on it).
// A registration signals once and is then gone. Other keys' changes wake the
// thread but signal nobody.
#ifndef VINTUTIL_REGISTRY_CHANGE_WATCH_H
#define VINTUTIL_REGISTRY_CHANGE_WATCH_H

#include <windows.h>

#include <sqlite3.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "change_counter.h"
#include "hive_location.h"

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
  explicit ChangeWatch(const HiveLocation& hive);
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
  // Whether the hive's change counter file exists (the thread sleeps on it).
  bool counterPresent();

 private:
  // The thread's state, shared with whoever stops it.
  struct Runner {
    Runner();
    ~Runner();  // after the thread is joined
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    const int stopFd;  // an eventfd, for a thread waiting for the counter file
    std::thread thread;
  };

  void run(std::shared_ptr<Runner> runner);
  void waitForCounterFile(const Runner& runner);
  void stop(std::unique_lock<std::mutex>& lock);
  // With mutex_ held.
  void scan();
  int64_t newestRecord();
  bool openHistory();
  void closeHistory();
  void fire(const std::function<bool(const Registration&)>& matches);

  const std::string hivePath_;
  std::mutex mutex_;
  ChangeCounter counter_;  // guarded by mutex_ (its mapping)
  // Guarded by mutex_: a read-only connection to the hive, kept once made.
  // Closing it while this process's other connection to the hive holds its
  // lock would not free its descriptors: SQLite keeps them until the
  // process's last lock on the file goes, so as not to drop that lock.
  sqlite3* db_ = nullptr;
  int64_t lastSeen_ = 0;  // guarded by mutex_: the newest history record taken in
  std::vector<Registration> registrations_;  // guarded by mutex_
  std::shared_ptr<Runner> runner_;           // guarded by mutex_
};

}  // namespace vreg

#endif
