// The registry stand-in's machine hive is a file, whose owner, root, writes
// it, and so does a group it is given to (README, "Who may write the machine
// hive"); or it is served, and members of the writer role write it.
#include <registry_location.h>
#include <registry_server.h>

#include <vector>

#include "machine_hive_advice.h"

std::string MachineHiveAccessDenied() {
  const std::string server = registry_server::machineHiveServer();
  if (!server.empty()) {
    return "access is denied to the machine hive on its server " +
           registry_server::displayableConnInfo(server) +
           " (HKEY_LOCAL_MACHINE): your database role must be a member of " +
           registry_server::kWriterRole + " (an administrator runs GRANT " +
           registry_server::kWriterRole +
           " TO <role>, as the README's \"A machine hive for a "
           "team\" shows)";
  }
  std::vector<char> path(RegHiveFilePath(HKEY_LOCAL_MACHINE, nullptr, 0));
  RegHiveFilePath(HKEY_LOCAL_MACHINE, path.data(), static_cast<DWORD>(path.size()));
  return std::string("access is denied to the machine hive ") + path.data() +
         " (HKEY_LOCAL_MACHINE): run this as root (sudo), or have its group given write "
         "access to the hive as the README's \"Who may write the machine hive\" describes";
}
