#include "temp_registry_dir.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string g_dir;

void RemoveDir() {
  std::error_code ignored;
  std::filesystem::remove_all(g_dir, ignored);
}

}  // namespace

void UseTempRegistryDir() {
  const char* base = std::getenv("TMPDIR");
  if (!base) base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/vintutil-fuzz-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    std::abort();
  }
  g_dir = pattern;
  setenv("VINTUTIL_REGISTRY", g_dir.c_str(), 1);
  std::atexit(RemoveDir);
}
