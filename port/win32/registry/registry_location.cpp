// RegHiveFilePath of registry_location.h.
#include <registry_location.h>
#include <registry_server.h>

#include <string.h>

#include "hive_location.h"

extern "C" {

DWORD WINAPI RegHiveFilePath(HKEY root, LPSTR path, DWORD size) {
  if (root != HKEY_LOCAL_MACHINE && root != HKEY_CURRENT_USER) return 0;
  if (root == HKEY_LOCAL_MACHINE && !registry_server::machineHiveServer().empty()) return 0;
  const std::string file =
      vreg::locateHive(root == HKEY_LOCAL_MACHINE ? vreg::HiveKind::Machine : vreg::HiveKind::User)
          .path;
  const DWORD needed = static_cast<DWORD>(file.size() + 1);
  if (path != nullptr && size >= needed) memcpy(path, file.c_str(), needed);
  return needed;
}

}  // extern "C"
