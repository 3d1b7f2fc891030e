// The change history: what each change records, a change and its record
// together or not at all (injected faults, a killed writer), retention,
// the upgrade of hives made before the history, and who may read it.
// POSIX only.
#include <windows.h>
#include <registry_diagnostics.h>
#include <registry_history.h>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "temp_registry.h"

namespace {

namespace rh = registry_history;

const char kKey[] = "SOFTWARE\\Vendor\\Tool";

rh::Value sz(const std::string& text) {
  rh::Value v{REG_SZ, std::vector<unsigned char>(text.begin(), text.end())};
  v.data.push_back(0);
  return v;
}

LONG setValue(HKEY root, const char* key, const char* name, const rh::Value& v) {
  HKEY k = nullptr;
  LONG rc = RegCreateKeyA(root, key, &k);
  if (rc == ERROR_SUCCESS)
    rc = RegSetValueExA(k, name, 0, v.type, v.data.data(), DWORD(v.data.size()));
  RegCloseKey(k);
  return rc;
}

LONG deleteValue(const char* key, const char* name) {
  HKEY k = nullptr;
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_SET_VALUE, &k);
  if (rc == ERROR_SUCCESS) rc = RegDeleteValueA(k, name);
  RegCloseKey(k);
  return rc;
}

std::vector<rh::Record> history(HKEY root = HKEY_LOCAL_MACHINE, const rh::Filter& filter = {}) {
  std::vector<rh::Record> records;
  EXPECT_EQ(ERROR_SUCCESS, rh::ReadHistory(root, filter, &records));
  return records;
}

std::optional<rh::Value> valueNow(const char* key, const char* name) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return {};
  rh::Value v;
  v.data.resize(4096);
  DWORD size = DWORD(v.data.size());
  DWORD type = 0;
  LONG rc = RegQueryValueExA(k, name, nullptr, &type, v.data.data(), &size);
  RegCloseKey(k);
  if (rc != ERROR_SUCCESS) return {};
  v.type = type;
  v.data.resize(size);
  return v;
}

using History = RegistryTest;

TEST_F(History, EachChangeRecordsItsKeyValueAndBothStates) {
  ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, kKey, "Mode", sz("on")));
  const rh::Value number{REG_DWORD, {7, 0, 0, 0}};
  ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, kKey, "mode", number));
  ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, kKey, "", sz("")));
  ASSERT_EQ(ERROR_SUCCESS, deleteValue(kKey, "MODE"));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey));

  const struct {
    rh::Change change;
    const char* key;
    const char* value;
    std::optional<rh::Value> before, after;
  } expected[] = {
      // Newest first; the deleted key's remaining value goes with it.
      {rh::Change::KeyDeleted, kKey, "", {}, {}},
      {rh::Change::ValueDeleted, kKey, "", sz(""), {}},
      {rh::Change::ValueDeleted, kKey, "Mode", number, {}},
      {rh::Change::ValueSet, kKey, "", {}, sz("")},
      {rh::Change::ValueSet, kKey, "Mode", sz("on"), number},
      {rh::Change::ValueSet, kKey, "Mode", {}, sz("on")},
      {rh::Change::KeyCreated, kKey, "", {}, {}},
      {rh::Change::KeyCreated, "SOFTWARE\\Vendor", "", {}, {}},
      {rh::Change::KeyCreated, "SOFTWARE", "", {}, {}},
  };
  const std::vector<rh::Record> records = history();
  ASSERT_EQ(std::size(expected), records.size());
  struct passwd* me = getpwuid(getuid());
  for (size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    const rh::Record& r = records[i];
    EXPECT_EQ(expected[i].change, r.change);
    EXPECT_EQ(expected[i].key, r.key);
    EXPECT_EQ(expected[i].value, r.value);
    EXPECT_EQ(expected[i].before, r.oldValue);
    EXPECT_EQ(expected[i].after, r.newValue);
    EXPECT_EQ(getuid(), r.uid);
    EXPECT_EQ(me ? me->pw_name : "", r.user);
    EXPECT_EQ(getpid(), r.pid);
    EXPECT_EQ(program_invocation_short_name, r.program);
    if (i > 0) {
      EXPECT_LT(r.id, records[i - 1].id);
      EXPECT_LE(r.time, records[i - 1].time);
    }
  }
  const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  EXPECT_NEAR(double(now), double(records.front().time), 60e6);
}

TEST_F(History, FiltersByKeyValueTimeAndUser) {
  ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\A\\Sub", "v", sz("1")));
  ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\AB", "v", sz("2")));
  const int64_t between = history().front().time + 1;
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", "W", sz("3")));

  const struct {
    rh::Filter filter;
    size_t records;
  } cases[] = {
      {{"software\\a", {}, INT64_MIN, {}}, 4},  // A, A\Sub, v under Sub, W; not AB
      {{"SOFTWARE\\A", std::string("w"), INT64_MIN, {}}, 1},
      {{"", std::string("v"), INT64_MIN, {}}, 2},
      {{"", {}, between, {}}, 1},
      {{"", {}, INT64_MIN, std::to_string(getuid())}, 7},
      {{"", {}, INT64_MIN, std::string("no such user")}, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.records, history(HKEY_LOCAL_MACHINE, c.filter).size()) << c.filter.key;
  }
}

// A change whose record cannot be written fails and is rolled back whole,
// with its other records: the hive and its history are as before.
TEST_F(History, AChangeAndItsRecordsAreAllOrNothing) {
  ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, kKey, "a", sz("1")));
  ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, kKey, "b", sz("2")));
  const struct {
    const char* what;
    unsigned failingRecord;
    std::function<LONG()> change;
  } cases[] = {
      {"replacing a value", 1, [] { return setValue(HKEY_LOCAL_MACHINE, kKey, "a", sz("x")); }},
      {"deleting a value", 1, [] { return deleteValue(kKey, "b"); }},
      {"creating keys, the second", 2,
       [] { return setValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\New\\Deeper", "c", sz("3")); }},
      {"deleting a key after its values", 3,
       [] { return RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey); }},
  };
  const size_t recordsBefore = history().size();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    rh::FailNthHistoryRecord(c.failingRecord);
    EXPECT_EQ(ERROR_REGISTRY_IO_FAILED, c.change());
    EXPECT_EQ(sz("1"), valueNow(kKey, "a"));
    EXPECT_EQ(sz("2"), valueNow(kKey, "b"));
    HKEY k = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\New", 0, KEY_READ, &k));
    EXPECT_EQ(recordsBefore, history().size());
  }
  // Without a fault each goes through, with its records.
  rh::FailNthHistoryRecord(0);
  EXPECT_EQ(ERROR_SUCCESS, cases[3].change());
  EXPECT_EQ(recordsBefore + 3, history().size());
}

// The present state follows from the history: replaying every record from an
// empty hive gives each value its present type and data.
void expectHistoryExplainsTheHive(const std::vector<std::string>& names) {
  std::map<std::string, std::optional<rh::Value>> replayed;
  std::vector<rh::Record> records = history();
  for (auto r = records.rbegin(); r != records.rend(); ++r) {
    if (r->change == rh::Change::ValueSet || r->change == rh::Change::ValueDeleted) {
      EXPECT_EQ(replayed[r->value], r->oldValue) << "record " << r->id << " starts elsewhere";
      replayed[r->value] = r->newValue;
    }
  }
  for (const std::string& name : names) {
    EXPECT_EQ(replayed[name], valueNow(kKey, name.c_str())) << name;
  }
}

// Sets and deletes values until killed, reporting each acknowledged change.
int changeUntilKilled(int ack) {
  std::mt19937 random(getpid());
  for (int i = 0;; ++i) {
    const std::string name = "v" + std::to_string(random() % 8);
    const LONG rc = random() % 4 == 0 ? deleteValue(kKey, name.c_str())
                                      : setValue(HKEY_LOCAL_MACHINE, kKey, name.c_str(),
                                                 sz(std::to_string(i) + std::string(i % 500, '.')));
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return 2;
    if (write(ack, &i, sizeof i) != sizeof i) return 3;
  }
}

TEST(HistoryCrash, AKilledWriterLeavesNoChangeWithoutItsRecord) {
  TempRegistry registry;
  ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, kKey, "v0", sz("start")));
  std::mt19937 random(20261206);
  std::vector<std::string> names;
  for (int i = 0; i < 8; ++i) names.push_back("v" + std::to_string(i));
  int acknowledged = 0;
  for (int round = 0; round < 12; ++round) {
    int ack[2];
    ASSERT_EQ(0, pipe(ack));
    pid_t writer = startChild([&] {
      close(ack[0]);
      return changeUntilKilled(ack[1]);
    });
    close(ack[1]);
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 20000));
    kill(writer, SIGKILL);
    ASSERT_EQ(128 + SIGKILL, waitChild(writer)) << "the writer failed on its own";
    int i;
    while (read(ack[0], &i, sizeof i) == sizeof i) ++acknowledged;
    close(ack[0]);
    SCOPED_TRACE(round);
    expectHistoryExplainsTheHive(names);
  }
  EXPECT_GT(acknowledged, 12) << "the writers hardly wrote: the test proved little";
}

// The number of records, read with SQLite beside the registry.
int64_t recordCount(const std::string& hive) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(hive.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_stmt* q = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM history", -1, &q, nullptr);
  int64_t n = sqlite3_step(q) == SQLITE_ROW ? sqlite3_column_int64(q, 0) : -1;
  sqlite3_finalize(q);
  sqlite3_close(db);
  return n;
}

TEST_F(History, RetentionKeepsTheNewestRecordsWithinTheLimit) {
  constexpr int64_t kLimit = 128;
  ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, kKey, "n", sz("0")));
  ASSERT_EQ(ERROR_SUCCESS, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, kLimit, {}));
  int64_t fewest = INT64_MAX;
  for (int i = 1; i <= 1000; ++i) {
    ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, kKey, "n", sz(std::to_string(i))));
    const int64_t count = recordCount(registry_.machineHive());
    ASSERT_LE(count, kLimit) << "after write " << i;
    if (i > kLimit) fewest = std::min(fewest, count);
  }
  EXPECT_EQ(kLimit - kLimit / 64, fewest) << "pruning takes 1/64 of the limit at once";
  const std::vector<rh::Record> records = history();
  EXPECT_EQ(sz("1000"), records.front().newValue);
  rh::Settings settings;
  ASSERT_EQ(ERROR_SUCCESS, rh::ReadHistorySettings(HKEY_LOCAL_MACHINE, &settings));
  EXPECT_EQ(kLimit, settings.maxRecords);
  EXPECT_EQ(int64_t(records.size()), settings.records);
  EXPECT_LT(records.back().time, INT64_MAX);
  EXPECT_GE(records.back().time, settings.completeSince);
  EXPECT_GT(settings.completeSince, 0) << "the history no longer reaches back to the start";

  // Lowering the limit applies at once.
  ASSERT_EQ(ERROR_SUCCESS, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, 10, {}));
  EXPECT_LE(recordCount(registry_.machineHive()), 10);
  for (int64_t bad : {int64_t(0), int64_t(-1)}) {
    EXPECT_EQ(ERROR_INVALID_PARAMETER, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, bad, {}));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, {}, bad));
  }
}

TEST_F(History, RetentionDropsRecordsOlderThanTheAgeLimit) {
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, kKey, "n", sz(std::to_string(i))));
  }
  ASSERT_EQ(ERROR_SUCCESS, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, {}, 30));
  // Make the first half of the records 40 days old.
  RegDiagReset();
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(registry_.machineHive().c_str(), &db));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db,
                                    "UPDATE history SET time = time - 40 * 86400000000"
                                    " WHERE id <= (SELECT max(id) FROM history) / 2",
                                    nullptr, nullptr, nullptr));
  sqlite3_close(db);
  const int64_t before = recordCount(registry_.machineHive());
  ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, kKey, "n", sz("last")));
  EXPECT_EQ(before - before / 2 + 1, recordCount(registry_.machineHive()));
  const int64_t monthAgo = history().front().time - 30 * 86400000000LL;
  for (const rh::Record& r : history()) EXPECT_GT(r.time, monthAgo);
}

// A hive made before the history (schema version 1) gets it at its first
// write, in that write's process; what it held stays.
TEST_F(History, AnOlderHiveIsUpgradedByItsFirstWriter) {
  sqlite3* db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(registry_.machineHive().c_str(), &db));
  ASSERT_EQ(SQLITE_OK,
            sqlite3_exec(db,
                         "PRAGMA journal_mode=WAL; PRAGMA application_id=1448232263;"
                         "PRAGMA user_version=1;"
                         "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER,"
                         " name TEXT NOT NULL, path TEXT NOT NULL UNIQUE COLLATE NOCASE,"
                         " written INTEGER NOT NULL);"
                         "CREATE INDEX keys_by_parent ON keys(parent, name COLLATE NOCASE);"
                         "CREATE TABLE vals(key INTEGER NOT NULL, name TEXT NOT NULL COLLATE"
                         " NOCASE, type INTEGER NOT NULL, data BLOB NOT NULL, UNIQUE(key, name));"
                         "INSERT INTO keys VALUES(1, NULL, '', '', 0), (2, 1, 'Old', 'Old', 0);"
                         "INSERT INTO vals VALUES(2, 'kept', 1, CAST('yes' AS BLOB));",
                         nullptr, nullptr, nullptr));
  sqlite3_close(db);

  rh::Settings settings;
  ASSERT_EQ(ERROR_SUCCESS, rh::ReadHistorySettings(HKEY_LOCAL_MACHINE, &settings));
  EXPECT_EQ(INT64_MAX, settings.completeSince) << "no history before the upgrade";
  EXPECT_TRUE(history().empty());

  ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, "Old", "new", sz("1")));
  const std::vector<rh::Record> records = history();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ("new", records[0].value);
  ASSERT_EQ(ERROR_SUCCESS, rh::ReadHistorySettings(HKEY_LOCAL_MACHINE, &settings));
  EXPECT_LE(settings.completeSince, records[0].time);
  EXPECT_GT(settings.completeSince, 0);
  EXPECT_EQ(rh::Value({REG_SZ, {'y', 'e', 's'}}), valueNow("Old", "kept"));
  // Before the upgrade there is no past to restore.
  rh::PastState past;
  ASSERT_EQ(ERROR_SUCCESS,
            rh::ReadPastState(HKEY_LOCAL_MACHINE, "Old", settings.completeSince - 1, &past));
  EXPECT_FALSE(past.complete);
}

bool dropToNobody() {
  struct passwd* nobody = getpwnam("nobody");
  if (!nobody) return false;
  return setgroups(0, nullptr) == 0 && setgid(nobody->pw_gid) == 0 && setuid(nobody->pw_uid) == 0;
}

// The machine hive's history is read by everyone who reads the hive and set
// up only by who writes it; a user's history is as private as the hive.
TEST_F(History, OthersReadTheMachineHistoryButNotItsSettingsNorAnotherUsersHistory) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to switch users";
  chmod(registry_.dir().c_str(), 01777);
  ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, kKey, "machine", sz("m")));
  ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_CURRENT_USER, "Software\\Mine", "private", sz("p")));
  RegDiagReset();

  EXPECT_EQ(0, runInChild([] {
              if (!dropToNobody()) return 100;
              std::vector<rh::Record> records;
              if (rh::ReadHistory(HKEY_LOCAL_MACHINE, {}, &records) != ERROR_SUCCESS) return 1;
              if (records.empty() || records.front().value != "machine") return 2;
              rh::Settings settings;
              if (rh::ReadHistorySettings(HKEY_LOCAL_MACHINE, &settings) != ERROR_SUCCESS) return 3;
              if (rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, 5, {}) != ERROR_ACCESS_DENIED)
                return 4;
              // HKEY_CURRENT_USER is nobody's own, empty hive.
              if (rh::ReadHistory(HKEY_CURRENT_USER, {}, &records) != ERROR_SUCCESS) return 5;
              if (!records.empty()) return 6;
              return 0;
            }));
  rh::Settings settings;
  ASSERT_EQ(ERROR_SUCCESS, rh::ReadHistorySettings(HKEY_LOCAL_MACHINE, &settings));
  EXPECT_EQ(100000, settings.maxRecords) << "nobody's change was refused";
}

}  // namespace

namespace {

// Who wrote is taken at each write, not once per process or connection: a
// forked child writes under its own process id, and a writer that drops
// privileges under its new user even on the connection it opened before.
TEST_F(History, NamesTheWriterAfterAForkAndAfterDroppingPrivileges) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to switch users";
  ASSERT_EQ(ERROR_SUCCESS, setValue(HKEY_LOCAL_MACHINE, kKey, "v", sz("parent")));
  const pid_t child = startChild([] {
    if (setValue(HKEY_LOCAL_MACHINE, kKey, "v", sz("child")) != ERROR_SUCCESS) return 1;
    if (!dropToNobody()) return 100;
    return setValue(HKEY_LOCAL_MACHINE, kKey, "v", sz("nobody")) == ERROR_SUCCESS ? 0 : 2;
  });
  ASSERT_EQ(0, waitChild(child));
  const std::vector<rh::Record> records = history();
  ASSERT_GE(records.size(), 3u);
  const struct passwd* nobody = getpwnam("nobody");
  EXPECT_EQ(nobody->pw_uid, records[0].uid);
  EXPECT_EQ("nobody", records[0].user);
  EXPECT_EQ(child, records[0].pid);
  EXPECT_EQ(0u, records[1].uid);
  EXPECT_EQ(child, records[1].pid);
  EXPECT_EQ(getpid(), records[2].pid);
}

}  // namespace
