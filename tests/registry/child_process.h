// Running a piece of a test in a forked child process, possibly as the user
// nobody. POSIX only.
#ifndef VINTUTIL_TESTS_REGISTRY_CHILD_PROCESS_H
#define VINTUTIL_TESTS_REGISTRY_CHILD_PROCESS_H

#include <grp.h>
#include <pwd.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
// The context switches of each other thread of this process, or -1 for one
// that is not asleep.
inline std::map<std::string, long> otherThreadsSwitches() {
  std::map<std::string, long> switches;
  const std::string self = std::to_string(gettid());
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    const std::string tid = task.path().filename().string();
    if (tid == self) continue;
    std::ifstream status(task.path() / "status");
    long total = 0;
    bool asleep = false;
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("State:", 0) == 0) asleep = line.find("S (sleeping)") != std::string::npos;
      const size_t colon = line.find("ctxt_switches:");
      if (colon != std::string::npos) total += std::stol(line.substr(colon + 14));
    }
    switches[tid] = asleep ? total : -1;
  }
  return switches;
}

// The address sanitizer's allocator is not locked across fork(): a child
// forked while another thread held one of its locks hangs at its next
// allocation. Under it, children are forked once every other thread (the
// registry's own) has slept through 10 ms, waiting at most a second.
inline void waitUntilOtherThreadsRest() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  std::map<std::string, long> before = otherThreadsSwitches();
  while (std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::map<std::string, long> after = otherThreadsSwitches();
    bool rest = after == before;
    for (const auto& thread : after) rest = rest && thread.second >= 0;
    if (rest) return;
    before = std::move(after);
  }
}
#endif

// Starts `body` in a child that exits with its result, never returning into
// the test framework.
inline pid_t startChild(const std::function<int()>& body) {
#if defined(__SANITIZE_ADDRESS__)
  waitUntilOtherThreadsRest();
#endif
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
