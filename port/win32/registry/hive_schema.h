// The tables of a hive and how a hive of an older version becomes current:
// a chain of steps, one per version, each run once by the hive's first
// writer of a newer release, in the one transaction that checks the version.
#ifndef VINTUTIL_REGISTRY_HIVE_SCHEMA_H
#define VINTUTIL_REGISTRY_HIVE_SCHEMA_H

#include <sqlite3.h>

#include <cstdint>
#include <functional>

namespace vreg {

// Marks a SQLite database as a hive ("VREG"), with the version of its schema
// (PRAGMA user_version). Version 1 holds keys and values; 2 adds the change
// history and the hive's settings; 3 stores every name and path folded as
// Windows compares names (name_folding.h), beside the name as given; from 4
// on, a record of a value set holds the data before the change only (the
// data after it is the value's next record's data before, or the present
// value), so an older release, which would show it as absent, refuses it;
// 5 bounds the history's size: each record holds the size of all records
// made before it (history.bytes_before), which an older release would leave
// out of the records it adds.
constexpr unsigned kHiveApplicationId = 0x56524547;
constexpr unsigned kHiveSchemaVersion = 5;
constexpr unsigned kOldestHiveSchemaVersion = 1;

// The rows of the settings table.
constexpr const char kSettingMaxRecords[] = "history_max_records";
constexpr const char kSettingMaxAgeDays[] = "history_max_age_days";
constexpr const char kSettingMaxBytes[] = "history_max_bytes";
// Every change after this time (microseconds since 1970, UTC) is recorded:
// 0 for a hive created with the history, else the upgrade that added it, or
// the newest record retention removed.
constexpr const char kSettingCompleteSince[] = "history_complete_since";
constexpr int64_t kDefaultMaxRecords = 100000;
constexpr int64_t kDefaultMaxAgeDays = 365;
constexpr int64_t kDefaultMaxBytes = int64_t(64) << 20;

// Makes the SQL function fold_name(text) available on `db`: the folded form
// of a name (name_folding.h); NULL stays NULL.
int registerNameFolding(sqlite3* db);

// Writes the schema of a new hive into the empty database `db`, within the
// caller's transaction. Returns a SQLite result code.
int createHiveSchema(sqlite3* db);

// Makes a new hive's schema in the empty database `db` one version at a
// time, calling `afterStep` after each: what every version's objects look
// like, for recognising them in a file. Returns a SQLite result code.
int createHiveSchemaStepByStep(sqlite3* db, const std::function<void()>& afterStep);

// Brings the hive open on `db` (writable, not in a transaction) to the
// current schema version, in one write transaction, and checks that the
// tables of the current version are there (SQLITE_CORRUPT otherwise).
// Returns a SQLite result code.
int upgradeHiveSchema(sqlite3* db);

// For a connection that may not write the hive: when its schema is older
// than the current one, shows the current tables as temporary views over
// the stored ones (slower, since the folded columns have no index), so that
// the same statements read every version. `*version` receives the stored
// version. Returns a SQLite result code.
int readAsCurrentSchema(sqlite3* db, int* version);

}  // namespace vreg

#endif
