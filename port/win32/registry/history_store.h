// Where the history's read side (history_reader.cpp) finds a hive's
// history: in a hive file (file_history_store.cpp) or on the server of a
// served hive (served_history_store.cpp). A store is one connection for one
// call, and answers plain questions; what the answers mean (the data a
// change set, a past state, the retention's checks) is the reader's.
//
// Keys and value names passed in are folded (name_folding.h), as the
// history's folded keys and names are; results give them as stored.
#ifndef VINTUTIL_REGISTRY_HISTORY_STORE_H
#define VINTUTIL_REGISTRY_HISTORY_STORE_H

#include <windows.h>

#include <registry_history.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "change_history.h"

namespace vreg {

class HistoryStore {
 public:
  using Value = registry_history::Value;
  using Change = registry_history::Change;

  virtual ~HistoryStore() = default;

  // Opens the history for reading in one read transaction: every later
  // question is answered from the state of the hive when it began.
  // `*exists` false: there is no hive yet; `*hasHistory` false: the hive
  // keeps no history yet (made by an older release).
  virtual LONG openForReading(bool* exists, bool* hasHistory) = 0;
  // Opens the history for changing it (making or upgrading the hive when a
  // file's writer would) and begins a write transaction, which commit()
  // ends; without it, everything written is rolled back.
  // ERROR_ACCESS_DENIED when this process may not write the hive.
  virtual LONG beginWrite() = 0;
  virtual LONG commit() = 0;

  virtual LONG readSettings(registry_history::Settings* settings) = 0;

  // Starts reading the records of `filter` (its key and value folded) that
  // concern its key and value, and its afterId, newest first; the time and
  // user are the reader's to check.
  virtual LONG startRecords(const registry_history::Filter& filter) = 0;
  // ERROR_SUCCESS with the next record, ERROR_NO_MORE_ITEMS after the last.
  virtual LONG nextRecord(registry_history::Record* record) = 0;
  // The present value of a key and name; none when it does not exist.
  virtual LONG presentValue(const std::string& key, const std::string& name,
                            std::optional<Value>* value) = 0;

  // Each present key of the subtree of `key` ("" the hive), key by key in
  // the order created, with each of its values in the order created (none:
  // a key without values).
  using PresentVisitor = std::function<void(std::string_view key, std::string_view name,
                                            const std::optional<Value>& value)>;
  virtual LONG readPresent(const std::string& key, const PresentVisitor& visit) = 0;
  // Each change of the subtree recorded after `time`, newest first: its
  // key, value name and the value before it.
  using ChangeVisitor =
      std::function<void(Change change, std::string_view key, std::string_view name,
                         const std::optional<Value>& before)>;
  virtual LONG readChangesAfter(const std::string& key, int64_t time,
                                const ChangeVisitor& visit) = 0;
  // Of each value of the subtree created (set where it did not exist) up to
  // `time`, the newest such record's id.
  using CreationVisitor =
      std::function<void(std::string_view key, std::string_view name, int64_t id)>;
  virtual LONG readCreations(const std::string& key, int64_t time,
                             const CreationVisitor& visit) = 0;

  // In a write transaction: a retention setting (hive_schema.h names them).
  virtual LONG readSetting(const char* name, int64_t* value) = 0;
  virtual LONG writeSetting(const char* name, int64_t value) = 0;
  // Adds a record of the history itself (kSettingsChanged,
  // kPastDataForgotten), made now by this process; `key` and `name` as
  // given.
  virtual LONG addRecord(const char* change, const std::string& key,
                         const std::optional<std::string>& name, const std::optional<Value>& before,
                         const std::optional<Value>& after) = 0;
  // Brings the history within the retention settings now.
  virtual LONG applyRetention() = 0;
  // Removes the data of the value changes recorded in the subtree of `key`,
  // of the value `name` or of every value.
  virtual LONG forgetData(const std::string& key, const std::optional<std::string>& name) = 0;
  // After a committed forgetting: removes the data from where the storage
  // may still keep old copies of it, as far as it can.
  virtual LONG scrub() = 0;
};

// The store of `hive`'s history: HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER
// (ERROR_INVALID_HANDLE otherwise).
LONG openHistoryStore(HKEY hive, std::unique_ptr<HistoryStore>* store);

std::unique_ptr<HistoryStore> fileHistoryStore(HKEY hive);
std::unique_ptr<HistoryStore> servedHistoryStore(std::string conninfo);

// The change a record's `change` column names.
registry_history::Change changeOf(std::string_view text);

}  // namespace vreg

#endif
