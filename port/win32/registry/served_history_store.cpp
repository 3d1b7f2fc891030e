// The history of a served hive, on its server (served_schema.h), for the
// history's read side. Reading needs the reader's rights on the hive,
// changing the settings or forgetting the writer's, as any write does.
#include <optional>

#include "client_identity.h"
#include "hive_file.h"
#include "hive_schema.h"
#include "hive_trust.h"
#include "history_store.h"
#include "key_path.h"
#include "name_folding.h"
#include "served_schema.h"
#include "server_connection.h"

namespace vreg {
namespace {

using registry_history::Record;
using registry_history::Settings;
using Value = HistoryStore::Value;

// Records read per round trip, newest first.
constexpr int kRecordsPerBatch = 128;

// SQL: the folded path `column` is the key $1 (folded) or a key below it
// ("" is every key). Paths below P lie between "P\" and "P]" (']' follows
// '\'), a range of the index on folded paths.
std::string inSubtree(const char* column) {
  const std::string c = column;
  return "($1 = ''::bytea OR " + c + " = $1 OR (" + c + " > $1 || '\\x5c'::bytea AND " + c +
         " < $1 || '\\x5d'::bytea))";
}

// The value of a type column and the data column after it. A type without
// data: the data was forgotten.
std::optional<Value> valueAt(const ServerResult& q, int row, int typeColumn) {
  if (q.isNull(row, typeColumn)) return std::nullopt;
  const std::string_view data = q.bytes(row, typeColumn + 1);
  Value v;
  v.type = uint32_t(q.integer(row, typeColumn));
  v.forgotten = q.isNull(row, typeColumn + 1);
  v.data.assign(data.begin(), data.end());
  return v;
}

// ERROR_BADDB when a data column of a row holds more than any value may.
LONG checkValueSizes(const ServerResult& q, std::initializer_list<int> dataColumns) {
  for (int row = 0; row < q.rows(); ++row) {
    for (int column : dataColumns) {
      if (q.bytes(row, column).size() > kMaxValueSize) return ERROR_BADDB;
    }
  }
  return ERROR_SUCCESS;
}

class ServedHistoryStore final : public HistoryStore {
 public:
  explicit ServedHistoryStore(std::string conninfo) : conninfo_(std::move(conninfo)) {}

  LONG openForReading(bool* exists, bool* hasHistory) override {
    *exists = true;
    *hasHistory = false;
    LONG result = server_.open(conninfo_);
    if (result == ERROR_SUCCESS) result = checkServedSchema(server_);
    // One snapshot for every read of the call.
    if (result == ERROR_SUCCESS)
      result = server_.exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY").error();
    int version = 0;
    if (result == ERROR_SUCCESS) result = readVersion(&version);
    *hasHistory = version >= 2;
    return result;
  }

  LONG beginWrite() override {
    LONG result = server_.open(conninfo_);
    if (result == ERROR_SUCCESS) result = checkServedSchema(server_);
    if (result == ERROR_SUCCESS) result = sendClientIdentity(server_);
    int version = 0;
    if (result == ERROR_SUCCESS) result = readVersion(&version);
    if (result == ERROR_SUCCESS && version < 2) {
      recordRefusal(
          "the machine hive's server keeps no history yet: run `vintutil server init` there to "
          "add it");
      return ERROR_NOT_SUPPORTED;
    }
    if (result == ERROR_SUCCESS) result = server_.exec("BEGIN").error();
    // Waits for the hive's writers, as they wait for each other; a role
    // that may not write the hive fails here.
    if (result == ERROR_SUCCESS) result = server_.exec("SELECT vintutil.begin_change()").error();
    return result;
  }

  // A change of the history advances the hive's generation too, so that
  // every generation has its records.
  LONG commit() override {
    LONG result = ERROR_SUCCESS;
    if (recorded_) result = server_.exec("SELECT vintutil.changed()").error();
    if (result == ERROR_SUCCESS) result = server_.exec("COMMIT").error();
    return result;
  }

  LONG readSettings(Settings* settings) override {
    ServerResult q = server_.query(
        (std::string("SELECT vintutil.setting('") + kSettingMaxRecords + "'), vintutil.setting('" +
         kSettingMaxAgeDays + "'), vintutil.setting('" + kSettingMaxBytes +
         "'), vintutil.setting('" + kSettingCompleteSince +
         "'), (SELECT count(*) FROM vintutil.history),"
         " (SELECT coalesce(max(id), 0) FROM vintutil.history), vintutil.history_size()")
            .c_str(),
        ServerParams());
    if (q.error() != ERROR_SUCCESS) return q.error();
    if (q.rows() != 1 || q.isNull(0, 0) || q.isNull(0, 1) || q.isNull(0, 2) || q.isNull(0, 3))
      return ERROR_BADDB;
    settings->maxRecords = q.integer(0, 0);
    settings->maxAgeDays = q.integer(0, 1);
    settings->maxBytes = q.integer(0, 2);
    settings->completeSince = q.integer(0, 3);
    settings->records = q.integer(0, 4);
    settings->newestId = q.integer(0, 5);
    settings->bytes = q.integer(0, 6);
    return ERROR_SUCCESS;
  }

  LONG startRecords(const registry_history::Filter& filter) override {
    filter_ = filter;
    before_ = INT64_MAX;
    batch_ = ServerResult();
    row_ = 0;
    more_ = true;
    return ERROR_SUCCESS;
  }

  LONG nextRecord(Record* record) override {
    if (row_ == batch_.rows()) {
      if (!more_) return ERROR_NO_MORE_ITEMS;
      LONG result = readBatch();
      if (result != ERROR_SUCCESS) return result;
      if (batch_.rows() == 0) return ERROR_NO_MORE_ITEMS;
    }
    const ServerResult& q = batch_;
    const int i = row_++;
    Record& r = *record;
    r.id = before_ = q.integer(i, 0);
    r.time = q.integer(i, 1);
    r.uid = uint32_t(q.integer(i, 2));
    r.user = q.bytes(i, 3);
    r.pid = q.integer(i, 4);
    r.program = q.bytes(i, 5);
    r.role = q.bytes(i, 6);
    r.host = q.bytes(i, 7);
    r.change = changeOf(q.bytes(i, 8));
    r.key = q.bytes(i, 9);
    r.value = q.bytes(i, 10);
    r.allValues = r.change == Change::PastDataForgotten && q.isNull(i, 10);
    r.oldValue = valueAt(q, i, 11);
    r.newValue = valueAt(q, i, 13);
    return ERROR_SUCCESS;
  }

  LONG presentValue(const std::string& key, const std::string& name,
                    std::optional<Value>* value) override {
    ServerResult q = server_.query(
        "SELECT v.type, v.data FROM vintutil.vals v JOIN vintutil.keys k ON k.id = v.key"
        " WHERE k.folded_path = $1 AND v.folded_name = $2",
        ServerParams().bytes(key).bytes(name));
    LONG result = q.error() == ERROR_SUCCESS ? checkValueSizes(q, {1}) : q.error();
    if (result != ERROR_SUCCESS) return result;
    *value = q.rows() ? valueAt(q, 0, 0) : std::nullopt;
    return ERROR_SUCCESS;
  }

  LONG readPresent(const std::string& key, const PresentVisitor& visit) override {
    ServerResult q = server_.query(("SELECT k.path, v.name, v.type, v.data FROM vintutil.keys k"
                                    " LEFT JOIN vintutil.vals v ON v.key = k.id WHERE " +
                                    inSubtree("k.folded_path") + " ORDER BY k.id, v.id")
                                       .c_str(),
                                   ServerParams().bytes(key));
    LONG result = q.error() == ERROR_SUCCESS ? checkValueSizes(q, {3}) : q.error();
    for (int i = 0; result == ERROR_SUCCESS && i < q.rows(); ++i)
      visit(q.bytes(i, 0), q.bytes(i, 1), valueAt(q, i, 2));
    return result;
  }

  LONG readChangesAfter(const std::string& key, int64_t time, const ChangeVisitor& visit) override {
    ServerResult q = server_.query(("SELECT change, key, value, old_type, old_data"
                                    " FROM vintutil.history WHERE time > $2 AND " +
                                    inSubtree("folded_key") + " ORDER BY id DESC")
                                       .c_str(),
                                   ServerParams().bytes(key).integer(time));
    LONG result = q.error() == ERROR_SUCCESS ? checkValueSizes(q, {4}) : q.error();
    for (int i = 0; result == ERROR_SUCCESS && i < q.rows(); ++i)
      visit(changeOf(q.bytes(i, 0)), q.bytes(i, 1), q.bytes(i, 2), valueAt(q, i, 3));
    return result;
  }

  LONG readCreations(const std::string& key, int64_t time, const CreationVisitor& visit) override {
    ServerResult q = server_.query(
        ("SELECT DISTINCT ON (folded_key, folded_value) key, value, id FROM vintutil.history"
         " WHERE time <= $2 AND " +
         inSubtree("folded_key") + " AND change = '" + kValueSet +
         "' AND old_type IS NULL ORDER BY folded_key, folded_value, id DESC")
            .c_str(),
        ServerParams().bytes(key).integer(time));
    for (int i = 0; q.error() == ERROR_SUCCESS && i < q.rows(); ++i)
      visit(q.bytes(i, 0), q.bytes(i, 1), q.integer(i, 2));
    return q.error();
  }

  LONG readSetting(const char* name, int64_t* value) override {
    ServerResult q = server_.query("SELECT value FROM vintutil.settings WHERE name = $1 FOR UPDATE",
                                   ServerParams().bytes(name));
    if (q.error() != ERROR_SUCCESS) return q.error();
    if (q.rows() != 1) return ERROR_BADDB;
    *value = q.integer(0, 0);
    return ERROR_SUCCESS;
  }

  LONG writeSetting(const char* name, int64_t value) override {
    return server_
        .query("UPDATE vintutil.settings SET value = $2 WHERE name = $1",
               ServerParams().bytes(name).integer(value))
        .error();
  }

  LONG addRecord(const char* change, const std::string& key, const std::optional<std::string>& name,
                 const std::optional<Value>& before, const std::optional<Value>& after) override {
    const std::string foldedKey = foldName(key);
    const std::optional<std::string> foldedName =
        name ? std::optional<std::string>(foldName(*name)) : std::nullopt;
    ServerParams params;
    params.bytes(change).bytes(key).bytes(foldedKey).optionalBytes(name).optionalBytes(foldedName);
    for (const std::optional<Value>* v : {&before, &after}) {
      if (*v) {
        params.integer((*v)->type)
            .bytes({reinterpret_cast<const char*>((*v)->data.data()), (*v)->data.size()});
      } else {
        params.null().null();
      }
    }
    LONG result =
        server_.query("SELECT vintutil.add_record($1, $2, $3, $4, $5, $6, $7, $8, $9)", params)
            .error();
    recorded_ = recorded_ || result == ERROR_SUCCESS;
    return result;
  }

  LONG applyRetention() override {
    return server_
        .exec(
            "SELECT vintutil.prune_history((SELECT coalesce(max(id), 0) FROM vintutil.history),"
            " (extract(epoch FROM clock_timestamp()) * 1000000)::bigint)")
        .error();
  }

  // The records hold less afterwards: the size of the records before each
  // is counted again, so that the size limit counts only what is held.
  LONG forgetData(const std::string& key, const std::optional<std::string>& name) override {
    const LONG result =
        server_
            .query(("UPDATE vintutil.history SET old_data = NULL, new_data = NULL WHERE " +
                    inSubtree("folded_key") +
                    " AND ($2::bytea IS NULL OR folded_value = $2) AND value IS NOT NULL"
                    " AND change IN ('" +
                    kValueSet + "', '" + kValueDeleted + "')")
                       .c_str(),
                   ServerParams().bytes(key).optionalBytes(name))
            .error();
    if (result != ERROR_SUCCESS) return result;
    return server_.exec("SELECT vintutil.recount_history_size()").error();
  }

  // The rows' versions that held the data are removed once no transaction
  // may read them any more; the server's write-ahead log and its backups
  // are the server administrator's to keep or drop. Left to autovacuum for
  // a role that does not own the table (the server only warns then).
  LONG scrub() override { return server_.exec("VACUUM vintutil.history").error(); }

 private:
  LONG readVersion(int* version) {
    ServerResult q = server_.query("SELECT version FROM vintutil.hive", ServerParams());
    if (q.error() == ERROR_SUCCESS && q.rows() == 1) *version = int(q.integer(0, 0));
    return q.error();
  }

  LONG readBatch() {
    batch_ = server_.query(
        ("SELECT id, time, uid, os_user, pid, program, role, host, change, key, value,"
         " old_type, old_data, new_type, new_data FROM vintutil.history WHERE " +
         inSubtree("folded_key") +
         " AND ($2::bytea IS NULL OR folded_value = $2) AND id > $3 AND id < $4"
         " AND ($5::boolean OR (value IS NOT NULL AND folded_key = $1) OR (value IS NULL"
         "  AND position('\\x5c'::bytea IN substring(folded_key FROM length($1)"
         "   + CASE WHEN $1 = ''::bytea THEN 1 ELSE 2 END)) = 0))"
         " ORDER BY id DESC LIMIT " +
         std::to_string(kRecordsPerBatch))
            .c_str(),
        ServerParams()
            .bytes(filter_.key)
            .optionalBytes(filter_.value)
            .integer(filter_.afterId)
            .integer(before_)
            .integer(filter_.belowToo));
    row_ = 0;
    more_ = batch_.rows() == kRecordsPerBatch;
    return batch_.error() == ERROR_SUCCESS ? checkValueSizes(batch_, {12, 14}) : batch_.error();
  }

  const std::string conninfo_;
  ServerConnection server_;
  bool recorded_ = false;
  registry_history::Filter filter_;  // the parameters, bound without copies
  int64_t before_ = INT64_MAX;       // the oldest record read so far
  ServerResult batch_;
  int row_ = 0;
  bool more_ = true;
};

}  // namespace

std::unique_ptr<HistoryStore> servedHistoryStore(std::string conninfo) {
  return std::make_unique<ServedHistoryStore>(std::move(conninfo));
}

}  // namespace vreg
