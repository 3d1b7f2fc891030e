// vintutil server init: prepares a PostgreSQL database to serve the machine
// hive, the tables and the roles of its readers and writers.
#include <registry_server.h>

#include <iostream>
#include <memory>

#include "cli_common.h"
#include "commands.h"
#include "registry_tree.h"

namespace {

int InitServer(std::string conninfo) {
  if (conninfo.empty()) conninfo = registry_server::machineHiveServer();
  if (conninfo.empty()) {
    return Fail(
        "no machine hive server is configured: give CONNINFO, or set VINTUTIL_MACHINE_HIVE or "
        "machine_hive in /etc/vintutil/registry.conf");
  }
  std::string message;
  const LONG result = registry_server::initServer(conninfo, &message);
  if (result != ERROR_SUCCESS) {
    return Fail("cannot prepare the machine hive: " +
                (message.empty() ? RegistryErrorText(result) : message));
  }
  std::cout << "The machine hive is ready on " << registry_server::displayableConnInfo(conninfo)
            << ": its tables are in place, and the\n"
            << "roles " << registry_server::kReaderRole << " (may read it) and "
            << registry_server::kWriterRole << " (may also write it) exist.\n"
            << "Grant them to login roles, e.g. GRANT " << registry_server::kWriterRole
            << " TO alice;\n";
  return kExitSuccess;
}

}  // namespace

void AddServerCommand(CLI::App& app, int& status) {
  auto* server = app.add_subcommand("server", "The PostgreSQL server of a shared machine hive");
  server->require_subcommand(1);
  auto conninfo = std::make_shared<std::string>();
  auto* init = server->add_subcommand(
      "init",
      "Create the machine hive's tables in the database CONNINFO names (or upgrade them) and the "
      "roles vintutil_reader and vintutil_writer; running it again changes nothing");
  init->add_option("CONNINFO", *conninfo,
                   "a libpq connection string (\"host=db.example dbname=vintutil\" or "
                   "postgresql://...); default: the configured machine hive server");
  init->callback([conninfo, &status] { status = InitServer(*conninfo); });
}
