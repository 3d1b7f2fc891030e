// Running a piece of a test in a forked child process, possibly as the user
// nobody. POSIX only.
#ifndef VINTUTIL_TESTS_REGISTRY_CHILD_PROCESS_H
#define VINTUTIL_TESTS_REGISTRY_CHILD_PROCESS_H

#include <grp.h>
#include <pwd.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

// Starts `body` in a child that exits with its result, never returning into
// the test framework.
inline pid_t startChild(const std::function<int()>& body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

// The child's exit code, or 128 + signal when it was killed.
inline int waitChild(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

inline int runInChild(const std::function<int()>& body) { return waitChild(startChild(body)); }

// Makes the calling (child) process the user nobody for good; false when it
// cannot.
inline bool becomeNobody() {
  const struct passwd* nobody = getpwnam("nobody");
  return nobody && setgroups(0, nullptr) == 0 && setgid(nobody->pw_gid) == 0 &&
         setuid(nobody->pw_uid) == 0;
}

#endif
