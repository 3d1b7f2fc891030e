#include "served_replica.h"

#include <pthread.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <utility>
#include <vector>

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

// Settings rows of the replica file: the server's generation it holds, the
// time it is in step with (every change committed before it is there), and
// which database it copies (the server's system identifier and the
// database's object id: a database made anew has another).
constexpr const char kReplicaGeneration[] = "replica_generation";
constexpr const char kReplicaTime[] = "replica_time";
constexpr const char kReplicaServer[] = "replica_server";
constexpr const char kReplicaDatabase[] = "replica_database";

// The shortest time between two copies, and between two attempts while
// they fail.
constexpr auto kCopyInterval = std::chrono::milliseconds(200);
constexpr auto kRetryInterval = std::chrono::seconds(1);
// How long the server connection is kept after a copy for the next one.
constexpr auto kIdleConnection = std::chrono::seconds(10);

// The keys and values the replica takes from one read-only snapshot of the
// server's hive: all of them, or, when the history still holds every change
// after the generation the replica holds ($1), only the keys those changes
// touched, with all their values. Parents come before their subkeys: a key's
// id is larger than its parent's.
constexpr const char kGeneration[] =
    "SELECT h.generation, c.system_identifier, d.oid"
    " FROM vintutil.hive h, pg_control_system() c, pg_database d"
    " WHERE d.datname = current_database()";
constexpr const char kHistoryReaches[] =
    "SELECT EXISTS (SELECT 1 FROM vintutil.history WHERE generation <= $1)";
constexpr const char kTouched[] =
    "SELECT DISTINCT folded_key FROM vintutil.history WHERE generation > $1";
constexpr const char kAllKeys[] =
    "SELECT id, parent, name, folded_name, path, folded_path, written FROM vintutil.keys"
    " ORDER BY id";
constexpr const char kAllValues[] =
    "SELECT id, key, name, folded_name, type, data FROM vintutil.vals ORDER BY id";
// The touched keys by their folded paths ($1, kTouched's answer), and their
// values in the order of their index by key, so that only the touched rows
// are read, not a whole table.
constexpr const char kTouchedKeys[] =
    "SELECT id, parent, name, folded_name, path, folded_path, written FROM vintutil.keys"
    " WHERE folded_path = ANY ($1::bytea[]) ORDER BY id";
constexpr const char kTouchedValues[] =
    "SELECT id, key, name, folded_name, type, data FROM vintutil.vals WHERE key = ANY (ARRAY("
    " SELECT id FROM vintutil.keys WHERE folded_path = ANY ($1::bytea[])))"
    " ORDER BY key, id";

// A connection to the replica file, closed when done.
struct ReplicaFile {
  ~ReplicaFile() { sqlite3_close(db); }
  sqlite3* db = nullptr;
};

int64_t setting(sqlite3* db, const char* name) {
  Statement q(db, std::string("SELECT value FROM settings WHERE name = '") + name + "'");
  return q.step() == SQLITE_ROW ? q.integer(0) : -1;
}

// What a replica file holds: the generation of which database.
struct Held {
  explicit Held(sqlite3* db)
      : generation(setting(db, kReplicaGeneration)),
        server(setting(db, kReplicaServer)),
        database(setting(db, kReplicaDatabase)) {}
  Held(int64_t generation, int64_t server, int64_t database)
      : generation(generation), server(server), database(database) {}
  bool sameDatabase(const Held& other) const {
    return server == other.server && database == other.database;
  }
  // Whether this holds everything `other` holds.
  bool holds(const Held& other) const {
    return sameDatabase(other) && generation >= other.generation;
  }
  int64_t generation, server, database;
};

int stepDone(StatementUse& statement) {
  const int rc = statement.step();
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// What one snapshot of the server's hive brings to a replica that held
// `since` when it was taken.
struct Snapshot {
  Held state{0, 0, 0};   // what the file holds once it is applied
  bool whole = true;     // every key and value, not only the touched ones
  ServerResult touched;  // the folded paths of the keys changed since then
  ServerResult keys;     // the keys to hold, as they are now
  ServerResult values;   // all the values of those keys

  LONG read(ServerConnection& server, const Held& since) {
    ServerResult q = server.query(kGeneration, ServerParams());
    if (q.error() != ERROR_SUCCESS) return q.error();
    if (q.rows() != 1) return ERROR_BADDB;
    state = Held(q.integer(0, 0), q.integer(0, 1), q.integer(0, 2));
    if (since.holds(state)) {
      whole = false;  // and nothing touched: the file holds it all already
      return ERROR_SUCCESS;
    }
    if (since.sameDatabase(state) && since.generation > 0) {
      q = server.query(kHistoryReaches, ServerParams().integer(since.generation));
      if (q.error() != ERROR_SUCCESS) return q.error();
      whole = q.rows() != 1 || q.integer(0, 0) == 0;
    }
    if (whole) {
      keys = server.query(kAllKeys, ServerParams());
      values = server.query(kAllValues, ServerParams());
    } else {
      touched = server.query(kTouched, ServerParams().integer(since.generation));
      if (touched.error() != ERROR_SUCCESS) return touched.error();
      std::vector<std::string_view> paths;
      for (int row = 0; row < touched.rows(); ++row) paths.push_back(touched.bytes(row, 0));
      ServerParams touchedPaths;
      touchedPaths.byteArray(paths);
      keys = server.query(kTouchedKeys, touchedPaths);
      values = server.query(kTouchedValues, touchedPaths);
    }
    return keys.error() != ERROR_SUCCESS ? keys.error() : values.error();
  }

  // Brings the file's keys and values to the snapshot's, in the open
  // transaction.
  int applyTo(sqlite3* db, int64_t snapshotAt) const {
    int rc = whole ? sqlite3_exec(db, "DELETE FROM vals; DELETE FROM keys WHERE id <> 1", nullptr,
                                  nullptr, nullptr)
                   : removeTouched(db);
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
      rc = stepDone(key);
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
      rc = stepDone(value);
    }
    if (rc != SQLITE_OK) return rc;
    Statement stamp(db,
                    "INSERT OR REPLACE INTO settings(name, value)"
                    " VALUES(?1, ?2), (?3, ?4), (?5, ?6), (?7, ?8)");
    stamp.bind(1, std::string_view(kReplicaGeneration))
        .bind(2, state.generation)
        .bind(3, std::string_view(kReplicaTime))
        .bind(4, snapshotAt)
        .bind(5, std::string_view(kReplicaServer))
        .bind(6, state.server)
        .bind(7, std::string_view(kReplicaDatabase))
        .bind(8, state.database);
    return stepDone(stamp);
  }

  // Removes the values of every touched key the file holds, and the key
  // itself when the server no longer has it under that id (deleted, or
  // deleted and made again), subkeys first.
  int removeTouched(sqlite3* db) const {
    std::map<std::string_view, int64_t> serverIds;
    for (int row = 0; row < keys.rows(); ++row)
      serverIds.emplace(keys.bytes(row, 5), keys.integer(row, 0));
    Statement held(db, "SELECT id FROM keys WHERE folded_path = ?1");
    Statement dropValues(db, "DELETE FROM vals WHERE key = ?1");
    std::vector<std::pair<size_t, int64_t>> gone;  // (path length, id)
    int rc = SQLITE_OK;
    for (int row = 0; rc == SQLITE_OK && row < touched.rows(); ++row) {
      const std::string_view path = touched.bytes(row, 0);
      held.reset();
      rc = held.bind(1, path).step();
      if (rc != SQLITE_ROW) {  // a key the file does not hold, or a failure
        rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
        continue;
      }
      const int64_t id = held.integer(0);
      dropValues.reset();
      rc = stepDone(dropValues.bind(1, id));
      const auto now = serverIds.find(path);
      if (now == serverIds.end() || now->second != id) gone.emplace_back(path.size(), id);
    }
    std::sort(gone.begin(), gone.end(), std::greater<>());
    Statement dropKey(db, "DELETE FROM keys WHERE id = ?1");
    for (size_t i = 0; rc == SQLITE_OK && i < gone.size(); ++i) {
      dropKey.reset();
      rc = stepDone(dropKey.bind(1, gone[i].second));
    }
    return rc;
  }
};

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
    const auto work = [&] { return stopping_ || wanted_ > copied; };
    // A connection left idle is closed: the server's connections are
    // shared by the whole team.
    if (!wake_.wait_for(lock, kIdleConnection, work)) {
      server_.close();
      wake_.wait(lock, work);
    }
    // A process that ends soon after a change, as a command does after its
    // write, leaves the replica in step: when it stops, what was asked for
    // during the last copy is copied too, without the pause between copies.
    if (wanted_ <= copied) break;
    const uint64_t generation = wanted_;
    const bool ending = stopping_;
    lock.unlock();
    const bool done = copy(generation, !ending) == ERROR_SUCCESS;
    lock.lock();
    if (done) copied = generation;
    // A failed copy is not retried once stopping: the server is away.
    if (!done && stopping_) break;
    wake_.wait_for(lock, done ? kCopyInterval : kRetryInterval, [&] { return stopping_; });
  }
}

LONG ServedReplica::copy(uint64_t generation, bool checkDatabase) {
  LONG result = hiveFileState(location_.path);
  if (result == ERROR_FILE_NOT_FOUND) result = createHiveFile(location_);
  if (result != ERROR_SUCCESS) return result;
  ReplicaFile file;
  int rc = openHiveConnection(location_.path, HiveKind::User, SQLITE_OPEN_READWRITE, &file.db);
  if (rc != SQLITE_OK) return sqliteToWin32(rc);
  sqlite3_busy_timeout(file.db, 5000);
  // A copy is not synced to the disk: the server holds the hive, and a
  // replica that lost its last copies to a power cut is one of an older
  // generation, which the next copy brings up to date.
  sqlite3_exec(file.db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  // Until a copy has found the file to be of the server's database, it may
  // be of another, even if its generation is further; a process that is
  // ending does not look.
  const Held held(file.db);
  if ((databaseChecked_ || !checkDatabase) && held.generation >= int64_t(generation))
    return ERROR_SUCCESS;

  // The connection is kept from copy to copy, and made anew after a
  // failure.
  if (!server_.isOpen()) {
    server_.close();
    result = server_.open(conninfo_);
  }
  // The replica holds every change committed before this moment: the
  // snapshot is taken later, at its first query.
  const int64_t snapshotAt = microsecondsNow();
  if (result == ERROR_SUCCESS)
    result = server_.exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY").error();
  Snapshot snapshot;
  if (result == ERROR_SUCCESS) result = snapshot.read(server_, held);
  if (result == ERROR_SUCCESS) result = server_.exec("COMMIT").error();
  if (result != ERROR_SUCCESS) {
    server_.close();
    return result;
  }
  if (held.holds(snapshot.state)) {
    databaseChecked_ = true;
    return ERROR_SUCCESS;
  }

  // Readers of the file use no cached result while the counter is odd.
  ChangeCounter counter(location_.path, HiveKind::User);
  rc = sqlite3_exec(file.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return sqliteToWin32(rc);
  // Another process of the user may have brought the file further since:
  // a later state is kept, and any state between the two takes the changes
  // since `held` as well as those since its own generation. A file made
  // anew meanwhile takes the whole hive, at the next attempt.
  const Held now(file.db);
  const bool current = now.holds(snapshot.state);
  const bool elsewhere =
      !snapshot.whole && (!now.sameDatabase(held) || now.generation < held.generation);
  if (current || elsewhere) {
    sqlite3_exec(file.db, "ROLLBACK", nullptr, nullptr, nullptr);
    databaseChecked_ = current;
    return current ? ERROR_SUCCESS : ERROR_BUSY;
  }
  uint64_t before = 0, after = 0;
  result = counter.beginWrite(&before);
  if (result == ERROR_SUCCESS) {
    rc = snapshot.applyTo(file.db, snapshotAt);
    if (rc == SQLITE_OK) rc = sqlite3_exec(file.db, "COMMIT", nullptr, nullptr, nullptr);
    result = sqliteToWin32(rc);
  }
  if (result != ERROR_SUCCESS) sqlite3_exec(file.db, "ROLLBACK", nullptr, nullptr, nullptr);
  counter.endWrite(&after);
  databaseChecked_ = result == ERROR_SUCCESS;
  return result;
}

}  // namespace vreg
