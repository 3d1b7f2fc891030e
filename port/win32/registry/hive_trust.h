// Which files a hive may be made of. Every hive file and companion (-wal,
// -shm, -changes, -lock, temporaries) is opened without following links and
// checked on what was opened (fstat) before anything reads or writes it:
// another user's file, or one others may write, is never used.
//
// A user hive and its companions: owned by the user, no group or other
// access. A machine hive: owned by root, by this process's user or by the
// owner of its directory; its companions owned by root or by the hive's
// owner (or, in a group-writable hive, by a member of the hive's group with
// the hive's group). Nothing but a group-writable hive's own group may write
// them. A directory others may write is used only with the sticky bit
// (then nobody may remove or replace another's files); root uses only
// registry directories of root's own for the machine hive.
#ifndef VINTUTIL_REGISTRY_HIVE_TRUST_H
#define VINTUTIL_REGISTRY_HIVE_TRUST_H

#include <windows.h>

#include <sys/stat.h>

#include <string>

#include "hive_location.h"

namespace vreg {

// ERROR_SUCCESS when the hive file `path` (or a temporary that becomes one)
// and its directory may be used; ERROR_FILE_NOT_FOUND when it is missing;
// else ERROR_ACCESS_DENIED, with the reason recorded. `st` receives the
// file's status.
LONG checkHiveFile(const std::string& path, HiveKind kind, struct stat* st);

// ERROR_SUCCESS when the directory `dir` may hold the hive of `kind`.
LONG checkHiveDirectory(const std::string& dir, HiveKind kind);

// Before this process creates the hive `path` (with `mode`) in `dir`:
// ERROR_SUCCESS when none of its companions is there, or each one there
// would serve the new hive; else ERROR_ACCESS_DENIED, reason recorded. A
// companion someone left beforehand would otherwise be taken for the new
// hive's own (a -wal replayed into it).
LONG checkLeftCompanions(const std::string& path, mode_t mode);

// Opens the companion `path` of the hive whose status is `hive` without
// following links, with `access` (O_PATH, O_RDONLY or O_RDWR), and checks
// it. When it is missing and `createMode` is not 0, creates it empty (and
// read-write) with `createMode` narrowed to the hive's own access and the
// hive's owner and group as far as this process may give them, whatever the
// umask. Returns the descriptor, or -1 with `*error` set:
// ERROR_FILE_NOT_FOUND when missing and not created (or not allowed to be
// created here), ERROR_ACCESS_DENIED for a refused file (reason recorded),
// another code when it cannot be created. Closing a descriptor opened with O_PATH
// leaves the process's locks on the file alone (closing any other drops
// them).
int openCompanion(const std::string& path, const struct stat& hive, mode_t createMode, int access,
                  LONG* error);

// ERROR_SUCCESS when the open companion `fd` (named `path`) may serve the
// hive whose status is `hive`; else ERROR_ACCESS_DENIED, reason recorded.
LONG checkCompanion(const std::string& path, int fd, const struct stat& hive);

// Gives the new companion `fd` the hive's group (a group-writable hive) and,
// for root, the hive's owner, then `mode` within the hive's own access,
// whatever the umask. ERROR_SUCCESS or the failure.
LONG matchCompanionToHive(int fd, const struct stat& hive, mode_t mode);

// The reason the registry last refused a file in this process ("" when
// none): the file's name and what is wrong with it.
std::string lastRefusal();
void recordRefusal(const std::string& reason);

}  // namespace vreg

#endif
