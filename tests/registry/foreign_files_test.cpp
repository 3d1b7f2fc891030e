// Files another local user planted among the hives are never used: a hive or
// companion that is not its owner's, that others may write, or that is a
// link is refused with a reason naming it, and nothing is written. Each case
// is played by real throwaway users in a shared registry directory (sticky
// and world-writable, as an administrator might make one for a team). The
// tests need root to make the users and are skipped otherwise. POSIX only.
#include <windows.h>
#include <registry_diagnostics.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "child_process.h"
#include "registry_values.h"
#include "temp_registry.h"
#include "throwaway_user.h"

namespace {

using regtest::Set;
using regtest::Text;

const char kKey[] = "Software\\Victim";

std::string refusal() {
  char text[1024];
  RegDiagLastRefusal(text, sizeof text);
  return text;
}

struct FileState {
  bool exists = false;
  off_t size = 0;
  mode_t mode = 0;
  uid_t owner = 0;
  bool operator==(const FileState& o) const {
    return exists == o.exists && size == o.size && mode == o.mode && owner == o.owner;
  }
};

FileState stateOf(const std::string& path) {
  struct stat st;
  FileState state;
  if (lstat(path.c_str(), &st) != 0) return state;
  return {true, st.st_size, st.st_mode & 07777, st.st_uid};
}

// A valid hive file, made by the library in a scratch registry.
std::string makeHiveCopy(const std::string& scratch) {
  std::filesystem::create_directories(scratch);
  setenv("VINTUTIL_REGISTRY", scratch.c_str(), 1);
  RegDiagReset();
  EXPECT_EQ(ERROR_SUCCESS, Set(HKEY_LOCAL_MACHINE, kKey, "planted", Text("by mallory")));
  RegDiagReset();
  return scratch + "/machine.db";
}

class ForeignFiles : public RegistryTest {
 protected:
  void SetUp() override {
    SKIP_UNLESS_ROOT_FOR_USERS();
    ASSERT_TRUE(alice_.made() && mallory_.made()) << "useradd failed";
    chmod(registry_.dir().c_str(), 01777);
  }

  // Runs `act` in a child as `user` (root when null); the child's exit code.
  int as(const throwaway::User* user, const std::function<int()>& act) {
    return runInChild([&] {
      if (user && !user->become()) return 100;
      return act();
    });
  }

  // `file` (in the registry directory) planted by mallory with `mode`: a
  // copy of a valid hive, or a link to one when `link`.
  void plant(const std::string& file, mode_t mode, bool link) {
    const std::string path = registry_.dir() + "/" + file;
    const std::string scratch = registry_.dir() + "-scratch";
    const std::string hive = makeHiveCopy(scratch);
    setenv("VINTUTIL_REGISTRY", registry_.dir().c_str(), 1);
    RegDiagReset();
    if (link) {
      ASSERT_EQ(0, symlink(hive.c_str(), path.c_str()));
      ASSERT_EQ(0, lchown(path.c_str(), mallory_.uid(), mallory_.gid()));
    } else {
      std::filesystem::copy_file(hive, path);
      ASSERT_EQ(0, chown(path.c_str(), mallory_.uid(), mallory_.gid()));
      ASSERT_EQ(0, chmod(path.c_str(), mode));
    }
  }

  throwaway::User alice_{"a"};
  throwaway::User mallory_{"m"};
};

// What mallory plants, whose write then meets it, and the reason given.
TEST_F(ForeignFiles, PlantedFilesAreRefusedAndNothingIsWritten) {
  const std::string aliceHive = "user-" + std::to_string(alice_.uid()) + ".db";
  const struct {
    std::string file;
    mode_t mode;
    bool link;
    bool aliceWritesHer;  // alice writes HKCU; else root writes HKLM
    const char* reason;
  } cases[] = {
      // Would receive alice's settings (and the passwords stored there).
      {aliceHive, 0666, false, true, "owned by"},
      // Would inject values into the machine hive root is about to create.
      {"machine.db-wal", 0666, false, false, "owned by"},
      {"machine.db-shm", 0644, false, false, "owned by"},
      // Would freeze alice's read cache on stale values.
      {aliceHive + "-changes", 0644, false, true, "owned by"},
      {"machine.db-lock", 0600, false, false, "owned by"},
      // A machine hive of a stranger's, in a directory that is not theirs.
      {"machine.db", 0644, false, false, "neither root nor the owner"},
      {"machine.db-wal", 0644, true, false, "symbolic link"},
      {aliceHive, 0600, true, true, "symbolic link"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    plant(c.file, c.mode, c.link);
    const std::string planted = registry_.dir() + "/" + c.file;
    const FileState before = stateOf(planted);
    const std::string expected = c.reason;
    EXPECT_EQ(0, as(c.aliceWritesHer ? &alice_ : nullptr, [&] {
                HKEY root = c.aliceWritesHer ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
                if (Set(root, kKey, "secret", Text("password")) != ERROR_ACCESS_DENIED) return 1;
                const std::string reason = refusal();
                return reason.find(planted) != std::string::npos &&
                               reason.find(expected) != std::string::npos
                           ? 0
                           : 2;
              }));
    EXPECT_EQ(before, stateOf(planted)) << "the planted file was changed";
    // Nothing else was written either.
    for (const auto& entry : std::filesystem::directory_iterator(registry_.dir())) {
      EXPECT_EQ(planted, entry.path().string()) << "written beside it";
    }
    std::filesystem::remove(planted);
    std::filesystem::remove_all(registry_.dir() + "-scratch");
  }
}

// A registry directory others may write without the sticky bit, or one
// another user made, is refused.
TEST_F(ForeignFiles, DirectoriesOthersControlAreRefused) {
  const struct {
    mode_t mode;
    bool mallorysDirectory;
    const char* reason;
  } cases[] = {
      {0777, false, "no sticky bit"},
      {0755, true, "belongs to"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    ASSERT_EQ(0, chmod(registry_.dir().c_str(), c.mode));
    ASSERT_EQ(0, chown(registry_.dir().c_str(), c.mallorysDirectory ? mallory_.uid() : 0, 0));
    const std::string expected = c.reason;
    EXPECT_EQ(0, as(nullptr, [&] {
                if (Set(HKEY_LOCAL_MACHINE, kKey, "v", Text("x")) != ERROR_ACCESS_DENIED) return 1;
                return refusal().find(expected) != std::string::npos ? 0 : 2;
              }));
    EXPECT_TRUE(std::filesystem::is_empty(registry_.dir()));
  }
}

// Modes of folders and files whatever the umask; another user reads what
// root wrote.
TEST_F(ForeignFiles, FoldersAndFilesHaveTheirModesWhateverTheUmask) {
  for (mode_t mask : {mode_t(077), mode_t(0), mode_t(027)}) {
    SCOPED_TRACE(mask);
    const std::string dir = registry_.dir() + "/m" + std::to_string(mask) + "/vintutil";
    EXPECT_EQ(0, as(nullptr, [&] {
                umask(mask);
                setenv("VINTUTIL_REGISTRY", dir.c_str(), 1);
                return Set(HKEY_LOCAL_MACHINE, kKey, "v", Text("root's")) == ERROR_SUCCESS ? 0 : 1;
              }));
    EXPECT_EQ(0755u, stateOf(dir).mode);
    EXPECT_EQ(0755u, stateOf(registry_.dir() + "/m" + std::to_string(mask)).mode);
    for (const char* file : {"", "-wal", "-shm", "-changes"})
      EXPECT_EQ(0644u, stateOf(dir + "/machine.db" + file).mode) << file;
    EXPECT_EQ(0640u, stateOf(dir + "/machine.db-lock").mode);
    EXPECT_EQ(0, as(&alice_, [&] {
                setenv("VINTUTIL_REGISTRY", dir.c_str(), 1);
                return regtest::Get(HKEY_LOCAL_MACHINE, kKey, "v") == Text("root's") ? 0 : 1;
              }));
  }
}

// The user hive lives in the real user's home from the user database, not
// in an inherited HOME or another user's XDG_CONFIG_HOME.
TEST_F(ForeignFiles, TheUserHiveIsFoundFromTheAccountNotFromHome) {
  const std::string home = registry_.dir() + "/home";
  const std::string other = registry_.dir() + "/other";
  throwaway::User bob("b", home);
  ASSERT_TRUE(bob.made());
  std::filesystem::create_directories(home);
  std::filesystem::create_directories(other);
  ASSERT_EQ(0, chown(home.c_str(), bob.uid(), bob.gid()));
  EXPECT_EQ(0, as(&bob, [&] {
              unsetenv("VINTUTIL_REGISTRY");
              setenv("HOME", other.c_str(), 1);
              setenv("XDG_CONFIG_HOME", (other + "/config").c_str(), 1);
              return Set(HKEY_CURRENT_USER, kKey, "v", Text("bob's")) == ERROR_SUCCESS ? 0 : 1;
            }));
  const FileState hive = stateOf(home + "/.config/vintutil/user.db");
  EXPECT_TRUE(hive.exists);
  EXPECT_EQ(bob.uid(), hive.owner);
  EXPECT_EQ(0600u, hive.mode);
  EXPECT_TRUE(std::filesystem::is_empty(other));
}

// A bare SQLite session removed the -wal and -shm files (its last
// connection closed): the next writer makes them again with the hive's
// owner and mode, under any umask; until then a reader who may not make
// them is told which is missing.
TEST_F(ForeignFiles, CompanionsRemovedByAForeignSessionAreMadeAgain) {
  chmod(registry_.dir().c_str(), 0755);
  ASSERT_EQ(ERROR_SUCCESS, Set(HKEY_LOCAL_MACHINE, kKey, "v", Text("one")));
  RegDiagReset();
  const std::string hive = registry_.machineHive();
  for (const char* file : {"-wal", "-shm"}) ASSERT_EQ(0, unlink((hive + file).c_str()));
  EXPECT_EQ(0, as(&alice_, [&] {
              if (regtest::Get(HKEY_LOCAL_MACHINE, kKey, "v")) return 1;
              return refusal().find(hive + "-wal: missing") != std::string::npos ? 0 : 2;
            }));
  EXPECT_EQ(0, as(nullptr, [&] {
              umask(077);
              return Set(HKEY_LOCAL_MACHINE, kKey, "v", Text("two")) == ERROR_SUCCESS ? 0 : 1;
            }));
  for (const char* file : {"-wal", "-shm"}) EXPECT_EQ(0644u, stateOf(hive + file).mode) << file;
  EXPECT_EQ(0, as(&alice_, [&] {
              return regtest::Get(HKEY_LOCAL_MACHINE, kKey, "v") == Text("two") ? 0 : 1;
            }));
}

// A hive its group administers: new companion files take the hive's group
// (not the creating member's own), so every member may go on writing.
TEST_F(ForeignFiles, CompanionsOfAGroupAdministeredHiveTakeItsGroup) {
  throwaway::Group admins("g");
  ASSERT_TRUE(admins.made());
  throwaway::User first("f", "/nonexistent", &admins);
  throwaway::User second("s", "/nonexistent", &admins);
  ASSERT_TRUE(first.made() && second.made());
  ASSERT_EQ(ERROR_SUCCESS, Set(HKEY_LOCAL_MACHINE, kKey, "v", Text("root's")));
  RegDiagReset();
  const std::string hive = registry_.machineHive();
  for (const char* file : {"-wal", "-shm", "-changes", "-lock"})
    ASSERT_EQ(0, unlink((hive + file).c_str())) << file;
  ASSERT_EQ(0, chown(registry_.dir().c_str(), 0, admins.gid()));
  ASSERT_EQ(0, chmod(registry_.dir().c_str(), 0775));
  ASSERT_EQ(0, chown(hive.c_str(), 0, admins.gid()));
  ASSERT_EQ(0, chmod(hive.c_str(), 0664));

  int turn = 0;
  for (const throwaway::User* member : {&first, &second, &first}) {
    SCOPED_TRACE(member->name());
    const std::string text = "turn " + std::to_string(++turn);
    EXPECT_EQ(0, as(member, [&] {
                if (Set(HKEY_LOCAL_MACHINE, kKey, "v", Text(text)) != ERROR_SUCCESS) return 1;
                return regtest::Get(HKEY_LOCAL_MACHINE, kKey, "v") == Text(text) ? 0 : 2;
              }));
  }
  for (const char* file : {"-wal", "-shm", "-changes", "-lock"}) {
    struct stat st;
    ASSERT_EQ(0, stat((hive + file).c_str(), &st)) << file;
    EXPECT_EQ(admins.gid(), st.st_gid) << file;
    EXPECT_EQ(file == std::string("-lock") ? 0660u : 0664u, st.st_mode & 07777) << file;
  }
  // Members given the files but not the folder write without the writers'
  // lock file until someone who may create it (root) writes again.
  ASSERT_EQ(0, unlink((hive + "-lock").c_str()));
  ASSERT_EQ(0, chmod(registry_.dir().c_str(), 0755));
  EXPECT_EQ(0, as(&second, [&] {
              return Set(HKEY_LOCAL_MACHINE, kKey, "v", Text("turn 3")) == ERROR_SUCCESS ? 0 : 1;
            }));
  EXPECT_FALSE(stateOf(hive + "-lock").exists);
  // A stranger still only reads.
  EXPECT_EQ(
      0, as(&mallory_, [&] {
        if (!(regtest::Get(HKEY_LOCAL_MACHINE, kKey, "v") == Text("turn 3"))) return 1;
        return Set(HKEY_LOCAL_MACHINE, kKey, "v", Text("mallory's")) == ERROR_ACCESS_DENIED ? 0 : 2;
      }));
}

}  // namespace
