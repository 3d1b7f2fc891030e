// reg watch: each change of a key as it happens, one line each as reg history
// prints it, until interrupted; with /s the changes of the keys below it too.
// The registry's change notification wakes the command (it sleeps until a
// change concerns the key); the change history says what changed, by whom,
// from what to what.
#include <registry_history.h>

#include <chrono>
#include <iostream>
#include <memory>
#include <thread>

#include "cli_common.h"
#include "commands.h"
#include "history_format.h"
#include "key_path.h"
#include "registry_tree.h"

namespace rh = registry_history;

namespace {

struct WatchOptions {
  std::string key;
  bool subtree = false;
  std::string format = "text";
};

// Prints the records of the key after `*lastId`, oldest first, a line at a
// time as each is written, and moves `*lastId` on.
LONG PrintChanges(const WatchOptions& o, const KeyPath& path, int64_t* lastId) {
  rh::Filter filter;
  filter.key = path.subkey;
  filter.afterId = *lastId;
  filter.belowToo = o.subtree;
  std::vector<rh::Record> records;
  const LONG rc = rh::ReadHistory(path.root, filter, &records);
  if (rc != ERROR_SUCCESS) return rc;
  for (auto r = records.rbegin(); r != records.rend(); ++r) {
    const HiveRecord h{path.root, std::move(*r)};
    std::cout << (o.format == "json" ? JsonLine(h) : TextLine(h)) << std::endl;
    *lastId = h.record.id;
  }
  return ERROR_SUCCESS;
}

// Reading the registry while writers commit can fail for a moment (busy):
// a call is tried again for up to a second before the command gives up.
template <typename Call>
LONG Persisting(Call call) {
  LONG rc = call();
  for (int tries = 0; (rc == ERROR_BUSY || rc == ERROR_REGISTRY_IO_FAILED) && tries < 100;
       ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    rc = call();
  }
  return rc;
}

int RunWatch(const WatchOptions& o) {
  const std::optional<KeyPath> path = ParseKeyPath(o.key);
  if (!path) return Fail("unknown root in '" + o.key + "': use HKLM\\... or HKCU\\...");
  HKEY key = nullptr;
  LONG rc = Persisting(
      [&] { return RegOpenKeyExA(path->root, path->subkey.c_str(), 0, KEY_NOTIFY, &key); });
  if (rc != ERROR_SUCCESS) return Fail(path->Full() + ": " + RegistryErrorText(rc));
  // Changes from now on: the history's newest record is where they begin.
  rh::Settings settings;
  rc = Persisting([&] { return rh::ReadHistorySettings(path->root, &settings); });
  if (rc != ERROR_SUCCESS) return Fail(path->Full() + ": " + RegistryErrorText(rc));
  int64_t lastId = settings.newestId;
  const HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  // Registered again before each reading of the history, so that no change
  // falls between a reading and the next registration.
  const DWORD filter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
  const auto print = [&] { return PrintChanges(o, *path, &lastId); };
  while ((rc = Persisting([&] {
            return RegNotifyChangeKeyValue(key, o.subtree, filter, event, TRUE);
          })) == ERROR_SUCCESS) {
    rc = Persisting(print);
    if (rc != ERROR_SUCCESS) break;
    WaitForSingleObject(event, INFINITE);
  }
  if (rc == ERROR_KEY_DELETED) Persisting(print);
  CloseHandle(event);
  RegCloseKey(key);
  return Fail(path->Full() + ": " +
              (rc == ERROR_KEY_DELETED ? "the key was deleted" : RegistryErrorText(rc)));
}

}  // namespace

void AddRegWatchCommand(CLI::App& reg, int& status) {
  auto options = std::make_shared<WatchOptions>();
  auto* w = reg.add_subcommand(
      "watch",
      "Each change of KEY as it happens, one line each as reg history prints it (time (UTC), "
      "user, program, change, key, value, old -> new), until interrupted or KEY is deleted");
  w->add_option("KEY", options->key, "HKLM\\path or HKCU\\path")->required();
  w->add_flag("--recursive,-s", options->subtree, "also the changes of every key below KEY (/s)");
  w->add_option("--format", options->format,
                "text (default): one line per change; json: one object per line")
      ->check(CLI::IsMember({"text", "json"}));
  w->callback([options, &status] { status = RunWatch(*options); });
}
