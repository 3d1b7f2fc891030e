#include "hive_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "hive_connection.h"
#include "hive_schema.h"
#include "hive_trust.h"
#include "name_folding.h"
#include "sqlite_result.h"
#include "temporary_file.h"

namespace vreg {

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
  int rc = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return rc;
  rc = createHiveSchema(db);
  // Each key below the one before it, or the root.
  sqlite3_stmt* insert = nullptr;
  if (rc == SQLITE_OK) {
    rc = sqlite3_prepare_v2(
        db,
        "INSERT INTO keys(parent, name, folded_name, path, folded_path, written)"
        " VALUES(coalesce((SELECT id FROM keys WHERE folded_path = ?1), 1), ?2, ?3, ?4, ?5, ?6)",
        -1, &insert, nullptr);
  }
  const int64_t now = fileTimeNow();
  for (const std::string& path : newHiveKeys(kind)) {
    if (rc != SQLITE_OK) break;
    const size_t slash = path.rfind('\\');
    const std::string parent = foldName(slash == std::string::npos ? "" : path.substr(0, slash));
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::string foldedName = foldName(name), foldedPath = foldName(path);
    sqlite3_bind_text(insert, 1, parent.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 3, foldedName.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 4, path.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_text(insert, 5, foldedPath.c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int64(insert, 6, now);
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
  // SQLite removes its own journal files at the last close; the writers'
  // lock file is the stand-in's.
  unlink((temp + "-lock").c_str());
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
