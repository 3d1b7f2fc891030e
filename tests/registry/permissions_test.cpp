// Who may read and write which hive. The machine hive is written by root;
// a process running as `nobody` reads it, is refused writing, and has a
// private hive of its own. Needs root (as in CI); skipped otherwise. POSIX only.
#include <windows.h>
#include <registry_diagnostics.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <string>

#include "child_process.h"
#include "temp_registry.h"

namespace {

bool dropToNobody() {
  struct passwd* nobody = getpwnam("nobody");
  if (!nobody) return false;
  return setgroups(0, nullptr) == 0 && setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0;
}

mode_t modeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
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
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", &key));
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExA(key, "setting", 0, REG_SZ, reinterpret_cast<const BYTE*>("on"), 3));
  RegCloseKey(key);
  RegDiagReset();  // no connection of root's stays open while the child reads
  EXPECT_EQ(0644u, modeOf(registry_.machineHive()));

  EXPECT_EQ(
      0, runInChild([] {
        if (!dropToNobody()) return 100;
        HKEY k = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", 0, KEY_QUERY_VALUE, &k)) return 1;
        char text[8] = {};
        DWORD size = sizeof text;
        if (RegQueryValueExA(k, "setting", nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                             &size) != ERROR_SUCCESS ||
            std::string(text) != "on")
          return 2;
        RegCloseKey(k);
        for (REGSAM access : {REGSAM(KEY_SET_VALUE), REGSAM(KEY_WRITE), REGSAM(KEY_ALL_ACCESS)}) {
          if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", 0, access, &k) !=
              ERROR_ACCESS_DENIED)
            return 3;
        }
        // RegCreateKeyA opens an existing key with what is allowed: reading.
        if (RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", &k) != ERROR_SUCCESS) return 4;
        if (RegSetValueExA(k, "setting", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2) !=
            ERROR_ACCESS_DENIED)
          return 5;
        RegCloseKey(k);
        if (RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", &k) != ERROR_ACCESS_DENIED)
          return 6;
        if (RegSetValueExA(HKEY_LOCAL_MACHINE, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"),
                           2) != ERROR_ACCESS_DENIED)
          return 7;
        return 0;
      }));

  // Root's value is unchanged.
  char text[8] = {};
  DWORD size = sizeof text;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", 0, KEY_READ, &key));
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "setting", nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(text), &size));
  EXPECT_STREQ("on", text);
  RegCloseKey(key);
}

TEST_F(Permissions, AUserNeverSeesAnotherUsersHive) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\RootOnly", &key));
  RegCloseKey(key);
  EXPECT_EQ(0600u, modeOf(registry_.userHive()));
  const std::string rootHive = registry_.userHive();

  EXPECT_EQ(0, runInChild([&] {
              if (!dropToNobody()) return 100;
              HKEY k = nullptr;
              if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\RootOnly", 0, KEY_READ, &k) !=
                  ERROR_FILE_NOT_FOUND)
                return 1;
              if (open(rootHive.c_str(), O_RDONLY) >= 0) return 2;
              // Its own hive is created, private to it.
              if (RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Mine", &k) != ERROR_SUCCESS) return 3;
              RegCloseKey(k);
              return 0;
            }));
  struct passwd* nobody = getpwnam("nobody");
  ASSERT_NE(nullptr, nobody);
  const std::string nobodyHive =
      registry_.dir() + "/user-" + std::to_string(nobody->pw_uid) + ".db";
  struct stat st;
  ASSERT_EQ(0, stat(nobodyHive.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);
  EXPECT_EQ(nobody->pw_uid, st.st_uid);
  // And root's own view is unchanged.
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Mine", 0, KEY_READ, &key));
}

// Without VINTUTIL_REGISTRY the user hive lives in the XDG configuration
// directory, created private.
TEST(HiveLocation, UserHiveInTheConfigDirectory) {
  TempRegistry registry;
  const std::string config = registry.dir() + "/config";
  unsetenv("VINTUTIL_REGISTRY");
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  RegDiagReset();
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Here", &key));
  RegCloseKey(key);
  RegDiagReset();
  EXPECT_EQ(0600u, modeOf(config + "/vintutil/user.db"));
  EXPECT_EQ(0700u, modeOf(config + "/vintutil"));
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
