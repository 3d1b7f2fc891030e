// The history of a hive file (change_history.h), for the history's read
// side. Reading opens the hive read-only, so whoever may read a hive file
// may read its history and nobody else.
#include <sqlite3.h>

#include <optional>

#include "change_history.h"
#include "hive_connection.h"
#include "hive_file.h"
#include "hive_location.h"
#include "hive_schema.h"
#include "history_store.h"
#include "key_path.h"
#include "sqlite_result.h"
#include "sqlite_statement.h"

namespace vreg {
namespace {

using registry_history::Record;
using registry_history::Settings;
using Value = HistoryStore::Value;

// The registry's own lock timeout for writers.
constexpr int kLockTimeoutMs = 5000;

// SQLITE_TOOBIG when the data column holds more than any value may: only a
// damaged or hostile file does.
int checkValueSize(const StatementUse& q, int dataColumn) {
  return q.bytes(dataColumn) > kMaxValueSize ? SQLITE_TOOBIG : SQLITE_ROW;
}

// The value of a type column and the data column after it. A type without
// data: the data was forgotten.
std::optional<Value> valueAt(const StatementUse& q, int typeColumn) {
  if (q.isNull(typeColumn)) return std::nullopt;
  const BYTE* data = q.blob(typeColumn + 1);
  Value v;
  v.type = uint32_t(q.integer(typeColumn));
  v.forgotten = q.isNull(typeColumn + 1);
  v.data.assign(data, data + q.bytes(typeColumn + 1));
  return v;
}

// SQL: the folded path `column` is the key ?n (folded) or a key below it
// ("" is every key). Paths below P lie between "P\" and "P]" (']' follows
// '\'), a range of the index on folded paths.
std::string inSubtree(const char* column, int n) {
  const std::string p = "?" + std::to_string(n);
  return "(" + p + " = '' OR " + column + " = " + p + " OR (" + column + " > " + p +
         " || '\\' AND " + column + " < " + p + " || ']'))";
}

// Steps `q` through its rows, calling `row` for each; the rows' data column
// `dataColumn` (if any, else -1) checked first. SQLITE_DONE when all went
// well.
template <typename Row>
int eachRow(StatementUse& q, int dataColumn, Row row) {
  int rc;
  while ((rc = q.step()) == SQLITE_ROW &&
         (dataColumn < 0 || (rc = checkValueSize(q, dataColumn)) == SQLITE_ROW))
    row();
  return rc;
}

LONG doneOrError(int rc) { return rc == SQLITE_DONE ? ERROR_SUCCESS : sqliteToWin32(rc); }

class FileHistoryStore final : public HistoryStore {
 public:
  explicit FileHistoryStore(HKEY hive)
      : location_(locateHive(hive == HKEY_LOCAL_MACHINE ? HiveKind::Machine : HiveKind::User)) {}

  ~FileHistoryStore() override {
    records_.reset();
    present_.reset();
    if (db_) exec(inWrite_ ? "ROLLBACK" : "COMMIT");
    sqlite3_close(db_);
  }

  LONG openForReading(bool* exists, bool* hasHistory) override {
    *exists = *hasHistory = false;
    LONG result = hiveFileState(location_.path);
    if (result == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (result == ERROR_SUCCESS) result = open(SQLITE_OPEN_READONLY);
    if (result != ERROR_SUCCESS) return result;
    *exists = true;
    int version = 0;
    int rc = readAsCurrentSchema(db_, &version);
    *hasHistory = version >= 2;
    // The first read of the transaction fixes the state every later read
    // sees.
    if (rc == SQLITE_OK) rc = exec("BEGIN");
    if (rc == SQLITE_OK) rc = exec("SELECT count(*) FROM sqlite_schema");
    return sqliteToWin32(rc);
  }

  LONG beginWrite() override {
    LONG result = hiveWriteAccess(location_.path);
    if (result != ERROR_SUCCESS) return result;
    result = hiveFileState(location_.path);
    if (result == ERROR_FILE_NOT_FOUND) result = createHiveFile(location_);
    if (result == ERROR_SUCCESS) result = open(SQLITE_OPEN_READWRITE);
    if (result != ERROR_SUCCESS) return result;
    // As the registry's own connections: the -wal and -shm files stay for
    // readers who may not create them.
    int persist = 1;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    int rc = exec("PRAGMA synchronous=NORMAL");
    if (rc == SQLITE_OK) rc = upgradeHiveSchema(db_);
    // Changes of the history itself are recorded as the changes of keys and
    // values are, attributed to this process.
    author_.refresh();
    if (rc == SQLITE_OK) rc = registerHistoryFunctions(db_, &author_);
    if (rc == SQLITE_OK) rc = registerNameFolding(db_);
    // What is deleted is overwritten with zeros, in the pages this writes.
    if (rc == SQLITE_OK) rc = exec("PRAGMA secure_delete=ON");
    if (rc == SQLITE_OK) rc = exec("BEGIN IMMEDIATE");
    inWrite_ = rc == SQLITE_OK;
    return sqliteToWin32(rc);
  }

  LONG commit() override {
    inWrite_ = false;
    return sqliteToWin32(exec("COMMIT"));
  }

  LONG readSettings(Settings* settings) override {
    const auto setting = [](const char* name) {
      return std::string("(SELECT value FROM settings WHERE name = '") + name + "'), ";
    };
    Statement q(db_, "SELECT " + setting(kSettingMaxRecords) + setting(kSettingMaxAgeDays) +
                         setting(kSettingMaxBytes) + setting(kSettingCompleteSince) +
                         "(SELECT count(*) FROM history), (SELECT coalesce(max(id), 0) FROM "
                         "history), " +
                         historySizeSql());
    int rc = q.step();
    if (rc != SQLITE_ROW) return sqliteToWin32(rc);
    settings->maxRecords = q.integer(0);
    settings->maxAgeDays = q.integer(1);
    settings->maxBytes = q.integer(2);
    settings->completeSince = q.integer(3);
    settings->records = q.integer(4);
    settings->newestId = q.integer(5);
    settings->bytes = q.integer(6);
    return ERROR_SUCCESS;
  }

  LONG startRecords(const registry_history::Filter& filter) override {
    filter_ = filter;
    records_.emplace(db_,
                     "SELECT id, time, uid, user_name, pid, program, change, key, value,"
                     " old_type, old_data, new_type, new_data FROM history WHERE " +
                         inSubtree("folded_key", 1) +
                         " AND (?2 IS NULL OR fold_name(value) = ?2) AND id > ?5"
                         " AND (?6 OR (value IS NOT NULL AND folded_key = ?1) OR (value IS NULL"
                         "  AND instr(substr(folded_key, length(?1) + (?1 <> '') + 1), '\\') = 0))"
                         " ORDER BY id DESC");
    records_->bind(1, filter_.key)
        .bind(2, filter_.value)
        .bind(5, filter_.afterId)
        .bind(6, int64_t(filter_.belowToo));
    return ERROR_SUCCESS;
  }

  LONG nextRecord(Record* record) override {
    Statement& q = *records_;
    int rc = q.step();
    if (rc == SQLITE_ROW) rc = checkValueSize(q, 10);
    if (rc == SQLITE_ROW) rc = checkValueSize(q, 12);
    if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW) return sqliteToWin32(rc);
    Record& r = *record;
    r.id = q.integer(0);
    r.time = q.integer(1);
    r.uid = uint32_t(q.integer(2));
    r.user = q.text(3);
    r.pid = q.integer(4);
    r.program = q.text(5);
    r.change = changeOf(q.text(6));
    r.key = q.text(7);
    r.value = q.text(8);
    r.allValues = r.change == Change::PastDataForgotten && q.isNull(8);
    r.oldValue = valueAt(q, 9);
    r.newValue = valueAt(q, 11);
    r.role.clear();
    r.host.clear();
    return ERROR_SUCCESS;
  }

  LONG presentValue(const std::string& key, const std::string& name,
                    std::optional<Value>* value) override {
    if (!present_) {
      present_.emplace(db_,
                       "SELECT v.type, v.data FROM vals v JOIN keys k ON k.id = v.key"
                       " WHERE k.folded_path = ?1 AND v.folded_name = ?2");
    }
    present_->reset();
    int rc = present_->bind(1, key).bind(2, name).step();
    if (rc == SQLITE_ROW) rc = checkValueSize(*present_, 1);
    value->reset();
    if (rc == SQLITE_ROW) *value = valueAt(*present_, 0);
    return rc == SQLITE_ROW ? ERROR_SUCCESS : doneOrError(rc);
  }

  LONG readPresent(const std::string& key, const PresentVisitor& visit) override {
    Statement q(db_,
                "SELECT k.path, v.name, v.type, v.data FROM keys k"
                " LEFT JOIN vals v ON v.key = k.id WHERE " +
                    inSubtree("k.folded_path", 1) + " ORDER BY k.id, v.id");
    q.bind(1, key);
    return doneOrError(eachRow(q, 3, [&] { visit(q.text(0), q.text(1), valueAt(q, 2)); }));
  }

  LONG readChangesAfter(const std::string& key, int64_t time, const ChangeVisitor& visit) override {
    Statement q(db_,
                "SELECT change, key, value, old_type, old_data FROM history"
                " WHERE time > ?2 AND " +
                    inSubtree("folded_key", 1) + " ORDER BY id DESC");
    q.bind(1, key).bind(2, time);
    return doneOrError(
        eachRow(q, 4, [&] { visit(changeOf(q.text(0)), q.text(1), q.text(2), valueAt(q, 3)); }));
  }

  LONG readCreations(const std::string& key, int64_t time, const CreationVisitor& visit) override {
    Statement q(db_, "SELECT key, value, max(id) FROM history WHERE time <= ?2 AND " +
                         inSubtree("folded_key", 1) + " AND change = '" + kValueSet +
                         "' AND old_type IS NULL"
                         " GROUP BY folded_key, fold_name(value)");
    q.bind(1, key).bind(2, time);
    return doneOrError(eachRow(q, -1, [&] { visit(q.text(0), q.text(1), q.integer(2)); }));
  }

  LONG readSetting(const char* name, int64_t* value) override {
    Statement q(db_, "SELECT value FROM settings WHERE name = ?1");
    int rc = q.bind(1, std::string_view(name)).step();
    if (rc == SQLITE_ROW) *value = q.integer(0);
    return rc == SQLITE_ROW ? ERROR_SUCCESS
                            : sqliteToWin32(rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
  }

  LONG writeSetting(const char* name, int64_t value) override {
    Statement q(db_, "UPDATE settings SET value = ?2 WHERE name = ?1");
    return doneOrError(q.bind(1, std::string_view(name)).bind(2, value).step());
  }

  LONG addRecord(const char* change, const std::string& key, const std::optional<std::string>& name,
                 const std::optional<Value>& before, const std::optional<Value>& after) override {
    const auto value = [](const std::optional<Value>& v, int n) {
      return v ? "?" + std::to_string(n) + ", ?" + std::to_string(n + 1)
               : std::string("NULL, NULL");
    };
    Statement q(
        db_, insertRecordSql(change, "?1, fold_name(?1)", "?2", value(before, 3), value(after, 5)));
    q.bind(1, key).bind(2, name);
    for (const auto& [v, n] : {std::pair(&before, 3), std::pair(&after, 5)}) {
      if (*v)
        q.bind(n, int64_t((*v)->type)).bindBlob(n + 1, (*v)->data.data(), DWORD((*v)->data.size()));
    }
    return doneOrError(q.step());
  }

  LONG applyRetention() override {
    return sqliteToWin32(exec(pruneHistorySql("(SELECT coalesce(max(id), 0) FROM history)",
                                              std::to_string(microsecondsNow()))));
  }

  LONG forgetData(const std::string& key, const std::optional<std::string>& name) override {
    Statement q(db_, "UPDATE history SET old_data = NULL, new_data = NULL WHERE " +
                         inSubtree("folded_key", 1) +
                         " AND (?2 IS NULL OR fold_name(value) = ?2) AND value IS NOT NULL"
                         " AND change IN ('" +
                         kValueSet + "', '" + kValueDeleted + "')");
    const LONG result = doneOrError(q.bind(1, key).bind(2, name).step());
    // The records hold less now: the size of the records before each is
    // counted again, so that the size limit counts only what is held.
    return result == ERROR_SUCCESS ? sqliteToWin32(exec(recountHistorySizeSql())) : result;
  }

  // The data may still be in the file's free space, written before without
  // zeros, and in the write-ahead log: the file is rewritten (keeping every
  // row and its rowid order) and the log emptied.
  LONG scrub() override {
    int rc = exec("VACUUM");
    if (rc == SQLITE_OK) rc = exec("PRAGMA wal_checkpoint(TRUNCATE)");
    return sqliteToWin32(rc);
  }

 private:
  LONG open(int mode) {
    LONG recognised = recogniseHiveFile(location_.path);
    if (recognised != ERROR_SUCCESS) return recognised;
    int rc = openHiveConnection(location_.path, location_.kind, mode | SQLITE_OPEN_NOMUTEX, &db_);
    if (rc == SQLITE_OK) rc = sqlite3_busy_timeout(db_, kLockTimeoutMs);
    return sqliteToWin32(rc);
  }

  int exec(const std::string& sql) {
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  }

  HiveLocation location_;
  sqlite3* db_ = nullptr;
  bool inWrite_ = false;
  ChangeAuthor author_;
  registry_history::Filter filter_;  // the parameters, bound without copies
  std::optional<Statement> records_;
  std::optional<Statement> present_;
};

}  // namespace

std::unique_ptr<HistoryStore> fileHistoryStore(HKEY hive) {
  return std::make_unique<FileHistoryStore>(hive);
}

}  // namespace vreg
