// reg history: who changed which key or value when, from what to what; the
// .reg text that restores a key as it was at a chosen time; the retention
// settings of a hive's history.
#include <registry_history.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

#include "cli_common.h"
#include "commands.h"
#include "history_format.h"
#include "history_time.h"
#include "key_path.h"
#include "output_file.h"
#include "reg_file.h"
#include "reg_file_write.h"
#include "registry_tree.h"
#include "value_format.h"

namespace rh = registry_history;

namespace {

struct HistoryOptions {
  std::string key;
  std::string value;
  bool defaultValue = false;
  std::string since;
  std::string user;
  std::string format = "text";
  std::string exportFile;
  std::string at;
  bool force = false;
  std::optional<int64_t> maxRecords;
  std::optional<int64_t> maxAgeDays;
  std::optional<int64_t> maxMiB;
  bool showSettings = false;
  bool forget = false;
};

std::optional<int64_t> TimeArgument(const std::string& text, const char* option, int& status) {
  const auto time = ParseHistoryTime(text);
  if (!time) {
    status = Fail(std::string(option) + " '" + text +
                  "': not an ISO 8601 time such as 2024-06-11T14:30:00Z or 2024-06-11T16:30");
  }
  return time;
}

// The history's reach, for refusals and the settings report.
std::string CompleteSinceText(int64_t completeSince) {
  if (completeSince == INT64_MAX) return "has no history yet";
  if (completeSince <= 0) return "has every change since the hive was created";
  return "has every change since " + FormatHistoryTime(completeSince);
}

int RunList(const HistoryOptions& o, const std::optional<KeyPath>& path) {
  rh::Filter filter;
  int status = kExitSuccess;
  if (path) filter.key = path->subkey;
  if (o.defaultValue) filter.value = "";
  if (!o.value.empty()) filter.value = o.value;
  if (!o.user.empty()) filter.user = o.user;
  if (!o.since.empty()) {
    const auto since = TimeArgument(o.since, "--since", status);
    if (!since) return status;
    filter.since = *since;
  }
  // Each hive's records come newest first by id; the two are merged,
  // newest first by time, one record at a time.
  struct Source {
    HKEY root;
    rh::HistoryCursor cursor;
    std::optional<rh::Record> next;
  };
  std::vector<std::unique_ptr<Source>> sources;
  const auto advance = [](Source& s) {
    rh::Record r;
    const LONG rc = s.cursor.Next(&r);
    s.next.reset();
    if (rc == ERROR_SUCCESS) s.next = std::move(r);
    return rc == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : rc;
  };
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    if (path && path->root != root) continue;
    auto source = std::make_unique<Source>();
    source->root = root;
    LONG rc = source->cursor.Open(root, filter);
    if (rc == ERROR_SUCCESS) rc = advance(*source);
    if (rc != ERROR_SUCCESS) return Fail(FullKey(root, "") + ": " + RegistryErrorText(rc));
    sources.push_back(std::move(source));
  }
  const bool json = o.format == "json";
  bool any = false;
  if (json) std::cout << "[";
  for (;;) {
    Source* newest = nullptr;
    for (const auto& s : sources) {
      if (s->next && (!newest || s->next->time > newest->next->time)) newest = s.get();
    }
    if (!newest) break;
    const HiveRecord h{newest->root, std::move(*newest->next)};
    if (json) {
      std::cout << (any ? ",\n" : "\n") << JsonLine(h);
    } else {
      std::cout << TextLine(h) << "\n";
    }
    any = true;
    const LONG rc = advance(*newest);
    if (rc != ERROR_SUCCESS) {
      std::cout << std::flush;
      return Fail(FullKey(newest->root, "") + ": " + RegistryErrorText(rc));
    }
  }
  if (json) std::cout << (any ? "\n]\n" : "]\n");
  return kExitSuccess;
}

int RunExport(const HistoryOptions& o, const KeyPath& path) {
  int status = kExitSuccess;
  if (path.subkey.empty()) return Fail("--export needs a key below the root");
  if (o.at.empty()) return Fail("--export needs --at TIME: the time whose state to restore");
  const auto at = TimeArgument(o.at, "--at", status);
  if (!at) return status;
  rh::PastState past;
  const LONG rc = rh::ReadPastState(path.root, path.subkey, *at, &past);
  if (rc != ERROR_SUCCESS) return Fail(path.Full() + ": " + RegistryErrorText(rc));
  if (!past.forgotten.empty()) {
    return Fail(path.Full() + ": cannot restore " + o.at + ": the data of " +
                FullKey(path.root, past.forgotten) + " at that time was forgotten");
  }
  if (!past.complete) {
    return Fail(path.Full() + ": cannot restore " + o.at + ": " + FullKey(path.root, "") + " " +
                CompleteSinceText(past.completeSince));
  }
  // The key goes first, whole, so that what was added since disappears.
  RegFile file;
  file.keys.push_back({path.Full(), true, {}, 0});
  for (const rh::KeyState& key : past.keys) {
    RegFileKey block{FullKey(path.root, key.path), false, {}, 0};
    for (const rh::NamedValue& v : key.values) {
      block.values.push_back({v.name, false, v.value.type, v.value.data, 0});
    }
    file.keys.push_back(std::move(block));
  }
  return WriteRegFileTo(file, o.exportFile, o.force, HoldsPrivateData(path.root));
}

constexpr int64_t kMiB = 1 << 20;

// A size in bytes, KiB or MiB, with one decimal when it is not whole.
std::string SizeText(int64_t bytes) {
  char text[40];
  const auto in = [&](int64_t unit, const char* name) {
    if (bytes % unit == 0) {
      std::snprintf(text, sizeof text, "%lld %s", static_cast<long long>(bytes / unit), name);
    } else {
      std::snprintf(text, sizeof text, "%.1f %s", double(bytes) / double(unit), name);
    }
  };
  if (bytes < 1024) {
    in(1, "bytes");
  } else if (bytes < kMiB) {
    in(1024, "KiB");
  } else {
    in(kMiB, "MiB");
  }
  return text;
}

bool ChangesSettings(const HistoryOptions& o) { return o.maxRecords || o.maxAgeDays || o.maxMiB; }

// The settings of the hive named (the machine hive when none is).
int RunSettings(const HistoryOptions& o, std::optional<KeyPath> path) {
  if (!path) path = KeyPath{HKEY_LOCAL_MACHINE, ""};
  if (!path->subkey.empty())
    return Fail("the history settings belong to a hive: name HKLM or HKCU");
  if (ChangesSettings(o)) {
    const auto outside = [](const std::optional<int64_t>& n, int64_t limit) {
      return n && (*n < 1 || *n > limit);
    };
    if (outside(o.maxRecords, rh::kMaxRecordsLimit)) {
      return Fail("--set-limit " + std::to_string(*o.maxRecords) + ": a history keeps 1 to " +
                  std::to_string(rh::kMaxRecordsLimit) + " records");
    }
    if (outside(o.maxAgeDays, rh::kMaxAgeDaysLimit)) {
      return Fail("--set-age " + std::to_string(*o.maxAgeDays) +
                  ": a history keeps records of 1 to " + std::to_string(rh::kMaxAgeDaysLimit) +
                  " days");
    }
    if (outside(o.maxMiB, rh::kMaxBytesLimit / kMiB)) {
      return Fail("--set-size " + std::to_string(*o.maxMiB) + ": a history holds 1 to " +
                  std::to_string(rh::kMaxBytesLimit / kMiB) + " MiB");
    }
    std::optional<int64_t> maxBytes;
    if (o.maxMiB) maxBytes = *o.maxMiB * kMiB;
    const LONG rc = rh::ChangeHistorySettings(path->root, o.maxRecords, o.maxAgeDays, maxBytes);
    if (rc != ERROR_SUCCESS) return Fail(path->Full() + ": " + RegistryErrorText(rc));
  }
  rh::Settings settings;
  const LONG rc = rh::ReadHistorySettings(path->root, &settings);
  if (rc != ERROR_SUCCESS) return Fail(path->Full() + ": " + RegistryErrorText(rc));
  std::cout << path->Full() << ": " << settings.records << " records, " << SizeText(settings.bytes)
            << "; kept: at most " << settings.maxRecords << " records and "
            << SizeText(settings.maxBytes) << ", none older than " << settings.maxAgeDays
            << " days; " << CompleteSinceText(settings.completeSince) << "\n";
  return kExitSuccess;
}

// Removes the past data of the value named, or of every value of KEY and
// the keys below it, from the history.
int RunForget(const HistoryOptions& o, const std::optional<KeyPath>& path) {
  if (!path || path->subkey.empty()) return Fail("--forget needs a KEY below the root");
  std::optional<std::string> value;
  if (o.defaultValue) value = "";
  if (!o.value.empty()) value = o.value;
  const std::string what =
      value ? "the value " + path->Full() + "\\" + (value->empty() ? kDefaultValueName : *value)
            : "every value of " + path->Full() + " and the keys below it";
  const std::string refusal =
      Confirm("Remove the past data of " + what + " from the history for good?", o.force);
  if (!refusal.empty()) return Fail(refusal);
  const LONG rc = rh::ForgetPastData(path->root, path->subkey, value);
  if (rc != ERROR_SUCCESS) return Fail(path->Full() + ": " + RegistryErrorText(rc));
  std::cout << "The history no longer holds the past data of " << what << ".\n";
  return kExitSuccess;
}

int RunHistory(const HistoryOptions& o) {
  std::optional<KeyPath> path;
  if (!o.key.empty()) {
    path = ParseKeyPath(o.key);
    if (!path) return Fail("unknown root in '" + o.key + "': use HKLM\\... or HKCU\\...");
  }
  if (ChangesSettings(o) || o.showSettings) return RunSettings(o, path);
  if (o.forget) return RunForget(o, path);
  if (!o.exportFile.empty()) {
    if (!path) return Fail("--export needs a KEY");
    return RunExport(o, *path);
  }
  return RunList(o, path);
}

}  // namespace

void AddRegHistoryCommand(CLI::App& reg, int& status) {
  auto options = std::make_shared<HistoryOptions>();
  auto* h = reg.add_subcommand(
      "history",
      "Changes of keys and values, newest first: time (UTC), user (role@host on a served "
      "machine hive), program, change, key, "
      "value, old -> new; or the .reg text that restores a key as it was (--export --at); "
      "or the hive's history settings");
  h->add_option("KEY", options->key,
                "HKLM\\path or HKCU\\path: this key and the keys below it (default: both hives)");
  auto* named = h->add_option("--value,-v", options->value, "only the changes of this value (/v)")
                    ->type_name("NAME");
  h->add_flag("--default-value", options->defaultValue,
              "only the changes of the key's default (unnamed) value (/ve)")
      ->excludes(named);
  h->add_option("--since", options->since, "only changes at or after this ISO 8601 time")
      ->type_name("TIME");
  h->add_option("--user", options->user, "only changes by this user (name or user id)")
      ->type_name("NAME");
  h->add_option("--format", options->format, "text (default): one line per change; json")
      ->check(CLI::IsMember({"text", "json"}));
  auto* exportFile =
      h->add_option("--export", options->exportFile,
                    "write a .reg file that deletes KEY and recreates it as it was at --at")
          ->type_name("FILE");
  h->add_option("--at", options->at, "the ISO 8601 time whose state --export restores")
      ->type_name("TIME")
      ->needs(exportFile);
  h->add_flag("--force,-f", options->force,
              "overwrite an existing file, or forget, without asking (/y, /f)");
  h->add_option("--set-limit", options->maxRecords,
                "keep at most this many records in the history of the hive named (HKLM or HKCU; "
                "default HKLM)")
      ->type_name("RECORDS");
  h->add_option("--set-age", options->maxAgeDays,
                "keep no record older than this many days in the hive's history")
      ->type_name("DAYS");
  h->add_option("--set-size", options->maxMiB,
                "keep at most this many MiB of past data in the hive's history, the oldest records "
                "going first; the newest record stays, whatever its size")
      ->type_name("MIB");
  h->add_flag("--settings", options->showSettings, "show the hive's history settings");
  h->add_flag("--forget", options->forget,
              "remove the past data of the value named (--value, --default-value), or of every "
              "value of KEY and the keys below it, from the history; recorded as such")
      ->excludes(exportFile);
  h->callback([options, &status] { status = RunHistory(*options); });
}
