// The SQLite file layer of every hive connection: SQLite's own unix layer,
// with two differences.
//
// Trust: before SQLite opens the hive file, its -wal or a journal, and before
// it maps the -shm file, the file is checked as hive_trust.h says (a missing
// companion is created by a connection that may write, with the hive's
// owner, group and mode). A refused file fails the open with SQLITE_AUTH.
//
// The write lock: SQLite serialises writers with a lock in the -shm file,
// which every reader must be able to open, and a reader may lock any byte
// of a file it can read. So writers first take a lock on "<hive>-lock", a
// companion only those who may write the hive can open (an open file
// description lock, which also excludes the process's other connections),
// then SQLite's. Where SQLite's is held only as a read lock (which SQLite
// itself never takes: a reader who may not write is holding it to stall
// writers), the writer goes ahead on its own lock; a write lock there (a
// writer outside this library) is awaited as SQLite awaits it.
#ifndef VINTUTIL_REGISTRY_HIVE_VFS_H
#define VINTUTIL_REGISTRY_HIVE_VFS_H

#include "hive_location.h"

namespace vreg {

// The name of the layer to open a hive of `kind` with (sqlite3_open_v2's
// last argument), registered with SQLite on first use.
const char* hiveVfs(HiveKind kind);

}  // namespace vreg

#endif
