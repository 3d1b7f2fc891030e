#include "hive_connection.h"

#include <algorithm>
#include <mutex>
#include <tuple>
#include <vector>

#include "hive.h"
#include "hive_schema.h"
#include "hive_vfs.h"
#include "key_path.h"

namespace vreg {
namespace {

// SQLite calls the progress handler every kProgressInterval instructions.
constexpr int kProgressInterval = 4096;

// The instructions counted (in steps of kProgressInterval) since the
// statement running on this thread started or last returned a row. Only one
// statement runs on a thread at a time; the counter is reset through the
// trace callback, which SQLite calls as a statement starts and at each row.
thread_local long long workSinceRow = 0;

int countWork(void*) {
  workSinceRow += kProgressInterval;
  return workSinceRow > kStatementWorkLimit;  // non-zero interrupts the statement
}

int restartWork(unsigned, void*, void*, void*) {
  workSinceRow = 0;
  return 0;
}

// An object of a hive's schema (a row of sqlite_schema).
using SchemaObject = std::tuple<std::string, std::string, std::string, std::string>;

int readSchema(sqlite3* db, std::vector<SchemaObject>* objects) {
  sqlite3_stmt* q = nullptr;
  int rc = sqlite3_prepare_v2(db, "SELECT type, name, tbl_name, sql FROM sqlite_schema", -1, &q,
                              nullptr);
  const auto text = [&](int column) {
    const auto p = reinterpret_cast<const char*>(sqlite3_column_text(q, column));
    return std::string(p ? p : "");
  };
  while (rc == SQLITE_OK && (rc = sqlite3_step(q)) == SQLITE_ROW) {
    objects->emplace_back(text(0), text(1), text(2), text(3));
    rc = SQLITE_OK;
  }
  sqlite3_finalize(q);
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// The objects a hive of each schema version holds, as SQLite records them:
// made by this code's own schema statements in a database in memory, and
// read back after each version's statements. Never destroyed: threads of
// the registry's may still open hives while the process exits.
const std::vector<SchemaObject>& ownObjects() {
  static const std::vector<SchemaObject>* const objects = [] {
    auto* made = new std::vector<SchemaObject>;
    sqlite3* db = nullptr;
    sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY, nullptr);
    createHiveSchemaStepByStep(db, [&] { readSchema(db, made); });
    sqlite3_close(db);
    std::sort(made->begin(), made->end());
    made->erase(std::unique(made->begin(), made->end()), made->end());
    return made;
  }();
  return *objects;
}

int checkSchema(sqlite3* db) {
  std::vector<SchemaObject> objects;
  int rc = readSchema(db, &objects);
  if (rc != SQLITE_OK) return rc;
  const std::vector<SchemaObject>& own = ownObjects();
  for (const SchemaObject& object : objects) {
    if (!std::binary_search(own.begin(), own.end(), object)) return SQLITE_CORRUPT;
  }
  return SQLITE_OK;
}

int makeDefensive(sqlite3* db) {
  int rc = sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
  sqlite3_limit(db, SQLITE_LIMIT_LENGTH, int(4 * kMaxValueSize));
  sqlite3_progress_handler(db, kProgressInterval, countWork, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_trace_v2(db, SQLITE_TRACE_STMT | SQLITE_TRACE_ROW, restartWork, nullptr);
  }
  return rc;
}

}  // namespace

int openHiveConnection(const std::string& path, HiveKind kind, int flags, sqlite3** db) {
  int rc = sqlite3_open_v2(path.c_str(), db, flags, hiveVfs(kind));
  // Reading the schema waits, as any statement does, for another
  // connection that is recovering the WAL index of a hive just made or left
  // by a killed writer.
  if (rc == SQLITE_OK) rc = sqlite3_busy_timeout(*db, Hive::lockTimeout());
  if (rc == SQLITE_OK) rc = makeDefensive(*db);
  if (rc == SQLITE_OK) rc = checkSchema(*db);
  if (rc != SQLITE_OK) {
    // Closing without the checkpoint that would write to the file.
    if (*db) sqlite3_db_config(*db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_close(*db);
    *db = nullptr;
  }
  return rc;
}

}  // namespace vreg
