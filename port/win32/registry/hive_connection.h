// Connections to hive files. Anyone who may write a hive file may put
// anything in it with any SQLite tool; what the file holds must not act in
// the processes that open it. So every connection is opened defensively:
// SQLite's defensive mode, no function of the application usable from the
// file's schema (trusted_schema off), no extensions, strings and blobs no longer than four
// times the largest value, a bound on the work of a statement between two
// rows it returns, and a schema holding nothing but the stand-in's own
// tables and indexes, each defined exactly as this code defines them.
#ifndef VINTUTIL_REGISTRY_HIVE_CONNECTION_H
#define VINTUTIL_REGISTRY_HIVE_CONNECTION_H

#include <sqlite3.h>

#include <string>

#include "hive_location.h"

namespace vreg {

// Opens the hive file `path` of `kind` with `flags` (sqlite3_open_v2's),
// through the hive file layer (hive_vfs.h), with the registry's lock timeout
// as busy timeout, and checks its schema. SQLITE_CORRUPT when it holds an
// object that is not the stand-in's own, or one of its own defined otherwise (a trigger, a view, an
// extra table or index, a changed table). Returns a SQLite result code; on failure `*db` is null.
int openHiveConnection(const std::string& path, HiveKind kind, int flags, sqlite3** db);

// How much work (SQLite virtual machine instructions) a statement may do
// before it returns its next row, or its end; beyond it the statement fails
// with SQLITE_INTERRUPT. The stand-in's own statements stay far below it.
constexpr long long kStatementWorkLimit = 1LL << 28;

}  // namespace vreg

#endif
