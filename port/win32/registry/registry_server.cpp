// registry_server.h: where the machine hive is served from, setting up a
// server, and the hives' status.
#include <registry_server.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "file_hive.h"
#include "hive.h"
#include "hive_trust.h"
#include "server_connection.h"
#include "served_replica.h"
#include "served_schema.h"

namespace registry_server {
namespace {

constexpr const char* kConfigFile = "/etc/vintutil/registry.conf";

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") + 1 - first);
}

// Only root may choose where every user's machine settings come from.
std::string configProblem(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) return "";
  if (st.st_uid != 0 || (st.st_mode & (S_IWGRP | S_IWOTH)))
    return std::string(path) + " is ignored: it must be root's and writable by root alone";
  return "";
}

// The machine_hive line of the configuration file; "" when there is none.
std::string configuredServer(const char* path) {
  if (!configProblem(path).empty()) return "";
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    line = trimmed(line);
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    if (trimmed(line.substr(0, equals)) == "machine_hive") return trimmed(line.substr(equals + 1));
  }
  return "";
}

}  // namespace

std::string machineHiveServer() {
  // Set, even empty, the environment decides: "" keeps the local file.
  if (const char* chosen = std::getenv("VINTUTIL_MACHINE_HIVE")) return chosen;
  return configuredServer(kConfigFile);
}

std::string displayableConnInfo(const std::string& conninfo) {
  return vreg::displayableConnInfo(conninfo);
}

LONG initServer(const std::string& conninfo, std::string* message) {
  vreg::ServerConnection server;
  LONG result = server.open(conninfo);
  if (result == ERROR_SUCCESS) result = vreg::installServedSchema(server);
  if (result != ERROR_SUCCESS) *message = vreg::lastRefusal();
  return result;
}

HiveStatus hiveStatus(HKEY root) {
  HiveStatus status;
  const vreg::HiveKind kind =
      root == HKEY_LOCAL_MACHINE ? vreg::HiveKind::Machine : vreg::HiveKind::User;
  const std::string server = kind == vreg::HiveKind::Machine ? machineHiveServer() : "";
  status.served = !server.empty();
  status.where = status.served ? vreg::displayableConnInfo(server) : vreg::locateHive(kind).path;
  if (kind == vreg::HiveKind::Machine && !std::getenv("VINTUTIL_MACHINE_HIVE"))
    status.note = configProblem(kConfigFile);
  vreg::recordRefusal("");
  if (status.served) {
    vreg::ServerConnection connection;
    status.error = connection.open(server);
    if (status.error == ERROR_SUCCESS) status.error = vreg::checkServedSchema(connection);
    if (status.error == ERROR_SUCCESS) {
      vreg::ServerResult now = connection.query("SELECT generation FROM vintutil.hive", {});
      status.error = now.error();
      if (status.error == ERROR_SUCCESS && now.rows() == 1) status.generation = now.integer(0, 0);
    }
    status.replica = vreg::locateMachineReplica().path;
    if (!vreg::ServedReplica::copiedAt(status.replica, &status.replicaCopiedAt,
                                       &status.replicaGeneration))
      status.replicaGeneration = 0;
  } else {
    // Reading the root's counts goes through every layer a program's read does.
    vreg::KeyInfo info;
    status.error = vreg::openHive(kind)->keyInfo(vreg::kRootKey, &info);
  }
  status.reachable = status.error == ERROR_SUCCESS;
  if (!status.reachable) status.problem = vreg::lastRefusal();
  return status;
}

}  // namespace registry_server
