// Damaged and foreign hive files, and input beyond the registry's limits:
// a clear error code, no crash, and nothing on disk changed. POSIX only.
#include <windows.h>
#include <registry_diagnostics.h>

#include <sqlite3.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "registry_values.h"
#include "temp_registry.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void expectEveryCallFailsWithBadDb() {
  const HKEY root = HKEY_LOCAL_MACHINE;
  HKEY key = nullptr;
  BYTE data[8];
  DWORD size = sizeof data;
  char name[16];
  DWORD length = sizeof name;
  EXPECT_EQ(ERROR_BADDB, RegOpenKeyExA(root, "SOFTWARE", 0, KEY_READ, &key));
  EXPECT_EQ(ERROR_BADDB, RegCreateKeyA(root, "SOFTWARE\\New", &key));
  EXPECT_EQ(ERROR_BADDB, RegQueryValueExA(root, "v", nullptr, nullptr, data, &size));
  EXPECT_EQ(ERROR_BADDB, RegSetValueExA(root, "v", 0, REG_SZ, data, 1));
  EXPECT_EQ(ERROR_BADDB, RegDeleteValueA(root, "v"));
  EXPECT_EQ(ERROR_BADDB, RegDeleteKeyA(root, "SOFTWARE"));
  EXPECT_EQ(ERROR_BADDB, RegEnumKeyExA(root, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_BADDB, RegEnumValueA(root, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_BADDB, RegQueryInfoKeyA(root, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(0, RegDiagOpenHandleCount());
}

std::string foreignDatabase(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, "PRAGMA journal_mode=WAL; CREATE TABLE keys(id); INSERT INTO keys VALUES(1);",
               nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return readFile(path);
}

using BadHive = RegistryTest;
using Limits = RegistryTest;

// A damaged machine hive leaves the user hive usable.
TEST_F(BadHive, DamagedOrForeignFilesGiveBadDbAndStayUntouched) {
  // A valid hive with enough keys and values to span many pages.
  for (int i = 0; i < 40; ++i) {
    regtest::Put(HKEY_LOCAL_MACHINE, "SOFTWARE\\Filler", "v" + std::to_string(i),
                 {REG_SZ, std::string(3000, 'd')});
  }
  RegDiagReset();  // closes the hive: everything checkpointed into the file
  const std::string valid = readFile(registry_.machineHive());
  std::mt19937 random(42);
  std::string noise(8192, '\0');
  for (char& c : noise) c = char(random());
  std::string damagedPages = valid;
  for (size_t i = 4096; i < damagedPages.size(); i += 97) damagedPages[i] ^= 0x5a;

  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"random bytes", noise},
      {"empty file", ""},
      {"truncated header", valid.substr(0, 50)},
      {"truncated to half", valid.substr(0, valid.size() / 2)},
      {"damaged pages", damagedPages},
      {"foreign SQLite database", foreignDatabase(registry_.dir() + "/foreign.db")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RegDiagReset();
    std::remove((registry_.machineHive() + "-wal").c_str());
    std::remove((registry_.machineHive() + "-shm").c_str());
    std::ofstream(registry_.machineHive(), std::ios::binary | std::ios::trunc) << c.bytes;
    expectEveryCallFailsWithBadDb();
    EXPECT_EQ(ERROR_SUCCESS, regtest::Set(HKEY_CURRENT_USER, "Software", "v", regtest::Text("x")));
    RegDiagReset();
    EXPECT_TRUE(readFile(registry_.machineHive()) == c.bytes) << "the file was changed";
  }
}

// A refused write stores nothing: the old value survives.
TEST_F(Limits, ValuesBeyondTheCapOrWithoutDataAreRefused) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Limits", &key));
  const DWORD cap = 4 * 1024 * 1024;
  std::vector<BYTE> data(cap + 1, 0x41);
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "v", 0, REG_BINARY, data.data(), 4));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExA(key, "v", 0, REG_BINARY, data.data(), cap + 1));
  EXPECT_EQ(ERROR_NOACCESS, RegSetValueExA(key, "v", 0, REG_BINARY, nullptr, 4));
  EXPECT_EQ(regtest::Value({REG_BINARY, "AAAA"}),
            regtest::Get(HKEY_CURRENT_USER, "Software\\Limits", "v"));
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "v", 0, REG_BINARY, data.data(), cap));
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "empty", 0, REG_BINARY, nullptr, 0));
  RegCloseKey(key);
}

TEST_F(Limits, OnlyTheMachineAndUserRootsExist) {
  HKEY key = reinterpret_cast<HKEY>(0xcc);
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_USERS, HKEY_CURRENT_CONFIG}) {
    EXPECT_EQ(ERROR_NOT_SUPPORTED, RegOpenKeyExA(root, "x", 0, KEY_READ, &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(ERROR_NOT_SUPPORTED, RegCreateKeyA(root, "x", &key));
  }
}

}  // namespace
