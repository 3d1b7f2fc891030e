#include "hive_schema.h"

#include <errno.h>

#include <string>

#include "change_history.h"
#include "name_folding.h"
#include "sqlite_statement.h"

namespace vreg {
namespace {

// Version 1: keys by full path (unique when ASCII letters are folded) and by
// parent; values unique per key by name, in creation order (rowid). Key 1
// is the root, with the empty path.
const char kVersion1[] =
    "CREATE TABLE keys("
    // Never reused: a handle to a deleted key must not reach a later one.
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER REFERENCES keys(id),"
    "  name TEXT NOT NULL,"
    "  path TEXT NOT NULL UNIQUE COLLATE NOCASE,"
    "  written INTEGER NOT NULL);"
    "CREATE INDEX keys_by_parent ON keys(parent, name COLLATE NOCASE);"
    "CREATE TABLE vals("
    "  key INTEGER NOT NULL REFERENCES keys(id),"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  UNIQUE(key, name));"
    "INSERT INTO keys(id, parent, name, path, written) VALUES(1, NULL, '', '', 0);";

// Version 2: the history of changes and the hive's settings (name, integer
// value) holding the history's retention.
std::string version2(int64_t completeSince) {
  return std::string(
             "CREATE TABLE history("
             "  id INTEGER PRIMARY KEY,"
             "  time INTEGER NOT NULL,"
             "  uid INTEGER NOT NULL,"
             "  user_name TEXT NOT NULL,"
             "  pid INTEGER NOT NULL,"
             "  program TEXT NOT NULL,"
             "  change TEXT NOT NULL,"
             "  key TEXT NOT NULL,"
             "  value TEXT,"
             "  old_type INTEGER, old_data BLOB,"
             "  new_type INTEGER, new_data BLOB);"
             "CREATE TABLE settings(name TEXT PRIMARY KEY, value INTEGER NOT NULL) WITHOUT ROWID;"
             "INSERT INTO settings(name, value) VALUES('") +
         kSettingMaxRecords + "', " + std::to_string(kDefaultMaxRecords) + "), ('" +
         kSettingMaxAgeDays + "', " + std::to_string(kDefaultMaxAgeDays) + "), ('" +
         kSettingCompleteSince + "', " + std::to_string(completeSince) + ");";
}

// Version 3: names and paths compared in their folded form, kept beside the
// form given. Keys and values that version 2 held apart but folding makes
// one (`Ключ` and `КЛЮЧ`) become one: the oldest key keeps its place and
// takes the others' subkeys and values; of values that become one, the
// oldest stays and the others are recorded in the history as deleted, with
// their data. The history gets the folded key of each record, indexed.
std::string version3(const ChangeAuthor& author, int64_t now) {
  char* merged = sqlite3_mprintf(
      "INSERT INTO history(time, uid, user_name, pid, program, change, key, value,"
      " old_type, old_data, new_type, new_data)"
      " SELECT %lld, %lld, %Q, %lld, %Q, %Q, k.path, v.name, v.type, v.data, NULL, NULL"
      " FROM main.vals v JOIN main.keys k ON k.id = v.key"
      " WHERE v.rowid NOT IN (SELECT id FROM vals_folded);",
      static_cast<long long>(now), static_cast<long long>(author.uid()), author.userName().c_str(),
      static_cast<long long>(author.pid()), program_invocation_short_name, kValueDeleted);
  std::string mergedValues(merged ? merged : "");
  sqlite3_free(merged);
  return
      // Each key and the oldest key of its folded path.
      "CREATE TEMP TABLE key_survivor(id INTEGER PRIMARY KEY, survivor INTEGER NOT NULL,"
      " folded_path TEXT NOT NULL);"
      "INSERT INTO key_survivor SELECT id, min(id) OVER (PARTITION BY folded_path), folded_path"
      " FROM (SELECT id, fold_name(path) AS folded_path FROM main.keys);"
      "CREATE TABLE keys_folded("
      "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
      "  parent INTEGER REFERENCES keys(id),"
      "  name TEXT NOT NULL,"
      "  folded_name TEXT NOT NULL,"
      "  path TEXT NOT NULL,"
      "  folded_path TEXT NOT NULL UNIQUE,"
      "  written INTEGER NOT NULL);"
      "INSERT INTO keys_folded(id, parent, name, folded_name, path, folded_path, written)"
      " SELECT k.id, (SELECT survivor FROM key_survivor WHERE id = k.parent), k.name,"
      " fold_name(k.name), k.path, s.folded_path, k.written"
      " FROM main.keys k JOIN key_survivor s ON s.id = k.id WHERE s.survivor = k.id;"
      // Ids of deleted keys stay unused.
      "UPDATE sqlite_sequence SET seq = max(seq, coalesce((SELECT seq FROM sqlite_sequence"
      " WHERE name = 'keys'), 0)) WHERE name = 'keys_folded';"
      "CREATE TABLE vals_folded("
      "  id INTEGER PRIMARY KEY,"
      "  key INTEGER NOT NULL REFERENCES keys(id),"
      "  name TEXT NOT NULL,"
      "  folded_name TEXT NOT NULL,"
      "  type INTEGER NOT NULL,"
      "  data BLOB NOT NULL,"
      "  UNIQUE(key, folded_name));"
      "INSERT OR IGNORE INTO vals_folded(id, key, name, folded_name, type, data)"
      " SELECT v.rowid, s.survivor, v.name, fold_name(v.name), v.type, v.data"
      " FROM main.vals v JOIN key_survivor s ON s.id = v.key"
      " ORDER BY s.survivor = v.key DESC, v.rowid;" +
      mergedValues +
      "DROP TABLE vals; DROP TABLE keys; DROP TABLE temp.key_survivor;"
      "ALTER TABLE keys_folded RENAME TO keys;"
      "ALTER TABLE vals_folded RENAME TO vals;"
      "CREATE INDEX keys_by_parent ON keys(parent, folded_name);"
      // Values in creation order, for enumeration.
      "CREATE INDEX vals_by_key ON vals(key, id);"
      "ALTER TABLE history ADD COLUMN folded_key TEXT;"
      "UPDATE history SET folded_key = fold_name(key);"
      "CREATE INDEX history_by_key ON history(folded_key, id);";
}

// Version 5: each history record holds the size of the records made before
// it, so that the history's size is known from its oldest and newest
// records; the size limit. The history is made anew to place the size
// before the data: a column after a large blob is read through the blob's
// overflow pages.
std::string version5() {
  const char columns[] =
      "uid, user_name, pid, program, change, key, value, old_type, old_data, new_type, new_data,"
      " folded_key";
  return std::string(
             "CREATE TABLE history_sized("
             "  id INTEGER PRIMARY KEY,"
             "  time INTEGER NOT NULL,"
             "  bytes_before INTEGER NOT NULL,"
             "  uid INTEGER NOT NULL,"
             "  user_name TEXT NOT NULL,"
             "  pid INTEGER NOT NULL,"
             "  program TEXT NOT NULL,"
             "  change TEXT NOT NULL,"
             "  key TEXT NOT NULL,"
             "  value TEXT,"
             "  old_type INTEGER, old_data BLOB,"
             "  new_type INTEGER, new_data BLOB,"
             "  folded_key TEXT);"
             "INSERT INTO history_sized(id, time, bytes_before, ") +
         columns + ") SELECT h.id, h.time, " + sizeBeforeEachSql("h") + ", " + columns +
         " FROM history h ORDER BY h.id;"
         "DROP TABLE history;"
         "ALTER TABLE history_sized RENAME TO history;"
         "CREATE INDEX history_by_key ON history(folded_key, id);"
         "INSERT INTO settings(name, value) VALUES('" +
         kSettingMaxBytes + "', " + std::to_string(kDefaultMaxBytes) + ");";
}

// One step of the chain: the SQL that takes a hive from the version before
// to `version`. `created`: the hive is being made, not upgraded.
struct UpgradeStep {
  unsigned version;
  std::string (*sql)(bool created);
};

ChangeAuthor currentAuthor() {
  ChangeAuthor author;
  author.refresh();
  return author;
}

const UpgradeStep kUpgradeSteps[] = {
    {1, [](bool) { return std::string(kVersion1); }},
    {2, [](bool created) { return version2(created ? 0 : microsecondsNow()); }},
    {3, [](bool) { return version3(currentAuthor(), microsecondsNow()); }},
    // What new records hold changes, not the tables; records made before
    // keep the data after their change and are read as they are.
    {4, [](bool) { return std::string(); }},
    {5, [](bool) { return version5(); }},
};
static_assert(sizeof kUpgradeSteps / sizeof kUpgradeSteps[0] == kHiveSchemaVersion,
              "one step per version");

void foldNameFunction(sqlite3_context* context, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  const char* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  if (!text) {
    sqlite3_result_error_nomem(context);
    return;
  }
  std::string folded = foldName(std::string_view(text, size_t(sqlite3_value_bytes(argv[0]))));
  sqlite3_result_text(context, folded.data(), int(folded.size()), SQLITE_TRANSIENT);
}

int exec(sqlite3* db, const std::string& sql) {
  return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

int storedVersion(sqlite3* db, int* version) {
  sqlite3_stmt* query = nullptr;
  int rc =
      sqlite3_prepare_v2(db, "SELECT user_version FROM pragma_user_version", -1, &query, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_step(query);
  if (rc == SQLITE_ROW) {
    *version = sqlite3_column_int(query, 0);
    rc = SQLITE_OK;
  }
  sqlite3_finalize(query);
  return rc;
}

// SQLITE_OK when the tables and columns of the current version are there.
int checkCurrentTables(sqlite3* db) {
  return checkHolds(
      db,
      "SELECT (SELECT count(*) FROM sqlite_schema WHERE type = 'table'"
      "  AND name IN ('keys', 'vals', 'history', 'settings')) = 4"
      " AND EXISTS(SELECT 1 FROM pragma_table_info('keys') WHERE name = 'folded_path')"
      " AND EXISTS(SELECT 1 FROM pragma_table_info('vals') WHERE name = 'folded_name')"
      " AND EXISTS(SELECT 1 FROM pragma_table_info('history') WHERE name = 'folded_key')"
      " AND EXISTS(SELECT 1 FROM pragma_table_info('history') WHERE name = 'bytes_before')");
}

// Runs the steps after `from` up to the current version and records it.
int applySteps(sqlite3* db, int from, bool created) {
  int rc = registerNameFolding(db);
  for (const UpgradeStep& step : kUpgradeSteps) {
    if (rc != SQLITE_OK) break;
    if (int(step.version) > from) rc = exec(db, step.sql(created));
  }
  if (rc == SQLITE_OK) rc = exec(db, "PRAGMA user_version=" + std::to_string(kHiveSchemaVersion));
  return rc;
}

// Runs `body` in a BEGIN IMMEDIATE transaction, committed when it succeeds.
template <typename Body>
int inWriteTransaction(sqlite3* db, Body body) {
  int rc = exec(db, "BEGIN IMMEDIATE");
  if (rc != SQLITE_OK) return rc;
  rc = body();
  int ended = exec(db, rc == SQLITE_OK ? "COMMIT" : "ROLLBACK");
  return rc == SQLITE_OK ? ended : rc;
}

}  // namespace

int registerNameFolding(sqlite3* db) {
  return sqlite3_create_function_v2(db, "fold_name", 1,
                                    SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY, nullptr,
                                    foldNameFunction, nullptr, nullptr, nullptr);
}

int createHiveSchema(sqlite3* db) {
  int rc = applySteps(db, 0, true);
  if (rc == SQLITE_OK) rc = exec(db, "PRAGMA application_id=" + std::to_string(kHiveApplicationId));
  return rc;
}

int createHiveSchemaStepByStep(sqlite3* db, const std::function<void()>& afterStep) {
  int rc = registerNameFolding(db);
  for (const UpgradeStep& step : kUpgradeSteps) {
    if (rc == SQLITE_OK) rc = exec(db, step.sql(true));
    if (rc == SQLITE_OK) afterStep();
  }
  return rc;
}

int upgradeHiveSchema(sqlite3* db) {
  // IMMEDIATE: of several processes upgrading at once, one does it and the
  // others find the hive current when they get the lock.
  return inWriteTransaction(db, [&] {
    int version = 0;
    int rc = storedVersion(db, &version);
    if (rc != SQLITE_OK) return rc;
    if (version < int(kOldestHiveSchemaVersion) || version > int(kHiveSchemaVersion))
      return SQLITE_CORRUPT;
    if (version < int(kHiveSchemaVersion)) rc = applySteps(db, version, false);
    return rc == SQLITE_OK ? checkCurrentTables(db) : rc;
  });
}

int readAsCurrentSchema(sqlite3* db, int* version) {
  int rc = registerNameFolding(db);
  if (rc == SQLITE_OK) rc = storedVersion(db, version);
  if (rc != SQLITE_OK || *version >= int(kHiveSchemaVersion)) return rc;
  // TEMP objects come first in name resolution, so these views stand in
  // for the stored tables of the same names.
  std::string views;
  if (*version < 3) {
    views +=
        "CREATE TEMP VIEW keys AS SELECT id, parent, name, fold_name(name) AS folded_name, path,"
        " fold_name(path) AS folded_path, written FROM main.keys;"
        "CREATE TEMP VIEW vals AS SELECT rowid AS id, key, name, fold_name(name) AS folded_name,"
        " type, data FROM main.vals;";
  }
  if (*version >= 2) {
    // The size of the records before each, summed where it is read (the
    // size of the history, in the settings).
    views += std::string("CREATE TEMP VIEW history AS SELECT r.*,") +
             (*version < 3 ? " fold_name(r.key) AS folded_key," : "") + " (SELECT ifnull(sum(" +
             recordSizeSql("h") +
             "), 0) FROM main.history h WHERE h.id < r.id) AS bytes_before FROM main.history r;"
             "CREATE TEMP VIEW settings AS SELECT name, value FROM main.settings UNION ALL"
             " VALUES('" +
             kSettingMaxBytes + "', " + std::to_string(kDefaultMaxBytes) + ");";
  }
  return views.empty() ? SQLITE_OK : exec(db, views);
}

}  // namespace vreg
