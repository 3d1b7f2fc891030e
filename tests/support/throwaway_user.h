// Local user accounts and groups made for one test (useradd, groupadd) and
// removed when it ends, so that a test can act as several real users: an
// owner, a stranger, members of an administering group. They need root;
// tests skip without it. POSIX only.
#ifndef VINTUTIL_TESTS_THROWAWAY_USER_H
#define VINTUTIL_TESTS_THROWAWAY_USER_H

#include <grp.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>

namespace throwaway {

// Runs an account command; /etc/passwd may be locked a moment by another
// test's, so it is tried a few times.
inline bool runAccountCommand(const std::string& command) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (system((command + " >/dev/null 2>&1").c_str()) == 0) return true;
    usleep(100000);
  }
  return false;
}

// A name no other test process uses: "vt<pid><tag>".
inline std::string uniqueName(const std::string& tag) {
  return "vt" + std::to_string(getpid()) + tag;
}

class Group {
 public:
  explicit Group(const std::string& tag) : name_(uniqueName(tag)) {
    made_ = runAccountCommand("groupadd " + name_);
    const struct group* entry = made_ ? getgrnam(name_.c_str()) : nullptr;
    gid_ = entry ? entry->gr_gid : gid_t(-1);
  }
  ~Group() {
    if (made_) runAccountCommand("groupdel " + name_);
  }
  Group(const Group&) = delete;
  Group& operator=(const Group&) = delete;

  bool made() const { return made_ && gid_ != gid_t(-1); }
  const std::string& name() const { return name_; }
  gid_t gid() const { return gid_; }

 private:
  std::string name_;
  bool made_ = false;
  gid_t gid_ = gid_t(-1);
};

class User {
 public:
  // A user with a group of its own as primary group, no home directory
  // made (`home` is only recorded as its home), and optionally a member of
  // `group`.
  explicit User(const std::string& tag, const std::string& home = "/nonexistent",
                const Group* group = nullptr)
      : name_(uniqueName(tag)) {
    std::string command = "useradd -M -U -s /usr/sbin/nologin -d '" + home + "' ";
    if (group) command += "-G " + group->name() + " ";
    made_ = runAccountCommand(command + name_);
    const struct passwd* entry = made_ ? getpwnam(name_.c_str()) : nullptr;
    if (entry) {
      uid_ = entry->pw_uid;
      gid_ = entry->pw_gid;
    }
  }
  ~User() {
    if (made_) runAccountCommand("userdel " + name_);
  }
  User(const User&) = delete;
  User& operator=(const User&) = delete;

  bool made() const { return made_ && uid_ != uid_t(-1); }
  const std::string& name() const { return name_; }
  uid_t uid() const { return uid_; }
  gid_t gid() const { return gid_; }

  // In a forked child: becomes this user for good, with its groups.
  bool become() const {
    return initgroups(name_.c_str(), gid_) == 0 && setgid(gid_) == 0 && setuid(uid_) == 0;
  }

 private:
  std::string name_;
  bool made_ = false;
  uid_t uid_ = uid_t(-1);
  gid_t gid_ = gid_t(-1);
};

}  // namespace throwaway

// In a test body: skips unless running as root, where users can be made.
#define SKIP_UNLESS_ROOT_FOR_USERS() \
  if (geteuid() != 0) GTEST_SKIP() << "needs root to create throwaway users"

#endif
