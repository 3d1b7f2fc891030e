// Damaged and foreign hive files, and input beyond the registry's limits:
// a clear error code, no crash, and nothing on disk changed. POSIX only.
#include <windows.h>
#include <registry_diagnostics.h>
#include <registry_history.h>

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
  std::vector<registry_history::Record> records;
  EXPECT_EQ(ERROR_BADDB, registry_history::ReadHistory(root, {}, &records));
}

// Runs `statements` on the hive file with a bare SQLite connection.
void changeWithSqlite(const std::string& path, const std::string& statements) {
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
  EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, statements.c_str(), nullptr, nullptr, nullptr))
      << sqlite3_errmsg(db);
  sqlite3_close(db);
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

// Whoever may write a hive file may add to its schema with SQLite; nothing
// added acts in the registry's processes (a trigger that never ends would
// hang every writer while it held the write lock): the hive is damaged, as a
// corrupt file is, and stays as it is.
TEST_F(BadHive, ObjectsThatAreNotTheStandInsOwnMakeTheHiveDamaged) {
  regtest::Put(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", "v", regtest::Text("x"));
  RegDiagReset();
  const std::string valid = readFile(registry_.machineHive());
  const struct {
    const char* what;
    const char* statements;
  } cases[] = {
      {"a trigger that never ends",
       "CREATE TRIGGER spin BEFORE UPDATE ON keys BEGIN SELECT count(*) FROM (WITH RECURSIVE"
       " c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x FROM c); END;"},
      {"a trigger writing records with the history's functions",
       "CREATE TRIGGER forge AFTER INSERT ON vals BEGIN INSERT INTO history(time, uid, user_name,"
       " pid, program, change, key) VALUES(history_time(), 0, 'root', history_pid(),"
       " history_program(), 'key deleted', 'SOFTWARE'); END;"},
      {"a view", "CREATE VIEW everything AS SELECT * FROM vals;"},
      {"the history as a view",
       "ALTER TABLE history RENAME TO old_history;"
       " CREATE VIEW history AS SELECT * FROM old_history;"},
      {"an extra table", "CREATE TABLE extra(x);"},
      {"an extra index", "CREATE INDEX vals_by_type ON vals(type);"},
      {"an index of its own defined otherwise",
       "DROP INDEX keys_by_parent; CREATE INDEX keys_by_parent ON keys(written);"},
      {"a table of its own defined otherwise", "ALTER TABLE vals ADD COLUMN extra DEFAULT 0;"},
      {"the statistics of ANALYZE", "ANALYZE;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(registry_.machineHive(), std::ios::binary | std::ios::trunc) << valid;
    changeWithSqlite(registry_.machineHive(), c.statements);
    const std::string hostile = readFile(registry_.machineHive());
    expectEveryCallFailsWithBadDb();
    RegDiagReset();
    EXPECT_TRUE(readFile(registry_.machineHive()) == hostile) << "the file was changed";
  }
}

// Reading never hands out more data than a value may hold (4 MiB), whoever
// stored it: such data is a damaged hive's, for the value and its history.
TEST_F(BadHive, StoredDataBeyondTheValueLimitReadsAsDamaged) {
  const char kKey[] = "SOFTWARE\\Vendor";
  regtest::Put(HKEY_LOCAL_MACHINE, kKey, "small", regtest::Text("x"));
  regtest::Put(HKEY_LOCAL_MACHINE, kKey, "large", regtest::Text("y"));
  RegDiagReset();
  changeWithSqlite(registry_.machineHive(),
                   "UPDATE vals SET data = zeroblob(4 * 1024 * 1024 + 1) WHERE name = 'large';"
                   " UPDATE history SET new_data = zeroblob(4 * 1024 * 1024 + 1)"
                   " WHERE value = 'large';");
  HKEY key = regtest::Open(HKEY_LOCAL_MACHINE, kKey);
  ASSERT_NE(nullptr, key);
  std::vector<BYTE> data(8 * 1024 * 1024);
  DWORD size = DWORD(data.size());
  EXPECT_EQ(ERROR_BADDB, RegQueryValueExA(key, "large", nullptr, nullptr, data.data(), &size));
  char name[16];
  DWORD length = sizeof name;
  size = DWORD(data.size());
  EXPECT_EQ(ERROR_BADDB,
            RegEnumValueA(key, 1, name, &length, nullptr, nullptr, data.data(), &size));
  RegCloseKey(key);
  std::vector<registry_history::Record> records;
  EXPECT_EQ(ERROR_BADDB, registry_history::ReadHistory(HKEY_LOCAL_MACHINE, {}, &records));
  EXPECT_EQ(regtest::Text("x"), regtest::Get(HKEY_LOCAL_MACHINE, kKey, "small"))
      << "the other values stay readable";
}

// A refused write stores nothing: the old value survives.
TEST_F(Limits, ValuesBeyondTheCapOrWithoutDataAreRefused) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Limits", &key));
  const DWORD cap = 4 * 1024 * 1024;
  std::vector<BYTE> data(cap + 1, 0x41);
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "v", 0, REG_BINARY, data.data(), 4));
  EXPECT_EQ(1816, RegSetValueExA(key, "v", 0, REG_BINARY, data.data(), cap + 1))
      << "ERROR_NOT_ENOUGH_QUOTA";
  EXPECT_EQ(ERROR_NOACCESS, RegSetValueExA(key, "v", 0, REG_BINARY, nullptr, 4));
  EXPECT_EQ(regtest::Value({REG_BINARY, "AAAA"}),
            regtest::Get(HKEY_CURRENT_USER, "Software\\Limits", "v"));
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "v", 0, REG_BINARY, data.data(), cap));
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "empty", 0, REG_BINARY, nullptr, 0));
  RegCloseKey(key);
}

// The other roots fail as a parent handle that is not valid does: the result
// handle is left untouched.
TEST_F(Limits, OnlyTheMachineAndUserRootsExist) {
  const HKEY untouched = reinterpret_cast<HKEY>(0xcc);
  HKEY key = untouched;
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_USERS, HKEY_CURRENT_CONFIG}) {
    EXPECT_EQ(ERROR_NOT_SUPPORTED, RegOpenKeyExA(root, "x", 0, KEY_READ, &key));
    EXPECT_EQ(untouched, key);
    EXPECT_EQ(ERROR_NOT_SUPPORTED, RegCreateKeyA(root, "x", &key));
    EXPECT_EQ(untouched, key);
  }
}

}  // namespace
