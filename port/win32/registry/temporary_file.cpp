#include "temporary_file.h"

#include <dirent.h>
#include <errno.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <random>

namespace vreg {
namespace {

constexpr char kInfix[] = ".new-";

}  // namespace

std::string temporaryNameFor(const std::string& target) {
  std::random_device random;
  return target + kInfix + std::to_string(getpid()) + "-" + std::to_string(random());
}

void removeAbandonedTemporaries(const std::string& target) {
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string prefix = target.substr(slash + 1) + kInfix;
  DIR* entries = opendir(dir.c_str());
  if (!entries) return;
  while (const dirent* entry = readdir(entries)) {
    const std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    char* end = nullptr;
    const long pid = strtol(name.c_str() + prefix.size(), &end, 10);
    if (pid <= 0 || *end != '-') continue;
    // A process id in use again keeps the file until that process ends.
    if (kill(pid_t(pid), 0) != 0 && errno == ESRCH) unlink((dir + name).c_str());
  }
  closedir(entries);
}

}  // namespace vreg
