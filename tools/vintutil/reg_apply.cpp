#include "reg_apply.h"

#include <optional>

#include "key_path.h"
#include "refusal_reason.h"
#include "registry_tree.h"

namespace {

// One recorded change, and how to take it back.
struct UndoStep {
  enum Kind {
    kDeleteCreatedKey,  // the import created `path` (and what lies below it)
    kRestoreValue,      // `value` is what the key held before (remove: it had none)
    kRestoreTree,       // `tree` is the subtree a deletion removed
  } kind;
  KeyPath path;
  RegFileValue value;
  std::vector<RegFileKey> tree;
};

struct PlannedKey {
  KeyPath path;
  const RegFileKey* block;
};

// The first key on the way down to `path` that does not exist yet.
std::optional<KeyPath> FirstMissingKey(const KeyPath& path) {
  KeyPath partial{path.root, ""};
  size_t start = 0;
  while (start <= path.subkey.size()) {
    const size_t end = path.subkey.find('\\', start);
    partial = partial.Child(path.subkey.substr(start, end - start));
    if (!KeyExists(partial)) return partial;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return std::nullopt;
}

class HiveTransaction {
 public:
  explicit HiveTransaction(const std::function<void()>& onChange) : onChange_(onChange) {}

  // Applies one key block; on failure *error says what failed.
  bool Apply(const PlannedKey& planned, std::string* error) {
    onChange_();
    const std::string where = "line " + std::to_string(planned.block->line) + ", ";
    if (planned.block->remove) {
      if (!KeyExists(planned.path)) return true;  // regedit ignores a missing key too
      UndoStep step{UndoStep::kRestoreTree, planned.path, {}, {}};
      LONG rc = ReadTree(planned.path, step.tree);
      if (rc == ERROR_SUCCESS) {
        undo_.push_back(std::move(step));
        rc = DeleteTree(planned.path);
      }
      return Check(rc, planned.path, nullptr, 0, where + "deleting " + planned.path.Full(), error);
    }
    if (auto missing = FirstMissingKey(planned.path)) {
      undo_.push_back(UndoStep{UndoStep::kDeleteCreatedKey, *missing, {}, {}});
    }
    KeyHandle key;
    if (!Check(key.Create(planned.path), planned.path, nullptr, 0, where + planned.path.Full(),
               error)) {
      return false;
    }
    for (const RegFileValue& value : planned.block->values) {
      onChange_();
      UndoStep step{UndoStep::kRestoreValue, planned.path, {}, {}};
      if (ReadValue(key.get(), value.name, step.value) != ERROR_SUCCESS) {
        step.value = RegFileValue{};
        step.value.name = value.name;
        step.value.remove = true;
        if (value.remove) continue;  // deleting a value that is not there: nothing to do
      }
      undo_.push_back(std::move(step));
      const std::string what = "line " + std::to_string(value.line) + ", " + planned.path.Full() +
                               ", value " + (value.name.empty() ? "@" : "\"" + value.name + "\"");
      if (!Check(WriteValue(key.get(), value), planned.path, &value.name, value.data.size(), what,
                 error)) {
        return false;
      }
    }
    return true;
  }

  // Takes back every recorded change, newest first. False when some could
  // not be taken back.
  bool Rollback() {
    bool complete = true;
    for (auto step = undo_.rbegin(); step != undo_.rend(); ++step) {
      complete &= Undo(*step) == ERROR_SUCCESS;
    }
    undo_.clear();
    return complete;
  }

 private:
  // True for success; otherwise *error says what failed and why.
  static bool Check(LONG rc, const KeyPath& path, const std::string* valueName, size_t dataSize,
                    const std::string& what, std::string* error) {
    if (rc == ERROR_SUCCESS) return true;
    *error = what + ": " + RefusalReason(rc, path, valueName, dataSize);
    return false;
  }

  static LONG Undo(const UndoStep& step) {
    switch (step.kind) {
      case UndoStep::kDeleteCreatedKey: {
        // A key the registry refused to create (a name beyond its limits)
        // is not there to delete.
        if (!KeyExists(step.path)) return ERROR_SUCCESS;
        const LONG rc = DeleteTree(step.path);
        return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
      }
      case UndoStep::kRestoreValue: {
        KeyHandle key;
        LONG rc = key.Open(step.path, KEY_SET_VALUE);
        if (rc == ERROR_SUCCESS) rc = WriteValue(key.get(), step.value);
        return rc == ERROR_FILE_NOT_FOUND && step.value.remove ? ERROR_SUCCESS : rc;
      }
      case UndoStep::kRestoreTree:
        for (const RegFileKey& block : step.tree) {
          KeyHandle key;
          LONG rc = key.Create(*ParseKeyPath(block.path));
          for (const RegFileValue& value : block.values) {
            if (rc == ERROR_SUCCESS) rc = WriteValue(key.get(), value);
          }
          if (rc != ERROR_SUCCESS) return rc;
        }
        return ERROR_SUCCESS;
    }
    return ERROR_INVALID_PARAMETER;
  }

  const std::function<void()>& onChange_;
  std::vector<UndoStep> undo_;
};

}  // namespace

size_t ChangeCount(const RegFile& file) {
  size_t count = 0;
  for (const RegFileKey& block : file.keys) count += 1 + block.values.size();
  return count;
}

ApplyResult ApplyRegFile(const RegFile& file, const std::function<void(size_t applied)>& onChange) {
  ApplyResult result;
  size_t applied = 0;
  const std::function<void()> counted = [&] {
    if (onChange) onChange(++applied);
  };
  const HKEY hives[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
  std::vector<PlannedKey> planned;
  for (const RegFileKey& block : file.keys) {
    const auto path = ParseKeyPath(block.path);
    const bool rootRemoval = path && path->subkey.empty() && block.remove;
    if (!path || rootRemoval) {
      result.ok = false;
      result.failures.push_back("line " + std::to_string(block.line) + ": '" + block.path + "' " +
                                (path ? "is a root key, which cannot be deleted"
                                      : "is not under HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER") +
                                "; nothing was imported");
      return result;
    }
    planned.push_back(PlannedKey{*path, &block});
  }
  std::vector<std::string> changed;  // the hives whose part was applied whole
  for (HKEY hive : hives) {
    HiveTransaction transaction(counted);
    std::string error;
    const std::string hiveName = KeyPath{hive, ""}.Full();
    bool touched = false;
    bool failed = false;
    for (const PlannedKey& key : planned) {
      if (key.path.root != hive) continue;
      touched = true;
      if (transaction.Apply(key, &error)) continue;
      failed = true;
      result.ok = false;
      result.failures.push_back(error + (transaction.Rollback()
                                             ? "; nothing of " + hiveName + " was changed"
                                             : "; undoing the changes to " + hiveName +
                                                   " failed too, it is changed in part"));
      break;
    }
    if (touched && !failed) changed.push_back(hiveName);
  }
  // Each hive is changed whole or not at all: a part that went in stays.
  for (const std::string& hiveName : changed) {
    for (std::string& failure : result.failures) {
      failure += "; the changes to " + hiveName + " were made and are kept";
    }
  }
  return result;
}
