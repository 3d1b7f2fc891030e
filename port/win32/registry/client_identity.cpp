#include "client_identity.h"

#include <errno.h>
#include <limits.h>
#include <pwd.h>
#include <unistd.h>

#include <string>

namespace vreg {

LONG sendClientIdentity(ServerConnection& server) {
  char host[HOST_NAME_MAX + 1] = {};
  if (gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  const uid_t uid = getuid();
  struct passwd entry, *found = nullptr;
  char buffer[4096];
  const std::string user =
      getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found ? found->pw_name : "";
  return server
      .query(
          "SELECT set_config('vintutil.host', $1, false),"
          " set_config('vintutil.os_user', $2, false), set_config('vintutil.uid', $3, false),"
          " set_config('vintutil.pid', $4, false), set_config('vintutil.program', $5, false)",
          ServerParams().bytes(host).bytes(user).integer(uid).integer(getpid()).bytes(
              program_invocation_short_name))
      .error();
}

}  // namespace vreg
