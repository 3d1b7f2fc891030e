// SQLite result codes as the registry's Win32 error codes.
#ifndef VINTUTIL_REGISTRY_SQLITE_RESULT_H
#define VINTUTIL_REGISTRY_SQLITE_RESULT_H

#include <windows.h>

namespace vreg {

// Busy/locked: ERROR_BUSY; read-only: ERROR_ACCESS_DENIED; full:
// ERROR_DISK_FULL; corrupt or not a database: ERROR_BADDB; other failures:
// ERROR_REGISTRY_IO_FAILED.
LONG sqliteToWin32(int rc);

}  // namespace vreg

#endif
