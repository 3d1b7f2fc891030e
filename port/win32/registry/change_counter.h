// The change counter of a hive: a number in a small file beside the hive
// ("<hive>-changes"), mapped shared by every process that uses the hive, that
// every write transaction advances. A process that finds the number where it
// was when it last read the hive knows that nothing has changed since.
//
// Protocol: beginWrite(), with the hive's write lock held, sets a new odd
// number before anything is committed; endWrite(), after the commit (or the
// rollback), makes it even unless another writer has begun since. The number
// is odd exactly while a write may be between its first change and the end
// of its commit, or after a writer was killed there; readers then use no
// cached result. The next writer moves a stale odd number on.
//
// The counter is also what change watchers sleep on: each writer wakes the
// futex on the counter's low 32 bits after its commit, in every process that
// has the file mapped, whichever user it runs as.
#ifndef VINTUTIL_REGISTRY_CHANGE_COUNTER_H
#define VINTUTIL_REGISTRY_CHANGE_COUNTER_H

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "hive_location.h"

namespace vreg {

class ChangeCounter {
 public:
  // `hivePath`: the hive file, whose mode, owner and group the counter file
  // copies.
  ChangeCounter(std::string hivePath, HiveKind kind);
  ~ChangeCounter();
  ChangeCounter(const ChangeCounter&) = delete;
  ChangeCounter& operator=(const ChangeCounter&) = delete;

  // The number, when results read from the hive now may be kept until it
  // changes: false while it is odd or when the file cannot be mapped (then
  // nothing may be kept). A missing file is looked for again now and then.
  bool stableStamp(uint64_t* stamp);

  // For writers, holding the hive's write lock (which also serialises the
  // creation of the file): maps the file for writing, creating it when
  // missing or replacing it when damaged, and sets a new odd number. A
  // writer that cannot must not write, or readers elsewhere would keep
  // stale results. `before` receives the number found.
  LONG beginWrite(uint64_t* before);
  // After the commit or rollback of the write that beginWrite() began.
  // True when no other writer has begun since: then `after` receives the
  // new even number, and the hive holds what it held at `before` plus this
  // write's changes.
  bool endWrite(uint64_t* after);

  // For watchers: the number now, mapping the file when it is not (no
  // waiting between looks); false when the file is missing or not a
  // counter file.
  bool current(uint64_t* value);
  // Sleeps until the number is no longer `seen` or wakeWaiters() is called,
  // whichever is first; returns at once when it has already moved on.
  // Needs current() to have succeeded.
  void waitForChange(uint64_t seen);
  // Wakes every process's waitForChange() on this counter.
  void wakeWaiters();

 private:
  // ERROR_SUCCESS once a valid counter file is mapped; ERROR_BADDB when the
  // file is not one.
  LONG map(bool writable);
  LONG create();
  void unmap();

  std::string hivePath_;
  HiveKind kind_;
  std::string path_;
  uint64_t* value_ = nullptr;  // in the shared mapping
  uint32_t* futexWord() const;
  bool writable_ = false;
  uint64_t begun_ = 0;  // the odd number of this process's write in progress
  std::chrono::steady_clock::time_point nextLook_{};
};

}  // namespace vreg

#endif
