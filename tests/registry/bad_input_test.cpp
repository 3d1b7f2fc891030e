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

#include "temp_registry.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A hive with enough keys and values to span many pages.
std::string validHiveBytes(const TempRegistry& registry) {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Filler", &key));
  const std::string data(3000, 'd');
  for (int i = 0; i < 40; ++i) {
    RegSetValueExA(key, ("v" + std::to_string(i)).c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()));
  }
  RegCloseKey(key);
  RegDiagReset();  // closes the hive: everything checkpointed into the file
  return readFile(registry.machineHive());
}

// Every registry call on the machine hive, each expected to report ERROR_BADDB.
void expectEveryCallFailsWithBadDb() {
  HKEY key = nullptr;
  BYTE data[8];
  DWORD size = sizeof data;
  char name[16];
  DWORD length = sizeof name;
  EXPECT_EQ(ERROR_BADDB, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key));
  EXPECT_EQ(ERROR_BADDB, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\New", &key));
  EXPECT_EQ(ERROR_BADDB, RegQueryValueExA(HKEY_LOCAL_MACHINE, "v", nullptr, nullptr, data, &size));
  EXPECT_EQ(ERROR_BADDB, RegSetValueExA(HKEY_LOCAL_MACHINE, "v", 0, REG_SZ, data, 1));
  EXPECT_EQ(ERROR_BADDB, RegDeleteValueA(HKEY_LOCAL_MACHINE, "v"));
  EXPECT_EQ(ERROR_BADDB, RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE"));
  EXPECT_EQ(ERROR_BADDB, RegEnumKeyExA(HKEY_LOCAL_MACHINE, 0, name, &length, nullptr, nullptr,
                                       nullptr, nullptr));
  EXPECT_EQ(ERROR_BADDB, RegEnumValueA(HKEY_LOCAL_MACHINE, 0, name, &length, nullptr, nullptr,
                                       nullptr, nullptr));
  EXPECT_EQ(ERROR_BADDB,
            RegQueryInfoKeyA(HKEY_LOCAL_MACHINE, nullptr, nullptr, nullptr, nullptr, nullptr,
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

class BadHive : public RegistryTest {};

TEST_F(BadHive, DamagedOrForeignFilesGiveBadDbAndStayUntouched) {
  const std::string valid = validHiveBytes(registry_);
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
    writeFile(registry_.machineHive(), c.bytes);
    expectEveryCallFailsWithBadDb();
    RegDiagReset();
    EXPECT_TRUE(readFile(registry_.machineHive()) == c.bytes) << "the file was changed";
  }
}

TEST_F(BadHive, ADamagedMachineHiveLeavesTheUserHiveUsable) {
  writeFile(registry_.machineHive(), "not a hive at all");
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_BADDB, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE", &key));
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software", &key));
  RegCloseKey(key);
}

class Limits : public RegistryTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Limits", &key_));
  }
  void TearDown() override { RegCloseKey(key_); }
  HKEY key_ = nullptr;
};

TEST_F(Limits, ValuesBeyondTheCapAreRefusedAndNothingIsStored) {
  const DWORD cap = 4 * 1024 * 1024;
  std::vector<BYTE> data(cap + 1, 0x41);
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key_, "v", 0, REG_BINARY, data.data(), 4));
  EXPECT_EQ(ERROR_INVALID_PARAMETER,
            RegSetValueExA(key_, "v", 0, REG_BINARY, data.data(), cap + 1));
  DWORD size = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key_, "v", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(4u, size) << "the old value must survive a refused write";
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key_, "v", 0, REG_BINARY, data.data(), cap));
}

TEST_F(Limits, NullDataWithASizeIsRefused) {
  EXPECT_EQ(ERROR_NOACCESS, RegSetValueExA(key_, "v", 0, REG_BINARY, nullptr, 4));
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key_, "v", 0, REG_BINARY, nullptr, 0));
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
