#include "hive_trust.h"

#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "sqlite_result.h"

namespace vreg {
namespace {

std::mutex refusalMutex;
std::string refusal;

std::string directoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string userName(uid_t uid) {
  struct passwd entry, *found = nullptr;
  char buffer[1024];
  std::string name = std::to_string(uid);
  if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found) {
    name = std::string(found->pw_name) + " (" + name + ")";
  }
  return name;
}

LONG refuse(const std::string& path, const std::string& why) {
  recordRefusal(path + ": " + why);
  return ERROR_ACCESS_DENIED;
}

// Whether `uid` belongs to the group `gid` (primary or supplementary).
bool isMember(uid_t uid, gid_t gid) {
  struct passwd entry, *found = nullptr;
  char buffer[1024];
  if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) != 0 || !found) return false;
  int count = 64;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  if (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
    groups.resize(size_t(count));
    if (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) return false;
  }
  groups.resize(size_t(count));
  return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

bool groupWritable(const struct stat& st) { return (st.st_mode & S_IWGRP) != 0; }

}  // namespace

std::string lastRefusal() {
  std::lock_guard<std::mutex> lock(refusalMutex);
  return refusal;
}

void recordRefusal(const std::string& reason) {
  std::lock_guard<std::mutex> lock(refusalMutex);
  refusal = reason;
}

LONG checkHiveDirectory(const std::string& dir, HiveKind kind) {
  struct stat st;
  if (lstat(dir.c_str(), &st) != 0) return errnoToWin32(errno, ERROR_PATH_NOT_FOUND);
  if (!S_ISDIR(st.st_mode)) return refuse(dir, "not a directory");
  // Without the sticky bit anyone could replace the files in it.
  if ((st.st_mode & S_IWOTH) && !(st.st_mode & S_ISVTX))
    return refuse(dir, "every user may write this directory and it has no sticky bit");
  if (kind == HiveKind::Machine && geteuid() == 0 && st.st_uid != 0)
    return refuse(
        dir, "the machine hive's directory belongs to " + userName(st.st_uid) + ", not to root");
  return ERROR_SUCCESS;
}

LONG checkHiveFile(const std::string& path, HiveKind kind, struct stat* st) {
  const std::string dir = directoryOf(path);
  LONG result = checkHiveDirectory(dir, kind);
  if (result != ERROR_SUCCESS) return result;
  int fd = open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errnoToWin32(errno, ERROR_FILE_NOT_FOUND);
  const int examined = fstat(fd, st);
  close(fd);
  if (examined != 0) return errnoToWin32(errno, ERROR_FILE_NOT_FOUND);
  if (S_ISLNK(st->st_mode)) return refuse(path, "a symbolic link");
  if (!S_ISREG(st->st_mode)) return refuse(path, "not a regular file");
  if (kind == HiveKind::User) {
    if (st->st_uid != getuid())
      return refuse(path, "owned by " + userName(st->st_uid) + ", not by " + userName(getuid()));
    if (st->st_mode & 077) return refuse(path, "other users have access to this user hive");
    return ERROR_SUCCESS;
  }
  struct stat dirStat;
  if (stat(dir.c_str(), &dirStat) != 0) return errnoToWin32(errno, ERROR_PATH_NOT_FOUND);
  if (st->st_uid != 0 && st->st_uid != geteuid() && st->st_uid != dirStat.st_uid)
    return refuse(path, "owned by " + userName(st->st_uid) +
                            ", who is neither root nor the owner of its directory");
  if (st->st_mode & S_IWOTH) return refuse(path, "every user may write it");
  return ERROR_SUCCESS;
}

LONG checkCompanion(const std::string& path, int fd, const struct stat& hive) {
  struct stat st;
  if (fstat(fd, &st) != 0) return errnoToWin32(errno, ERROR_FILE_NOT_FOUND);
  if (S_ISLNK(st.st_mode)) return refuse(path, "a symbolic link");
  if (!S_ISREG(st.st_mode)) return refuse(path, "not a regular file");
  const bool ownerTrusted = st.st_uid == hive.st_uid || st.st_uid == 0;
  const bool groupMember = groupWritable(hive) && st.st_gid == hive.st_gid &&
                           (ownerTrusted || isMember(st.st_uid, hive.st_gid));
  if (!ownerTrusted && !groupMember)
    return refuse(path, "owned by " + userName(st.st_uid) + ", not by the hive's owner " +
                            userName(hive.st_uid));
  if (st.st_mode & S_IWOTH) return refuse(path, "every user may write it");
  if ((st.st_mode & S_IWGRP) && !(groupWritable(hive) && st.st_gid == hive.st_gid))
    return refuse(path, "its group may write it, but not the hive");
  if ((hive.st_mode & 077) == 0 && (st.st_mode & 077) != 0)
    return refuse(path, "other users have access to it, but not to the hive");
  return ERROR_SUCCESS;
}

LONG matchCompanionToHive(int fd, const struct stat& hive, mode_t mode) {
  const bool root = geteuid() == 0;
  if ((root || groupWritable(hive)) &&
      fchown(fd, root ? hive.st_uid : uid_t(-1), hive.st_gid) != 0) {
    return errnoToWin32(errno, ERROR_FILE_NOT_FOUND);
  }
  if (fchmod(fd, mode & hive.st_mode & 0666) != 0) return errnoToWin32(errno, ERROR_FILE_NOT_FOUND);
  return ERROR_SUCCESS;
}

LONG checkLeftCompanions(const std::string& path, mode_t mode) {
  struct stat dir;
  if (stat(directoryOf(path).c_str(), &dir) != 0) return errnoToWin32(errno, ERROR_PATH_NOT_FOUND);
  struct stat hive = {};
  hive.st_uid = geteuid();
  hive.st_gid = (dir.st_mode & S_ISGID) ? dir.st_gid : getegid();
  hive.st_mode = S_IFREG | mode;
  for (const char* suffix : {"-wal", "-shm", "-journal", "-changes", "-lock"}) {
    const std::string companion = path + suffix;
    int fd = open(companion.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    LONG result = checkCompanion(companion, fd, hive);
    close(fd);
    if (result != ERROR_SUCCESS) return result;
  }
  return ERROR_SUCCESS;
}

int openCompanion(const std::string& path, const struct stat& hive, mode_t createMode, int access,
                  LONG* error) {
  int fd = -1;
  if (createMode != 0) {
    // O_EXCL: a file that appears meanwhile is examined as found, never
    // taken for one made here.
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      *error = matchCompanionToHive(fd, hive, createMode);
      if (*error == ERROR_SUCCESS) return fd;
      close(fd);
      unlink(path.c_str());
      return -1;
    }
    if (errno != EEXIST) {
      // Not allowed to create it here: missing, as far as this user goes.
      *error = errno == EACCES ? ERROR_FILE_NOT_FOUND : errnoToWin32(errno, ERROR_PATH_NOT_FOUND);
      return -1;
    }
  }
  // O_NONBLOCK: a planted FIFO is examined and refused, not waited on.
  fd = open(path.c_str(), access | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0 && errno == EACCES && access != O_PATH) {
    // Examined all the same, so that a refusal names what is wrong.
    fd = open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    *error = fd >= 0 ? checkCompanion(path, fd, hive) : LONG(ERROR_ACCESS_DENIED);
    if (*error == ERROR_SUCCESS) *error = ERROR_ACCESS_DENIED;
    if (fd >= 0) close(fd);
    return -1;
  }
  if (fd < 0) {
    *error = errno == ELOOP ? refuse(path, "a symbolic link")
                            : errnoToWin32(errno, ERROR_FILE_NOT_FOUND);
    return -1;
  }
  *error = checkCompanion(path, fd, hive);
  if (*error == ERROR_SUCCESS) return fd;
  close(fd);
  return -1;
}

}  // namespace vreg
