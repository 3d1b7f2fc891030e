// The machine hive served by PostgreSQL, on a private server of this file's
// own that the tests stop, kill and start again: roles, propagation between
// processes, an unreachable server and a killed one.
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <registry_diagnostics.h>
#include <registry_server.h>
#include <windows.h>

#include "child_process.h"
#include "registry_values.h"
#include "temp_registry.h"

namespace {

using namespace std::chrono_literals;

// Runs a command of the shell; its exit code.
int shell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The processes whose parent is `parent`, from /proc.
std::vector<pid_t> childrenOf(pid_t parent) {
  std::vector<pid_t> children;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (comm) state ppid ...: comm may hold spaces and parentheses.
    const size_t end = line.rfind(')');
    if (end == std::string::npos) continue;
    char state;
    pid_t ppid = 0;
    if (std::sscanf(line.c_str() + end + 1, " %c %d", &state, &ppid) == 2 && ppid == parent)
      children.push_back(pid_t(std::stol(pid)));
  }
  return children;
}

class PrivateServer {
 public:
  PrivateServer() : dir_("/tmp/vintutil-served-" + std::to_string(getpid())) {}
  ~PrivateServer() { script("stop"); }

  bool start() { return script("start") == 0; }
  bool resume() { return script("resume") == 0; }
  // SIGKILL to every process of the server, as a crash of its machine would.
  bool kill() {
    std::ifstream pidFile(dir_ + "/data/postmaster.pid");
    pid_t postmaster = 0;
    if (!(pidFile >> postmaster) || postmaster <= 0) return false;
    // The backends first: the postmaster would start others.
    for (int i = 0; i < 100; ++i) {
      std::vector<pid_t> backends = childrenOf(postmaster);
      if (backends.empty()) break;
      for (pid_t backend : backends) ::kill(backend, SIGKILL);
      std::this_thread::sleep_for(20ms);
    }
    if (::kill(postmaster, SIGKILL) != 0) return false;
    for (int i = 0; i < 100 && ::kill(postmaster, 0) == 0; ++i) std::this_thread::sleep_for(20ms);
    return true;
  }
  // Runs SQL as the server's superuser in database `db`.
  bool sql(const std::string& db, const std::string& statement) {
    return shell("psql -q -v ON_ERROR_STOP=1 \"" + conninfo(db, "postgres") + "\" -c \"" +
                 statement + "\" >/dev/null") == 0;
  }
  std::string conninfo(const std::string& db, const std::string& role) const {
    return "host=" + dir_ + " dbname=" + db + " user=" + role;
  }

 private:
  int script(const std::string& command) {
    return shell(script_ + " " + command + " " + dir_ + " >/dev/null");
  }
  std::string script_ = VINTUTIL_TEST_SERVER_SCRIPT;
  std::string dir_;
};

class ServedHive : public RegistryTest {
 protected:
  static void SetUpTestSuite() {
    server_ = new PrivateServer;
    started_ = server_->start();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    if (!started_) {
      if (getenv("CI")) FAIL() << "cannot start a PostgreSQL server (scripts/test-server)";
      GTEST_SKIP() << "no PostgreSQL server could be started (install postgresql-15)";
    }
    db_ = "t" + std::to_string(getpid()) + "_" + std::to_string(++databases_);
    ASSERT_TRUE(server_->sql("postgres", "CREATE DATABASE " + db_));
    std::string message;
    ASSERT_EQ(ERROR_SUCCESS,
              registry_server::initServer(server_->conninfo(db_, "postgres"), &message))
        << message;
    useRole("postgres");
  }
  void TearDown() override { unsetenv("VINTUTIL_MACHINE_HIVE"); }

  // Makes HKEY_LOCAL_MACHINE the served hive, reached as `role`.
  void useRole(const std::string& role) {
    setenv("VINTUTIL_MACHINE_HIVE", server_->conninfo(db_, role).c_str(), 1);
    RegDiagReset();
  }

  static PrivateServer* server_;
  static bool started_;
  static int databases_;
  std::string db_;
};

PrivateServer* ServedHive::server_ = nullptr;
bool ServedHive::started_ = false;
int ServedHive::databases_ = 0;

// The number `name` holds, or the registry's error code as a negative number.
int64_t readNumber(const char* name) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Served", 0, KEY_READ, &key);
  DWORD value = 0, size = sizeof value;
  if (rc == ERROR_SUCCESS) {
    rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
  }
  return rc == ERROR_SUCCESS ? int64_t(value) : -int64_t(rc);
}

LONG writeNumber(const char* name, DWORD value) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Served", &key);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
  return rc;
}

TEST_F(ServedHive, AReaderMayReadWhatAWriterWroteAndNotWrite) {
  ASSERT_TRUE(server_->sql(db_,
                           "DROP ROLE IF EXISTS alice; CREATE ROLE alice LOGIN;"
                           " GRANT vintutil_writer TO alice;"
                           " DROP ROLE IF EXISTS bob; CREATE ROLE bob LOGIN;"
                           " GRANT vintutil_reader TO bob;"));
  useRole("alice");
  ASSERT_EQ(ERROR_SUCCESS, writeNumber("Level", 7));

  useRole("bob");
  EXPECT_EQ(7, readNumber("Level"));
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Served", 0, KEY_SET_VALUE, &key));
  EXPECT_EQ(ERROR_ACCESS_DENIED, writeNumber("Level", 8));
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Served", 0, KEY_READ, &key));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueA(key, "Level"));
  RegCloseKey(key);
  EXPECT_EQ(7, readNumber("Level"));
}

TEST_F(ServedHive, AChangeIsSeenAtOnceByItsWriterAndSoonByEveryOtherProcess) {
  ASSERT_EQ(ERROR_SUCCESS, writeNumber("Level", 1));
  // Read twice: the second answer comes from this process's cache.
  ASSERT_EQ(1, readNumber("Level"));
  ASSERT_EQ(1, readNumber("Level"));
  ASSERT_EQ(0, runInChild([] { return writeNumber("Level", 2) == ERROR_SUCCESS ? 0 : 1; }));
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (readNumber("Level") != 2 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  EXPECT_EQ(2, readNumber("Level"));
  ASSERT_EQ(ERROR_SUCCESS, writeNumber("Level", 3));
  EXPECT_EQ(3, readNumber("Level"));
}

// Writes `value` as soon as the hive has connected again by itself (at the
// first call a second after it last failed); false after 10 s.
bool writeOnceReconnected(const char* name, DWORD value) {
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (writeNumber(name, value) != ERROR_SUCCESS) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

// A registration for changes of SOFTWARE\Served's values, on a handle of
// its own, with its event.
struct ServedWatch {
  ServedWatch() {
    opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Served", 0, KEY_NOTIFY, &key);
    registered = opened == ERROR_SUCCESS
                     ? RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE)
                     : opened;
  }
  ~ServedWatch() {
    RegCloseKey(key);
    CloseHandle(event);
  }
  HKEY key = nullptr;
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  LONG opened, registered;
};

// Waits until the replica holds every change the server holds.
bool replicaInStep() {
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  for (;;) {
    const registry_server::HiveStatus status = registry_server::hiveStatus(HKEY_LOCAL_MACHINE);
    if (status.generation > 0 && status.replicaGeneration >= status.generation) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
}

TEST_F(ServedHive, AnUnreachableServerIsReadFromTheReplicaAndRefusesWritesUntilItIsBack) {
  ASSERT_EQ(ERROR_SUCCESS, writeNumber("Level", 1));
  ASSERT_TRUE(replicaInStep());
  ASSERT_TRUE(server_->kill());

  // Values never read (so not in this process's cache) come from the
  // replica, as they do for a process started while the server is down.
  EXPECT_EQ(1, readNumber("Level"));
  EXPECT_EQ(-ERROR_FILE_NOT_FOUND, readNumber("Unread"));
  RegDiagReset();
  EXPECT_EQ(1, readNumber("Level"));
  EXPECT_EQ(ERROR_BAD_NETPATH, writeNumber("Level", 2));
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_BAD_NETPATH, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\New", &key));
  char reason[512];
  ASSERT_GT(RegDiagLastRefusal(reason, sizeof reason), 0u);
  EXPECT_NE(std::string(reason).find("server"), std::string::npos) << reason;
  const registry_server::HiveStatus status = registry_server::hiveStatus(HKEY_LOCAL_MACHINE);
  EXPECT_TRUE(status.served);
  EXPECT_FALSE(status.reachable);
  EXPECT_EQ(ERROR_BAD_NETPATH, status.error);

  // A user without a replica (another directory of hives) has nothing to
  // read from.
  {
    TempRegistry newcomer;
    setenv("VINTUTIL_MACHINE_HIVE", server_->conninfo(db_, "postgres").c_str(), 1);
    RegDiagReset();
    EXPECT_EQ(-ERROR_BAD_NETPATH, readNumber("Level"));
  }
  setenv("VINTUTIL_REGISTRY", registry_.dir().c_str(), 1);
  setenv("VINTUTIL_MACHINE_HIVE", server_->conninfo(db_, "postgres").c_str(), 1);
  RegDiagReset();

  ASSERT_TRUE(server_->resume());
  EXPECT_TRUE(writeOnceReconnected("Level", 2));
  EXPECT_EQ(2, readNumber("Level"));
  EXPECT_TRUE(replicaInStep());
}

// Every key below `path` with its values (name, type, data), in the
// registry's order, one line each.
std::string treeBelow(HKEY root, const std::string& path) {
  HKEY key = regtest::Open(root, path, KEY_READ);
  if (!key) return "missing " + path + "\n";
  std::string tree = path + "\n";
  char name[256];
  BYTE data[256];
  DWORD type, nameLength = sizeof name, size = sizeof data;
  for (DWORD i = 0; RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size) == 0;
       ++i, nameLength = sizeof name, size = sizeof data) {
    tree += "  " + std::string(name) + " " + std::to_string(type) + " " +
            std::string(reinterpret_cast<char*>(data), size) + "\n";
  }
  for (const std::string& subkey : regtest::SubKeys(key)) tree += treeBelow(key, subkey);
  RegCloseKey(key);
  return tree;
}

// What SOFTWARE\Tree holds read from the server and then, with the server
// killed, from the replica.
void ExpectTheReplicaHoldsWhatTheServerHolds(PrivateServer& server) {
  ASSERT_TRUE(replicaInStep());
  RegDiagReset();
  const std::string served = treeBelow(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tree");
  ASSERT_TRUE(server.kill());
  RegDiagReset();
  EXPECT_EQ(served, treeBelow(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tree"));
  ASSERT_TRUE(server.resume());
  RegDiagReset();  // connects again at once
}

// The replica's first copy is whole; later ones take only the keys changed
// since, as the history names them, unless the history no longer reaches
// back to the replica's generation.
TEST_F(ServedHive, TheReplicaFollowsEveryKindOfChange) {
  using regtest::Put, regtest::Text, regtest::Dword;
  const HKEY lm = HKEY_LOCAL_MACHINE;
  Put(lm, "SOFTWARE\\Tree\\A\\B", "kept", Text("k"));
  Put(lm, "SOFTWARE\\Tree\\A\\B", "changed", Text("before"));
  Put(lm, "SOFTWARE\\Tree\\A\\B", "deleted", Dword(1));
  Put(lm, "SOFTWARE\\Tree\\A\\B\\C", "gone", Dword(2));
  Put(lm, "SOFTWARE\\Tree\\Left", "alone", Dword(3));
  ASSERT_TRUE(replicaInStep());

  Put(lm, "SOFTWARE\\Tree\\A\\B", "changed", Dword(4));
  ASSERT_EQ(ERROR_SUCCESS, regtest::Delete(lm, "SOFTWARE\\Tree\\A\\B", "deleted"));
  regtest::DeleteTree(lm, "SOFTWARE\\Tree\\A\\B\\C");
  Put(lm, "SOFTWARE\\Tree\\A\\B\\c\\D", "new", Text("made again, under other ids"));
  Put(lm, "SOFTWARE\\Tree\\E", "new", Text("e"));
  ASSERT_NO_FATAL_FAILURE(ExpectTheReplicaHoldsWhatTheServerHolds(*server_));

  ASSERT_TRUE(server_->sql(db_, "DELETE FROM vintutil.history"));
  regtest::DeleteTree(lm, "SOFTWARE\\Tree\\A");
  Put(lm, "SOFTWARE\\Tree\\E", "new", Text("after the history was emptied"));
  ASSERT_NO_FATAL_FAILURE(ExpectTheReplicaHoldsWhatTheServerHolds(*server_));
}

// A database dropped and made again under the same name is another hive:
// the replica copies it whole, though it held a later generation of the old.
TEST_F(ServedHive, TheReplicaOfADatabaseMadeAgainHoldsNothingOfTheOldOne) {
  for (DWORD i = 0; i < 5; ++i)
    regtest::Put(HKEY_LOCAL_MACHINE, "SOFTWARE\\Old", "n", regtest::Dword(i));
  ASSERT_TRUE(replicaInStep());
  RegDiagReset();  // this process's connections end
  ASSERT_TRUE(server_->sql("postgres", "DROP DATABASE " + db_ + " WITH (FORCE)"));
  ASSERT_TRUE(server_->sql("postgres", "CREATE DATABASE " + db_));
  std::string message;
  ASSERT_EQ(ERROR_SUCCESS,
            registry_server::initServer(server_->conninfo(db_, "postgres"), &message))
      << message;
  RegDiagReset();
  ASSERT_EQ(ERROR_SUCCESS, writeNumber("Level", 1));
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  registry_server::HiveStatus status;
  do {
    std::this_thread::sleep_for(20ms);
    status = registry_server::hiveStatus(HKEY_LOCAL_MACHINE);
  } while (status.replicaGeneration != status.generation &&
           std::chrono::steady_clock::now() < deadline);
  ASSERT_EQ(status.generation, status.replicaGeneration);

  ASSERT_TRUE(server_->kill());
  RegDiagReset();
  EXPECT_EQ(1, readNumber("Level"));
  EXPECT_FALSE(regtest::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Old"));
  ASSERT_TRUE(server_->resume());
}

// Another process stands for another workstation: its change reaches the
// watcher only through the server's notifications.
TEST_F(ServedHive, WatchesMadeBeforeAndDuringAnOutageSignalTheFirstChangeAfterIt) {
  ASSERT_EQ(ERROR_SUCCESS, writeNumber("Level", 1));
  // Without the server the key is found in the replica.
  ASSERT_TRUE(replicaInStep());
  const ServedWatch before;
  ASSERT_EQ(ERROR_SUCCESS, before.opened);
  ASSERT_EQ(ERROR_SUCCESS, before.registered);
  ASSERT_TRUE(server_->kill());
  // Made while the server is away, a registration starts from the replica.
  const ServedWatch whileAway;
  ASSERT_EQ(ERROR_SUCCESS, whileAway.opened);
  EXPECT_EQ(ERROR_SUCCESS, whileAway.registered);
  ASSERT_TRUE(server_->resume());
  std::this_thread::sleep_for(1500ms);  // the watch's listener connects again
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(before.event, 0)) << "signalled with no change";
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(whileAway.event, 0)) << "signalled with no change";
  EXPECT_EQ(0, runInChild([] { return writeOnceReconnected("Level", 2) ? 0 : 1; }));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(before.event, 5000));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(whileAway.event, 5000));
}

TEST_F(ServedHive, AServerKilledAmidWritesKeepsEveryWriteItAcknowledged) {
  // A child writes numbered values and reports each acknowledged one on a
  // pipe; the server is killed under it.
  int acknowledged[2];
  ASSERT_EQ(0, pipe(acknowledged));
  const pid_t writer = startChild([&] {
    close(acknowledged[0]);
    for (DWORD n = 0;; ++n) {
      const std::string name = "N" + std::to_string(n);
      if (writeNumber(name.c_str(), n) != ERROR_SUCCESS) return 0;
      if (write(acknowledged[1], &n, sizeof n) != sizeof n) return 1;
    }
  });
  close(acknowledged[1]);
  DWORD last = 0;
  int seen = 0;
  while (seen < 50 && read(acknowledged[0], &last, sizeof last) == sizeof last) ++seen;
  ASSERT_TRUE(server_->kill());
  while (read(acknowledged[0], &last, sizeof last) == sizeof last) ++seen;
  close(acknowledged[0]);
  ASSERT_EQ(0, waitChild(writer));

  ASSERT_TRUE(server_->resume());
  int found = 0;
  for (DWORD n = 0; n <= last; ++n) {
    const int64_t value = readNumber(("N" + std::to_string(n)).c_str());
    EXPECT_EQ(int64_t(n), value);
    found += value == int64_t(n);
  }
  EXPECT_EQ(DWORD(seen), last + 1);
  printf("writes acknowledged until the server was killed: %d; found after its restart: %d\n", seen,
         found);
}

}  // namespace
