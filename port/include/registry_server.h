// The machine hive served by a PostgreSQL server, for hosts that set one up
// or report on it (vintutil server init, vintutil status) and for tests: not
// part of the Win32 surface. Linux only.
//
// The machine hive is served when the environment variable
// VINTUTIL_MACHINE_HIVE, or else the line "machine_hive = ..." in
// /etc/vintutil/registry.conf, holds a libpq connection string (URI or
// key=value form); unset or empty, it is the local file. Passwords come only
// through libpq's own mechanisms (.pgpass, service files, PGPASSWORD).
#ifndef VINTUTIL_PORT_REGISTRY_SERVER_H
#define VINTUTIL_PORT_REGISTRY_SERVER_H

#include <windows.h>

#include <string>

namespace registry_server {

// The roles `initServer` creates: members of the first may read the served
// hive, members of the second may also write it.
constexpr const char* kReaderRole = "vintutil_reader";
constexpr const char* kWriterRole = "vintutil_writer";

// The connection string of the machine hive's server as configured now, ""
// when the machine hive is the local file.
WINADVAPI std::string machineHiveServer();

// `conninfo` as it may be shown: its settings as key=value pairs without
// the password.
WINADVAPI std::string displayableConnInfo(const std::string& conninfo);

// Creates the served hive's tables in the database `conninfo` names, or
// upgrades them, and the two roles with their rights; running it again
// changes nothing. ERROR_SUCCESS, or a Win32 code with the server's reason
// in `*message`.
WINADVAPI LONG initServer(const std::string& conninfo, std::string* message);

struct HiveStatus {
  bool served = false;         // on a server, not in a local file
  std::string where;           // the file, or the server's connection string without a password
  bool reachable = false;      // the file can be read, or the server answers
  LONG error = ERROR_SUCCESS;  // the registry's code when not reachable
  std::string problem;         // why not, when not reachable (may be "")
  std::string note;            // something the administrator should know (may be "")
  // Served: the local replica read while the server cannot be reached, and
  // when it was last in step with the server (microseconds since 1970; -1
  // when there is no replica yet).
  std::string replica;
  int64_t replicaCopiedAt = -1;
  // Served: the server's generation (counts committed changes; 0 when not
  // reachable) and the one the replica holds (0 when none).
  uint64_t generation = 0;
  uint64_t replicaGeneration = 0;
};

// Where the hive of `root` (HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER) lives
// and whether it answers now.
WINADVAPI HiveStatus hiveStatus(HKEY root);

}  // namespace registry_server

#endif
