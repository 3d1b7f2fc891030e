// The read side of the change history (registry_history.h): records, past
// states and the retention settings, each through a history store of its
// own that lives for one call (history_store.h: a hive file's or a served
// hive's).
#include <registry_history.h>
#include <registry_server.h>

#include <algorithm>
#include <map>
#include <unordered_map>

#include "hive_schema.h"
#include "history_store.h"
#include "name_folding.h"

namespace registry_history {
namespace {

using vreg::foldName;
using vreg::HistoryStore;

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

}  // namespace

struct HistoryCursor::State {
  std::unique_ptr<HistoryStore> store;
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
        const LONG result = store->presentValue(key, value, &r->newValue);
        if (result != ERROR_SUCCESS) return result;
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
  LONG result = vreg::openHistoryStore(hive, &s.store);
  bool exists = false, hasHistory = false;
  if (result == ERROR_SUCCESS) result = s.store->openForReading(&exists, &hasHistory);
  if (result != ERROR_SUCCESS || !hasHistory) {
    s.store.reset();
    return result;
  }
  // Key and value folded, as the history's folded keys and names are.
  s.filter = filter;
  s.filter.key = foldName(filter.key);
  if (filter.value) s.filter.value = foldName(*filter.value);
  // Every change of the values read, whatever its time or user: the data
  // a change set is the data before the value's next change.
  return s.store->startRecords(s.filter);
}

LONG HistoryCursor::Next(Record* record) {
  if (!state_ || !state_->store) return ERROR_NO_MORE_ITEMS;
  for (;;) {
    LONG result = state_->store->nextRecord(record);
    if (result != ERROR_SUCCESS) return result;
    if (record->change == Change::ValueSet || record->change == Change::ValueDeleted) {
      result = state_->completeValueSet(record);
      if (result != ERROR_SUCCESS) return result;
    }
    if (state_->matches(*record)) return ERROR_SUCCESS;
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

namespace {

// The subtree of `key` at `time`: its present state with every later change
// undone, its values in creation order where the history knows it.
LONG readPastTree(HistoryStore& store, const std::string& key, int64_t time, PastTree* tree) {
  const std::string folded = foldName(key);
  LONG result = store.readPresent(
      folded, [&](std::string_view path, std::string_view name, const std::optional<Value>& value) {
        tree->addKey(path);
        if (value) tree->setValue(path, name, value);
      });
  if (result != ERROR_SUCCESS) return result;
  result = store.readChangesAfter(folded, time,
                                  [&](Change change, std::string_view path, std::string_view name,
                                      const std::optional<Value>& before) {
                                    switch (change) {
                                      case Change::KeyCreated:
                                        tree->removeKey(path);
                                        break;
                                      case Change::KeyDeleted:
                                        tree->addKey(path);
                                        break;
                                      case Change::ValueSet:
                                      case Change::ValueDeleted:
                                        tree->setValue(path, name, before);
                                        break;
                                      case Change::SettingsChanged:
                                      case Change::PastDataForgotten:
                                        break;
                                    }
                                  });
  if (result != ERROR_SUCCESS) return result;
  return store.readCreations(folded, time,
                             [&](std::string_view path, std::string_view name, int64_t id) {
                               tree->setCreation(path, name, id);
                             });
}

}  // namespace

LONG ReadPastState(HKEY hive, const std::string& key, int64_t time, PastState* state) {
  *state = PastState();
  std::unique_ptr<HistoryStore> store;
  LONG result = vreg::openHistoryStore(hive, &store);
  bool exists = false, hasHistory = false;
  if (result == ERROR_SUCCESS) result = store->openForReading(&exists, &hasHistory);
  if (result != ERROR_SUCCESS) return result;
  if (!exists) {
    // A hive never written: its empty root is all there ever was.
    state->complete = true;
    state->completeSince = INT64_MIN;
    if (key.empty()) state->keys.push_back(KeyState());
    return ERROR_SUCCESS;
  }
  state->completeSince = INT64_MAX;
  if (!hasHistory) return ERROR_SUCCESS;
  Settings settings;
  result = store->readSettings(&settings);
  if (result != ERROR_SUCCESS) return result;
  state->completeSince = settings.completeSince;
  if (time < settings.completeSince) return ERROR_SUCCESS;
  PastTree tree;
  result = readPastTree(*store, key, time, &tree);
  if (result != ERROR_SUCCESS) return result;
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
  std::unique_ptr<HistoryStore> store;
  LONG result = vreg::openHistoryStore(hive, &store);
  bool exists = false, hasHistory = false;
  if (result == ERROR_SUCCESS) result = store->openForReading(&exists, &hasHistory);
  if (result != ERROR_SUCCESS || !hasHistory) return result;
  return store->readSettings(settings);
}

namespace {

// A setting as the data of a REG_QWORD.
Value qword(int64_t value) {
  Value v;
  v.type = vreg::kSettingType;
  for (int i = 0; i < 8; ++i)
    v.data.push_back(static_cast<unsigned char>(uint64_t(value) >> (8 * i)));
  return v;
}

// Changes one setting and records it, when it changes.
LONG changeSetting(HistoryStore& store, const char* name, int64_t value) {
  int64_t old = 0;
  LONG result = store.readSetting(name, &old);
  if (result != ERROR_SUCCESS || old == value) return result;
  result = store.writeSetting(name, value);
  if (result != ERROR_SUCCESS) return result;
  return store.addRecord(vreg::kSettingsChanged, "", std::string(name), qword(old), qword(value));
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
  std::unique_ptr<HistoryStore> store;
  LONG result = vreg::openHistoryStore(hive, &store);
  if (result == ERROR_SUCCESS) result = store->beginWrite();
  const std::pair<const char*, std::optional<int64_t>> changes[] = {
      {vreg::kSettingMaxRecords, maxRecords},
      {vreg::kSettingMaxAgeDays, maxAgeDays},
      {vreg::kSettingMaxBytes, maxBytes}};
  for (const auto& [name, value] : changes) {
    if (value && result == ERROR_SUCCESS) result = changeSetting(*store, name, *value);
  }
  // The new limits hold from now on; the records of their change are the
  // newest and stay.
  if (result == ERROR_SUCCESS) result = store->applyRetention();
  if (result == ERROR_SUCCESS) result = store->commit();
  return result;
}

LONG ForgetPastData(HKEY hive, const std::string& key, const std::optional<std::string>& value) {
  std::unique_ptr<HistoryStore> store;
  LONG result = vreg::openHistoryStore(hive, &store);
  if (result == ERROR_SUCCESS) result = store->beginWrite();
  if (result == ERROR_SUCCESS) {
    const std::optional<std::string> foldedValue =
        value ? std::optional<std::string>(foldName(*value)) : std::nullopt;
    result = store->forgetData(foldName(key), foldedValue);
  }
  if (result == ERROR_SUCCESS)
    result = store->addRecord(vreg::kPastDataForgotten, key, value, std::nullopt, std::nullopt);
  if (result == ERROR_SUCCESS) result = store->commit();
  return result == ERROR_SUCCESS ? store->scrub() : result;
}

void FailNthHistoryRecord(unsigned n) { vreg::failNthHistoryRecord(n); }

}  // namespace registry_history

namespace vreg {

registry_history::Change changeOf(std::string_view text) {
  using registry_history::Change;
  if (text == kKeyCreated) return Change::KeyCreated;
  if (text == kKeyDeleted) return Change::KeyDeleted;
  if (text == kSettingsChanged) return Change::SettingsChanged;
  if (text == kPastDataForgotten) return Change::PastDataForgotten;
  return text == kValueDeleted ? Change::ValueDeleted : Change::ValueSet;
}

LONG openHistoryStore(HKEY hive, std::unique_ptr<HistoryStore>* store) {
  if (hive != HKEY_LOCAL_MACHINE && hive != HKEY_CURRENT_USER) return ERROR_INVALID_HANDLE;
  std::string server = hive == HKEY_LOCAL_MACHINE ? registry_server::machineHiveServer() : "";
  *store = server.empty() ? fileHistoryStore(hive) : servedHistoryStore(std::move(server));
  return ERROR_SUCCESS;
}

}  // namespace vreg
