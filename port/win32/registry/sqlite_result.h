// SQLite result codes and errno values as the registry's Win32 error codes.
#ifndef VINTUTIL_REGISTRY_SQLITE_RESULT_H
#define VINTUTIL_REGISTRY_SQLITE_RESULT_H

#include <windows.h>

namespace vreg {

// Busy/locked (and WAL lock contention, SQLITE_PROTOCOL): ERROR_BUSY; read-only:
// ERROR_ACCESS_DENIED; full: ERROR_DISK_FULL; corrupt, not a database, or stored data beyond the
// connection's limits: ERROR_BADDB; other failures:
// ERROR_REGISTRY_IO_FAILED.
LONG sqliteToWin32(int rc);

// No permission or a read-only file system: ERROR_ACCESS_DENIED; no space or
// quota left: ERROR_DISK_FULL; ENOENT: `missing`, as the caller knows what
// is missing (ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND); ENOTDIR:
// ERROR_PATH_NOT_FOUND; other failures: ERROR_REGISTRY_IO_FAILED.
LONG errnoToWin32(int error, LONG missing);

}  // namespace vreg

#endif
