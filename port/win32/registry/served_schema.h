// The served hive's tables, functions and roles in its PostgreSQL database.
//
// Keys and values are stored as in a hive file (names and paths as bytes,
// as typed and folded); every write is one call of one of the schema's
// functions, so one server transaction, which also advances the hive's
// generation and notifies it on the channel kChangeChannel at its commit,
// and records each row it changes in the hive's history, as a hive file does.
#ifndef VINTUTIL_REGISTRY_SERVED_SCHEMA_H
#define VINTUTIL_REGISTRY_SERVED_SCHEMA_H

#include <windows.h>

#include <string>

#include "server_connection.h"

namespace vreg {

// The schema version this code writes and reads: 1 keys and values, 2 the
// history of their changes (vintutil.history, vintutil.settings), recorded
// by triggers. A database of version 1 is served as it is, without history,
// until `vintutil server init` upgrades it.
constexpr int kServedSchemaVersion = 2;
// The channel a commit's generation is notified on.
constexpr const char* kChangeChannel = "vintutil_changes";

// Creates or upgrades the schema, the roles and their rights on the
// connected database, and the keys of a new machine hive when it has none.
// Running it again changes nothing.
LONG installServedSchema(ServerConnection& server);

// ERROR_SUCCESS when the database holds a served hive this code can use;
// ERROR_BADDB, the reason recorded, when it holds none or a newer one.
LONG checkServedSchema(ServerConnection& server);

}  // namespace vreg

#endif
