// The hive in a SQLite file: the embedded default for every user hive and
// for the machine hive of a single workstation.
//
// A file that does not exist yet reads as a new hive would be made (see
// buildNewHive); the first write creates it. A file that is not recognised
// as a hive, or that turns out to be damaged, makes every call fail with
// ERROR_BADDB and is never written.
#ifndef VINTUTIL_REGISTRY_FILE_HIVE_H
#define VINTUTIL_REGISTRY_FILE_HIVE_H

#include <memory>

#include "hive.h"

namespace vreg {

std::shared_ptr<Hive> openFileHive(HiveLocation location);

}  // namespace vreg

#endif
