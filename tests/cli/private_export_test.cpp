// What reg export and reg history --export write: an export of private
// settings (HKCU, or a hive nobody but its owner may read) is readable by
// its owner only whatever the umask; every file is written whole under a
// temporary name and renamed into place, so a link planted at the target is
// replaced, never written through, and nothing else is left in the folder.
// POSIX only; the stranger who tries to read a private export needs root.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "../registry/child_process.h"
#include "run_cli.h"
#include "temp_registry.h"
#include "throwaway_user.h"

namespace {

using CliPrivateExport = RegistryTest;

mode_t modeOf(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST_F(CliPrivateExport, PrivateSettingsAreExportedForTheOwnerOnly) {
  const mode_t old = umask(0);  // the program inherits it: 0666 unless private
  RunOk({"reg", "add", "HKCU\\Software\\Mine", "/v", "password", "/d", "secret"});
  RunOk({"reg", "add", "HKLM\\SOFTWARE\\Shared", "/v", "v", "/d", "x"});
  const std::string out = registry_.dir() + "/out";
  std::filesystem::create_directories(out);
  const struct {
    std::vector<std::string> args;
    mode_t hiveMode;  // of the machine hive
    mode_t expected;
  } cases[] = {
      {{"reg", "export", "HKCU\\Software\\Mine", out + "/user.reg"}, 0644, 0600},
      {{"reg", "export", "HKLM\\SOFTWARE\\Shared", out + "/machine.reg"}, 0644, 0666},
      {{"reg", "export", "HKLM\\SOFTWARE\\Shared", out + "/private.reg"}, 0600, 0600},
      {{"reg", "history", "HKCU\\Software\\Mine", "--export", out + "/past.reg", "--at",
        "2100-01-01"},
       0644,
       0600},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back());
    for (const std::string file : {"", "-wal", "-shm", "-changes", "-lock"}) {
      const mode_t mode = file == "-lock" ? c.hiveMode & 0640 : c.hiveMode;
      ASSERT_EQ(0, chmod((registry_.machineHive() + file).c_str(), mode)) << file;
    }
    RunOk(c.args);
    const std::string file = c.args[c.args[1] == "export" ? 3 : 4];
    EXPECT_EQ(c.expected, modeOf(file));
  }
  umask(old);
  EXPECT_EQ(4, std::distance(std::filesystem::directory_iterator(out),
                             std::filesystem::directory_iterator()))
      << "a temporary file was left";

  if (geteuid() != 0) return;  // the stranger needs root to be made
  throwaway::User stranger("x");
  ASSERT_TRUE(stranger.made());
  chmod(registry_.dir().c_str(), 0755);
  EXPECT_EQ(0, runInChild([&] {
              if (!stranger.become()) return 100;
              return open((out + "/user.reg").c_str(), O_RDONLY) < 0 && errno == EACCES ? 0 : 1;
            }));
}

// With /y a link at the target is replaced by the export; the file it
// pointed to keeps its bytes.
TEST_F(CliPrivateExport, ALinkAtTheTargetIsReplacedNotWrittenThrough) {
  RunOk({"reg", "add", "HKCU\\Software\\Mine", "/v", "password", "/d", "secret"});
  const std::string victim = registry_.dir() + "/victim";
  const std::string target = registry_.dir() + "/export.reg";
  WriteFileBytes(victim, "the victim's bytes");
  ASSERT_EQ(0, symlink(victim.c_str(), target.c_str()));
  RunOk({"reg", "export", "HKCU\\Software\\Mine", target, "/y", "--format", "regedit4"});
  EXPECT_EQ("the victim's bytes", ReadFileBytes(victim));
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(target)));
  EXPECT_NE(std::string::npos, ReadFileBytes(target).find("secret"));
}

}  // namespace
