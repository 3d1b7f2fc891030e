// Hive files on disk: recognising one, creating one atomically, and who may
// write it. Nothing here opens a file for writing that is not a hive.
#ifndef VINTUTIL_REGISTRY_HIVE_FILE_H
#define VINTUTIL_REGISTRY_HIVE_FILE_H

#include <windows.h>

#include <cstdint>
#include <string>

#include <sqlite3.h>

#include "hive_location.h"

namespace vreg {

// Marks a SQLite database as a hive ("VREG"), with the version of its schema.
// Version 1 holds keys and values; version 2 adds the change history and the
// hive's settings. A version 1 hive is upgraded by its first writer.
constexpr unsigned kHiveApplicationId = 0x56524547;
constexpr unsigned kHiveSchemaVersion = 2;
constexpr unsigned kOldestHiveSchemaVersion = 1;

// The schema of a version 1 hive: keys by full path (case-insensitive,
// unique) and by parent; values unique per key by case-insensitive name, in
// creation order (rowid). Key 1 is the root, with the empty path.
extern const char* const kHiveSchema;
// What version 2 adds: the history of changes, and the hive's settings
// (name, integer value) holding the history's retention. `completeSince`:
// the time (microseconds since 1970, UTC) from which every change is in the
// history: 0 for a hive created with the history, the time of the upgrade
// for an older one.
std::string historySchema(int64_t completeSince);

// The rows of the settings table.
constexpr const char kSettingMaxRecords[] = "history_max_records";
constexpr const char kSettingMaxAgeDays[] = "history_max_age_days";
// Every change after this time (microseconds since 1970, UTC) is recorded:
// the upgrade, or the newest record retention removed.
constexpr const char kSettingCompleteSince[] = "history_complete_since";
constexpr int64_t kDefaultMaxRecords = 100000;
constexpr int64_t kDefaultMaxAgeDays = 365;

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

// Brings the hive open on `db` (writable, not in a transaction) to the
// current schema version, in one write transaction, and checks that the
// tables of the current version are there (SQLITE_CORRUPT otherwise).
// Returns a SQLite result code.
int upgradeHiveSchema(sqlite3* db);

// Creates the hive file (and its directory) complete with its schema, or
// leaves one created meanwhile by another process in place. The file appears
// under its name only once whole, so a crash never leaves a half-made hive.
LONG createHiveFile(const HiveLocation& location);

// ERROR_SUCCESS when this process may write the existing file, or may create
// it where it is missing; else ERROR_ACCESS_DENIED.
LONG hiveWriteAccess(const std::string& path);

}  // namespace vreg

#endif
