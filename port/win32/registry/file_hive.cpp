#include "file_hive.h"

#include <sys/stat.h>
#include <unistd.h>

#include <sqlite3.h>

#include <atomic>
#include <cassert>
#include <mutex>

#include "change_counter.h"
#include "change_history.h"
#include "change_notification.h"
#include "fault_injection.h"
#include "fork_epoch.h"
#include "hive_connection.h"
#include "hive_file.h"
#include "hive_schema.h"
#include "hive_trust.h"
#include "key_path.h"
#include "name_folding.h"
#include "read_cache.h"
#include "sqlite_result.h"
#include "sqlite_statement.h"

namespace vreg {
namespace {

// The statements a hive runs, prepared once per connection.
enum StatementId {
  kBeginWrite,
  kCommit,
  kRollback,
  kFindKey,
  kKeyExists,
  kInsertKey,
  kTouchKey,
  kHasSubKeys,
  kDeleteKeyValues,
  kDeleteKey,
  kReadValue,
  kWriteValue,
  kDeleteValue,
  kEnumKey,
  kEnumKeyFrom,
  kEnumValue,
  kEnumValueFrom,
  kSubKeyStats,
  kValueStats,
  kStatementCount
};

const char* const kStatementText[kStatementCount] = {
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "SELECT id, ?2 = 1 OR EXISTS(SELECT 1 FROM keys WHERE id = ?2) FROM keys"
    " WHERE folded_path = ?1",
    "SELECT written FROM keys WHERE id = ?1",
    "INSERT INTO keys(parent, name, folded_name, path, folded_path, written)"
    " VALUES(?1, ?2, ?3, ?4, ?5, ?6)",
    "UPDATE keys SET written = ?2 WHERE id = ?1",
    "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1",
    "DELETE FROM vals WHERE key = ?1",
    "DELETE FROM keys WHERE id = ?1",
    "SELECT type, data FROM vals WHERE key = ?1 AND folded_name = ?2",
    "INSERT INTO vals(key, name, folded_name, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
    " ON CONFLICT(key, folded_name) DO UPDATE SET type = excluded.type, data = excluded.data",
    "DELETE FROM vals WHERE key = ?1 AND folded_name = ?2",
    "SELECT name, written, folded_name FROM keys WHERE parent = ?1 ORDER BY folded_name"
    " LIMIT 1 OFFSET ?2",
    // From a position: one index seek, then at most one step.
    "SELECT name, written, folded_name FROM keys WHERE parent = ?1 AND folded_name >= ?2"
    " ORDER BY folded_name LIMIT 1 OFFSET ?3",
    "SELECT name, type, data, id FROM vals WHERE key = ?1 ORDER BY id LIMIT 1 OFFSET ?2",
    "SELECT name, type, data, id FROM vals WHERE key = ?1 AND id >= ?2 ORDER BY id"
    " LIMIT 1 OFFSET ?3",
    "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))), 0) FROM keys WHERE parent = ?1",
    "SELECT count(*), coalesce(max(length(CAST(name AS BLOB))), 0),"
    " coalesce(max(length(data)), 0) FROM vals WHERE key = ?1",
};

}  // namespace

// The hive in a SQLite file.
class FileHive final : public Hive {
 public:
  explicit FileHive(HiveLocation location)
      : location_(std::move(location)), changes_(location_.path, location_.kind) {
    countForks();
  }

  ~FileHive() override {
    std::lock_guard<std::mutex> lock(mutex_);
    disconnect();
  }

  LONG checkWritable() override;
  const HiveLocation* file() const override { return &location_; }
  const std::string& identity() const override { return location_.path; }
  std::unique_ptr<ChangeSource> changeSource() const override {
    return fileChangeSource(location_);
  }
  LONG prepareForWatch() override;
  LONG findKey(KeyId base, std::string_view path, KeyId* key) override;
  LONG createKey(KeyId base, std::string_view path, KeyId* key, bool* created) override;
  LONG deleteKey(KeyId key) override;
  LONG readValue(KeyId key, std::string_view name, const ValueVisitor& visit) override;
  LONG writeValue(KeyId key, std::string_view name, DWORD type, const BYTE* data,
                  DWORD size) override;
  LONG deleteValue(KeyId key, std::string_view name) override;
  LONG enumKey(KeyId key, DWORD index, std::string* name, int64_t* lastWrite) override;
  LONG enumValue(KeyId key, DWORD index, const NamedValueVisitor& visit) override;
  LONG keyInfo(KeyId key, KeyInfo* info) override;
  LONG flush(KeyId key) override;

 private:
  // Every public operation runs under the hive's mutex with a usable
  // connection. While the hive's file is missing, reads are answered by a
  // new hive built in memory (absent_), as the file will be made; `write`
  // creates the file and requires a writable one. The keys of the one in
  // memory have the ids they get in the file.
  LONG attach(bool write) {
    if (epoch_ != forkEpoch()) abandonInheritedConnection();
    if (corrupt_) return ERROR_BADDB;
    if (db_ && !absent_) return write && readOnly_ ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    LONG state = hiveFileState(location_.path);
    if (state == ERROR_FILE_NOT_FOUND) {
      if (!write) return db_ ? ERROR_SUCCESS : buildInMemory();
      state = createHiveFile(location_);
    }
    if (state != ERROR_SUCCESS) return state;
    disconnect();  // from the hive in memory
    LONG connected = connect();
    if (connected != ERROR_SUCCESS) return connected;
    return write && readOnly_ ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
  }

  // Maps a SQLite result; a damaged database makes the hive unusable for
  // good (in this process), closed without writing to it.
  LONG fail(int rc) {
    LONG error = sqliteToWin32(rc);
    if (error == ERROR_BADDB) {
      corrupt_ = true;
      if (!inTransaction_) disconnect();
    }
    return error;
  }

  // A use of statement `id`, prepared at its first use on the connection. A
  // statement that could not be prepared steps to the preparing error, so
  // that it reaches fail() like any other.
  Run run(StatementId id) {
    int rc = SQLITE_OK;
    if (!statements_[id]) {
      rc = takeStorageFault(REGDIAG_PREPARE);
      if (rc == SQLITE_OK) {
        rc = sqlite3_prepare_v3(db_, kStatementText[id], -1, SQLITE_PREPARE_PERSISTENT,
                                &statements_[id], nullptr);
      }
    }
    if (rc == SQLITE_OK && inTransaction_) rc = takeStorageFault(REGDIAG_WRITE_STEP);
    return Run(statements_[id], rc);
  }

  // ERROR_SUCCESS when a statement that returns no rows ran to its end.
  LONG done(int rc) { return rc == SQLITE_DONE ? ERROR_SUCCESS : fail(rc); }

  // Runs `body` in one write transaction (BEGIN IMMEDIATE waits for other
  // writers up to the lock timeout). `body` returns a Win32 code, SQLite's
  // failures mapped by fail() where they happen; anything
  // but ERROR_SUCCESS rolls back. The cache outlives the write when no
  // other process wrote since it was filled; the caller then updates what
  // its change made stale before releasing the hive.
  template <typename Body>
  LONG transaction(Body body) {
    LONG attached = attach(true);
    if (attached != ERROR_SUCCESS) return attached;
    int timeout = Hive::lockTimeout();
    if (timeout != appliedTimeout_) {
      sqlite3_busy_timeout(db_, timeout);
      appliedTimeout_ = timeout;
    }
    LONG result = done(run(kBeginWrite).step());
    if (result != ERROR_SUCCESS) return result;
    inTransaction_ = true;
    author_.refresh();
    uint64_t before = 0, after = 0;
    result = changes_.beginWrite(&before);
    if (result == ERROR_SUCCESS) result = body();
    if (result == ERROR_SUCCESS) result = done(run(kCommit).step());
    if (result != ERROR_SUCCESS) {
      inTransaction_ = false;  // the rollback must run whatever is pending
      run(kRollback).step();
    }
    if (changes_.endWrite(&after)) cache_.advance(before, after);
    inTransaction_ = false;
    if (corrupt_) disconnect();
    if (result == ERROR_SUCCESS) changesCommitted(location_.path);
    return result;
  }

  ReadCache::KeyResult findKeyInFile(KeyId base, std::string_view path) {
    Run q = run(kFindKey);
    int rc = q.bind(1, folded(path)).bind(2, base).step();
    if (rc == SQLITE_ROW && q.integer(1)) return {ERROR_SUCCESS, q.integer(0)};
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return {fail(rc), 0};
    LONG exists = keyExists(base);
    return {exists == ERROR_SUCCESS ? LONG(ERROR_FILE_NOT_FOUND) : exists, 0};
  }

  // ERROR_SUCCESS when `key` exists, ERROR_KEY_DELETED when it does not.
  LONG keyExists(KeyId key, int64_t* written = nullptr) {
    Run q = run(kKeyExists);
    int rc = q.bind(1, key).step();
    if (rc == SQLITE_ROW) {
      if (written) *written = q.integer(0);
      return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_KEY_DELETED : fail(rc);
  }

  // `name` folded, in a buffer reused from call to call.
  std::string_view folded(std::string_view name) {
    folded_.clear();
    appendFoldedName(name, &folded_);
    return folded_;
  }

  std::mutex mutex_;
  HiveLocation location_;
  std::string folded_;
  sqlite3* db_ = nullptr;
  bool absent_ = false;  // db_ is the hive in memory that stands for a missing file
  bool readOnly_ = false;
  bool corrupt_ = false;
  bool inTransaction_ = false;
  unsigned epoch_ = 0;
  int appliedTimeout_ = -1;
  sqlite3_stmt* statements_[kStatementCount] = {};
  ChangeCounter changes_;
  ChangeAuthor author_;
  ReadCache cache_;

  // Whether results read from now on may be kept in (and taken from) the
  // cache: only while the change counter says that no write is under way.
  bool cacheUsable() {
    if (absent_) return false;
    uint64_t stamp;
    if (!changes_.stableStamp(&stamp)) return false;
    cache_.syncTo(stamp);
    return true;
  }

  LONG connect() {
    assert(!db_);
    // Another user's file, or a link, is refused before it is read at all.
    struct stat hive;
    LONG recognised = checkHiveFile(location_.path, location_.kind, &hive);
    if (recognised == ERROR_SUCCESS) recognised = recogniseHiveFile(location_.path);
    if (recognised == ERROR_BADDB) corrupt_ = true;
    if (recognised != ERROR_SUCCESS) return recognised;
    readOnly_ = hiveWriteAccess(location_.path) != ERROR_SUCCESS;
    int flags = (readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    int rc = openHiveConnection(location_.path, location_.kind, flags, &db_);
    if (rc != SQLITE_OK) {
      LONG error = sqliteToWin32(rc);
      if (error == ERROR_BADDB) corrupt_ = true;
      return error;
    }
    epoch_ = forkEpoch();
    // Keep the -wal and -shm files when the last connection closes: readers
    // who may not create files in the hive's directory need them to exist.
    int persist = 1;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    sqlite3_busy_timeout(db_, appliedTimeout_ = Hive::lockTimeout());
    // NORMAL in WAL mode: a commit is in the WAL before the call returns, so
    // a killed process loses nothing; RegFlushKey syncs for power loss. The
    // WAL file is kept (up to 4 MiB, about one checkpoint's worth) when a
    // checkpoint restarts it: writing over its blocks costs less than
    // truncating it and allocating them again.
    rc = sqlite3_exec(db_, "PRAGMA synchronous=NORMAL; PRAGMA journal_size_limit=4194304", nullptr,
                      nullptr, nullptr);
    if (rc == SQLITE_OK) rc = verify();
    int version = 0;
    if (rc == SQLITE_OK)
      rc = readOnly_ ? readAsCurrentSchema(db_, &version) : upgradeHiveSchema(db_);
    if (rc == SQLITE_OK && !readOnly_) rc = recordChanges(db_, &author_);
    if (rc != SQLITE_OK) {
      LONG error = sqliteToWin32(rc);
      if (error == ERROR_BADDB) corrupt_ = true;
      disconnect();
      return error;
    }
    return ERROR_SUCCESS;
  }

  // Checks the database's structure and our schema, reading only.
  int verify() {
    return checkHolds(db_,
                      "SELECT (SELECT quick_check FROM pragma_quick_check) = 'ok' AND"
                      " (SELECT count(*) FROM sqlite_schema WHERE type = 'table'"
                      "  AND name IN ('keys', 'vals')) = 2 AND"
                      " EXISTS(SELECT 1 FROM keys WHERE id = 1 AND path = '')");
  }

  LONG buildInMemory() {
    int rc =
        sqlite3_open_v2(":memory:", &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) rc = buildNewHive(db_, location_.kind);
    if (rc != SQLITE_OK) {
      sqlite3_close(db_);
      db_ = nullptr;
      return sqliteToWin32(rc);
    }
    absent_ = true;
    epoch_ = forkEpoch();
    return ERROR_SUCCESS;
  }

  void disconnect() {
    cache_.clear();
    absent_ = false;
    if (!db_) return;
    for (sqlite3_stmt*& s : statements_) {
      sqlite3_finalize(s);
      s = nullptr;
    }
    // A damaged file is closed without the checkpoint that would write it.
    if (corrupt_) sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_close(db_);
    db_ = nullptr;
  }

  // The connection belongs to the parent process: forget it without
  // touching it (closing could disturb the parent's locks).
  void abandonInheritedConnection() {
    cache_.clear();
    db_ = nullptr;
    absent_ = false;
    for (sqlite3_stmt*& s : statements_) s = nullptr;
    epoch_ = forkEpoch();
  }
};

LONG FileHive::checkWritable() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (epoch_ != forkEpoch() || !db_ || absent_) return hiveWriteAccess(location_.path);
  return readOnly_ ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

LONG FileHive::prepareForWatch() {
  std::lock_guard<std::mutex> lock(mutex_);
  return transaction([]() -> LONG { return ERROR_SUCCESS; });
}

LONG FileHive::findKey(KeyId base, std::string_view path, KeyId* key) {
  std::lock_guard<std::mutex> lock(mutex_);
  LONG attached = attach(false);
  if (attached != ERROR_SUCCESS) return attached;
  return cache_.findKeyThrough(cacheUsable(), base, path, key,
                               [&] { return findKeyInFile(base, path); });
}

LONG FileHive::createKey(KeyId base, std::string_view path, KeyId* key, bool* created) {
  std::lock_guard<std::mutex> lock(mutex_);
  KeyId id = kRootKey;
  bool made = false;
  LONG result = transaction([&]() -> LONG {
    LONG exists = keyExists(base);
    if (exists != ERROR_SUCCESS) return exists;
    const int64_t now = fileTimeNow();
    // Walk down the path, inserting each missing key under its parent.
    std::string foldedPrefix;
    for (size_t start = 0; start < path.size();) {
      size_t end = path.find('\\', start);
      if (end == std::string_view::npos) end = path.size();
      const std::string_view prefix = path.substr(0, end);
      const std::string_view name = path.substr(start, end - start);
      start = end + 1;
      if (!foldedPrefix.empty()) foldedPrefix += '\\';
      const size_t nameStart = foldedPrefix.size();
      appendFoldedName(name, &foldedPrefix);
      Run find = run(kFindKey);
      int rc = find.bind(1, foldedPrefix).bind(2, kRootKey).step();
      if (rc == SQLITE_ROW) {
        id = find.integer(0);
        made = false;
        continue;
      }
      if (rc != SQLITE_DONE) return fail(rc);
      Run insert = run(kInsertKey);
      LONG inserted = done(insert.bind(1, id)
                               .bind(2, name)
                               .bind(3, std::string_view(foldedPrefix).substr(nameStart))
                               .bind(4, prefix)
                               .bind(5, foldedPrefix)
                               .bind(6, now)
                               .step());
      if (inserted != ERROR_SUCCESS) return inserted;
      id = sqlite3_last_insert_rowid(db_);
      made = true;
    }
    return ERROR_SUCCESS;
  });
  if (result == ERROR_SUCCESS) {
    if (made) cache_.forgetMissingKeys();
    *key = id;
    *created = made;
  }
  return result;
}

LONG FileHive::deleteKey(KeyId key) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (key == kRootKey) return ERROR_ACCESS_DENIED;
  LONG result = transaction([&]() -> LONG {
    LONG exists = keyExists(key);
    if (exists != ERROR_SUCCESS) return exists;
    {
      Run children = run(kHasSubKeys);
      int rc = children.bind(1, key).step();
      if (rc == SQLITE_ROW) return ERROR_ACCESS_DENIED;
      if (rc != SQLITE_DONE) return fail(rc);
    }
    LONG deleted = done(run(kDeleteKeyValues).bind(1, key).step());
    if (deleted != ERROR_SUCCESS) return deleted;
    return done(run(kDeleteKey).bind(1, key).step());
  });
  // Paths and values that led to the key now lead nowhere.
  if (result == ERROR_SUCCESS) cache_.clear();
  return result;
}

LONG FileHive::readValue(KeyId key, std::string_view name, const ValueVisitor& visit) {
  std::lock_guard<std::mutex> lock(mutex_);
  LONG attached = attach(false);
  if (attached != ERROR_SUCCESS) return attached;
  return cache_.readValueThrough(cacheUsable(), key, name, visit, [&](const auto& found) {
    Run q = run(kReadValue);
    int rc = q.bind(1, key).bind(2, folded(name)).step();
    if (rc == SQLITE_ROW) {
      if (q.bytes(1) > kMaxValueSize) return LONG(ERROR_BADDB);
      found(DWORD(q.integer(0)), q.blob(1), q.bytes(1));
      return LONG(ERROR_SUCCESS);
    }
    if (rc != SQLITE_DONE) return fail(rc);
    LONG exists = keyExists(key);
    return exists == ERROR_SUCCESS ? LONG(ERROR_FILE_NOT_FOUND) : exists;
  });
}

LONG FileHive::writeValue(KeyId key, std::string_view name, DWORD type, const BYTE* data,
                          DWORD size) {
  std::lock_guard<std::mutex> lock(mutex_);
  LONG result = transaction([&]() -> LONG {
    // Stamping the key's write time also proves it still exists.
    LONG touched = done(run(kTouchKey).bind(1, key).bind(2, fileTimeNow()).step());
    if (touched != ERROR_SUCCESS) return touched;
    if (sqlite3_changes(db_) == 0) return ERROR_KEY_DELETED;
    return done(run(kWriteValue)
                    .bind(1, key)
                    .bind(2, name)
                    .bind(3, folded(name))
                    .bind(4, type)
                    .bindBlob(5, data, size)
                    .step());
  });
  if (result == ERROR_SUCCESS) cache_.rememberValue(key, name, result, type, data, size);
  return result;
}

LONG FileHive::deleteValue(KeyId key, std::string_view name) {
  std::lock_guard<std::mutex> lock(mutex_);
  LONG attached = attach(false);
  if (attached != ERROR_SUCCESS) return attached;
  // A hive not made yet holds no values: nothing to delete, nothing to make.
  if (absent_) {
    LONG exists = keyExists(key);
    return exists == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : exists;
  }
  LONG result = transaction([&]() -> LONG {
    LONG exists = keyExists(key);
    if (exists != ERROR_SUCCESS) return exists;
    LONG deleted = done(run(kDeleteValue).bind(1, key).bind(2, folded(name)).step());
    if (deleted != ERROR_SUCCESS) return deleted;
    if (sqlite3_changes(db_) == 0) return ERROR_FILE_NOT_FOUND;
    return done(run(kTouchKey).bind(1, key).bind(2, fileTimeNow()).step());
  });
  if (result == ERROR_SUCCESS) {
    cache_.rememberValue(key, name, ERROR_FILE_NOT_FOUND, REG_NONE, nullptr, 0);
  }
  return result;
}

LONG FileHive::enumKey(KeyId key, DWORD index, std::string* name, int64_t* lastWrite) {
  std::lock_guard<std::mutex> lock(mutex_);
  LONG attached = attach(false);
  if (attached != ERROR_SUCCESS) return attached;
  // Enumerating by increasing index goes on from where the last call stood.
  const bool cached = cacheUsable();
  const ReadCache::EnumPosition* from = cached ? cache_.subKeyPosition(key) : nullptr;
  const bool resume = from && (index == from->index || index == from->index + 1);
  const std::string start = resume ? from->foldedName : std::string();
  Run q = run(resume ? kEnumKeyFrom : kEnumKey);
  if (resume) {
    q.bind(1, key).bind(2, start).bind(3, int64_t(index - from->index));
  } else {
    q.bind(1, key).bind(2, int64_t(index));
  }
  int rc = q.step();
  if (rc == SQLITE_ROW) {
    name->assign(q.text(0));
    *lastWrite = q.integer(1);
    if (cached) cache_.rememberSubKeyPosition(key, {index, std::string(q.text(2)), 0});
    return ERROR_SUCCESS;
  }
  if (rc != SQLITE_DONE) return fail(rc);
  LONG exists = keyExists(key);
  return exists == ERROR_SUCCESS ? ERROR_NO_MORE_ITEMS : exists;
}

LONG FileHive::enumValue(KeyId key, DWORD index, const NamedValueVisitor& visit) {
  std::lock_guard<std::mutex> lock(mutex_);
  LONG attached = attach(false);
  if (attached != ERROR_SUCCESS) return attached;
  const bool cached = cacheUsable();
  const ReadCache::EnumPosition* from = cached ? cache_.valuePosition(key) : nullptr;
  const bool resume = from && (index == from->index || index == from->index + 1);
  Run q = run(resume ? kEnumValueFrom : kEnumValue);
  if (resume) {
    q.bind(1, key).bind(2, from->id).bind(3, int64_t(index - from->index));
  } else {
    q.bind(1, key).bind(2, int64_t(index));
  }
  int rc = q.step();
  if (rc == SQLITE_ROW) {
    if (q.bytes(2) > kMaxValueSize) return ERROR_BADDB;
    if (cached) cache_.rememberValuePosition(key, {index, std::string(), q.integer(3)});
    visit(q.text(0), DWORD(q.integer(1)), q.blob(2), q.bytes(2));
    return ERROR_SUCCESS;
  }
  if (rc != SQLITE_DONE) return fail(rc);
  LONG exists = keyExists(key);
  return exists == ERROR_SUCCESS ? ERROR_NO_MORE_ITEMS : exists;
}

LONG FileHive::keyInfo(KeyId key, KeyInfo* info) {
  std::lock_guard<std::mutex> lock(mutex_);
  LONG attached = attach(false);
  if (attached != ERROR_SUCCESS) return attached;
  *info = KeyInfo();
  LONG exists = keyExists(key, &info->lastWrite);
  if (exists != ERROR_SUCCESS) return exists;
  Run keys = run(kSubKeyStats);
  int rc = keys.bind(1, key).step();
  if (rc != SQLITE_ROW) return fail(rc);
  info->subKeys = DWORD(keys.integer(0));
  info->maxSubKeyLength = DWORD(keys.integer(1));
  Run values = run(kValueStats);
  rc = values.bind(1, key).step();
  if (rc != SQLITE_ROW) return fail(rc);
  info->values = DWORD(values.integer(0));
  info->maxValueNameLength = DWORD(values.integer(1));
  info->maxValueSize = DWORD(values.integer(2));
  return ERROR_SUCCESS;
}

LONG FileHive::flush(KeyId key) {
  std::lock_guard<std::mutex> lock(mutex_);
  LONG attached = attach(false);
  if (attached != ERROR_SUCCESS) return attached;
  LONG exists = keyExists(key);
  if (exists != ERROR_SUCCESS || absent_) return exists;  // no file: nothing to sync
  // Every commit is in the WAL; syncing it makes them all durable.
  sqlite3_file* wal = nullptr;
  int rc = sqlite3_file_control(db_, "main", SQLITE_FCNTL_JOURNAL_POINTER, &wal);
  if (rc == SQLITE_OK) rc = takeStorageFault(REGDIAG_SYNC);
  if (rc == SQLITE_OK && wal && wal->pMethods) rc = wal->pMethods->xSync(wal, SQLITE_SYNC_NORMAL);
  return rc == SQLITE_OK ? ERROR_SUCCESS : fail(rc);
}

std::shared_ptr<Hive> openFileHive(HiveLocation location) {
  return std::make_shared<FileHive>(std::move(location));
}

}  // namespace vreg
