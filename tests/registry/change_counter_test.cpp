// The change counter file beside each hive: it has the hive's mode, and a
// reader of another user sees the machine hive's writes at once, whether it
// may map the counter (and cache) or not. Needs root (as in CI) to switch
// users; skipped otherwise. POSIX only.
#include <windows.h>
#include <registry_diagnostics.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "child_process.h"
#include "temp_registry.h"

namespace {

const char kKey[] = "SOFTWARE\\Vendor";

mode_t modeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

LONG setText(HKEY root, const char* text) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyA(root, kKey, &key);
  if (rc == ERROR_SUCCESS) {
    rc = RegSetValueExA(key, "setting", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        DWORD(strlen(text) + 1));
    RegCloseKey(key);
  }
  return rc;
}

std::string readText() {
  HKEY key = nullptr;
  char text[16] = {};
  DWORD size = sizeof text;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "";
  LONG rc =
      RegQueryValueExA(key, "setting", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS ? text : "";
}

TEST_F(RegistryTest, TheCounterFileHasItsHivesMode) {
  ASSERT_EQ(ERROR_SUCCESS, setText(HKEY_LOCAL_MACHINE, "on"));
  ASSERT_EQ(ERROR_SUCCESS, setText(HKEY_CURRENT_USER, "on"));
  EXPECT_EQ(0644u, modeOf(registry_.machineHive() + "-changes"));
  EXPECT_EQ(0600u, modeOf(registry_.userHive() + "-changes"));
}

TEST_F(RegistryTest, AnotherUsersReaderSeesEveryWriteAtOnce) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to switch users";
  chmod(registry_.dir().c_str(), 0755);
  const std::string counter = registry_.machineHive() + "-changes";
  // Readable: the reader caches. Unreadable: it reads the hive every time.
  for (mode_t counterMode : {mode_t(0644), mode_t(0600)}) {
    SCOPED_TRACE(counterMode);
    ASSERT_EQ(ERROR_SUCCESS, setText(HKEY_LOCAL_MACHINE, "on"));
    ASSERT_EQ(0, chmod(counter.c_str(), counterMode));
    int toReader[2], toWriter[2];
    ASSERT_EQ(0, pipe(toReader));
    ASSERT_EQ(0, pipe(toWriter));
    pid_t reader = startChild([&] {
      struct passwd* nobody = getpwnam("nobody");
      if (!nobody || setgroups(0, nullptr) || setgid(nobody->pw_gid) || setuid(nobody->pw_uid)) {
        return 100;
      }
      char go;
      // Twice: the second read comes from the cache where there is one.
      if (readText() != "on" || readText() != "on") return 1;
      if (write(toWriter[1], "r", 1) != 1 || read(toReader[0], &go, 1) != 1) return 2;
      return readText() == "off" ? 0 : 3;
    });
    char ready;
    ASSERT_EQ(1, read(toWriter[0], &ready, 1));
    EXPECT_EQ(ERROR_SUCCESS, setText(HKEY_LOCAL_MACHINE, "off"));
    ASSERT_EQ(1, write(toReader[1], "w", 1));
    EXPECT_EQ(0, waitChild(reader));
    for (int fd : {toReader[0], toReader[1], toWriter[0], toWriter[1]}) close(fd);
  }
}

}  // namespace
