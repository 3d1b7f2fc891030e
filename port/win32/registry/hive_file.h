// Hive files on disk: recognising one, creating one atomically, and who may
// write it. Nothing here opens a file for writing that is not a hive.
#ifndef VINTUTIL_REGISTRY_HIVE_FILE_H
#define VINTUTIL_REGISTRY_HIVE_FILE_H

#include <windows.h>

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "hive_location.h"

namespace vreg {

// The current time as FILETIME ticks: 100 ns since 1601-01-01.
int64_t fileTimeNow();

// Fills the empty database `db` as a new hive of `kind`: the schema, and the
// keys a new Windows registry has where programs expect them (SOFTWARE in a
// machine hive; Software and Control Panel\International in a user hive).
// One transaction; returns a SQLite result code.
int buildNewHive(sqlite3* db, HiveKind kind);

// ERROR_SUCCESS when the file exists, ERROR_FILE_NOT_FOUND when it does not,
// another code when it cannot be examined.
LONG hiveFileState(const std::string& path);

// ERROR_SUCCESS when the file's header is that of a hive in WAL mode with a
// schema version we know, else ERROR_BADDB. Reads only.
LONG recogniseHiveFile(const std::string& path);

// Creates the hive file (and its directory) complete with its schema, or
// leaves one created meanwhile by another process in place. The file appears
// under its name only once whole, so a crash never leaves a half-made hive.
LONG createHiveFile(const HiveLocation& location);

// ERROR_SUCCESS when this process may write the existing file, or may create
// it where it is missing; else ERROR_ACCESS_DENIED.
LONG hiveWriteAccess(const std::string& path);

}  // namespace vreg

#endif
