// Who a connection to a served hive's server works for, as the client says:
// its host name, operating system user and process. The server records it
// with every change the connection makes, beside the database role, which
// the server itself vouches for.
#ifndef VINTUTIL_REGISTRY_CLIENT_IDENTITY_H
#define VINTUTIL_REGISTRY_CLIENT_IDENTITY_H

#include <windows.h>

#include "server_connection.h"

namespace vreg {

// Sets the session's vintutil.host, vintutil.os_user, vintutil.uid,
// vintutil.pid and vintutil.program, once per connection (a forked child
// makes a connection of its own).
LONG sendClientIdentity(ServerConnection& server);

}  // namespace vreg

#endif
