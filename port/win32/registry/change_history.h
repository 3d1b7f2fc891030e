// The history of a hive's changes, written by the changes themselves.
//
// A writable connection gets TEMP triggers on the keys and values tables:
// every row inserted, replaced or deleted there inserts its record into the
// history table from within the same statement, so a change and its record
// commit or roll back together, whichever write path made the change. The
// records carry the time and the writing process's user and program, taken
// from SQL functions registered on the connection. A trigger on the history
// table keeps it within the hive's retention settings, in the same
// transaction.
#ifndef VINTUTIL_REGISTRY_CHANGE_HISTORY_H
#define VINTUTIL_REGISTRY_CHANGE_HISTORY_H

#include <sqlite3.h>
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace vreg {

// The `change` column of a record.
constexpr const char kKeyCreated[] = "key created";
constexpr const char kKeyDeleted[] = "key deleted";
constexpr const char kValueSet[] = "value set";
constexpr const char kValueDeleted[] = "value deleted";
// Records of the history itself: a retention setting changed (the value
// names it; old and new as REG_QWORD), the past data of a value (all of the
// key's values for a NULL value) forgotten.
constexpr const char kSettingsChanged[] = "history settings changed";
constexpr const char kPastDataForgotten[] = "past data forgotten";

// REG_QWORD, for the settings' records.
constexpr int kSettingType = 11;

// Microseconds since 1970-01-01 UTC.
int64_t microsecondsNow();

// Who makes a connection's changes: taken once per write transaction rather
// than once per record, since each look-up is a system call. The user id is
// read every time (a process may drop privileges); the process id only
// after a fork.
class ChangeAuthor {
 public:
  void refresh();

  uid_t uid() const { return uid_; }
  pid_t pid() const { return pid_; }
  const std::string& userName() const { return userName_; }

 private:
  uid_t uid_ = uid_t(-1);
  pid_t pid_ = 0;
  std::string userName_;
};

// Makes the functions that attribute a record to `author` (which must
// outlive the connection) available to the statements of `db`: history_time(),
// history_uid(), history_user(), history_pid(), history_program(). Returns a
// SQLite result code.
int registerHistoryFunctions(sqlite3* db, const ChangeAuthor* author);

// A statement that inserts one record made now by the author of the
// connection; the arguments are SQL expressions (the key's path and its
// folded path, the value NULL for a key, each of old and new a type and
// data, "NULL, NULL" when absent).
std::string insertRecordSql(const std::string& change, const std::string& key,
                            const std::string& value, const std::string& oldValue,
                            const std::string& newValue);

// Makes every change made through `db` (a writable connection to a hive of
// the current schema) record itself, attributed to `author`, which must
// outlive the connection. Returns a SQLite result code.
int recordChanges(sqlite3* db, const ChangeAuthor* author);

// SQL: the size of the history record `row` (a table name or alias, or
// NEW): the bytes of the data it holds (before and after its change). The
// size limit counts these; the rest of a record is bounded by the record
// limit.
std::string recordSizeSql(const std::string& row);

// SQL: in a query over the history record `row` (an alias), the size of
// all records before it, by id (a window function).
std::string sizeBeforeEachSql(const std::string& row);

// SQL: the size of the records the history holds. Each record holds the
// size of all records made before it (bytes_before), so the sum is the
// newest record's total less the oldest's.
std::string historySizeSql();

// A statement that sets each record's bytes_before from the records before
// it: after an upgrade and after data was forgotten.
std::string recountHistorySizeSql();

// The statements that bring the history within the retention settings:
// remove the oldest records until at most the record limit less 1/64 of it
// remain, their size is at most the size limit less 1/64 of it (the newest
// record stays, whatever its size) and none is older than the age limit,
// and move the time from which the history is complete past the newest one
// removed. `newestId` and `now` are SQL expressions for the newest record's
// id and the current time.
std::string pruneHistorySql(const std::string& newestId, const std::string& now);

// Test fault: the nth history record from now (1 = the next) fails to be
// written, as an I/O error would make it fail.
void failNthHistoryRecord(unsigned n);

}  // namespace vreg

#endif
