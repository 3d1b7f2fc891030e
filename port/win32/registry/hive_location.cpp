#include "hive_location.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

namespace vreg {
namespace {

std::string homeDirectory() {
  const char* home = getenv("HOME");
  if (home && home[0] == '/') return home;
  struct passwd* entry = getpwuid(getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "/";
}

std::string userConfigDirectory() {
  // XDG asks to ignore a relative XDG_CONFIG_HOME.
  const char* config = getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return config;
  return homeDirectory() + "/.config";
}

}  // namespace

HiveLocation locateHive(HiveKind kind) {
  const bool user = kind == HiveKind::User;
  HiveLocation location;
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

}  // namespace vreg
