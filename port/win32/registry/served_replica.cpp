#include "served_replica.h"

#include <pthread.h>
#include <sqlite3.h>

#include <chrono>

#include "change_counter.h"
#include "change_history.h"
#include "file_hive.h"
#include "hive_connection.h"
#include "hive_file.h"
#include "server_connection.h"
#include "sqlite_result.h"
#include "sqlite_statement.h"

namespace vreg {
namespace {

// Settings rows of the replica file: the server's generation it holds and
// the time it is in step with (every change committed before it is there).
constexpr const char kReplicaGeneration[] = "replica_generation";
constexpr const char kReplicaTime[] = "replica_time";

// The shortest time between two copies, and between two attempts while
// they fail.
constexpr auto kCopyInterval = std::chrono::milliseconds(200);
constexpr auto kRetryInterval = std::chrono::seconds(1);

// One read-only snapshot of the server's hive.
constexpr const char* kSnapshot[] = {
    "SELECT generation FROM vintutil.hive",
    ("SELECT id, parent, name, folded_name, path, folded_path, written FROM vintutil.keys"
     " ORDER BY id"),
    "SELECT id, key, name, folded_name, type, data FROM vintutil.vals ORDER BY id",
};

// A connection to the replica file, closed when done.
struct ReplicaFile {
  ~ReplicaFile() { sqlite3_close(db); }
  sqlite3* db = nullptr;
};

int64_t setting(sqlite3* db, const char* name) {
  Statement q(db, std::string("SELECT value FROM settings WHERE name = '") + name + "'");
  return q.step() == SQLITE_ROW ? q.integer(0) : -1;
}

// Replaces the file's keys and values with the snapshot's, in the open
// transaction.
int replaceContent(sqlite3* db, const ServerResult& keys, const ServerResult& values,
                   uint64_t generation, int64_t snapshotAt) {
  int rc = sqlite3_exec(db, "DELETE FROM vals; DELETE FROM keys WHERE id <> 1", nullptr, nullptr,
                        nullptr);
  Statement key(db,
                "INSERT INTO keys(id, parent, name, folded_name, path, folded_path, written)"
                " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7) ON CONFLICT(id) DO UPDATE SET"
                " written = excluded.written");
  for (int row = 0; rc == SQLITE_OK && row < keys.rows(); ++row) {
    key.reset();
    key.bind(1, keys.integer(row, 0));
    if (!keys.isNull(row, 1)) key.bind(2, keys.integer(row, 1));
    for (int column = 2; column <= 5; ++column) key.bind(column + 1, keys.bytes(row, column));
    key.bind(7, keys.integer(row, 6));
    rc = key.step();
    rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
  }
  Statement value(db,
                  "INSERT INTO vals(id, key, name, folded_name, type, data)"
                  " VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
  for (int row = 0; rc == SQLITE_OK && row < values.rows(); ++row) {
    value.reset();
    const std::string_view data = values.bytes(row, 5);
    value.bind(1, values.integer(row, 0))
        .bind(2, values.integer(row, 1))
        .bind(3, values.bytes(row, 2))
        .bind(4, values.bytes(row, 3))
        .bind(5, values.integer(row, 4))
        .bindBlob(6, reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()));
    rc = value.step();
    rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
  }
  if (rc != SQLITE_OK) return rc;
  Statement stamp(db, "INSERT OR REPLACE INTO settings(name, value) VALUES(?1, ?2), (?3, ?4)");
  rc = stamp.bind(1, std::string_view(kReplicaGeneration))
           .bind(2, int64_t(generation))
           .bind(3, std::string_view(kReplicaTime))
           .bind(4, snapshotAt)
           .step();
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

}  // namespace

ServedReplica::ServedReplica(std::string conninfo, HiveLocation location)
    : conninfo_(std::move(conninfo)), location_(std::move(location)) {
  thread_ = std::thread([this] { run(); });
}

ServedReplica::~ServedReplica() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void ServedReplica::serverAt(uint64_t generation) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation <= wanted_) return;
    wanted_ = generation;
  }
  wake_.notify_all();
}

Hive* ServedReplica::hive() {
  int64_t time;
  uint64_t generation;
  if (!copiedAt(location_.path, &time, &generation)) return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!hive_) hive_ = openFileHive(location_);
  return hive_.get();
}

bool ServedReplica::copiedAt(const std::string& path, int64_t* time, uint64_t* generation) {
  if (hiveFileState(path) != ERROR_SUCCESS) return false;
  ReplicaFile file;
  if (openHiveConnection(path, HiveKind::User, SQLITE_OPEN_READONLY, &file.db) != SQLITE_OK)
    return false;
  const int64_t copied = setting(file.db, kReplicaTime);
  *generation = uint64_t(setting(file.db, kReplicaGeneration));
  *time = copied;
  return copied >= 0;
}

void ServedReplica::run() {
  pthread_setname_np(pthread_self(), "registry-copy");
  uint64_t copied = 0;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stopping_ || wanted_ > copied; });
    // A process that ends soon after a change, as a command does after its
    // write, leaves the replica in step: when it stops, what was asked for
    // during the last copy is copied too, without the pause between copies.
    if (wanted_ <= copied) break;
    const uint64_t generation = wanted_;
    lock.unlock();
    const bool done = copy(generation) == ERROR_SUCCESS;
    lock.lock();
    if (done) copied = generation;
    // A failed copy is not retried once stopping: the server is away.
    if (!done && stopping_) break;
    wake_.wait_for(lock, done ? kCopyInterval : kRetryInterval, [&] { return stopping_; });
  }
}

LONG ServedReplica::copy(uint64_t generation) {
  LONG result = hiveFileState(location_.path);
  if (result == ERROR_FILE_NOT_FOUND) result = createHiveFile(location_);
  if (result != ERROR_SUCCESS) return result;
  ReplicaFile file;
  int rc = openHiveConnection(location_.path, HiveKind::User, SQLITE_OPEN_READWRITE, &file.db);
  if (rc != SQLITE_OK) return sqliteToWin32(rc);
  sqlite3_busy_timeout(file.db, 5000);
  if (setting(file.db, kReplicaGeneration) >= int64_t(generation)) return ERROR_SUCCESS;

  ServerConnection server;
  result = server.open(conninfo_);
  // The replica holds every change committed before this moment: the
  // snapshot is taken later, at its first query.
  const int64_t snapshotAt = microsecondsNow();
  if (result == ERROR_SUCCESS)
    result = server.exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY").error();
  ServerResult snapshot[3];
  for (int i = 0; i < 3 && result == ERROR_SUCCESS; ++i) {
    const std::string name = "snapshot" + std::to_string(i);
    result = server.prepare(name.c_str(), kSnapshot[i]);
    if (result == ERROR_SUCCESS) snapshot[i] = server.run(name.c_str(), ServerParams());
    if (result == ERROR_SUCCESS) result = snapshot[i].error();
  }
  if (result != ERROR_SUCCESS) return result;
  if (snapshot[0].rows() != 1) return ERROR_BADDB;

  // Readers of the file use no cached result while the counter is odd.
  ChangeCounter counter(location_.path, HiveKind::User);
  rc = sqlite3_exec(file.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return sqliteToWin32(rc);
  uint64_t before = 0, after = 0;
  result = counter.beginWrite(&before);
  if (result == ERROR_SUCCESS) {
    rc = replaceContent(file.db, snapshot[1], snapshot[2], uint64_t(snapshot[0].integer(0, 0)),
                        snapshotAt);
    if (rc == SQLITE_OK) rc = sqlite3_exec(file.db, "COMMIT", nullptr, nullptr, nullptr);
    result = sqliteToWin32(rc);
  }
  if (result != ERROR_SUCCESS) sqlite3_exec(file.db, "ROLLBACK", nullptr, nullptr, nullptr);
  counter.endWrite(&after);
  return result;
}

}  // namespace vreg
