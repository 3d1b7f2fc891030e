#include "sqlite_result.h"

#include <errno.h>

#include <sqlite3.h>

namespace vreg {

LONG sqliteToWin32(int rc) {
  switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_ROW:
    case SQLITE_DONE:
      return ERROR_SUCCESS;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    // Lock contention in the WAL index that outlasted SQLite's retries.
    case SQLITE_PROTOCOL:
      return ERROR_BUSY;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return ERROR_ACCESS_DENIED;
    case SQLITE_NOMEM:
      return ERROR_OUTOFMEMORY;
    case SQLITE_FULL:
      return ERROR_DISK_FULL;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_SCHEMA:
    case SQLITE_FORMAT:
    // Only stored data can exceed the connection's limits: the callers check
    // what they write.
    case SQLITE_TOOBIG:
      return ERROR_BADDB;
    case SQLITE_CANTOPEN:
      return ERROR_CANTOPEN;
    default:
      return ERROR_REGISTRY_IO_FAILED;
  }
}

LONG errnoToWin32(int error, LONG missing) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENOENT:
      return missing;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    default:
      return ERROR_REGISTRY_IO_FAILED;
  }
}

}  // namespace vreg
