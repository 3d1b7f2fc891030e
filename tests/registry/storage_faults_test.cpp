// What the registry promises below its API, proven by breaking it: a failure
// of SQLite at any step of a call reaches the caller as its Win32 code and
// stores nothing, damage found while preparing a statement marks the hive
// damaged, RegFlushKey reports a failed sync, and a handle whose slot was
// reused stays closed. The faults come from the stand-in's own diagnostics
// (RegDiagFailStorageNth), so these tests are for Linux only.
#include <windows.h>
#include <registry_diagnostics.h>

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <string>

#include "registry_values.h"
#include "temp_registry.h"

namespace {

const char kPath[] = "Software\\Faults";
const regtest::Value kOld = regtest::Text("old");

class StorageFaults : public RegistryTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(ERROR_SUCCESS, regtest::Set(HKEY_CURRENT_USER, kPath, "v", kOld));
    regtest::CreateKey(HKEY_CURRENT_USER, std::string(kPath) + "\\Child");
    key_ = regtest::Open(HKEY_CURRENT_USER, kPath, KEY_ALL_ACCESS);
    ASSERT_NE(nullptr, key_);
  }
  void TearDown() override { RegCloseKey(key_); }

  // The hive as the faults must have left it: nothing changed.
  void expectUnchanged() {
    EXPECT_EQ(kOld, regtest::Get(HKEY_CURRENT_USER, kPath, "v"));
    EXPECT_EQ(1u, regtest::ValueCount(HKEY_CURRENT_USER, kPath));
    EXPECT_TRUE(regtest::KeyExists(HKEY_CURRENT_USER, std::string(kPath) + "\\Child"));
    EXPECT_FALSE(regtest::KeyExists(HKEY_CURRENT_USER, std::string(kPath) + "\\New"));
  }

  HKEY key_ = nullptr;
};

LONG setNew(HKEY key) {
  const char text[] = "new";
  return RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
}

// Every write fails at each of its steps in turn, the commit included, with
// the code of the failure; then it succeeds.
TEST_F(StorageFaults, AWriteThatFailsAtAnyStepReportsItAndStoresNothing) {
  const struct {
    const char* what;
    std::function<LONG(HKEY)> write;
  } writes[] = {
      {"set", setNew},
      {"delete value", [](HKEY key) { return RegDeleteValueA(key, "v"); }},
      {"create",
       [](HKEY key) {
         HKEY created = nullptr;
         LONG result = RegCreateKeyA(key, "New\\Deeper", &created);
         RegCloseKey(created);
         return result;
       }},
      {"delete key", [](HKEY key) { return RegDeleteKeyA(key, "Child"); }},
  };
  const struct {
    int sqlite;
    LONG win32;
  } failures[] = {
      {SQLITE_FULL, ERROR_DISK_FULL},
      {SQLITE_IOERR_WRITE, ERROR_REGISTRY_IO_FAILED},
      {SQLITE_BUSY, ERROR_BUSY},
  };
  for (const auto& failure : failures) {
    for (const auto& w : writes) {
      SCOPED_TRACE(testing::Message() << w.what << ", SQLite code " << failure.sqlite);
      unsigned step = 1;
      for (;; ++step) {
        RegDiagFailStorageNth(REGDIAG_WRITE_STEP, step, failure.sqlite);
        const LONG result = w.write(key_);
        if (result == ERROR_SUCCESS) break;
        EXPECT_EQ(failure.win32, result) << "step " << step;
        expectUnchanged();
      }
      RegDiagClearFaults();
      EXPECT_GE(step, 3u) << "the write's own statements and its commit were each failed";
      // Put back what the write changed.
      RegDiagReset();
      regtest::DeleteTree(HKEY_CURRENT_USER, kPath);
      SetUp();
    }
  }
}

// Damage that SQLite finds while preparing a statement, on a read or inside
// a write, is ERROR_BADDB, and the hive stays damaged for the process; other
// preparing failures pass as they are.
TEST_F(StorageFaults, DamageFoundWhilePreparingMarksTheHiveDamaged) {
  const struct {
    const char* what;
    std::function<LONG(HKEY)> call;
  } calls[] = {
      {"query",
       [](HKEY key) { return RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, nullptr); }},
      {"set", setNew},
  };
  for (const auto& c : calls) {
    SCOPED_TRACE(c.what);
    RegDiagReset();  // a new connection: its statements are prepared anew
    key_ = regtest::Open(HKEY_CURRENT_USER, kPath, KEY_ALL_ACCESS);
    RegDiagFailStorageNth(REGDIAG_PREPARE, 1, SQLITE_NOMEM);
    EXPECT_EQ(ERROR_OUTOFMEMORY, c.call(key_));
    RegDiagFailStorageNth(REGDIAG_PREPARE, 1, SQLITE_CORRUPT);
    EXPECT_EQ(ERROR_BADDB, c.call(key_));
    EXPECT_EQ(ERROR_BADDB, RegQueryValueExA(key_, "v", nullptr, nullptr, nullptr, nullptr))
        << "the hive stays damaged";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExA(HKEY_LOCAL_MACHINE, "v", nullptr, nullptr, nullptr, nullptr))
        << "the other hive is not";
    RegDiagClearFaults();
    RegDiagReset();
    expectUnchanged();
  }
  key_ = regtest::Open(HKEY_CURRENT_USER, kPath, KEY_ALL_ACCESS);
}

TEST_F(StorageFaults, RegFlushKeyReportsAFailedSync) {
  ASSERT_EQ(ERROR_SUCCESS, setNew(key_));
  RegDiagFailStorageNth(REGDIAG_SYNC, 1, SQLITE_IOERR_FSYNC);
  EXPECT_EQ(ERROR_REGISTRY_IO_FAILED, RegFlushKey(key_));
  EXPECT_EQ(ERROR_SUCCESS, RegFlushKey(key_)) << "the next sync succeeds";
  RegDiagFailStorageNth(REGDIAG_SYNC, 1, SQLITE_FULL);
  EXPECT_EQ(ERROR_DISK_FULL, RegFlushKey(HKEY_CURRENT_USER));
}

// A closed handle stays closed when its slot of the handle table is given to
// the next handle opened: every call through it is ERROR_INVALID_HANDLE and
// the new handle's key is left alone.
TEST_F(StorageFaults, AClosedHandleWhoseSlotIsReusedStaysClosed) {
  HKEY closed = regtest::Open(HKEY_CURRENT_USER, std::string(kPath) + "\\Child", KEY_ALL_ACCESS);
  ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(closed));
  HKEY reused = regtest::Open(HKEY_CURRENT_USER, kPath, KEY_ALL_ACCESS);
  ASSERT_NE(closed, reused);
  ASSERT_EQ(reinterpret_cast<uintptr_t>(closed) & 0xffffffffu,
            reinterpret_cast<uintptr_t>(reused) & 0xffffffffu)
      << "the new handle has the closed one's slot";

  char name[16];
  BYTE data[16];
  DWORD length = sizeof name, size = sizeof data, count = 0;
  HKEY out = nullptr;
  const struct {
    const char* what;
    std::function<LONG()> call;
  } calls[] = {
      {"query", [&] { return RegQueryValueExA(closed, "v", nullptr, nullptr, data, &size); }},
      {"set", [&] { return setNew(closed); }},
      {"delete value", [&] { return RegDeleteValueA(closed, "v"); }},
      {"create", [&] { return RegCreateKeyA(closed, "New", &out); }},
      {"open", [&] { return RegOpenKeyExA(closed, "Child", 0, KEY_READ, &out); }},
      {"delete key", [&] { return RegDeleteKeyA(closed, "Child"); }},
      {"enumerate keys",
       [&] { return RegEnumKeyExA(closed, 0, name, &length, nullptr, nullptr, nullptr, nullptr); }},
      {"enumerate values",
       [&] { return RegEnumValueA(closed, 0, name, &length, nullptr, nullptr, data, &size); }},
      {"key information",
       [&] {
         return RegQueryInfoKeyA(closed, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr);
       }},
      {"flush", [&] { return RegFlushKey(closed); }},
      {"close", [&] { return RegCloseKey(closed); }},
  };
  for (const auto& c : calls) EXPECT_EQ(ERROR_INVALID_HANDLE, c.call()) << c.what;
  expectUnchanged();
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(reused, "v", nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(reused)) << "the new handle is still open";
}

}  // namespace
