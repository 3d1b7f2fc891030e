// The read side of the change history (registry_history.h): records, past
// states and the retention settings, each through a connection of its own
// that lives for one call. Reading opens the hive read-only, so whoever may
// read a hive file may read its history and nobody else.
#include <registry_history.h>
#include <registry_server.h>

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <unordered_map>

#include "change_history.h"
#include "hive_connection.h"
#include "hive_file.h"
#include "hive_schema.h"
#include "name_folding.h"
#include "hive_location.h"
#include "key_path.h"
#include "sqlite_result.h"
#include "sqlite_statement.h"

namespace registry_history {
namespace {

using vreg::sqliteToWin32;
using vreg::Statement;

// The registry's own lock timeout for writers.
constexpr int kLockTimeoutMs = 5000;

using vreg::foldName;

// SQLITE_TOOBIG when the data column holds more than any value may: only a
// damaged or hostile file does.
int checkValueSize(const vreg::StatementUse& q, int dataColumn) {
  return q.bytes(dataColumn) > vreg::kMaxValueSize ? SQLITE_TOOBIG : SQLITE_ROW;
}

// The value of a type column and the data column after it. A type without
// data: the data was forgotten.
std::optional<Value> valueAt(const vreg::StatementUse& q, int typeColumn) {
  if (q.isNull(typeColumn)) return std::nullopt;
  const BYTE* data = q.blob(typeColumn + 1);
  Value v;
  v.type = uint32_t(q.integer(typeColumn));
  v.forgotten = q.isNull(typeColumn + 1);
  v.data.assign(data, data + q.bytes(typeColumn + 1));
  return v;
}

LONG locate(HKEY hive, vreg::HiveLocation* location) {
  if (hive != HKEY_LOCAL_MACHINE && hive != HKEY_CURRENT_USER) return ERROR_INVALID_HANDLE;
  // The history is read from hive files; a served hive keeps none yet.
  if (hive == HKEY_LOCAL_MACHINE && !registry_server::machineHiveServer().empty())
    return ERROR_NOT_SUPPORTED;
  *location =
      vreg::locateHive(hive == HKEY_LOCAL_MACHINE ? vreg::HiveKind::Machine : vreg::HiveKind::User);
  return ERROR_SUCCESS;
}

// A connection to a hive file for one call.
class HiveConnection {
 public:
  ~HiveConnection() { sqlite3_close(db_); }

  // Opens the hive read-only; a hive that does not exist leaves db() null.
  LONG openForReading(HKEY hive) {
    vreg::HiveLocation location;
    LONG result = locate(hive, &location);
    if (result != ERROR_SUCCESS) return result;
    result = vreg::hiveFileState(location.path);
    if (result == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (result == ERROR_SUCCESS) result = open(location, SQLITE_OPEN_READONLY);
    if (result != ERROR_SUCCESS) return result;
    int version = 0;
    int rc = vreg::readAsCurrentSchema(db_, &version);
    hasHistory_ = version >= 2;
    return sqliteToWin32(rc);
  }

  // Opens the hive for writing, creating it when missing and bringing it to
  // the current schema.
  LONG openForWriting(HKEY hive) {
    vreg::HiveLocation location;
    LONG result = locate(hive, &location);
    if (result == ERROR_SUCCESS) result = vreg::hiveWriteAccess(location.path);
    if (result != ERROR_SUCCESS) return result;
    result = vreg::hiveFileState(location.path);
    if (result == ERROR_FILE_NOT_FOUND) result = vreg::createHiveFile(location);
    if (result == ERROR_SUCCESS) result = open(location, SQLITE_OPEN_READWRITE);
    if (result != ERROR_SUCCESS) return result;
    // As the registry's own connections: the -wal and -shm files stay for
    // readers who may not create them.
    int persist = 1;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    int rc = sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = vreg::upgradeHiveSchema(db_);
    // Changes of the history itself are recorded as the changes of keys and
    // values are, attributed to this process.
    author_.refresh();
    if (rc == SQLITE_OK) rc = vreg::registerHistoryFunctions(db_, &author_);
    if (rc == SQLITE_OK) rc = vreg::registerNameFolding(db_);
    hasHistory_ = rc == SQLITE_OK;
    return sqliteToWin32(rc);
  }

  sqlite3* db() const { return db_; }
  bool hasHistory() const { return hasHistory_; }

  int exec(const std::string& sql) {
    return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
  }

 private:
  LONG open(const vreg::HiveLocation& location, int mode) {
    LONG recognised = vreg::recogniseHiveFile(location.path);
    if (recognised != ERROR_SUCCESS) return recognised;
    int rc =
        vreg::openHiveConnection(location.path, location.kind, mode | SQLITE_OPEN_NOMUTEX, &db_);
    if (rc == SQLITE_OK) rc = sqlite3_busy_timeout(db_, kLockTimeoutMs);
    return sqliteToWin32(rc);
  }

  sqlite3* db_ = nullptr;
  bool hasHistory_ = false;
  vreg::ChangeAuthor author_;
};

// A read transaction: every statement in it sees the state of the hive as it
// was when the transaction began (its first read fixes that state).
class ReadTransaction {
 public:
  explicit ReadTransaction(HiveConnection& c) : c_(c) {
    rc_ = c_.exec("BEGIN");
    if (rc_ == SQLITE_OK) rc_ = c_.exec("SELECT count(*) FROM sqlite_schema");
  }
  ~ReadTransaction() { c_.exec("COMMIT"); }
  int started() const { return rc_; }

 private:
  HiveConnection& c_;
  int rc_;
};

// SQL: the folded path `column` is the key ?n (folded) or a key below it
// ("" is every key). Paths below P lie between "P\" and "P]" (']' follows
// '\'), a range of the index on folded paths.
std::string inSubtree(const char* column, int n) {
  const std::string p = "?" + std::to_string(n);
  return "(" + p + " = '' OR " + column + " = " + p + " OR (" + column + " > " + p +
         " || '\\' AND " + column + " < " + p + " || ']'))";
}

Change changeOf(std::string_view text) {
  if (text == vreg::kKeyCreated) return Change::KeyCreated;
  if (text == vreg::kKeyDeleted) return Change::KeyDeleted;
  if (text == vreg::kSettingsChanged) return Change::SettingsChanged;
  if (text == vreg::kPastDataForgotten) return Change::PastDataForgotten;
  return text == vreg::kValueDeleted ? Change::ValueDeleted : Change::ValueSet;
}

// Reads the settings of a hive with history.
LONG readSettings(HiveConnection& c, Settings* settings) {
  const auto setting = [](const char* name) {
    return std::string("(SELECT value FROM settings WHERE name = '") + name + "'), ";
  };
  Statement q(c.db(), "SELECT " + setting(vreg::kSettingMaxRecords) +
                          setting(vreg::kSettingMaxAgeDays) + setting(vreg::kSettingMaxBytes) +
                          setting(vreg::kSettingCompleteSince) +
                          "(SELECT count(*) FROM history), (SELECT coalesce(max(id), 0) FROM "
                          "history), " +
                          vreg::historySizeSql());
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

// A subtree being taken back in time. Keys and values by folded name.
class PastTree {
 public:
  struct PastValue {
    NamedValue value;
    // Creation order: the creating record's id where the history has it;
    // before those, values older than the history in their present order.
    bool recorded = false;
    int64_t order = 0;
  };
  struct PastKey {
    std::string path;
    std::vector<PastValue> values;
  };

  void addKey(std::string_view path) {
    PastKey& key = keys_[foldName(path)];
    if (key.path.empty()) key.path = path;
  }

  void removeKey(std::string_view path) {
    const std::string folded = foldName(path);
    auto it = keys_.lower_bound(folded);
    while (it != keys_.end() &&
           (it->first == folded ||
            (it->first.size() > folded.size() && it->first.compare(0, folded.size(), folded) == 0 &&
             it->first[folded.size()] == '\\'))) {
      it = keys_.erase(it);
    }
  }

  void setValue(std::string_view key, std::string_view name, const std::optional<Value>& v) {
    addKey(key);
    std::vector<PastValue>& values = keys_[foldName(key)].values;
    const std::string folded = foldName(name);
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const PastValue& p) { return foldName(p.value.name) == folded; });
    if (!v) {
      if (it != values.end()) values.erase(it);
    } else if (it != values.end()) {
      it->value.value = *v;
    } else {
      values.push_back({{std::string(name), *v}, false, nextUnrecorded_++});
    }
  }

  void setCreation(std::string_view key, std::string_view name, int64_t recordId) {
    auto k = keys_.find(foldName(key));
    if (k == keys_.end()) return;
    const std::string folded = foldName(name);
    for (PastValue& p : k->second.values) {
      if (foldName(p.value.name) == folded) {
        p.recorded = true;
        p.order = recordId;
      }
    }
  }

  // Parents before children, siblings in case-insensitive order.
  std::vector<KeyState> keys() const {
    std::vector<KeyState> out;
    for (const auto& entry : keys_) {
      KeyState state;
      state.path = entry.second.path;
      std::vector<PastValue> values = entry.second.values;
      std::stable_sort(values.begin(), values.end(), [](const PastValue& a, const PastValue& b) {
        return a.recorded != b.recorded ? !a.recorded : a.order < b.order;
      });
      for (PastValue& p : values) state.values.push_back(std::move(p.value));
      out.push_back(std::move(state));
    }
    return out;
  }

 private:
  // Compares folded paths component by component.
  struct ByComponents {
    bool operator()(const std::string& a, const std::string& b) const {
      const size_t n = std::min(a.size(), b.size());
      for (size_t i = 0; i < n; ++i) {
        if (a[i] == b[i]) continue;
        if (a[i] == '\\') return true;
        if (b[i] == '\\') return false;
        return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
      }
      return a.size() < b.size();
    }
  };
  std::map<std::string, PastKey, ByComponents> keys_;
  int64_t nextUnrecorded_ = 0;
};

// Fills `tree` with the subtree's present keys and values.
int readPresent(HiveConnection& c, const std::string& key, PastTree* tree) {
  Statement q(c.db(),
              "SELECT k.path, v.name, v.type, v.data FROM keys k"
              " LEFT JOIN vals v ON v.key = k.id WHERE " +
                  inSubtree("k.folded_path", 1) + " ORDER BY k.id, v.id");
  const std::string folded = foldName(key);
  q.bind(1, folded);
  int rc;
  while ((rc = q.step()) == SQLITE_ROW && (rc = checkValueSize(q, 3)) == SQLITE_ROW) {
    tree->addKey(q.text(0));
    std::optional<Value> value = valueAt(q, 2);
    if (value) tree->setValue(q.text(0), q.text(1), value);
  }
  return rc;
}

// Undoes every recorded change of the subtree after `time`, newest first.
int undoAfter(HiveConnection& c, const std::string& key, int64_t time, PastTree* tree) {
  Statement q(c.db(),
              "SELECT change, key, value, old_type, old_data FROM history"
              " WHERE time > ?2 AND " +
                  inSubtree("folded_key", 1) + " ORDER BY id DESC");
  const std::string folded = foldName(key);
  q.bind(1, folded).bind(2, time);
  int rc;
  while ((rc = q.step()) == SQLITE_ROW && (rc = checkValueSize(q, 4)) == SQLITE_ROW) {
    switch (changeOf(q.text(0))) {
      case Change::KeyCreated:
        tree->removeKey(q.text(1));
        break;
      case Change::KeyDeleted:
        tree->addKey(q.text(1));
        break;
      case Change::ValueSet:
      case Change::ValueDeleted:
        tree->setValue(q.text(1), q.text(2), valueAt(q, 3));
        break;
      case Change::SettingsChanged:
      case Change::PastDataForgotten:
        break;
    }
  }
  return rc;
}

// Orders the values by the records that created them, up to `time`.
int orderByCreation(HiveConnection& c, const std::string& key, int64_t time, PastTree* tree) {
  Statement q(c.db(), "SELECT key, value, max(id) FROM history WHERE time <= ?2 AND " +
                          inSubtree("folded_key", 1) + " AND change = '" + vreg::kValueSet +
                          "' AND old_type IS NULL"
                          " GROUP BY folded_key, fold_name(value)");
  const std::string folded = foldName(key);
  q.bind(1, folded).bind(2, time);
  int rc;
  while ((rc = q.step()) == SQLITE_ROW) tree->setCreation(q.text(0), q.text(1), q.integer(2));
  return rc;
}

}  // namespace

struct HistoryCursor::State {
  HiveConnection connection;
  std::optional<ReadTransaction> transaction;
  std::optional<Statement> records;
  std::optional<Statement> present;
  // The parameters, bound without copies.
  Filter filter;
  // Of each value (folded key and name) met, the data before its oldest
  // change read so far: what the next older change set it to. Holds each
  // value's data at most once, so no more than the history holds.
  std::unordered_map<std::string, std::optional<Value>> setTo;

  // Completes `r`, a change of a value read newest first, with the data
  // it set when its record does not hold it: the data before the value's
  // next change, or else the present value.
  LONG completeValueSet(Record* r) {
    const std::string key = foldName(r->key), value = foldName(r->value);
    const std::string name = key + '\0' + value;
    auto known = setTo.find(name);
    if (r->change == Change::ValueSet && !r->newValue) {
      if (known != setTo.end()) {
        r->newValue = known->second;
      } else {
        present->reset();
        int rc = present->bind(1, key).bind(2, value).step();
        if (rc == SQLITE_ROW) rc = checkValueSize(*present, 1);
        if (rc == SQLITE_ROW) r->newValue = valueAt(*present, 0);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) return sqliteToWin32(rc);
      }
    }
    if (known != setTo.end()) {
      known->second = r->oldValue;
    } else {
      setTo.emplace(name, r->oldValue);
    }
    return ERROR_SUCCESS;
  }

  bool matches(const Record& r) const {
    return r.time >= filter.since &&
           (!filter.user || r.user == *filter.user || std::to_string(r.uid) == *filter.user);
  }
};

HistoryCursor::HistoryCursor() = default;
HistoryCursor::~HistoryCursor() = default;

LONG HistoryCursor::Open(HKEY hive, const Filter& filter) {
  state_ = std::make_unique<State>();
  State& s = *state_;
  LONG result = s.connection.openForReading(hive);
  if (result != ERROR_SUCCESS || !s.connection.hasHistory()) return result;
  s.transaction.emplace(s.connection);
  if (s.transaction->started() != SQLITE_OK) return sqliteToWin32(s.transaction->started());
  // Key and value folded, as the history's folded keys and names are.
  s.filter = filter;
  s.filter.key = foldName(filter.key);
  if (filter.value) s.filter.value = foldName(*filter.value);
  // Every change of the values read, whatever its time or user: the data
  // a change set is the data before the value's next change.
  s.records.emplace(s.connection.db(),
                    "SELECT id, time, uid, user_name, pid, program, change, key, value,"
                    " old_type, old_data, new_type, new_data FROM history WHERE " +
                        inSubtree("folded_key", 1) +
                        " AND (?2 IS NULL OR fold_name(value) = ?2) AND id > ?5"
                        " AND (?6 OR (value IS NOT NULL AND folded_key = ?1) OR (value IS NULL"
                        "  AND instr(substr(folded_key, length(?1) + (?1 <> '') + 1), '\\') = 0))"
                        " ORDER BY id DESC");
  s.present.emplace(s.connection.db(),
                    "SELECT v.type, v.data FROM vals v JOIN keys k ON k.id = v.key"
                    " WHERE k.folded_path = ?1 AND v.folded_name = ?2");
  s.records->bind(1, s.filter.key)
      .bind(2, s.filter.value)
      .bind(5, s.filter.afterId)
      .bind(6, int64_t(s.filter.belowToo));
  return ERROR_SUCCESS;
}

LONG HistoryCursor::Next(Record* record) {
  if (!state_ || !state_->records) return ERROR_NO_MORE_ITEMS;
  Statement& q = *state_->records;
  for (;;) {
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
    if (r.change == Change::ValueSet || r.change == Change::ValueDeleted) {
      const LONG result = state_->completeValueSet(&r);
      if (result != ERROR_SUCCESS) return result;
    }
    if (state_->matches(r)) return ERROR_SUCCESS;
  }
}

LONG ReadHistory(HKEY hive, const Filter& filter, std::vector<Record>* records) {
  records->clear();
  HistoryCursor cursor;
  LONG result = cursor.Open(hive, filter);
  Record record;
  while (result == ERROR_SUCCESS && (result = cursor.Next(&record)) == ERROR_SUCCESS) {
    records->push_back(std::move(record));
  }
  return result == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : result;
}

LONG ReadPastState(HKEY hive, const std::string& key, int64_t time, PastState* state) {
  *state = PastState();
  HiveConnection c;
  LONG result = c.openForReading(hive);
  if (result != ERROR_SUCCESS) return result;
  if (!c.db()) {
    // A hive never written: its empty root is all there ever was.
    state->complete = true;
    state->completeSince = INT64_MIN;
    if (key.empty()) state->keys.push_back(KeyState());
    return ERROR_SUCCESS;
  }
  state->completeSince = INT64_MAX;
  if (!c.hasHistory()) return ERROR_SUCCESS;
  ReadTransaction transaction(c);
  if (transaction.started() != SQLITE_OK) return sqliteToWin32(transaction.started());
  Settings settings;
  result = readSettings(c, &settings);
  if (result != ERROR_SUCCESS) return result;
  state->completeSince = settings.completeSince;
  if (time < settings.completeSince) return ERROR_SUCCESS;
  PastTree tree;
  int rc = readPresent(c, key, &tree);
  if (rc == SQLITE_DONE) rc = undoAfter(c, key, time, &tree);
  if (rc == SQLITE_DONE) rc = orderByCreation(c, key, time, &tree);
  if (rc != SQLITE_DONE) return sqliteToWin32(rc);
  std::vector<KeyState> keys = tree.keys();
  for (const KeyState& k : keys) {
    for (const NamedValue& v : k.values) {
      if (v.value.forgotten) {
        state->forgotten = k.path + "\\" + v.name;
        return ERROR_SUCCESS;
      }
    }
  }
  state->complete = true;
  state->keys = std::move(keys);
  return ERROR_SUCCESS;
}

LONG ReadHistorySettings(HKEY hive, Settings* settings) {
  *settings = Settings();
  settings->maxRecords = vreg::kDefaultMaxRecords;
  settings->maxAgeDays = vreg::kDefaultMaxAgeDays;
  settings->maxBytes = vreg::kDefaultMaxBytes;
  settings->completeSince = INT64_MAX;
  HiveConnection c;
  LONG result = c.openForReading(hive);
  if (result != ERROR_SUCCESS || !c.hasHistory()) return result;
  return readSettings(c, settings);
}

namespace {

// A write transaction on a hive opened for writing: committed by commit(),
// else rolled back.
class WriteTransaction {
 public:
  explicit WriteTransaction(HiveConnection& c) : c_(c) { rc_ = c_.exec("BEGIN IMMEDIATE"); }
  ~WriteTransaction() {
    if (!ended_) c_.exec("ROLLBACK");
  }
  int started() const { return rc_; }
  int commit() {
    ended_ = true;
    return c_.exec("COMMIT");
  }

 private:
  HiveConnection& c_;
  int rc_;
  bool ended_ = false;
};

// A setting as the data of a REG_QWORD.
std::string qwordBytes(int64_t value) {
  std::string bytes(8, '\0');
  for (int i = 0; i < 8; ++i) bytes[i] = char(uint64_t(value) >> (8 * i));
  return bytes;
}

// Changes one setting and records it, when it changes.
int changeSetting(HiveConnection& c, const char* name, int64_t value) {
  Statement old(c.db(), "SELECT value FROM settings WHERE name = ?1");
  int rc = old.bind(1, std::string_view(name)).step();
  if (rc != SQLITE_ROW) return rc == SQLITE_DONE ? SQLITE_CORRUPT : rc;
  if (old.integer(0) == value) return SQLITE_OK;
  const std::string before = qwordBytes(old.integer(0)), after = qwordBytes(value);
  Statement update(c.db(), "UPDATE settings SET value = ?2 WHERE name = ?1");
  rc = update.bind(1, std::string_view(name)).bind(2, value).step();
  if (rc != SQLITE_DONE) return rc;
  const std::string type = std::to_string(vreg::kSettingType);
  Statement record(c.db(), vreg::insertRecordSql(vreg::kSettingsChanged, "'', ''", "?1",
                                                 type + ", ?2", type + ", ?3"));
  rc = record.bind(1, std::string_view(name))
           .bindBlob(2, reinterpret_cast<const BYTE*>(before.data()), DWORD(before.size()))
           .bindBlob(3, reinterpret_cast<const BYTE*>(after.data()), DWORD(after.size()))
           .step();
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

}  // namespace

LONG ChangeHistorySettings(HKEY hive, std::optional<int64_t> maxRecords,
                           std::optional<int64_t> maxAgeDays, std::optional<int64_t> maxBytes) {
  const auto outside = [](const std::optional<int64_t>& n, int64_t limit) {
    return n && (*n < 1 || *n > limit);
  };
  if (outside(maxRecords, kMaxRecordsLimit) || outside(maxAgeDays, kMaxAgeDaysLimit) ||
      outside(maxBytes, kMaxBytesLimit)) {
    return ERROR_INVALID_PARAMETER;
  }
  HiveConnection c;
  LONG result = c.openForWriting(hive);
  if (result != ERROR_SUCCESS) return result;
  WriteTransaction transaction(c);
  int rc = transaction.started();
  const std::pair<const char*, std::optional<int64_t>> changes[] = {
      {vreg::kSettingMaxRecords, maxRecords},
      {vreg::kSettingMaxAgeDays, maxAgeDays},
      {vreg::kSettingMaxBytes, maxBytes}};
  for (const auto& [name, value] : changes) {
    if (value && rc == SQLITE_OK) rc = changeSetting(c, name, *value);
  }
  // The new limits hold from now on; the records of their change are the
  // newest and stay.
  if (rc == SQLITE_OK) {
    rc = c.exec(vreg::pruneHistorySql("(SELECT coalesce(max(id), 0) FROM history)",
                                      std::to_string(vreg::microsecondsNow())));
  }
  if (rc == SQLITE_OK) rc = transaction.commit();
  return sqliteToWin32(rc);
}

LONG ForgetPastData(HKEY hive, const std::string& key, const std::optional<std::string>& value) {
  HiveConnection c;
  LONG result = c.openForWriting(hive);
  if (result != ERROR_SUCCESS) return result;
  // What is deleted is overwritten with zeros, in the pages this writes.
  int rc = c.exec("PRAGMA secure_delete=ON");
  WriteTransaction transaction(c);
  if (rc == SQLITE_OK) rc = transaction.started();
  if (rc == SQLITE_OK) {
    Statement forget(c.db(), "UPDATE history SET old_data = NULL, new_data = NULL WHERE " +
                                 inSubtree("folded_key", 1) +
                                 " AND (?2 IS NULL OR fold_name(value) = ?2) AND value IS NOT NULL"
                                 " AND change IN ('" +
                                 vreg::kValueSet + "', '" + vreg::kValueDeleted + "')");
    const std::string foldedKey = foldName(key);
    const std::optional<std::string> foldedValue =
        value ? std::optional<std::string>(foldName(*value)) : std::nullopt;
    rc = forget.bind(1, foldedKey).bind(2, foldedValue).step();
    if (rc == SQLITE_DONE) rc = SQLITE_OK;
  }
  if (rc == SQLITE_OK) {
    // The records hold less now: the size of the records before each is
    // counted again, so that the size limit counts only what is held.
    rc = c.exec(vreg::recountHistorySizeSql());
  }
  if (rc == SQLITE_OK) {
    Statement record(c.db(), vreg::insertRecordSql(vreg::kPastDataForgotten, "?1, fold_name(?1)",
                                                   "?2", "NULL, NULL", "NULL, NULL"));
    rc = record.bind(1, key).bind(2, value).step();
    if (rc == SQLITE_DONE) rc = SQLITE_OK;
  }
  if (rc == SQLITE_OK) rc = transaction.commit();
  if (rc != SQLITE_OK) return sqliteToWin32(rc);
  // The data may still be in the file's free space, written before without
  // zeros, and in the write-ahead log: the file is rewritten (keeping every
  // row and its rowid order) and the log emptied.
  rc = c.exec("VACUUM");
  if (rc == SQLITE_OK) rc = c.exec("PRAGMA wal_checkpoint(TRUNCATE)");
  return sqliteToWin32(rc);
}

void FailNthHistoryRecord(unsigned n) { vreg::failNthHistoryRecord(n); }

}  // namespace registry_history
