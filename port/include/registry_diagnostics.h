// Diagnostics of the registry stand-in, for tests: not part of the Win32
// surface. They let a test count the handles a piece of code left open and
// make a chosen registry call fail, so that failure paths can be driven
// without tampering with hive files.
#ifndef VINTUTIL_REGISTRY_DIAGNOSTICS_H
#define VINTUTIL_REGISTRY_DIAGNOSTICS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// The registry calls a fault can be attached to.
typedef enum RegDiagCall {
  REGDIAG_OPEN = 1,    // RegOpenKeyExA
  REGDIAG_CREATE = 2,  // RegCreateKeyA, RegCreateKeyExA
  REGDIAG_QUERY = 3,   // RegQueryValueExA
  REGDIAG_SET = 4,     // RegSetValueExA
  REGDIAG_DELETE = 5,  // RegDeleteValueA, RegDeleteKeyA
  REGDIAG_ENUM = 6     // RegEnumKeyExA, RegEnumValueA
} RegDiagCall;

// The storage steps of the Linux registry a fault can be attached to (not
// available on Windows): below the API, where SQLite does the work.
typedef enum RegDiagStorage {
  REGDIAG_PREPARE = 7,     // preparing one of a hive's statements
  REGDIAG_WRITE_STEP = 8,  // a statement run inside a write transaction, its commit included
  REGDIAG_SYNC = 9         // RegFlushKey's sync of the hive's log
} RegDiagStorage;

// Number of registry handles currently open in this process.
WINADVAPI long WINAPI RegDiagOpenHandleCount(void);

// Makes the nth call (1 = the next one) of `call` in this process fail with
// `error`, without touching the hive. Several faults may be pending at once,
// for the same or different calls; each fires once.
WINADVAPI void WINAPI RegDiagFailNth(RegDiagCall call, unsigned n, LONG error);

// Makes the nth storage step (1 = the next one) of kind `step` fail with the
// SQLite result code `sqliteResult`, as if SQLite had returned it there, so
// that a test sees what reaches the caller. Each fires once.
WINADVAPI void WINAPI RegDiagFailStorageNth(RegDiagStorage step, unsigned n, int sqliteResult);

// Drops every pending fault.
WINADVAPI void WINAPI RegDiagClearFaults(void);

// How long a registry write waits for another process's write lock before
// failing with ERROR_BUSY (5000 ms unless set).
WINADVAPI void WINAPI RegDiagSetLockTimeout(DWORD milliseconds);

// Closes the process's hive connections and forgets where the hives are, so
// that the next call locates them anew (VINTUTIL_REGISTRY is read again).
// Handles still open become invalid.
WINADVAPI void WINAPI RegDiagReset(void);

// Copies into `text` (of `size` bytes, terminated, cut to fit) why the
// registry last refused to use a file in this process: the file's name and
// what is wrong with it (its owner, its access, a link). Returns the length
// of the whole reason, 0 when nothing was refused. The command-line tool
// reports it with "access is denied".
WINADVAPI DWORD WINAPI RegDiagLastRefusal(char* text, DWORD size);

#ifdef __cplusplus
}
#endif

#endif /* VINTUTIL_REGISTRY_DIAGNOSTICS_H */
