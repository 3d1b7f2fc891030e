// Writers of a hive do not depend on anything a user who may only read it
// can lock: a reader holding read locks on every byte of every hive file it
// can open stalls no write. A writer outside the library holding SQLite's
// write lock is waited for, and reported as busy. Played by a throwaway
// user; needs root, skipped otherwise. POSIX only.
#include <windows.h>
#include <registry_diagnostics.h>

#include <fcntl.h>
#include <sqlite3.h>

#include <chrono>
#include <string>

#include "child_process.h"
#include "registry_values.h"
#include "temp_registry.h"
#include "throwaway_user.h"

namespace {

using regtest::Set;
using regtest::Text;

const char kKey[] = "SOFTWARE\\Vendor";

class ReaderLocks : public RegistryTest {
 protected:
  void SetUp() override {
    SKIP_UNLESS_ROOT_FOR_USERS();
    ASSERT_TRUE(reader_.made()) << "useradd failed";
    chmod(registry_.dir().c_str(), 0755);
    ASSERT_EQ(ERROR_SUCCESS, Set(HKEY_LOCAL_MACHINE, kKey, "v", Text("before")));
    RegDiagReset();
  }

  // Starts `hold` in a child as `user` (root when null); returns once the
  // child reports it holds its locks. It holds them until `release()`.
  void startHolder(const throwaway::User* user, const std::function<bool()>& hold) {
    ASSERT_EQ(0, pipe(ready_));
    ASSERT_EQ(0, pipe(release_));
    holder_ = startChild([&] {
      close(ready_[0]);
      close(release_[1]);
      if (user && !user->become()) return 100;
      if (!hold()) return 1;
      char done;
      if (write(ready_[1], "r", 1) != 1) return 2;
      return read(release_[0], &done, 1) == 0 ? 0 : 3;
    });
    close(ready_[1]);
    close(release_[0]);
    char byte;
    ASSERT_EQ(1, read(ready_[0], &byte, 1)) << "the holder failed";
  }

  int release() {
    close(release_[1]);
    close(ready_[0]);
    return waitChild(holder_);
  }

  throwaway::User reader_{"r"};
  int ready_[2] = {-1, -1};
  int release_[2] = {-1, -1};
  pid_t holder_ = -1;
};

// Read locks on every byte of each file, as process or as open file
// description locks: root's write goes through at once.
TEST_F(ReaderLocks, AReaderCannotStallWriters) {
  const std::string hive = registry_.machineHive();
  for (int command : {F_SETLK, F_OFD_SETLK}) {
    SCOPED_TRACE(command);
    startHolder(&reader_, [&] {
      int locked = 0;
      for (const char* file : {"", "-wal", "-shm", "-changes", "-lock"}) {
        int fd = open((hive + file).c_str(), O_RDONLY);
        struct flock lock = {};
        lock.l_type = F_RDLCK;
        lock.l_whence = SEEK_SET;
        if (fd >= 0 && fcntl(fd, command, &lock) == 0) ++locked;
      }
      return locked == 4;  // all but the writers' lock file, which it may not open
    });
    RegDiagSetLockTimeout(3000);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ERROR_SUCCESS, Set(HKEY_LOCAL_MACHINE, kKey, "v", Text("during")));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_EQ(Text("during"), regtest::Get(HKEY_LOCAL_MACHINE, kKey, "v"));
    EXPECT_EQ(0, release());
    ASSERT_EQ(ERROR_SUCCESS, Set(HKEY_LOCAL_MACHINE, kKey, "v", Text("before")));
    RegDiagReset();
  }
}

// A writer outside the library (a bare SQLite session in another process)
// holds the write lock: the write waits the lock timeout, then fails busy.
TEST_F(ReaderLocks, AForeignWriterIsWaitedForAndReportedBusy) {
  const std::string hive = registry_.machineHive();
  ASSERT_EQ(Text("before"), regtest::Get(HKEY_LOCAL_MACHINE, kKey, "v"));  // connected
  sqlite3* db = nullptr;
  startHolder(nullptr, [&] {
    return sqlite3_open(hive.c_str(), &db) == SQLITE_OK &&
           sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
  });
  RegDiagSetLockTimeout(300);
  EXPECT_EQ(ERROR_BUSY, Set(HKEY_LOCAL_MACHINE, kKey, "v", Text("during")));
  EXPECT_EQ(Text("before"), regtest::Get(HKEY_LOCAL_MACHINE, kKey, "v"));
  EXPECT_EQ(0, release());
  EXPECT_EQ(ERROR_SUCCESS, Set(HKEY_LOCAL_MACHINE, kKey, "v", Text("after")));
}

}  // namespace
