// RegNotifyChangeKeyValue across processes and users: a change committed by
// another process, as the same or another user, wakes the waiter through the
// kernel; other keys' changes signal nothing; waiting costs nothing; and
// registrations leave no descriptor or thread behind. POSIX only.
#include <windows.h>
#include <registry_diagnostics.h>

#include <dirent.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "child_process.h"
#include "registry_values.h"
#include "temp_registry.h"

namespace {

using regtest::Set;
using regtest::Text;

const char kWatched[] = "SOFTWARE\\Watched";
const DWORD kAnyChange = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

// A byte through a pipe: one process tells another it may go on.
void tell(int fd) { (void)!write(fd, "x", 1); }
bool hear(int fd) {
  char c;
  return read(fd, &c, 1) == 1;
}

size_t entriesOf(const char* dir) {
  size_t n = 0;
  DIR* d = opendir(dir);
  while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
  closedir(d);
  return n;
}

// Context switches of the threads that follow the registry's changes (the
// library names them registry-watch and registry-listen): a thread that
// sleeps until woken makes none while nothing happens.
long watchingThreadsSwitches() {
  long total = 0;
  DIR* d = opendir("/proc/self/task");
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] == '.') continue;
    const std::string task = std::string("/proc/self/task/") + e->d_name;
    std::string name;
    std::getline(std::ifstream(task + "/comm"), name);
    if (name != "registry-watch" && name != "registry-listen") continue;
    std::ifstream status(task + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.find("ctxt_switches:") != std::string::npos)
        total += std::stol(line.substr(line.find(':') + 1));
    }
  }
  closedir(d);
  return total;
}

class NotificationProcesses : public RegistryTest {
 protected:
  void SetUp() override {
    regtest::CreateKey(HKEY_LOCAL_MACHINE, kWatched);
    regtest::CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Elsewhere");
    event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_EQ(0, pipe(toChild_));
  }
  void TearDown() override {
    CloseHandle(event_);
    close(toChild_[0]);
    close(toChild_[1]);
  }

  HANDLE event_ = nullptr;
  int toChild_[2];
};

TEST_F(NotificationProcesses, AnotherProcessesChangeSignalsOnlyWhenItConcernsTheKey) {
  HKEY key = regtest::Open(HKEY_LOCAL_MACHINE, kWatched, KEY_NOTIFY);
  ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(key, TRUE, kAnyChange, event_, TRUE));
  const pid_t writer = startChild([&] {
    if (Set(HKEY_LOCAL_MACHINE, "SOFTWARE\\Elsewhere", "v", Text("x")) != ERROR_SUCCESS) return 1;
    if (!hear(toChild_[0])) return 2;
    return Set(HKEY_LOCAL_MACHINE, "SOFTWARE\\Watched\\Below", "v", Text("x")) == ERROR_SUCCESS ? 0
                                                                                                : 3;
  });
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event_, 300)) << "a change of another key";
  tell(toChild_[1]);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event_, 5000)) << "a change below the key";
  EXPECT_EQ(0, waitChild(writer));
  RegCloseKey(key);
}

TEST_F(NotificationProcesses, AWaitingProcessSleepsUntilAChange) {
  HKEY key = regtest::Open(HKEY_LOCAL_MACHINE, kWatched, KEY_NOTIFY);
  ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(key, TRUE, kAnyChange, event_, TRUE));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event_, 100)) << "the watching thread settles";
  const long before = watchingThreadsSwitches();
  EXPECT_GT(before, 0) << "no thread named as a watching thread";
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(event_, 500));
  EXPECT_EQ(before, watchingThreadsSwitches()) << "the watching thread woke without a change";
  EXPECT_EQ(0, runInChild([] { return int(Set(HKEY_LOCAL_MACHINE, kWatched, "v", Text("x"))); }));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event_, 5000));
  RegCloseKey(key);
}

// Half of the registrations end with a change (the watching thread then
// ends by itself), half with the close of their key. Counted after a first
// registration, which opens the watch's connection to the hive for good.
TEST_F(NotificationProcesses, AThousandRegistrationsAndClosesLeaveNoDescriptorOrThread) {
  size_t descriptors = 0, threads = 0;
  for (int i = -1; i < 1000; ++i) {
    if (i == 0) {
      registry_.settle();
      descriptors = entriesOf("/proc/self/fd"), threads = entriesOf("/proc/self/task");
    }
    HKEY key = regtest::Open(HKEY_LOCAL_MACHINE, kWatched, KEY_NOTIFY);
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(key, i % 2, kAnyChange, event, TRUE));
    if (i % 2 == 0) {
      ASSERT_EQ(ERROR_SUCCESS, Set(HKEY_LOCAL_MACHINE, kWatched, "v", Text("x")));
    }
    RegCloseKey(key);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event, 0));
    CloseHandle(event);
  }
  registry_.settle();
  EXPECT_EQ(descriptors, entriesOf("/proc/self/fd"));
  EXPECT_EQ(threads, entriesOf("/proc/self/task"));
}

// The machine hive is root's; nobody watches it and root writes.
class NotificationUsers : public NotificationProcesses {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to switch users";
    NotificationProcesses::SetUp();
    chmod(registry_.dir().c_str(), 01777);
    ASSERT_EQ(0, pipe(toParent_));
    RegDiagReset();  // no connection of root's is inherited
  }
  void TearDown() override {
    if (geteuid() != 0) return;
    close(toParent_[0]);
    close(toParent_[1]);
    NotificationProcesses::TearDown();
  }

  // Starts a child that, as nobody, registers on the watched key, says so,
  // and exits with 0 when its event is signalled within five seconds.
  pid_t startWatcherAsNobody() {
    return startChild([this] {
      if (!becomeNobody()) return 100;
      HKEY key = regtest::Open(HKEY_LOCAL_MACHINE, kWatched, KEY_READ);
      HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
      if (RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE) !=
          ERROR_SUCCESS)
        return 1;
      tell(toParent_[1]);
      return WaitForSingleObject(event, 5000) == WAIT_OBJECT_0 ? 0 : 2;
    });
  }

  int toParent_[2];
};

TEST_F(NotificationUsers, AWatcherAsOneUserSeesTheChangeOfAnother) {
  const pid_t watcher = startWatcherAsNobody();
  ASSERT_TRUE(hear(toParent_[0]));
  ASSERT_EQ(ERROR_SUCCESS, Set(HKEY_LOCAL_MACHINE, kWatched, "v", Text("root's")));
  EXPECT_EQ(0, waitChild(watcher));
}

// A reader who may not create the change counter waits for its writer to.
TEST_F(NotificationUsers, AWatcherWaitsForTheFirstWriterToMakeTheChangeCounter) {
  ASSERT_EQ(0, unlink((registry_.machineHive() + "-changes").c_str()));
  const pid_t watcher = startWatcherAsNobody();
  ASSERT_TRUE(hear(toParent_[0]));
  EXPECT_NE(0, access((registry_.machineHive() + "-changes").c_str(), F_OK));
  ASSERT_EQ(ERROR_SUCCESS, Set(HKEY_LOCAL_MACHINE, kWatched, "v", Text("root's")));
  EXPECT_EQ(0, waitChild(watcher));
}

}  // namespace
