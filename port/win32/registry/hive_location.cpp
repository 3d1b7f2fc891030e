#include "hive_location.h"

#include <errno.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vreg {
namespace {

std::string homeDirectory() {
  struct passwd entry, *found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir &&
      found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return "/";
}

// Whether `dir`, or the nearest of its parents that exists, is the real
// user's.
bool belongsToUser(std::string dir) {
  struct stat st;
  while (lstat(dir.c_str(), &st) != 0) {
    if (errno != ENOENT) return false;
    const size_t slash = dir.rfind('/');
    if (slash == std::string::npos) return false;
    dir = slash == 0 ? "/" : dir.substr(0, slash);
  }
  return st.st_uid == getuid();
}

std::string userConfigDirectory() {
  // XDG asks to ignore a relative XDG_CONFIG_HOME.
  const char* config = getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/' && belongsToUser(config)) return config;
  return homeDirectory() + "/.config";
}

}  // namespace

HiveLocation locateHive(HiveKind kind) {
  const bool user = kind == HiveKind::User;
  HiveLocation location;
  location.kind = kind;
  location.fileMode = user ? 0600 : 0644;
  location.dirMode = user ? 0700 : 0755;
  const char* dir = getenv("VINTUTIL_REGISTRY");
  if (dir && dir[0] != '\0') {
    location.path = std::string(dir) + (user ? "/user-" + std::to_string(getuid()) + ".db"
                                             : std::string("/machine.db"));
  } else {
    location.path =
        user ? userConfigDirectory() + "/vintutil/user.db" : "/var/lib/vintutil/machine.db";
  }
  return location;
}

HiveLocation locateMachineReplica() {
  HiveLocation location = locateHive(HiveKind::User);
  const char* dir = getenv("VINTUTIL_REGISTRY");
  const std::string name = dir && dir[0] != '\0'
                               ? "machine-replica-" + std::to_string(getuid()) + ".db"
                               : std::string("machine-replica.db");
  location.path = location.path.substr(0, location.path.rfind('/') + 1) + name;
  return location;
}

std::vector<std::string> newHiveKeys(HiveKind kind) {
  if (kind == HiveKind::Machine) return {"SOFTWARE"};
  return {"Software", "Control Panel", "Control Panel\\International"};
}

}  // namespace vreg
