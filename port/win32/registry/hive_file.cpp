#include "hive_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "change_history.h"
#include "hive_connection.h"
#include "hive_trust.h"
#include "sqlite_result.h"
#include "temporary_file.h"

namespace vreg {

const char* const kHiveSchema =
    "CREATE TABLE keys("
    // Never reused: a handle to a deleted key must not reach a later one.
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER REFERENCES keys(id),"
    "  name TEXT NOT NULL,"
    "  path TEXT NOT NULL UNIQUE COLLATE NOCASE,"
    "  written INTEGER NOT NULL);"
    "CREATE INDEX keys_by_parent ON keys(parent, name COLLATE NOCASE);"
    "CREATE TABLE vals("
    "  key INTEGER NOT NULL REFERENCES keys(id),"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  UNIQUE(key, name));"
    "INSERT INTO keys(id, parent, name, path, written) VALUES(1, NULL, '', '', 0);";

std::string historySchema(int64_t completeSince) {
  return std::string(
             "CREATE TABLE history("
             "  id INTEGER PRIMARY KEY,"
             "  time INTEGER NOT NULL,"
             "  uid INTEGER NOT NULL,"
             "  user_name TEXT NOT NULL,"
             "  pid INTEGER NOT NULL,"
             "  program TEXT NOT NULL,"
             "  change TEXT NOT NULL,"
             "  key TEXT NOT NULL,"
             "  value TEXT,"
             "  old_type INTEGER, old_data BLOB,"
             "  new_type INTEGER, new_data BLOB);"
             "CREATE TABLE settings(name TEXT PRIMARY KEY, value INTEGER NOT NULL) WITHOUT ROWID;"
             "INSERT INTO settings(name, value) VALUES('") +
         kSettingMaxRecords + "', " + std::to_string(kDefaultMaxRecords) + "), ('" +
         kSettingMaxAgeDays + "', " + std::to_string(kDefaultMaxAgeDays) + "), ('" +
         kSettingCompleteSince + "', " + std::to_string(completeSince) + ");";
}

namespace {

std::string directoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

uint32_t bigEndian32(const unsigned char* bytes) {
  return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

// Creates `dir` and its missing parents, the new ones with `mode` whatever
// the umask.
LONG makeDirectories(const std::string& dir, mode_t mode) {
  struct stat st;
  if (stat(dir.c_str(), &st) == 0)
    return S_ISDIR(st.st_mode) ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
  if (errno != ENOENT) return errnoToWin32(errno, ERROR_PATH_NOT_FOUND);
  LONG parent = makeDirectories(directoryOf(dir), mode);
  if (parent != ERROR_SUCCESS) return parent;
  if (mkdir(dir.c_str(), mode) == 0) {
    // A setgid parent's bit, which mkdir passes on, stays.
    if (lstat(dir.c_str(), &st) == 0 && chmod(dir.c_str(), mode | (st.st_mode & S_ISGID)) == 0)
      return ERROR_SUCCESS;
  } else if (errno == EEXIST) {
    return ERROR_SUCCESS;
  }
  return errnoToWin32(errno, ERROR_PATH_NOT_FOUND);
}

void syncDirectory(const std::string& dir) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// The keys of a new hive, parents first.
std::vector<std::string> newHiveKeys(HiveKind kind) {
  if (kind == HiveKind::Machine) return {"SOFTWARE"};
  return {"Software", "Control Panel", "Control Panel\\International"};
}

// Makes the empty file `path` a new hive of `kind` in WAL mode.
LONG initialiseHive(const std::string& path, HiveKind kind) {
  sqlite3* db = nullptr;
  int rc = openHiveConnection(path, kind, SQLITE_OPEN_READWRITE, &db);
  // Each change writes three pages to the WAL (the key's write time, the
  // value, the history record), to be checksummed, copied and later synced:
  // 1 KiB pages make that a quarter of the work of SQLite's default 4 KiB.
  if (rc == SQLITE_OK) {
    rc = sqlite3_exec(db, "PRAGMA page_size=1024; PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL",
                      nullptr, nullptr, nullptr);
  }
  if (rc == SQLITE_OK) rc = buildNewHive(db, kind);
  // Closing checkpoints the WAL into the file and removes the WAL.
  int closed = sqlite3_close(db);
  if (rc == SQLITE_OK) rc = closed;
  if (rc == SQLITE_FULL) return ERROR_DISK_FULL;
  if (rc == SQLITE_AUTH) return ERROR_ACCESS_DENIED;
  return rc == SQLITE_OK ? ERROR_SUCCESS : ERROR_REGISTRY_IO_FAILED;
}

}  // namespace

int64_t fileTimeNow() {
  using namespace std::chrono;
  constexpr int64_t kEpochDifference = 116444736000000000LL;
  return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100 +
         kEpochDifference;
}

int buildNewHive(sqlite3* db, HiveKind kind) {
  std::string setup = "BEGIN; ";
  setup += kHiveSchema;
  setup += historySchema(0);
  setup += " PRAGMA application_id=" + std::to_string(kHiveApplicationId) +
           "; PRAGMA user_version=" + std::to_string(kHiveSchemaVersion) + ";";
  int rc = sqlite3_exec(db, setup.c_str(), nullptr, nullptr, nullptr);
  // Each key below the one before it, or the root.
  sqlite3_stmt* insert = nullptr;
  if (rc == SQLITE_OK) {
    rc = sqlite3_prepare_v2(
        db,
        "INSERT INTO keys(parent, name, path, written)"
        " VALUES(coalesce((SELECT id FROM keys WHERE path = ?1), 1), ?2, ?3, ?4)",
        -1, &insert, nullptr);
  }
  const int64_t now = fileTimeNow();
  for (const std::string& path : newHiveKeys(kind)) {
    if (rc != SQLITE_OK) break;
    const size_t slash = path.rfind('\\');
    const std::string parent = slash == std::string::npos ? "" : path.substr(0, slash);
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    sqlite3_bind_text(insert, 1, parent.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 3, path.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int64(insert, 4, now);
    rc = sqlite3_step(insert) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  int ended = sqlite3_exec(db, rc == SQLITE_OK ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? ended : rc;
}

LONG hiveFileState(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return ERROR_SUCCESS;
  return errnoToWin32(errno, ERROR_FILE_NOT_FOUND);
}

LONG recogniseHiveFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_BADDB;
  unsigned char header[100];
  ssize_t got = pread(fd, header, sizeof header, 0);
  close(fd);
  static const char kMagic[] = "SQLite format 3";  // with its terminating zero: 16 bytes
  bool recognised = got == ssize_t(sizeof header) && memcmp(header, kMagic, 16) == 0 &&
                    header[18] == 2 && header[19] == 2 &&  // WAL mode
                    bigEndian32(header + 68) == kHiveApplicationId &&
                    bigEndian32(header + 60) >= kOldestHiveSchemaVersion &&
                    bigEndian32(header + 60) <= kHiveSchemaVersion;
  return recognised ? ERROR_SUCCESS : ERROR_BADDB;
}

int upgradeHiveSchema(sqlite3* db) {
  // IMMEDIATE: of several processes upgrading at once, one does it and the
  // others find the hive current when they get the lock.
  int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return rc;
  sqlite3_stmt* query = nullptr;
  rc = sqlite3_prepare_v2(db,
                          "SELECT (SELECT user_version FROM pragma_user_version),"
                          " (SELECT count(*) FROM sqlite_schema WHERE type = 'table'"
                          "  AND name IN ('history', 'settings'))",
                          -1, &query, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_step(query);
  const int version = rc == SQLITE_ROW ? sqlite3_column_int(query, 0) : 0;
  const int tables = rc == SQLITE_ROW ? sqlite3_column_int(query, 1) : 0;
  sqlite3_finalize(query);
  if (rc == SQLITE_ROW) {
    rc = SQLITE_OK;
    if (version == 1 && tables == 0) {
      const std::string upgrade = historySchema(microsecondsNow()) +
                                  " PRAGMA user_version=" + std::to_string(kHiveSchemaVersion);
      rc = sqlite3_exec(db, upgrade.c_str(), nullptr, nullptr, nullptr);
    } else if (version != int(kHiveSchemaVersion) || tables != 2) {
      rc = SQLITE_CORRUPT;
    }
  }
  int ended = sqlite3_exec(db, rc == SQLITE_OK ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? ended : rc;
}

LONG createHiveFile(const HiveLocation& location) {
  const std::string dir = directoryOf(location.path);
  LONG made = makeDirectories(dir, location.dirMode);
  if (made == ERROR_SUCCESS) made = checkHiveDirectory(dir, location.kind);
  if (made == ERROR_SUCCESS) made = checkLeftCompanions(location.path, location.fileMode);
  if (made != ERROR_SUCCESS) return made;

  removeAbandonedTemporaries(location.path);
  const std::string temp = temporaryNameFor(location.path);
  int fd = open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, location.fileMode);
  if (fd < 0) return errnoToWin32(errno, ERROR_PATH_NOT_FOUND);
  // The mode must not depend on the umask: machine hives are world-readable,
  // user hives private.
  fchmod(fd, location.fileMode);
  close(fd);

  LONG result = initialiseHive(temp, location.kind);
  if (result == ERROR_SUCCESS && link(temp.c_str(), location.path.c_str()) != 0 &&
      errno != EEXIST) {
    result = errnoToWin32(errno, ERROR_PATH_NOT_FOUND);
  }
  unlink(temp.c_str());
  syncDirectory(dir);
  return result;
}

LONG hiveWriteAccess(const std::string& path) {
  if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return ERROR_SUCCESS;
  if (errno != ENOENT) return ERROR_ACCESS_DENIED;
  // Missing: whoever may create entries in the nearest existing directory
  // may create the hive.
  std::string dir = directoryOf(path);
  while (faccessat(AT_FDCWD, dir.c_str(), F_OK, AT_EACCESS) != 0 && dir != "/") {
    dir = directoryOf(dir);
  }
  return faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) == 0 ? ERROR_SUCCESS
                                                                        : ERROR_ACCESS_DENIED;
}

}  // namespace vreg
