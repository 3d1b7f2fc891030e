// vintutil status: where each hive lives, a file or a server, and whether it
// answers now.
#include <registry_server.h>

#include <algorithm>
#include <chrono>
#include <iomanip>
#include <iostream>
#include <memory>

#include "cli_common.h"
#include "commands.h"
#include "control_escape.h"
#include "history_time.h"
#include "registry_tree.h"
#include "value_format.h"

namespace {

int64_t Now() {
  using namespace std::chrono;
  return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

struct HiveReport {
  const char* root;
  registry_server::HiveStatus status;
  // The writes the server holds that the replica does not yet; -1 when
  // that cannot be known (no replica, or the server does not answer).
  int64_t writesBehind() const {
    if (!status.served || !status.reachable || status.replicaCopiedAt < 0) return -1;
    return status.generation > status.replicaGeneration
               ? int64_t(status.generation - status.replicaGeneration)
               : 0;
  }
  // The replica of a served hive: where, and whether it is current or how
  // old, or "" when the hive is a file.
  std::string replica() const {
    if (!status.served) return "";
    if (status.replicaCopiedAt < 0) return "none yet at " + status.replica;
    const std::string copied = FormatHistoryTime(status.replicaCopiedAt);
    const int64_t age = std::max<int64_t>(0, (Now() - status.replicaCopiedAt) / 1000000);
    const int64_t behind = writesBehind();
    if (behind == 0) return status.replica + ", in step with the server";
    const std::string since = copied + " (" + std::to_string(age) + " s ago)";
    if (behind > 0)
      return status.replica + ", " + std::to_string(behind) +
             " writes behind the server, last in step at " + since;
    return status.replica + ", holds the server as it was at " + since;
  }
  // Why the hive cannot be reached, "" when it can.
  std::string problem() const {
    if (status.reachable) return "";
    return status.problem.empty() ? RegistryErrorText(status.error) : status.problem;
  }
};

void PrintTable(const std::vector<HiveReport>& hives) {
  const std::string indent(sizeof "HKEY_LOCAL_MACHINE" + 1, ' ');
  for (const HiveReport& h : hives) {
    std::cout << std::left << std::setw(int(indent.size())) << h.root
              << (h.status.served ? "server " : "file ") << EscapeControls(h.status.where) << "\n"
              << indent
              << (h.status.reachable ? "reachable"
                                     : "not reachable: " + EscapeControls(h.problem()))
              << "\n";
    if (h.status.served) std::cout << indent << "replica " << EscapeControls(h.replica()) << "\n";
    if (!h.status.note.empty())
      std::cout << indent << "note: " << EscapeControls(h.status.note) << "\n";
  }
}

// A text, or null when there is none.
std::string JsonText(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

void PrintJson(const std::vector<HiveReport>& hives) {
  std::cout << "{\"hives\": [";
  for (size_t i = 0; i < hives.size(); ++i) {
    const registry_server::HiveStatus& s = hives[i].status;
    std::cout << (i ? "," : "") << "\n  {\"root\": " << JsonString(hives[i].root)
              << ", \"served\": " << (s.served ? "true" : "false")
              << ", \"where\": " << JsonString(s.where)
              << ", \"reachable\": " << (s.reachable ? "true" : "false")
              << ", \"problem\": " << JsonText(hives[i].problem())
              << ", \"note\": " << JsonText(s.note) << ", \"replica\": " << JsonText(s.replica)
              << ", \"replica_in_step_at\": "
              << (s.replicaCopiedAt < 0 ? "null" : JsonString(FormatHistoryTime(s.replicaCopiedAt)))
              << ", \"replica_writes_behind\": "
              << (hives[i].writesBehind() < 0 ? "null" : std::to_string(hives[i].writesBehind()))
              << "}";
  }
  std::cout << "\n]}\n";
}

}  // namespace

void AddStatusCommand(CLI::App& app, int& status) {
  auto format = std::make_shared<std::string>("table");
  auto* command = app.add_subcommand(
      "status",
      "Where the hives of HKLM and HKCU live (a file, or a server's connection string without "
      "its password) and whether they can be reached now; exits 1 when one cannot");
  command->add_option("--format", *format, "table (default) or json")
      ->check(CLI::IsMember({"table", "json"}));
  command->callback([format, &status] {
    const std::vector<HiveReport> hives = {
        {"HKEY_LOCAL_MACHINE", registry_server::hiveStatus(HKEY_LOCAL_MACHINE)},
        {"HKEY_CURRENT_USER", registry_server::hiveStatus(HKEY_CURRENT_USER)}};
    if (*format == "json") {
      PrintJson(hives);
    } else {
      PrintTable(hives);
    }
    std::string unreachable;
    for (const HiveReport& h : hives) {
      if (h.status.reachable) continue;
      unreachable += (unreachable.empty() ? "" : "; ") + std::string(h.root) +
                     " cannot be reached: " + h.problem();
    }
    status = unreachable.empty() ? kExitSuccess : Fail(unreachable);
  });
}
