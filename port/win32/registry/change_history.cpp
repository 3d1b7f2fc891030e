#include "change_history.h"

#include <errno.h>
#include <pthread.h>
#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>

#include "hive_schema.h"

namespace vreg {
namespace {

std::atomic<unsigned> recordsUntilFault{0};

// Counts one record against a pending fault; true when it is due now.
bool recordFaultDue() {
  unsigned left = recordsUntilFault.load();
  while (left != 0 && !recordsUntilFault.compare_exchange_weak(left, left - 1)) {
  }
  return left == 1;
}

// The process id, looked up again in a forked child.
std::atomic<pid_t> processId{0};
std::once_flag forkHandlerOnce;

pid_t currentProcessId() {
  std::call_once(forkHandlerOnce, [] { pthread_atfork(nullptr, nullptr, [] { processId = 0; }); });
  pid_t pid = processId.load();
  if (pid == 0) processId = pid = getpid();
  return pid;
}

const ChangeAuthor& authorOf(sqlite3_context* context) {
  return *static_cast<const ChangeAuthor*>(sqlite3_user_data(context));
}

void historyTime(sqlite3_context* context, int, sqlite3_value**) {
  if (recordFaultDue()) {
    sqlite3_result_error_code(context, SQLITE_IOERR_WRITE);
    return;
  }
  sqlite3_result_int64(context, microsecondsNow());
}

void historyUid(sqlite3_context* context, int, sqlite3_value**) {
  sqlite3_result_int64(context, authorOf(context).uid());
}

void historyUser(sqlite3_context* context, int, sqlite3_value**) {
  const std::string& name = authorOf(context).userName();
  sqlite3_result_text(context, name.data(), int(name.size()), SQLITE_STATIC);
}

void historyPid(sqlite3_context* context, int, sqlite3_value**) {
  sqlite3_result_int64(context, authorOf(context).pid());
}

void historyProgram(sqlite3_context* context, int, sqlite3_value**) {
  sqlite3_result_text(context, program_invocation_short_name, -1, SQLITE_STATIC);
}

const struct {
  const char* name;
  void (*function)(sqlite3_context*, int, sqlite3_value**);
} kFunctions[] = {
    {"history_time", historyTime},       {"history_uid", historyUid},
    {"history_user", historyUser},       {"history_pid", historyPid},
    {"history_program", historyProgram},
};

// A row change of keys or vals and the record it makes.
struct RecordedChange {
  const char* trigger;
  const char* event;
  const char* change;
  const char* key;       // SQL: the key's path, then its folded path
  const char* value;     // SQL: the value's name, NULL for a key
  const char* oldValue;  // SQL: type and data before, NULL, NULL when absent
  const char* newValue;  // SQL: type and data after, NULL, NULL when not kept
};

constexpr const char kAbsent[] = "NULL, NULL";
constexpr const char kKeyOfNew[] =
    "(SELECT path FROM keys WHERE id = NEW.key), (SELECT folded_path FROM keys WHERE id = NEW.key)";
constexpr const char kKeyOfOld[] =
    "(SELECT path FROM keys WHERE id = OLD.key), (SELECT folded_path FROM keys WHERE id = OLD.key)";

// The data a change sets is not recorded: it is the value's next record's
// data before, or the present value, so each value's data is held once.
const RecordedChange kRecordedChanges[] = {
    {"history_key_created", "INSERT ON main.keys", kKeyCreated, "NEW.path, NEW.folded_path", "NULL",
     kAbsent, kAbsent},
    {"history_key_deleted", "DELETE ON main.keys", kKeyDeleted, "OLD.path, OLD.folded_path", "NULL",
     kAbsent, kAbsent},
    {"history_value_created", "INSERT ON main.vals", kValueSet, kKeyOfNew, "NEW.name", kAbsent,
     kAbsent},
    {"history_value_replaced", "UPDATE ON main.vals", kValueSet, kKeyOfNew, "NEW.name",
     "OLD.type, OLD.data", kAbsent},
    {"history_value_deleted", "DELETE ON main.vals", kValueDeleted, kKeyOfOld, "OLD.name",
     "OLD.type, OLD.data", kAbsent},
};

std::string setting(const char* name) {
  return std::string("(SELECT value FROM settings WHERE name = '") + name + "')";
}

// SQL: the size of all records made until the record `id`, or the newest
// one, and before the oldest.
std::string sizeThrough(const std::string& id) {
  return "(SELECT h.bytes_before + " + recordSizeSql("h") + " FROM history h WHERE h.id = " + id +
         ")";
}
std::string sizeThroughNewest() {
  return "(SELECT h.bytes_before + " + recordSizeSql("h") +
         " FROM history h ORDER BY h.id DESC LIMIT 1)";
}
std::string sizeBeforeOldest() { return "(SELECT bytes_before FROM history ORDER BY id LIMIT 1)"; }

std::string triggersSql() {
  std::string sql;
  for (const RecordedChange& c : kRecordedChanges) {
    sql += std::string("CREATE TEMP TRIGGER ") + c.trigger + " AFTER " + c.event + " BEGIN " +
           insertRecordSql(c.change, c.key, c.value, c.oldValue, c.newValue) + "; END;";
  }
  // Checked at every record: the oldest record, and the limits in one scan
  // of the settings (a few rows on one page: cheaper than a look-up per
  // limit). The pruning runs once the record limit is passed (then every
  // 1/64 of it), the size limit likewise, or once the oldest record is an
  // hour past the age limit. It is a trigger of its own, on a view that holds
  // nothing: SQLite sets up the memory of a trigger's whole program each
  // time the trigger fires, and the check fires at every record.
  sql +=
      "CREATE TEMP VIEW history_pruning(newest, now) AS SELECT NULL, NULL;"
      "CREATE TEMP TRIGGER history_prune INSTEAD OF INSERT ON history_pruning BEGIN " +
      pruneHistorySql("NEW.newest", "NEW.now") +
      " END;"
      "CREATE TEMP TRIGGER history_retention AFTER INSERT ON main.history WHEN"
      " (SELECT (SELECT max(CASE s.name WHEN '" +
      std::string(kSettingMaxRecords) + "' THEN NEW.id - h.id >= s.value WHEN '" +
      kSettingMaxAgeDays + "' THEN h.time < NEW.time - s.value * 86400000000 - 3600000000 WHEN '" +
      kSettingMaxBytes + "' THEN NEW.bytes_before + " + recordSizeSql("NEW") +
      " - h.bytes_before > s.value END) FROM settings s)"
      " FROM history h ORDER BY h.id LIMIT 1) BEGIN"
      " INSERT INTO history_pruning VALUES(NEW.id, NEW.time); END;";
  return sql;
}

}  // namespace

int64_t microsecondsNow() {
  using namespace std::chrono;
  return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

std::string recordSizeSql(const std::string& row) {
  // length() of a blob column reads the length only, not the data.
  return "(ifnull(length(" + row + ".old_data), 0) + ifnull(length(" + row + ".new_data), 0))";
}

std::string sizeBeforeEachSql(const std::string& row) {
  return "ifnull(sum(" + recordSizeSql(row) + ") OVER (ORDER BY " + row +
         ".id ROWS BETWEEN UNBOUNDED PRECEDING AND 1 PRECEDING), 0)";
}

std::string historySizeSql() {
  return "ifnull(" + sizeThroughNewest() + " - " + sizeBeforeOldest() + ", 0)";
}

std::string recountHistorySizeSql() {
  return "UPDATE history SET bytes_before = counted.bytes FROM (SELECT h.id, " +
         sizeBeforeEachSql("h") +
         " AS bytes FROM history h) AS counted"
         " WHERE history.id = counted.id AND history.bytes_before <> counted.bytes;";
}

std::string pruneHistorySql(const std::string& newestId, const std::string& now) {
  // Records are removed oldest first by id; the first id to keep is the
  // largest of the ones the record, size and age limits allow. The size
  // limit's: the oldest record from which on the records up to the newest
  // fit (bytes_before grows with the id), else the newest.
  const std::string records = setting(kSettingMaxRecords);
  const std::string bytes = setting(kSettingMaxBytes);
  const std::string byRecords = newestId + " - " + records + " + " + records + " / 64 + 1";
  const std::string bySize =
      "coalesce((SELECT id FROM history WHERE bytes_before >= " + sizeThrough(newestId) + " - " +
      bytes + " + " + bytes + " / 64 ORDER BY id LIMIT 1), " + newestId + ")";
  const std::string byAge = "coalesce((SELECT id FROM history WHERE time >= " + now + " - " +
                            setting(kSettingMaxAgeDays) + " * 86400000000 ORDER BY id LIMIT 1), " +
                            newestId + " + 1)";
  const std::string firstKept = "max(" + byRecords + ", " + bySize + ", " + byAge + ")";
  return std::string(
             "UPDATE settings SET value = max(value, coalesce((SELECT max(time) FROM "
             "history WHERE id < ") +
         firstKept + "), value)) WHERE name = '" + kSettingCompleteSince +
         "'; DELETE FROM history WHERE id < " + firstKept + ";";
}

void ChangeAuthor::refresh() {
  pid_ = currentProcessId();
  const uid_t uid = getuid();
  if (uid == uid_) return;
  // The name is looked up only when the user id changes (it may read files).
  struct passwd entry, *found = nullptr;
  char buffer[4096];
  userName_ =
      getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found ? found->pw_name : "";
  uid_ = uid;
}

std::string insertRecordSql(const std::string& change, const std::string& key,
                            const std::string& value, const std::string& oldValue,
                            const std::string& newValue) {
  // The newest record is the last row of the table, where the insert goes.
  return "INSERT INTO history(time, uid, user_name, pid, program, change, key, folded_key, value,"
         " old_type, old_data, new_type, new_data, bytes_before) VALUES(history_time(),"
         " history_uid(), history_user(), history_pid(), history_program(), '" +
         change + "', " + key + ", " + value + ", " + oldValue + ", " + newValue + ", ifnull(" +
         sizeThroughNewest() + ", 0))";
}

int registerHistoryFunctions(sqlite3* db, const ChangeAuthor* author) {
  for (const auto& f : kFunctions) {
    // Direct-only: usable by the connection's own statements and TEMP
    // triggers, never from anything the hive file holds.
    int rc = sqlite3_create_function_v2(db, f.name, 0, SQLITE_UTF8 | SQLITE_DIRECTONLY,
                                        const_cast<ChangeAuthor*>(author), f.function, nullptr,
                                        nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

int recordChanges(sqlite3* db, const ChangeAuthor* author) {
  int rc = registerHistoryFunctions(db, author);
  if (rc != SQLITE_OK) return rc;
  return sqlite3_exec(db, triggersSql().c_str(), nullptr, nullptr, nullptr);
}

void failNthHistoryRecord(unsigned n) { recordsUntilFault.store(n); }

}  // namespace vreg
