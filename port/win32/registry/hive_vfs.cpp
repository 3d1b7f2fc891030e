#include "hive_vfs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <sqlite3.h>

#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

#include "hive_trust.h"

namespace vreg {
namespace {

// SQLite's writer lock: slot 0 of the -shm locks, which the unix layer
// places at byte 120 of the -shm file.
constexpr int kWriterSlot = 0;
constexpr long kShmLockByte = 120;

// SQLite's files have the hive's mode; nobody who may only read the hive
// may open the writers' lock file (and so lock it).
constexpr mode_t kSqliteFileMode = 0666;
constexpr mode_t kLockFileMode = 0660;

// What the layer keeps beside SQLite's own file object, which follows it.
struct HiveFile {
  sqlite3_file base;
  std::string* hivePath;  // the main database file's; null for other files
  struct stat hive;       // the hive file as checked when it was opened
  bool mayCreate;         // opened read-write: missing companions are made
  bool shmChecked;
  struct stat shm;
  int writerLockFd;  // "<hive>-lock", opened at the first write
  bool holdsShmWriterLock;
};

constexpr size_t kInnerOffset = (sizeof(HiveFile) + 15) & ~size_t(15);

sqlite3_vfs* unixVfs = nullptr;

HiveFile* outer(sqlite3_file* f) { return reinterpret_cast<HiveFile*>(f); }
sqlite3_file* inner(sqlite3_file* f) {
  return reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(f) + kInnerOffset);
}

int refusedResult(LONG error) {
  return error == ERROR_ACCESS_DENIED ? SQLITE_AUTH : SQLITE_CANTOPEN;
}

std::string withoutSuffix(const std::string& name, const char* suffix) {
  const size_t length = strlen(suffix);
  if (name.size() > length && name.compare(name.size() - length, length, suffix) == 0)
    return name.substr(0, name.size() - length);
  return name;
}

// Whether every lock another holder has on `byte` of the file `st` is a
// read lock (and there is one), as /proc/locks lists them.
bool onlyReadLocksOn(const struct stat& st, long byte) {
  std::ifstream locks("/proc/locks");
  std::ostringstream fileId;
  fileId << std::hex;
  fileId.fill('0');
  fileId.width(2);
  fileId << major(st.st_dev) << ':';
  fileId.width(2);
  fileId << minor(st.st_dev) << ':' << std::dec << st.st_ino;
  const std::string wanted = fileId.str();
  bool readLock = false;
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::string number, kind, advisory, type, pid, id, start, end;
    fields >> number >> kind;
    if (kind == "->") continue;  // waiting for a lock, not holding one
    fields >> advisory >> type >> pid >> id >> start >> end;
    if (id != wanted) continue;
    const long first = strtol(start.c_str(), nullptr, 10);
    const bool toEnd = end == "EOF";
    if (byte < first || (!toEnd && byte > strtol(end.c_str(), nullptr, 10))) continue;
    if (type != "READ") return false;
    readLock = true;
  }
  return readLock;
}

// Checks SQLite's companion `path` (-wal, -shm, a journal) of the hive
// `hive` before SQLite opens it, creating it when missing if this process
// may write the hive (`mayCreate`). One missing that it may not create is
// refused: SQLite would make it, as this user's.
int prepareCompanion(const std::string& path, const struct stat& hive, bool mayCreate,
                     struct stat* st) {
  LONG error = ERROR_SUCCESS;
  // O_PATH: closing it leaves the process's locks on the file alone.
  int fd = openCompanion(path, hive, mayCreate ? kSqliteFileMode : 0, O_PATH, &error);
  if (fd < 0 && error == ERROR_FILE_NOT_FOUND) {
    recordRefusal(path + ": missing, and only the hive's writers may create it");
    error = ERROR_ACCESS_DENIED;
  }
  if (fd < 0) return refusedResult(error);
  fstat(fd, st);
  close(fd);
  return SQLITE_OK;
}

// Takes the lock on "<hive>-lock". A reader (which takes the writer lock
// only to recover the WAL index), and a writer that finds the file missing
// in a folder it may not create files in (until the next writer who may
// makes it), go by SQLite's lock alone: such a connection
// then never goes ahead past a reader's lock either, so writers stay
// mutually excluded.
int lockWriters(HiveFile* file) {
  if (file->writerLockFd < 0) {
    LONG error = ERROR_SUCCESS;
    file->writerLockFd = openCompanion(*file->hivePath + "-lock", file->hive,
                                       file->mayCreate ? kLockFileMode : 0, O_RDWR, &error);
    const bool alone = error == ERROR_FILE_NOT_FOUND || !file->mayCreate;
    if (file->writerLockFd < 0) return alone ? SQLITE_OK : refusedResult(error);
  }
  struct flock lock = {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_len = 1;
  if (fcntl(file->writerLockFd, F_OFD_SETLK, &lock) == 0) return SQLITE_OK;
  return errno == EAGAIN || errno == EACCES ? SQLITE_BUSY : SQLITE_IOERR_LOCK;
}

void unlockWriters(HiveFile* file) {
  struct flock lock = {};
  lock.l_type = F_UNLCK;
  lock.l_whence = SEEK_SET;
  lock.l_len = 1;
  if (file->writerLockFd >= 0) fcntl(file->writerLockFd, F_OFD_SETLK, &lock);
}

// The file methods: SQLite's own, with the writer lock and the -shm check.

int fileClose(sqlite3_file* f) {
  HiveFile* file = outer(f);
  int rc = inner(f)->pMethods->xClose(inner(f));
  if (file->writerLockFd >= 0) close(file->writerLockFd);
  delete file->hivePath;
  file->hivePath = nullptr;
  return rc;
}
int fileRead(sqlite3_file* f, void* data, int amount, sqlite3_int64 offset) {
  return inner(f)->pMethods->xRead(inner(f), data, amount, offset);
}
int fileWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
  return inner(f)->pMethods->xWrite(inner(f), data, amount, offset);
}
int fileTruncate(sqlite3_file* f, sqlite3_int64 size) {
  return inner(f)->pMethods->xTruncate(inner(f), size);
}
int fileSync(sqlite3_file* f, int flags) { return inner(f)->pMethods->xSync(inner(f), flags); }
int fileSize(sqlite3_file* f, sqlite3_int64* size) {
  return inner(f)->pMethods->xFileSize(inner(f), size);
}
int fileLock(sqlite3_file* f, int level) { return inner(f)->pMethods->xLock(inner(f), level); }
int fileUnlock(sqlite3_file* f, int level) { return inner(f)->pMethods->xUnlock(inner(f), level); }
int fileCheckReservedLock(sqlite3_file* f, int* out) {
  return inner(f)->pMethods->xCheckReservedLock(inner(f), out);
}
int fileControl(sqlite3_file* f, int op, void* arg) {
  return inner(f)->pMethods->xFileControl(inner(f), op, arg);
}
int fileSectorSize(sqlite3_file* f) { return inner(f)->pMethods->xSectorSize(inner(f)); }
int fileDeviceCharacteristics(sqlite3_file* f) {
  return inner(f)->pMethods->xDeviceCharacteristics(inner(f));
}

int fileShmMap(sqlite3_file* f, int page, int pageSize, int extend, void volatile** mapped) {
  HiveFile* file = outer(f);
  if (file->hivePath && !file->shmChecked) {
    int rc = prepareCompanion(*file->hivePath + "-shm", file->hive, file->mayCreate, &file->shm);
    if (rc != SQLITE_OK) return rc;
    file->shmChecked = true;
  }
  return inner(f)->pMethods->xShmMap(inner(f), page, pageSize, extend, mapped);
}

int fileShmLock(sqlite3_file* f, int offset, int n, int flags) {
  HiveFile* file = outer(f);
  sqlite3_file* real = inner(f);
  if (offset != kWriterSlot || n != 1 || !(flags & SQLITE_SHM_EXCLUSIVE) || !file->hivePath)
    return real->pMethods->xShmLock(real, offset, n, flags);
  if (flags & SQLITE_SHM_UNLOCK) {
    int rc =
        file->holdsShmWriterLock ? real->pMethods->xShmLock(real, offset, n, flags) : SQLITE_OK;
    file->holdsShmWriterLock = false;
    unlockWriters(file);
    return rc;
  }
  int rc = lockWriters(file);
  if (rc != SQLITE_OK) return rc;
  rc = real->pMethods->xShmLock(real, offset, n, flags);
  file->holdsShmWriterLock = rc == SQLITE_OK;
  if (rc == SQLITE_BUSY && file->writerLockFd >= 0 && file->shmChecked &&
      onlyReadLocksOn(file->shm, kShmLockByte)) {
    rc = SQLITE_OK;
  }
  if (rc != SQLITE_OK) unlockWriters(file);
  return rc;
}

void fileShmBarrier(sqlite3_file* f) { inner(f)->pMethods->xShmBarrier(inner(f)); }
int fileShmUnmap(sqlite3_file* f, int deleteFlag) {
  return inner(f)->pMethods->xShmUnmap(inner(f), deleteFlag);
}
int fileFetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** page) {
  return inner(f)->pMethods->xFetch(inner(f), offset, amount, page);
}
int fileUnfetch(sqlite3_file* f, sqlite3_int64 offset, void* page) {
  return inner(f)->pMethods->xUnfetch(inner(f), offset, page);
}

const sqlite3_io_methods kFileMethods = {3,
                                         fileClose,
                                         fileRead,
                                         fileWrite,
                                         fileTruncate,
                                         fileSync,
                                         fileSize,
                                         fileLock,
                                         fileUnlock,
                                         fileCheckReservedLock,
                                         fileControl,
                                         fileSectorSize,
                                         fileDeviceCharacteristics,
                                         fileShmMap,
                                         fileShmLock,
                                         fileShmBarrier,
                                         fileShmUnmap,
                                         fileFetch,
                                         fileUnfetch};

int vfsOpen(sqlite3_vfs* vfs, const char* name, sqlite3_file* f, int flags, int* outFlags) {
  HiveFile* file = outer(f);
  memset(file, 0, sizeof *file);
  file->writerLockFd = -1;
  const int hiveFiles = SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_WAL | SQLITE_OPEN_MAIN_JOURNAL;
  if (name && (flags & hiveFiles)) {
    const std::string path = name;
    const std::string hivePath = withoutSuffix(withoutSuffix(path, "-wal"), "-journal");
    const HiveKind kind = *static_cast<const HiveKind*>(vfs->pAppData);
    LONG error = checkHiveFile(hivePath, kind, &file->hive);
    if (error != ERROR_SUCCESS) return refusedResult(error);
    // Whoever may write the hive makes its missing companions.
    const bool mayCreate = faccessat(AT_FDCWD, hivePath.c_str(), W_OK, AT_EACCESS) == 0;
    if (flags & SQLITE_OPEN_MAIN_DB) {
      file->hivePath = new std::string(hivePath);
      file->mayCreate = mayCreate;
    } else {
      struct stat st;
      int rc = prepareCompanion(path, file->hive, mayCreate, &st);
      if (rc != SQLITE_OK) return rc;
    }
  }
  int rc = unixVfs->xOpen(unixVfs, name, inner(f), flags, outFlags);
  if (rc == SQLITE_OK) {
    f->pMethods = &kFileMethods;
  } else {
    f->pMethods = nullptr;
    delete file->hivePath;
    file->hivePath = nullptr;
  }
  return rc;
}

// The rest of the layer is SQLite's unix layer itself.
int vfsDelete(sqlite3_vfs*, const char* name, int syncDir) {
  return unixVfs->xDelete(unixVfs, name, syncDir);
}
int vfsAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
  return unixVfs->xAccess(unixVfs, name, flags, out);
}
int vfsFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  return unixVfs->xFullPathname(unixVfs, name, size, out);
}
void* vfsDlOpen(sqlite3_vfs*, const char* name) { return unixVfs->xDlOpen(unixVfs, name); }
void vfsDlError(sqlite3_vfs*, int size, char* out) { unixVfs->xDlError(unixVfs, size, out); }
void (*vfsDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
  return unixVfs->xDlSym(unixVfs, handle, symbol);
}
void vfsDlClose(sqlite3_vfs*, void* handle) { unixVfs->xDlClose(unixVfs, handle); }
int vfsRandomness(sqlite3_vfs*, int size, char* out) {
  return unixVfs->xRandomness(unixVfs, size, out);
}
int vfsSleep(sqlite3_vfs*, int microseconds) { return unixVfs->xSleep(unixVfs, microseconds); }
int vfsCurrentTime(sqlite3_vfs*, double* out) { return unixVfs->xCurrentTime(unixVfs, out); }
int vfsGetLastError(sqlite3_vfs*, int size, char* out) {
  return unixVfs->xGetLastError(unixVfs, size, out);
}
int vfsCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
  return unixVfs->xCurrentTimeInt64(unixVfs, out);
}

const HiveKind kMachineKind = HiveKind::Machine;
const HiveKind kUserKind = HiveKind::User;
sqlite3_vfs machineVfs, userVfs;
std::once_flag registered;

sqlite3_vfs makeVfs(const char* name, const HiveKind* kind) {
  sqlite3_vfs vfs = {};
  vfs.iVersion = 2;
  vfs.szOsFile = int(kInnerOffset) + unixVfs->szOsFile;
  vfs.mxPathname = unixVfs->mxPathname;
  vfs.zName = name;
  vfs.pAppData = const_cast<HiveKind*>(kind);
  vfs.xOpen = vfsOpen;
  vfs.xDelete = vfsDelete;
  vfs.xAccess = vfsAccess;
  vfs.xFullPathname = vfsFullPathname;
  vfs.xDlOpen = vfsDlOpen;
  vfs.xDlError = vfsDlError;
  vfs.xDlSym = vfsDlSym;
  vfs.xDlClose = vfsDlClose;
  vfs.xRandomness = vfsRandomness;
  vfs.xSleep = vfsSleep;
  vfs.xCurrentTime = vfsCurrentTime;
  vfs.xGetLastError = vfsGetLastError;
  vfs.xCurrentTimeInt64 = vfsCurrentTimeInt64;
  return vfs;
}

}  // namespace

const char* hiveVfs(HiveKind kind) {
  std::call_once(registered, [] {
    unixVfs = sqlite3_vfs_find("unix");
    machineVfs = makeVfs("vintutil-machine-hive", &kMachineKind);
    userVfs = makeVfs("vintutil-user-hive", &kUserKind);
    sqlite3_vfs_register(&machineVfs, 0);
    sqlite3_vfs_register(&userVfs, 0);
  });
  return kind == HiveKind::Machine ? machineVfs.zName : userVfs.zName;
}

}  // namespace vreg
