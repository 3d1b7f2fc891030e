// Where the hives live.
#ifndef VINTUTIL_REGISTRY_HIVE_LOCATION_H
#define VINTUTIL_REGISTRY_HIVE_LOCATION_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace vreg {

enum class HiveKind { Machine, User };

struct HiveLocation {
  HiveKind kind;     // what a new hive holds
  std::string path;  // the database file
  mode_t fileMode;   // mode of a new hive file (and of its -wal/-shm files)
  mode_t dirMode;    // mode of directories created for it
};

// With VINTUTIL_REGISTRY naming a directory: machine.db or user-<uid>.db in
// it. Otherwise /var/lib/vintutil/machine.db and
// ${XDG_CONFIG_HOME:-~/.config}/vintutil/user.db, where ~ is the real
// user's home directory from the user database (an inherited HOME, e.g.
// root's under sudo, is not the user's) and XDG_CONFIG_HOME counts only
// where it lies in the real user's own directories. User hives are private.
HiveLocation locateHive(HiveKind kind);

// The local copy of a served machine hive, read while its server cannot be
// reached: beside the user hive, private as it is (machine-replica.db, or
// machine-replica-<uid>.db in a VINTUTIL_REGISTRY directory).
HiveLocation locateMachineReplica();

// The keys a new hive of `kind` holds, where programs expect them (SOFTWARE
// in a machine hive; Software and Control Panel\International in a user
// hive), parents first.
std::vector<std::string> newHiveKeys(HiveKind kind);

}  // namespace vreg

#endif
