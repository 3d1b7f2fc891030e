// Hive files on disk: recognising one, creating one atomically, and who may
// write it. Nothing here opens a file for writing that is not a hive.
#ifndef VINTUTIL_REGISTRY_HIVE_FILE_H
#define VINTUTIL_REGISTRY_HIVE_FILE_H

#include <windows.h>

#include <string>

#include "hive_location.h"

namespace vreg {

// Marks a SQLite database as a hive ("VREG"), with the version of its schema.
constexpr unsigned kHiveApplicationId = 0x56524547;
constexpr unsigned kHiveSchemaVersion = 1;

// The schema of a new hive: keys by full path (case-insensitive, unique) and
// by parent; values unique per key by case-insensitive name, in creation
// order (rowid). Key 1 is the root, with the empty path.
extern const char* const kHiveSchema;

// ERROR_SUCCESS when the file exists, ERROR_FILE_NOT_FOUND when it does not,
// another code when it cannot be examined.
LONG hiveFileState(const std::string& path);

// ERROR_SUCCESS when the file's header is that of a hive in WAL mode with our
// schema version, else ERROR_BADDB. Reads only.
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
