// Where the registry stand-in keeps its hives, for hosts that tell an
// administrator which file to fix or whom to ask. Not part of the Win32
// surface: Windows keeps its hives to itself.
#ifndef VINTUTIL_REGISTRY_LOCATION_H
#define VINTUTIL_REGISTRY_LOCATION_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// The file that holds the hive of `root` (HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER), as the registry functions locate it now: copied with
// its terminating zero into `path` when `size` bytes hold it. Returns the
// length the path needs with its zero (so size 0 asks for it), or 0 for any
// other key and for a machine hive served by a database server (no file
// holds it).
WINADVAPI DWORD WINAPI RegHiveFilePath(HKEY root, LPSTR path, DWORD size);

#ifdef __cplusplus
}
#endif

#endif /* VINTUTIL_REGISTRY_LOCATION_H */
