// Applies a parsed .reg file to the registry, all or nothing per hive.
//
// The registry offers no transaction that spans calls, so each hive's part
// is applied with an undo log: before every change, what it replaces is
// recorded (the value it overwrites or deletes, the subtree a [-KEY] removes,
// the first key it has to create); at the first failure the log is played
// back in reverse and the hive is as it was before the import.
#ifndef VINTUTIL_CLI_REG_APPLY_H
#define VINTUTIL_CLI_REG_APPLY_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "reg_file.h"

struct ApplyResult {
  bool ok = true;
  // One line per hive that was not changed, or was changed only in part
  // because its undo failed too; each names the other hive when that one's
  // changes were made and kept.
  std::vector<std::string> failures;
};

// Checks every key path first: a root other than HKEY_LOCAL_MACHINE and
// HKEY_CURRENT_USER (or their short names), or the deletion of a root key,
// refuses the whole file before anything is changed.
// `onChange`, when given, is told the number of each change as it is made,
// out of ChangeCount(file).
ApplyResult ApplyRegFile(const RegFile& file,
                         const std::function<void(size_t applied)>& onChange = {});

// The changes a file makes: one per key block and one per value line.
size_t ChangeCount(const RegFile& file);

#endif
