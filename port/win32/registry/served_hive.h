// The machine hive served by a PostgreSQL server, shared by every
// workstation of a team (registry_server.h says how it is chosen).
//
// Each write is one server transaction, seen by every reader on every
// machine once it returns. Reads of unchanged settings are answered from the
// process's read cache, which the server's change notifications keep
// current. A server that cannot be reached makes calls fail with
// ERROR_BAD_NETPATH; the hive connects again by itself at a later call.
#ifndef VINTUTIL_REGISTRY_SERVED_HIVE_H
#define VINTUTIL_REGISTRY_SERVED_HIVE_H

#include <memory>
#include <string>

#include "hive.h"

namespace vreg {

std::shared_ptr<Hive> openServedHive(std::string conninfo);

}  // namespace vreg

#endif
