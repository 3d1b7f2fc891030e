// Who may read and write which hive. The machine hive is written by root;
// a process running as `nobody` reads it, sees root's writes at once, is
// refused writing, and has a private hive of its own. The tests that switch
// users need root (as in CI) and are skipped otherwise. POSIX only.
#include <windows.h>
#include <registry_diagnostics.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "child_process.h"
#include "registry_values.h"
#include "temp_registry.h"

namespace {

using regtest::Set;
using regtest::Text;

const char kVendor[] = "SOFTWARE\\Vendor";

mode_t modeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

bool machineSettingIs(const char* text) {
  return regtest::Get(HKEY_LOCAL_MACHINE, kVendor, "setting") == Text(text);
}

// The change counter beside each hive has the hive's mode.
TEST_F(RegistryTest, HivesAndTheirChangeCountersHaveTheirModes) {
  ASSERT_EQ(ERROR_SUCCESS, Set(HKEY_LOCAL_MACHINE, kVendor, "setting", Text("on")));
  ASSERT_EQ(ERROR_SUCCESS, Set(HKEY_CURRENT_USER, kVendor, "setting", Text("on")));
  for (const char* file : {"", "-changes"}) {
    EXPECT_EQ(0644u, modeOf(registry_.machineHive() + file)) << file;
    EXPECT_EQ(0600u, modeOf(registry_.userHive() + file)) << file;
  }
}

// Without VINTUTIL_REGISTRY the user hive lives in the XDG configuration
// directory, created private.
TEST(HiveLocation, UserHiveInTheConfigDirectory) {
  TempRegistry registry;
  const std::string config = registry.dir() + "/config";
  unsetenv("VINTUTIL_REGISTRY");
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  RegDiagReset();
  ASSERT_EQ(ERROR_SUCCESS, Set(HKEY_CURRENT_USER, "Software\\Here", "v", Text("x")));
  RegDiagReset();
  EXPECT_EQ(0600u, modeOf(config + "/vintutil/user.db"));
  EXPECT_EQ(0700u, modeOf(config + "/vintutil"));
  unsetenv("XDG_CONFIG_HOME");
}

class Permissions : public RegistryTest {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to switch users";
    // A shared directory, as /var/lib/vintutil and the home directories are.
    chmod(registry_.dir().c_str(), 01777);
  }
};

TEST_F(Permissions, OthersReadTheMachineHiveButMayNotWriteIt) {
  ASSERT_EQ(ERROR_SUCCESS, Set(HKEY_LOCAL_MACHINE, kVendor, "setting", Text("on")));
  RegDiagReset();  // no connection of root's stays open while the child reads
  const auto asNobody = [] {
    if (!becomeNobody()) return 100;
    if (!machineSettingIs("on")) return 1;
    HKEY k = nullptr;
    for (REGSAM access : {REGSAM(KEY_SET_VALUE), REGSAM(KEY_WRITE), REGSAM(KEY_ALL_ACCESS)}) {
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kVendor, 0, access, &k) != ERROR_ACCESS_DENIED)
        return 2;
    }
    // RegCreateKeyA opens an existing key with what is allowed: reading.
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kVendor, &k) != ERROR_SUCCESS) return 3;
    RegCloseKey(k);
    if (Set(HKEY_LOCAL_MACHINE, kVendor, "setting", Text("x")) != ERROR_ACCESS_DENIED) return 4;
    if (Set(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", "v", Text("x")) != ERROR_ACCESS_DENIED) return 5;
    const BYTE* x = reinterpret_cast<const BYTE*>("x");
    if (RegSetValueExA(HKEY_LOCAL_MACHINE, "v", 0, REG_SZ, x, 2) != ERROR_ACCESS_DENIED) return 6;
    return 0;
  };
  EXPECT_EQ(0, runInChild(asNobody));
  EXPECT_TRUE(machineSettingIs("on")) << "root's value changed";
}

TEST_F(Permissions, AUserNeverSeesAnotherUsersHive) {
  ASSERT_EQ(ERROR_SUCCESS, Set(HKEY_CURRENT_USER, "Software\\RootOnly", "v", Text("x")));
  const std::string rootHive = registry_.userHive();
  HKEY key = nullptr;
  const auto asNobody = [&] {
    if (!becomeNobody()) return 100;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\RootOnly", 0, KEY_READ, &key) !=
        ERROR_FILE_NOT_FOUND)
      return 1;
    if (open(rootHive.c_str(), O_RDONLY) >= 0) return 2;
    // Its own hive is created, private to it.
    return Set(HKEY_CURRENT_USER, "Software\\Mine", "v", Text("x")) == ERROR_SUCCESS ? 0 : 3;
  };
  EXPECT_EQ(0, runInChild(asNobody));
  const struct passwd* nobody = getpwnam("nobody");
  ASSERT_NE(nullptr, nobody);
  struct stat st;
  ASSERT_EQ(
      0, stat((registry_.dir() + "/user-" + std::to_string(nobody->pw_uid) + ".db").c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);
  EXPECT_EQ(nobody->pw_uid, st.st_uid);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Mine", 0, KEY_READ, &key))
      << "root's own view changed";
}

// Another user's reader sees the machine hive's writes at once, whether it
// may map the change counter (and cache) or not (and reads the hive each time).
TEST_F(Permissions, AnotherUsersReaderSeesEveryWriteAtOnce) {
  const std::string counter = registry_.machineHive() + "-changes";
  for (mode_t counterMode : {mode_t(0644), mode_t(0600)}) {
    SCOPED_TRACE(counterMode);
    ASSERT_EQ(ERROR_SUCCESS, Set(HKEY_LOCAL_MACHINE, kVendor, "setting", Text("on")));
    ASSERT_EQ(0, chmod(counter.c_str(), counterMode));
    int toReader[2], toWriter[2];
    ASSERT_EQ(0, pipe(toReader));
    ASSERT_EQ(0, pipe(toWriter));
    pid_t reader = startChild([&] {
      char go;
      if (!becomeNobody()) return 100;
      // Twice: the second read comes from the cache where there is one.
      if (!machineSettingIs("on") || !machineSettingIs("on")) return 1;
      if (write(toWriter[1], "r", 1) != 1 || read(toReader[0], &go, 1) != 1) return 2;
      return machineSettingIs("off") ? 0 : 3;
    });
    char ready;
    ASSERT_EQ(1, read(toWriter[0], &ready, 1));
    EXPECT_EQ(ERROR_SUCCESS, Set(HKEY_LOCAL_MACHINE, kVendor, "setting", Text("off")));
    ASSERT_EQ(1, write(toReader[1], "w", 1));
    EXPECT_EQ(0, waitChild(reader));
    for (int fd : {toReader[0], toReader[1], toWriter[0], toWriter[1]}) close(fd);
  }
}

}  // namespace
