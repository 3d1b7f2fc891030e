// Where a hive's change watch (change_watch.h) learns of the hive's changes:
// the hive file's change counter and history (file_change_source.cpp), or
// the server's change notifications and history (served_change_source.cpp).
//
// A source has two sides. Its wake-up side tells that something may have
// changed: a position that moves on with every committed change, and a sleep
// until it does. Its record side tells what changed: the history's records,
// each at a place in the history's own order, which needs to be neither
// contiguous nor the wake-up side's position.
#ifndef VINTUTIL_REGISTRY_CHANGE_SOURCE_H
#define VINTUTIL_REGISTRY_CHANGE_SOURCE_H

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "hive_location.h"

namespace vreg {

class ChangeSource {
 public:
  // A change recorded: its kind (kKeyCreated, ... in change_history.h) and
  // its key's full path, folded.
  using ChangeVisitor = std::function<void(std::string_view kind, std::string_view key)>;

  virtual ~ChangeSource() = default;

  // The position now, when changes can be followed at all; false while they
  // cannot (no counter file yet, no connection to the server).
  virtual bool current(uint64_t* position) = 0;
  // Sleeps until the position is no longer `seen` or wake() is called;
  // returns at once when it has already moved on. May return early.
  virtual void waitForChange(uint64_t seen) = 0;
  // Sleeps until current() may succeed or wake() is called. May return
  // early.
  virtual void waitUntilFollowable() = 0;
  // Wakes a thread in either wait. A wake that comes before the thread
  // sleeps may be lost: a stopping watch wakes until its thread is gone.
  virtual void wake() = 0;

  // The place of the newest record in the history; 0 when there is none
  // (nor any hive yet).
  virtual LONG newestRecord(int64_t* newest) = 0;
  // The place from which a new registration counts changes: the newest
  // record's, or, where that cannot be read now, an earlier place known
  // here (changes made before the registration may then signal it: a
  // signal too many, never one too few).
  virtual LONG startingPlace(int64_t* place) { return newestRecord(place); }
  // Visits the records after place `after` up to `upTo`, oldest first.
  // False when some may be missing (the retention removed them before they
  // were read, or the history could not be read): the watch then counts
  // every key as changed.
  virtual bool readChanges(int64_t after, int64_t upTo, const ChangeVisitor& visit) = 0;
};

std::unique_ptr<ChangeSource> fileChangeSource(const HiveLocation& hive);
// `replica`: the served hive's local replica (served_replica.h).
std::unique_ptr<ChangeSource> servedChangeSource(const std::string& conninfo,
                                                 const std::string& replica);

}  // namespace vreg

#endif
