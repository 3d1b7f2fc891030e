// The change history of the registry stand-in's hives, for hosts that show
// it (vintutil reg history) and for tests: not part of the Win32 surface.
//
// Every change of a hive (value set or deleted, key created or deleted) is
// recorded in the hive with its change, by the change's own transaction.
// Nothing here writes records of changes: the history is read here; the
// hive's retention settings can be changed and a value's past data
// forgotten, each recorded in turn. The history of HKEY_LOCAL_MACHINE
// is readable by whoever may read the machine hive (on its server, when it
// is served: registry_server.h); HKEY_CURRENT_USER is the calling user's own
// hive and history. Linux only.
#ifndef VINTUTIL_PORT_REGISTRY_HISTORY_H
#define VINTUTIL_PORT_REGISTRY_HISTORY_H

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace registry_history {

// SettingsChanged: a retention setting (Record::value names it, old and new
// as REG_QWORD); PastDataForgotten: the past data of a value (or, with an
// empty Record::value, of every value) of the key and the keys below it.
enum class Change {
  KeyCreated,
  KeyDeleted,
  ValueSet,
  ValueDeleted,
  SettingsChanged,
  PastDataForgotten
};

struct Value {
  uint32_t type = 0;
  std::vector<unsigned char> data;
  bool forgotten = false;  // the data was removed from the history (`data` empty)

  bool operator==(const Value& o) const {
    return type == o.type && data == o.data && forgotten == o.forgotten;
  }
};

struct Record {
  int64_t id = 0;    // order of the changes in the hive
  int64_t time = 0;  // microseconds since 1970-01-01 UTC
  uint32_t uid = 0;
  std::string user;  // empty when the user id has no name
  int64_t pid = 0;
  std::string program;
  // A served machine hive's: the database role that made the change, and
  // the host name its client gave (uid, user, pid and program are what the
  // client said of itself, the role what the server vouches for). Empty for
  // a hive file.
  std::string role;
  std::string host;
  Change change = Change::ValueSet;
  std::string key;                // full path below the hive's root, case as stored
  std::string value;              // the value's name ("" the default value); empty for a key
  bool allValues = false;         // PastDataForgotten of every value of the key
  std::optional<Value> oldValue;  // absent: the value did not exist before
  std::optional<Value> newValue;  // absent: the value does not exist after
};

// Which records to read. Names compare case-insensitively.
struct Filter {
  std::string key;                   // this key and the keys below it; "" the whole hive
  std::optional<std::string> value;  // only this value's changes
  int64_t since = INT64_MIN;         // only records of this time or later
  std::optional<std::string> user;   // only this user's (name, or user id in decimal)
  int64_t afterId = 0;               // only records after this one (Record::id)
  // False: of the keys below `key`, only their creation and deletion
  // directly below it; `key`'s own values and deletion are always included.
  bool belowToo = true;
};

struct Settings {
  int64_t maxRecords = 0;
  int64_t maxAgeDays = 0;
  // The size of the data (before and after each change) the records may
  // hold together, in bytes. The oldest records go first; the newest stays,
  // whatever its size.
  int64_t maxBytes = 0;
  // Every change after this time is in the history; INT64_MAX when the hive
  // has no history yet (not created, or not yet upgraded by a writer).
  int64_t completeSince = 0;
  int64_t records = 0;   // records held now
  int64_t bytes = 0;     // their size, as maxBytes counts it
  int64_t newestId = 0;  // the newest record's id; 0 when there is none
};

struct NamedValue {
  std::string name;
  Value value;
};

struct KeyState {
  std::string path;  // full path below the hive's root
  std::vector<NamedValue> values;
};

// The keys and values of a subtree at a past time.
struct PastState {
  // False when the history does not reach back to that time, or when the
  // data of a value then was forgotten since (`keys` empty).
  bool complete = false;
  int64_t completeSince = 0;
  // The value whose data was forgotten: its key's full path, '\', its name.
  std::string forgotten;
  // The key and the keys below it that existed then, parents before
  // children, siblings in case-insensitive order; none when the key did not
  // exist. Values in creation order where the history knows it.
  std::vector<KeyState> keys;
};

// Reads the records of `hive` (HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER) that
// match `filter`, newest first, one at a time: memory does not grow with
// the history. It reads one state of the hive, as it was when opened,
// whatever is written meanwhile. A hive that does not exist has none.
class HistoryCursor {
 public:
  WINADVAPI HistoryCursor();
  WINADVAPI ~HistoryCursor();
  HistoryCursor(const HistoryCursor&) = delete;
  HistoryCursor& operator=(const HistoryCursor&) = delete;

  WINADVAPI LONG Open(HKEY hive, const Filter& filter);
  // ERROR_SUCCESS with the next record, ERROR_NO_MORE_ITEMS after the last.
  WINADVAPI LONG Next(Record* record);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Every record at once: a HistoryCursor read to its end.
WINADVAPI LONG ReadHistory(HKEY hive, const Filter& filter, std::vector<Record>* records);

// The state of `key` (full path below the root, "" the whole hive) and its
// subkeys at `time`: the present state with every later change undone.
WINADVAPI LONG ReadPastState(HKEY hive, const std::string& key, int64_t time, PastState* state);

WINADVAPI LONG ReadHistorySettings(HKEY hive, Settings* settings);

// The retention's bounds: a history keeps 1 to kMaxRecordsLimit records,
// none older than 1 to kMaxAgeDaysLimit days, of 1 to kMaxBytesLimit bytes.
constexpr int64_t kMaxRecordsLimit = 1000000000;
constexpr int64_t kMaxAgeDaysLimit = 100000;
constexpr int64_t kMaxBytesLimit = int64_t(1) << 40;

// Changes the retention (within the bounds above, ERROR_INVALID_PARAMETER
// otherwise) and applies it at once; each setting changed is recorded
// (SettingsChanged). Needs write access to the hive (ERROR_ACCESS_DENIED
// otherwise).
WINADVAPI LONG ChangeHistorySettings(HKEY hive, std::optional<int64_t> maxRecords,
                                     std::optional<int64_t> maxAgeDays,
                                     std::optional<int64_t> maxBytes = std::nullopt);

// Removes the past data of `value` (every value when absent) of `key` and
// the keys below it from the history: their records keep the change, type,
// time and writer, with the data forgotten. The present values stay. Then
// rewrites the hive file, so that the data is gone from its free space and
// from the write-ahead log too (as far as no other process is reading an
// older state of the hive at that moment). Recorded as PastDataForgotten.
// Needs write access to the hive.
WINADVAPI LONG ForgetPastData(HKEY hive, const std::string& key,
                              const std::optional<std::string>& value);

// Test fault: the nth history record from now (1 = the next) in this process
// fails to be written, so its change fails with ERROR_REGISTRY_IO_FAILED and
// is rolled back.
WINADVAPI void FailNthHistoryRecord(unsigned n);

}  // namespace registry_history

#endif /* VINTUTIL_PORT_REGISTRY_HISTORY_H */
