// The local replica of a served machine hive: a private hive file of the
// user's (locateMachineReplica) holding the server's keys and values with
// their ids, so that handles opened on the server go on reading while the
// server cannot be reached.
//
// A thread of its own copies the server's hive into the file, in one
// transaction of each, whenever the server's generation moves past the
// file's (at most five times a second: a burst of changes makes one copy):
// the keys the history names as changed since the file's generation, with
// all their values, or the whole hive when the history no longer reaches
// back that far.
// Every process of the user keeps the file in step; the first to find it
// behind copies, the others then find it current.
#ifndef VINTUTIL_REGISTRY_SERVED_REPLICA_H
#define VINTUTIL_REGISTRY_SERVED_REPLICA_H

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "hive.h"
#include "hive_location.h"
#include "server_connection.h"

namespace vreg {

class ServedReplica {
 public:
  ServedReplica(std::string conninfo, HiveLocation location);
  // Stops the thread, after the copy the last change asked for.
  ~ServedReplica();
  ServedReplica(const ServedReplica&) = delete;
  ServedReplica& operator=(const ServedReplica&) = delete;

  // The server has committed `generation`: the file is brought there soon.
  void serverAt(uint64_t generation);

  // The replica as a hive to read, when there is one; null otherwise.
  Hive* hive();

  // When the replica was last in step with the server (microseconds since
  // 1970: it holds every change committed before), and the server's
  // generation it holds; false when there is no replica at `path`.
  static bool copiedAt(const std::string& path, int64_t* time, uint64_t* generation);

 private:
  void run();
  // Brings the file to the server's present state, unless it holds
  // `generation` or later already, of the server's database (which is
  // checked once, when `checkDatabase`).
  LONG copy(uint64_t generation, bool checkDatabase);

  const std::string conninfo_;
  const HiveLocation location_;
  ServerConnection server_;       // the copying thread's
  bool databaseChecked_ = false;  // the copying thread's: the file is of this database
  std::mutex mutex_;
  std::condition_variable wake_;
  uint64_t wanted_ = 0;         // guarded by mutex_
  bool stopping_ = false;       // guarded by mutex_
  std::shared_ptr<Hive> hive_;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace vreg

#endif
