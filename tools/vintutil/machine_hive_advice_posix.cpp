// The registry stand-in's machine hive is a file: its owner, root, writes it,
// and so does a group it is given to (README, "Who may write the machine
// hive").
#include <registry_location.h>

#include <vector>

#include "machine_hive_advice.h"

std::string MachineHiveAccessDenied() {
  std::vector<char> path(RegHiveFilePath(HKEY_LOCAL_MACHINE, nullptr, 0));
  RegHiveFilePath(HKEY_LOCAL_MACHINE, path.data(), static_cast<DWORD>(path.size()));
  return std::string("access is denied to the machine hive ") + path.data() +
         " (HKEY_LOCAL_MACHINE): run this as root (sudo), or have its group given write "
         "access to the hive as the README's \"Who may write the machine hive\" describes";
}
