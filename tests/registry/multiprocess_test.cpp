// Several processes on one hive: concurrent writers and readers, and a writer
// that cannot get the lock. POSIX only.
#include <windows.h>
#include <registry_diagnostics.h>

#include <sqlite3.h>

#include <chrono>
#include <string>
#include <vector>

#include "child_process.h"
#include "registry_values.h"
#include "temp_registry.h"

namespace {

const char kKey[] = "SOFTWARE\\Shared";

std::string nameOf(int writer, int i) {
  return "w" + std::to_string(writer) + "_" + std::to_string(i);
}
std::string textOf(int writer, int i) { return "value " + nameOf(writer, i); }

// Opens the key, queries one text value and closes the key again, as the
// library does; the code of the first call that fails.
LONG queryText(const std::string& name, char (&text)[64]) {
  HKEY key = nullptr;
  DWORD size = sizeof text;
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, &key);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  return rc;
}

using SeveralProcesses = RegistryTest;

// Writers store distinct values, each through a fresh open as the library
// does; readers query them meanwhile. A write that returned success must be
// readable afterwards; a reader must only ever see a value whole; the only
// failure allowed is ERROR_BUSY.
TEST_F(SeveralProcesses, ConcurrentWritersAndReadersLoseNothing) {
  constexpr int kWriters = 4, kReaders = 2, kValues = 150;
  regtest::CreateKey(HKEY_LOCAL_MACHINE, kKey);
  registry_.quietBeforeForks();
  int pipes[kWriters][2];
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    ASSERT_EQ(0, pipe(pipes[w]));
    children.push_back(startChild([&, w] {
      close(pipes[w][0]);
      for (int i = 0; i < kValues; ++i) {
        const LONG rc =
            regtest::Set(HKEY_LOCAL_MACHINE, kKey, nameOf(w, i), regtest::Text(textOf(w, i)));
        if (rc != ERROR_SUCCESS && rc != ERROR_BUSY) return 12;
        if (rc == ERROR_SUCCESS && write(pipes[w][1], &i, sizeof i) != sizeof i) return 11;
      }
      return 0;
    }));
    close(pipes[w][1]);
  }
  for (int r = 0; r < kReaders; ++r) {
    children.push_back(startChild([&] {
      for (int round = 0; round < 3 * kValues; ++round) {
        const int w = round % kWriters, i = round % kValues;
        char text[64];
        const LONG rc = queryText(nameOf(w, i), text);
        if (rc == ERROR_SUCCESS && textOf(w, i) != text) return 21;
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND && rc != ERROR_BUSY) return 22;
      }
      return 0;
    }));
  }

  std::vector<std::pair<int, int>> acknowledged;  // (writer, value)
  for (int w = 0; w < kWriters; ++w) {
    for (int i; read(pipes[w][0], &i, sizeof i) == sizeof i;) acknowledged.emplace_back(w, i);
    close(pipes[w][0]);
  }
  for (pid_t child : children) EXPECT_EQ(0, waitChild(child));
  for (const auto& [w, i] : acknowledged) {
    EXPECT_EQ(regtest::Text(textOf(w, i)), regtest::Get(HKEY_LOCAL_MACHINE, kKey, nameOf(w, i)));
  }
  // With a lock timeout of seconds, these short writes never give up.
  EXPECT_EQ(size_t(kWriters * kValues), acknowledged.size());
}

// A process keeps what it has read across its own writes, but not across a
// write of another process that came before its own; and its own changes
// show at once in its next reads.
TEST_F(SeveralProcesses, AWriterSeesTheWritesOfOthersThatCameBeforeItsOwn) {
  using regtest::Text;
  const std::string sub = std::string(kKey) + "\\Sub";
  regtest::Put(HKEY_LOCAL_MACHINE, kKey, "a", Text("1"));
  HKEY key = regtest::Open(HKEY_LOCAL_MACHINE, kKey, KEY_ALL_ACCESS);
  char text[64];
  EXPECT_EQ(ERROR_SUCCESS, queryText("a", text));
  ASSERT_EQ(0, runInChild([] {
              return regtest::Set(HKEY_LOCAL_MACHINE, kKey, "a", Text("2")) == ERROR_SUCCESS ? 0
                                                                                             : 1;
            }));
  // Through the open handle: nothing read between the other's write and this.
  EXPECT_EQ(ERROR_SUCCESS,
            RegSetValueExA(key, "b", 0, REG_SZ, reinterpret_cast<const BYTE*>("2"), 2));
  DWORD size = sizeof text;
  EXPECT_EQ(ERROR_SUCCESS,
            RegQueryValueExA(key, "a", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size));
  EXPECT_STREQ("2", text);
  RegCloseKey(key);

  EXPECT_EQ(ERROR_SUCCESS, regtest::Delete(HKEY_LOCAL_MACHINE, kKey, "b"));
  EXPECT_EQ(std::nullopt, regtest::Get(HKEY_LOCAL_MACHINE, kKey, "b"));
  EXPECT_FALSE(regtest::KeyExists(HKEY_LOCAL_MACHINE, sub));
  regtest::CreateKey(HKEY_LOCAL_MACHINE, sub);
  EXPECT_TRUE(regtest::KeyExists(HKEY_LOCAL_MACHINE, sub));
  regtest::DeleteTree(HKEY_LOCAL_MACHINE, sub);
  EXPECT_FALSE(regtest::KeyExists(HKEY_LOCAL_MACHINE, sub));
}

// Another connection holds the write lock: a write waits the lock timeout,
// then fails with ERROR_BUSY and stores nothing; reads are not blocked.
TEST_F(SeveralProcesses, AWriterThatCannotGetTheLockFailsInBoundedTime) {
  HKEY key = nullptr;
  const BYTE* text = reinterpret_cast<const BYTE*>("x");
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Locked", &key));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "old", 0, REG_SZ, text, 2));
  sqlite3* holder = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(registry_.machineHive().c_str(), &holder));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr));

  RegDiagSetLockTimeout(200);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ERROR_BUSY, RegSetValueExA(key, "new", 0, REG_SZ, text, 2));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(150));
  EXPECT_LT(waited, std::chrono::seconds(3));
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "old", nullptr, nullptr, nullptr, nullptr));

  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "new", nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "new", 0, REG_SZ, text, 2));
  RegCloseKey(key);
  RegDiagSetLockTimeout(5000);
}

}  // namespace
