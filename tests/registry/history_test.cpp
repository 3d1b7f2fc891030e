// The change history: what each change records, a change and its record
// together or not at all (injected faults, a killed writer), retention,
// the upgrade of hives made before the history, and who may read it.
// POSIX only.
#include <windows.h>
#include <registry_diagnostics.h>
#include <registry_history.h>

#include <limits.h>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "registry_values.h"
#include "served_hive.h"
#include "temp_registry.h"

namespace {

namespace rh = registry_history;

const char kKey[] = "SOFTWARE\\Vendor\\Tool";

rh::Value historyValue(const regtest::Value& v) {
  return {v.type, {v.bytes.begin(), v.bytes.end()}};
}
rh::Value sz(const std::string& text) { return historyValue(regtest::Text(text)); }

LONG set(const char* key, const std::string& name, const std::string& text,
         HKEY root = HKEY_LOCAL_MACHINE) {
  return regtest::Set(root, key, name, regtest::Text(text));
}
LONG deleteValue(const char* key, const std::string& name) {
  return regtest::Delete(HKEY_LOCAL_MACHINE, key, name);
}

std::optional<rh::Value> valueNow(const char* key, const std::string& name) {
  const auto value = regtest::Get(HKEY_LOCAL_MACHINE, key, name);
  return value ? std::optional<rh::Value>(historyValue(*value)) : std::nullopt;
}

std::vector<rh::Record> history(HKEY root = HKEY_LOCAL_MACHINE, const rh::Filter& filter = {}) {
  std::vector<rh::Record> records;
  EXPECT_EQ(ERROR_SUCCESS, rh::ReadHistory(root, filter, &records));
  return records;
}

// Runs `statements` on the hive file with SQLite, beside the registry; the
// first column of the last row they return, -1 for none.
int64_t sql(const std::string& hive, const std::string& statements) {
  sqlite3* db = nullptr;
  int64_t last = -1;
  EXPECT_EQ(SQLITE_OK, sqlite3_open(hive.c_str(), &db));
  const auto keep = [](void* out, int, char** row, char**) {
    *static_cast<int64_t*>(out) = row[0] ? atoll(row[0]) : -1;
    return 0;
  };
  EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, statements.c_str(), keep, &last, nullptr)) << statements;
  sqlite3_close(db);
  return last;
}

// The size of a history record, summed here from its columns: the bytes of
// the data it holds; and of all records held.
const std::string kRecordSize = "(coalesce(length(old_data), 0) + coalesce(length(new_data), 0))";
const std::string kHeldBytes = "SELECT coalesce(sum(" + kRecordSize + "), 0) FROM history";

// The history table as version 2 made it.
const std::string kVersion2History =
    "CREATE TABLE history(  id INTEGER PRIMARY KEY,  time INTEGER NOT NULL,"
    "  uid INTEGER NOT NULL,  user_name TEXT NOT NULL,  pid INTEGER NOT NULL,"
    "  program TEXT NOT NULL,  change TEXT NOT NULL,  key TEXT NOT NULL,  value TEXT,"
    "  old_type INTEGER, old_data BLOB,  new_type INTEGER, new_data BLOB);";

// Takes a current hive's history back to version 4, before each record held
// the size of the records before it.
const std::string kBackToVersion4 =
    "ALTER TABLE history RENAME TO history5;" + kVersion2History +
    "ALTER TABLE history ADD COLUMN folded_key TEXT;"
    "INSERT INTO history SELECT id, time, uid, user_name, pid, program, change, key, value,"
    " old_type, old_data, new_type, new_data, folded_key FROM history5;"
    "DROP TABLE history5; CREATE INDEX history_by_key ON history(folded_key, id);"
    "DELETE FROM settings WHERE name = 'history_max_bytes'; PRAGMA user_version=4;";

rh::Settings historySettings() {
  rh::Settings settings;
  EXPECT_EQ(ERROR_SUCCESS, rh::ReadHistorySettings(HKEY_LOCAL_MACHINE, &settings));
  return settings;
}

// Runs on a hive file, or on a served machine hive when the tests run on a
// server (TempRegistry).
class History : public RegistryTest {
 protected:
  // Runs `statements` on the machine hive's history, a file's or a
  // server's; the first column of the last row they return, -1 for none.
  int64_t historySql(const std::string& statements) {
    if (!registry_.served()) return sql(registry_.machineHive(), statements);
    return QueryServedHive(statements);
  }

  // The name of this machine, which a served hive's records carry.
  static std::string hostName() {
    char name[HOST_NAME_MAX + 1] = {};
    gethostname(name, sizeof name - 1);
    return name;
  }
};

TEST_F(History, EachChangeRecordsItsKeyValueAndBothStates) {
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "Mode", "on"));
  ASSERT_EQ(ERROR_SUCCESS, regtest::Set(HKEY_LOCAL_MACHINE, kKey, "mode", regtest::Dword(7)));
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "", ""));
  ASSERT_EQ(ERROR_SUCCESS, deleteValue(kKey, "MODE"));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey));

  const rh::Value number{REG_DWORD, {7, 0, 0, 0}};
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
      {rh::Change::KeyCreated, "SOFTWARE\\Vendor", "", {}, {}},  // SOFTWARE is there from the start
  };
  const std::vector<rh::Record> records = history();
  ASSERT_EQ(std::size(expected), records.size());
  const struct passwd* me = getpwuid(getuid());
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
    // The role the tests' server is reached as, and this machine.
    EXPECT_EQ(registry_.served() ? "postgres" : "", r.role);
    EXPECT_EQ(registry_.served() ? hostName() : "", r.host);
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
  ASSERT_EQ(ERROR_SUCCESS, set("SOFTWARE\\A\\Sub", "v", "1"));
  ASSERT_EQ(ERROR_SUCCESS, set("SOFTWARE\\AB", "v", "2"));
  const int64_t between = history().front().time + 1;
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_EQ(ERROR_SUCCESS, set("SOFTWARE\\A", "W", "3"));
  const struct {
    rh::Filter filter;
    size_t records;
  } cases[] = {
      {{"software\\a", {}, INT64_MIN, {}}, 4},  // A, A\Sub, v under Sub, W; not AB
      {{"SOFTWARE\\A", std::string("w"), INT64_MIN, {}}, 1},
      {{"", std::string("v"), INT64_MIN, {}}, 2},
      {{"", {}, between, {}}, 1},
      {{"", {}, INT64_MIN, std::to_string(getuid())}, 6},  // SOFTWARE was there
      {{"", {}, INT64_MIN, std::string("no such user")}, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.records, history(HKEY_LOCAL_MACHINE, c.filter).size()) << c.filter.key;
  }
}

// A change whose record cannot be written fails and is rolled back whole,
// with its other records: the hive and its history are as before.
TEST_F(History, AChangeAndItsRecordsAreAllOrNothing) {
  if (registry_.served()) GTEST_SKIP() << "the fault is injected into a hive file's writer";
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "a", "1"));
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "b", "2"));
  const struct {
    const char* what;
    unsigned failingRecord;
    std::function<LONG()> change;
  } cases[] = {
      {"replacing a value", 1, [] { return set(kKey, "a", "x"); }},
      {"deleting a value", 1, [] { return deleteValue(kKey, "b"); }},
      {"creating keys, the second", 2, [] { return set("SOFTWARE\\New\\Deeper", "c", "3"); }},
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
    EXPECT_FALSE(regtest::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\New"));
    EXPECT_EQ(recordsBefore, history().size());
  }
  // Without a fault each goes through, with its records.
  rh::FailNthHistoryRecord(0);
  EXPECT_EQ(ERROR_SUCCESS, cases[3].change());
  EXPECT_EQ(recordsBefore + 3, history().size());
}

// Sets and deletes values until killed, reporting each acknowledged change.
int changeUntilKilled(int ack) {
  std::mt19937 random(getpid());
  for (int i = 0;; ++i) {
    const std::string name = "v" + std::to_string(random() % 8);
    const LONG rc = random() % 4 == 0
                        ? deleteValue(kKey, name)
                        : set(kKey, name, std::to_string(i) + std::string(i % 500, '.'));
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return 2;
    if (write(ack, &i, sizeof i) != sizeof i) return 3;
  }
}

// After each killed writer, the present state follows from the history:
// replaying every record from an empty hive gives each value its present
// type and data. The first rounds kill the writer at any instant, also
// while it opens and checks the hive; the others once it has made its first
// change, however long the machine's load makes that take, so that they
// kill it amid its changes.
TEST(HistoryCrash, AKilledWriterLeavesNoChangeWithoutItsRecord) {
  TempRegistry registry;
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "v0", "start"));
  std::mt19937 random(20261206);
  constexpr int kRounds = 12, kRoundsKillingAnytime = 3;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    int ack[2];
    ASSERT_EQ(0, pipe(ack));
    pid_t writer = startChild([&] {
      close(ack[0]);
      return changeUntilKilled(ack[1]);
    });
    close(ack[1]);
    int first = -1;
    const bool changing = round >= kRoundsKillingAnytime &&
                          read(ack[0], &first, sizeof first) == ssize_t(sizeof first);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
    kill(writer, SIGKILL);
    ASSERT_EQ(128 + SIGKILL, waitChild(writer)) << "the writer failed on its own";
    close(ack[0]);
    if (registry.served()) WaitUntilNoOtherStatementRuns();
    ASSERT_TRUE(changing || round < kRoundsKillingAnytime) << "the writer made no change";

    std::map<std::string, std::optional<rh::Value>> replayed;
    const std::vector<rh::Record> records = history();
    for (auto r = records.rbegin(); r != records.rend(); ++r) {
      if (r->change == rh::Change::ValueSet || r->change == rh::Change::ValueDeleted) {
        EXPECT_EQ(replayed[r->value], r->oldValue) << "record " << r->id << " starts elsewhere";
        replayed[r->value] = r->newValue;
      }
    }
    for (int i = 0; i < 8; ++i) {
      const std::string name = "v" + std::to_string(i);
      EXPECT_EQ(replayed[name], valueNow(kKey, name)) << name;
    }
  }
}

// Retention keeps the newest records: at most the limit, which applies at
// once when lowered, and none older than the age limit.
TEST_F(History, RetentionKeepsTheNewestRecordsWithinTheCountAndAgeLimits) {
  constexpr int64_t kLimit = 128;
  const char* const kCount = "SELECT count(*) FROM history";
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "n", "0"));
  ASSERT_EQ(ERROR_SUCCESS, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, kLimit, {}));
  int64_t fewest = INT64_MAX;
  for (int i = 1; i <= 1000; ++i) {
    ASSERT_EQ(ERROR_SUCCESS, set(kKey, "n", std::to_string(i)));
    const int64_t count = historySql(kCount);
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
  for (int64_t bad : {int64_t(0), int64_t(-1)}) {
    EXPECT_EQ(ERROR_INVALID_PARAMETER, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, bad, {}));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, {}, bad));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, {}, {}, bad));
  }
  EXPECT_EQ(ERROR_INVALID_PARAMETER,
            rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, {}, {}, rh::kMaxBytesLimit + 1));

  ASSERT_EQ(ERROR_SUCCESS, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, 20, {}));
  const int64_t before = historySql(kCount);
  EXPECT_LE(before, 20) << "lowering the limit applies at once";
  ASSERT_EQ(ERROR_SUCCESS, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, {}, 30));
  RegDiagReset();
  // The older half of the records made 40 days old.
  const char* const kOlderHalf = " WHERE id <= (SELECT (min(id) + max(id)) / 2 FROM history)";
  const int64_t aged =
      historySql((std::string("SELECT count(*) FROM history") + kOlderHalf).c_str());
  ASSERT_GT(aged, 0);
  historySql(
      (std::string("UPDATE history SET time = time - 40 * 86400000000") + kOlderHalf).c_str());
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "n", "last"));
  EXPECT_EQ(before - aged + 1, historySql(kCount));
  const int64_t monthAgo = history().front().time - 30 * 86400000000LL;
  for (const rh::Record& r : history()) EXPECT_GT(r.time, monthAgo);
}

// The size limit, 64 MiB unless set, removes the oldest records first once
// the records' size passes it, 1/64 of it at once; lowered, it applies at
// once. What each record counts is summed independently here.
TEST_F(History, TheSizeLimitRemovesTheOldestRecordsFirst) {
  constexpr int64_t kDefault = int64_t(64) << 20, kLimit = 64 * 1024;
  EXPECT_EQ(kDefault, historySettings().maxBytes) << "before the hive exists";
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "n", "0"));
  EXPECT_EQ(kDefault, historySettings().maxBytes) << "a new hive";
  ASSERT_EQ(ERROR_SUCCESS, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, {}, {}, kLimit));
  const int64_t firstId = history().back().id;
  int64_t held = historySql(kHeldBytes), fewestAfterPruning = INT64_MAX, oldestId = firstId;
  for (int i = 1; i <= 200; ++i) {
    SCOPED_TRACE(i);
    // Each overwrite records the data before it: 300 to 1,500 bytes.
    const regtest::Value data{REG_BINARY, std::string(300 + i % 5 * 300, char('a' + i % 26))};
    ASSERT_EQ(ERROR_SUCCESS, regtest::Set(HKEY_LOCAL_MACHINE, kKey, "blob", data));
    const int64_t before = held;
    held = historySql(kHeldBytes);
    ASSERT_LE(held, kLimit);
    const int64_t added =
        historySql("SELECT " + kRecordSize + " FROM history ORDER BY id DESC LIMIT 1");
    const int64_t oldest = historySql("SELECT min(id) FROM history");
    if (oldest != oldestId) {
      EXPECT_GT(before + added, kLimit) << "removed before the limit was passed";
      fewestAfterPruning = std::min(fewestAfterPruning, held);
    } else {
      EXPECT_EQ(before + added, held);
    }
    EXPECT_EQ(historySql("SELECT max(id) - min(id) + 1 FROM history"),
              historySql("SELECT count(*) FROM history"))
        << "the oldest go first";
    oldestId = oldest;
    EXPECT_EQ(held, historySettings().bytes);
  }
  EXPECT_GT(oldestId, firstId) << "records were removed";
  EXPECT_LE(fewestAfterPruning, kLimit - kLimit / 64);
  EXPECT_GT(fewestAfterPruning, kLimit - kLimit / 64 - 1600) << "no more than 1/64 goes at once";
  EXPECT_GT(historySettings().completeSince, 0) << "the history no longer reaches back";

  ASSERT_EQ(ERROR_SUCCESS, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, {}, {}, 8192));
  EXPECT_LE(historySql(kHeldBytes), 8192) << "lowering the limit applies at once";
  EXPECT_EQ(historySql(kHeldBytes), historySettings().bytes);
}

// A change larger than the size limit is still recorded; the history then
// holds it alone, until the next change takes its place.
TEST_F(History, AChangeLargerThanTheSizeLimitIsKeptAlone) {
  ASSERT_EQ(ERROR_SUCCESS, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, {}, {}, 4096));
  const regtest::Value large{REG_BINARY, std::string(10000, 'L')};
  ASSERT_EQ(ERROR_SUCCESS, regtest::Set(HKEY_LOCAL_MACHINE, kKey, "large", large));
  ASSERT_EQ(ERROR_SUCCESS, deleteValue(kKey, "large"));
  std::vector<rh::Record> records = history();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ(rh::Change::ValueDeleted, records[0].change);
  EXPECT_EQ(historyValue(large), records[0].oldValue);
  EXPECT_EQ(historySql(kHeldBytes), historySettings().bytes);

  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "small", "s"));
  records = history();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ("small", records[0].value);
}

rh::Value qword(int64_t n) {
  rh::Value v{REG_QWORD, {}};
  for (int i = 0; i < 8; ++i) v.data.push_back(static_cast<unsigned char>(uint64_t(n) >> (8 * i)));
  return v;
}

// Lowering the limit to one record and raising it again leaves both changes
// in the history, each with its setting before and after: retention never
// empties the history silently.
TEST_F(History, RetentionChangesAreRecorded) {
  for (int i = 0; i < 5; ++i) ASSERT_EQ(ERROR_SUCCESS, set(kKey, "n", std::to_string(i)));
  ASSERT_EQ(ERROR_SUCCESS, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, 1, 30, 1 << 20));
  ASSERT_EQ(ERROR_SUCCESS, rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, 100000, 30, 1 << 20));
  const struct {
    const char* setting;
    int64_t before, after;
  } expected[] = {
      {"history_max_records", 1, 100000},
      {"history_max_bytes", 64 << 20, 1 << 20},  // the last of the first call's records
  };
  const std::vector<rh::Record> records = history();
  ASSERT_EQ(std::size(expected), records.size())
      << "the age and size are unchanged the second time";
  for (size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rh::Change::SettingsChanged, records[i].change);
    EXPECT_EQ("", records[i].key);
    EXPECT_EQ(expected[i].setting, records[i].value);
    EXPECT_EQ(qword(expected[i].before), records[i].oldValue);
    EXPECT_EQ(qword(expected[i].after), records[i].newValue);
    EXPECT_EQ(getuid(), records[i].uid);
    EXPECT_EQ(getpid(), records[i].pid);
  }
  RegDiagReset();
  const rh::Settings settings = historySettings();
  EXPECT_EQ(100000, settings.maxRecords);
  EXPECT_EQ(30, settings.maxAgeDays);
  EXPECT_EQ(1 << 20, settings.maxBytes);
  // A restore over the settings' records still works.
  rh::PastState past;
  ASSERT_EQ(ERROR_SUCCESS, rh::ReadPastState(HKEY_LOCAL_MACHINE, kKey, records[0].time, &past));
  EXPECT_TRUE(past.complete);
}

// Forgetting a value's past data keeps its records (change, type, writer)
// without the data, records the forgetting, leaves the present values, and
// leaves the data in neither the hive file nor its write-ahead log.
TEST_F(History, ForgettingRemovesAValuesPastDataFromTheFile) {
  const std::string secret = "pass-4f1c9e0b-secret";
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "password", secret));
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "other", "kept " + secret));
  const int64_t whileSet = history().front().time;
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "password", "new"));
  ASSERT_EQ(ERROR_SUCCESS, deleteValue(kKey, "other"));
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "Password", "newer"));
  ASSERT_EQ(ERROR_SUCCESS, rh::ForgetPastData(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", {}));

  const rh::Value forgotten{REG_SZ, {}, true};
  const std::vector<rh::Record> records = history();
  ASSERT_EQ(rh::Change::PastDataForgotten, records[0].change);
  EXPECT_EQ("SOFTWARE\\Vendor", records[0].key);
  EXPECT_TRUE(records[0].allValues);
  const struct {
    rh::Change change;
    const char* value;
    std::optional<rh::Value> before, after;
  } expected[] = {
      {rh::Change::ValueSet, "password", forgotten, sz("newer")},  // the present value
      {rh::Change::ValueDeleted, "other", forgotten, {}},
      {rh::Change::ValueSet, "password", forgotten, forgotten},
      {rh::Change::ValueSet, "other", {}, forgotten},
      {rh::Change::ValueSet, "password", {}, forgotten},
  };
  ASSERT_LE(std::size(expected) + 1, records.size());
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(expected[i].change, records[i + 1].change);
    EXPECT_EQ(expected[i].value, records[i + 1].value);
    EXPECT_EQ(expected[i].before, records[i + 1].oldValue);
    EXPECT_EQ(expected[i].after, records[i + 1].newValue);
  }
  EXPECT_EQ(sz("newer"), valueNow(kKey, "password"));
  rh::PastState past;
  ASSERT_EQ(ERROR_SUCCESS, rh::ReadPastState(HKEY_LOCAL_MACHINE, kKey, whileSet, &past));
  EXPECT_FALSE(past.complete);
  EXPECT_EQ(std::string(kKey) + "\\password", past.forgotten);

  EXPECT_EQ(0, historySql("SELECT count(*) FROM history"
                          " WHERE old_data IS NOT NULL OR new_data IS NOT NULL"))
      << "the history holds no data of the key's values";
  if (registry_.served()) return;  // the server's files are its administrator's
  EXPECT_EQ(sql(registry_.machineHive(), kHeldBytes), historySettings().bytes)
      << "the forgotten data no longer counts";

  RegDiagReset();
  for (const char* file : {"", "-wal"}) {
    std::ifstream in(registry_.machineHive() + file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(std::string::npos, bytes.find(secret)) << "the secret is still in machine.db" << file;
  }
}

// One value's past data, named in any case; the others' stay.
TEST_F(History, ForgettingOneValueKeepsTheOthers) {
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "secret", "s1"));
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "plain", "p1"));
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "secret", "s2"));
  ASSERT_EQ(ERROR_SUCCESS, rh::ForgetPastData(HKEY_LOCAL_MACHINE, kKey, std::string("SECRET")));
  const std::vector<rh::Record> records = history();
  EXPECT_EQ("SECRET", records[0].value);
  EXPECT_FALSE(records[0].allValues);
  EXPECT_EQ(rh::Value({REG_SZ, {}, true}), records[1].oldValue);
  EXPECT_EQ(sz("p1"), records[2].newValue);
}

// A cursor reads the state of the hive it opened, whatever is written
// while it reads.
TEST_F(History, ACursorReadsOneStateOfTheHive) {
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "v", "1"));
  rh::HistoryCursor cursor;
  ASSERT_EQ(ERROR_SUCCESS, cursor.Open(HKEY_LOCAL_MACHINE, {}));
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "v", "2"));
  std::vector<rh::Record> read;
  rh::Record r;
  LONG rc;
  while ((rc = cursor.Next(&r)) == ERROR_SUCCESS) read.push_back(r);
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, rc);
  ASSERT_EQ(3u, read.size());  // Vendor and Tool created, v set
  EXPECT_EQ(sz("1"), read[0].newValue);
  EXPECT_EQ(4u, history().size());
}

// Each change keeps the value's data once: what it was before; what it
// became is the value's next change's data before, or the present value.
TEST_F(History, RecordsHoldEachDataOnce) {
  const auto blob = [](int i) {
    return regtest::Value{REG_BINARY, std::string(1000, char('a' + i))};
  };
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(ERROR_SUCCESS, regtest::Set(HKEY_LOCAL_MACHINE, kKey, "blob", blob(i)));
  }
  ASSERT_EQ(ERROR_SUCCESS, regtest::Set(HKEY_LOCAL_MACHINE, kKey, "gone", blob(0)));
  ASSERT_EQ(ERROR_SUCCESS, deleteValue(kKey, "gone"));
  EXPECT_EQ(6 * 1000,
            historySql("SELECT sum(coalesce(length(old_data), 0) + coalesce(length(new_data), 0))"
                       " FROM history"));
  rh::Filter ofBlob;
  ofBlob.key = kKey;
  ofBlob.value = "BLOB";
  ofBlob.user = std::to_string(getuid());
  const std::vector<rh::Record> records = history(HKEY_LOCAL_MACHINE, ofBlob);
  ASSERT_EQ(6u, records.size());
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    const rh::Record& r = records[5 - i];
    EXPECT_EQ(historyValue(blob(i)), r.newValue);
    EXPECT_EQ(i ? std::optional(historyValue(blob(i - 1))) : std::nullopt, r.oldValue);
  }
  ofBlob.value = "gone";
  const std::vector<rh::Record> gone = history(HKEY_LOCAL_MACHINE, ofBlob);
  ASSERT_EQ(2u, gone.size());
  EXPECT_EQ(historyValue(blob(0)), gone[1].newValue) << "the data the deletion removed";
}

// A version 3 hive's records of a value set hold the data after the change
// too. Its first writer upgrades it once; the records it had read as before
// and the later ones take their data after from the next record.
TEST_F(History, AVersion3HiveKeepsItsHistoryReadableAfterTheUpgrade) {
  const std::string hive = registry_.machineHive();
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "v", "1"));
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "v", "2"));
  RegDiagReset();
  // As version 3 wrote them; its data after differs from what the next
  // record would give, so the test sees which one is read.
  sql(hive,
      "UPDATE history SET new_type = 3, new_data = CAST('stored ' || id AS BLOB)"
      " WHERE change = 'value set';");
  sql(hive, kBackToVersion4);
  sql(hive, "PRAGMA user_version=3");
  const auto stored = [&](int64_t id) {
    const std::string text = "stored " + std::to_string(id);
    return rh::Value{REG_BINARY, std::vector<BYTE>(text.begin(), text.end())};
  };
  const std::vector<rh::Record> before = history();
  ASSERT_EQ(4u, before.size());

  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "v", "3"));
  EXPECT_EQ(5, sql(hive, "SELECT user_version FROM pragma_user_version"));
  const std::vector<rh::Record> after = history();
  ASSERT_EQ(5u, after.size());
  const struct {
    std::optional<rh::Value> oldValue, newValue;
  } expected[] = {
      {sz("2"), sz("3")},
      {sz("1"), stored(before[0].id)},
      {{}, stored(before[1].id)},
  };
  for (size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(expected[i].oldValue, after[i].oldValue);
    EXPECT_EQ(expected[i].newValue, after[i].newValue);
  }
  EXPECT_EQ(1, sql(hive,
                   "SELECT count(*) FROM history WHERE new_data IS NULL"
                   " AND change = 'value set'"));

  // Once: a later writer finds the hive current.
  RegDiagReset();
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "v", "4"));
  EXPECT_EQ(6, sql(hive, "SELECT count(*) FROM history"));
}

// A version 4 hive's records know nothing of their size: readers sum it,
// the first writer counts it into each record once. A hive of a version
// after this release's is refused, as an older release refuses this one's.
TEST_F(History, AVersion4HiveGetsTheSizeOfItsRecordsCountedAtTheUpgrade) {
  const std::string hive = registry_.machineHive();
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "v", "1"));
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "v", "22"));
  ASSERT_EQ(ERROR_SUCCESS, deleteValue(kKey, "v"));
  RegDiagReset();
  const int64_t held = sql(hive, kHeldBytes);
  sql(hive, kBackToVersion4);
  rh::Settings settings = historySettings();
  EXPECT_EQ(held, settings.bytes);
  EXPECT_EQ(int64_t(64) << 20, settings.maxBytes);
  EXPECT_EQ(4, sql(hive, "SELECT user_version FROM pragma_user_version")) << "read as it is";

  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "w", "x"));
  EXPECT_EQ(5, sql(hive, "SELECT user_version FROM pragma_user_version"));
  const std::string miscounted =
      "SELECT count(*) FROM history r WHERE bytes_before <> (SELECT"
      " ifnull(sum(" +
      kRecordSize + "), 0) FROM history WHERE id < r.id)";
  EXPECT_EQ(0, sql(hive, miscounted));
  EXPECT_EQ(sql(hive, kHeldBytes), historySettings().bytes);

  RegDiagReset();
  sql(hive, "PRAGMA user_version=6");
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_BADDB, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key));
  EXPECT_EQ(ERROR_BADDB, set(kKey, "w", "y"));
  std::vector<rh::Record> records;
  EXPECT_EQ(ERROR_BADDB, rh::ReadHistory(HKEY_LOCAL_MACHINE, {}, &records));
}

// A hive made before the history (schema version 1) gets it at its first
// write, in that write's process; what it held stays.
TEST_F(History, AnOlderHiveIsUpgradedByItsFirstWriter) {
  // A version 1 hive is a current one without the history's tables.
  ASSERT_EQ(ERROR_SUCCESS, set("Old", "kept", "yes"));
  RegDiagReset();
  sql(registry_.machineHive(), "DROP TABLE history; DROP TABLE settings; PRAGMA user_version=1;");
  rh::Settings settings;
  ASSERT_EQ(ERROR_SUCCESS, rh::ReadHistorySettings(HKEY_LOCAL_MACHINE, &settings));
  EXPECT_EQ(INT64_MAX, settings.completeSince) << "no history before the upgrade";
  EXPECT_TRUE(history().empty());

  ASSERT_EQ(ERROR_SUCCESS, set("Old", "new", "1"));
  const std::vector<rh::Record> records = history();
  ASSERT_EQ(1u, records.size());
  EXPECT_EQ("new", records[0].value);
  ASSERT_EQ(ERROR_SUCCESS, rh::ReadHistorySettings(HKEY_LOCAL_MACHINE, &settings));
  EXPECT_LE(settings.completeSince, records[0].time);
  EXPECT_GT(settings.completeSince, 0);
  EXPECT_EQ(sz("yes"), valueNow("Old", "kept"));
  // Before the upgrade there is no past to restore.
  rh::PastState past;
  ASSERT_EQ(ERROR_SUCCESS,
            rh::ReadPastState(HKEY_LOCAL_MACHINE, "Old", settings.completeSince - 1, &past));
  EXPECT_FALSE(past.complete);
}

// A hive of schema version 2 compared names by ASCII letters only, so it may
// hold keys and values that are one name now (`Ключ` and `КЛЮЧ`). Readers
// read it as it is, already with the new comparison; its first writer
// upgrades it once: the oldest key takes the others' subkeys and values, the
// older value stays, and the value it replaces is kept in the history.
TEST_F(History, AVersion2HiveIsReadFoldedAndUpgradedOnceByItsFirstWriter) {
  const std::string hive = registry_.machineHive();
  sql(hive,
      // The schema statements of version 2, as that release wrote them.
      "PRAGMA journal_mode=WAL; PRAGMA application_id=1448232263; PRAGMA user_version=2;"
      "CREATE TABLE keys(  id INTEGER PRIMARY KEY AUTOINCREMENT,"
      "  parent INTEGER REFERENCES keys(id),  name TEXT NOT NULL,"
      "  path TEXT NOT NULL UNIQUE COLLATE NOCASE,  written INTEGER NOT NULL);"
      "CREATE INDEX keys_by_parent ON keys(parent, name COLLATE NOCASE);"
      "CREATE TABLE vals(  key INTEGER NOT NULL REFERENCES keys(id),"
      "  name TEXT NOT NULL COLLATE NOCASE,  type INTEGER NOT NULL,  data BLOB NOT NULL,"
      "  UNIQUE(key, name));" +
          kVersion2History +
          "CREATE TABLE settings(name TEXT PRIMARY KEY, value INTEGER NOT NULL) WITHOUT ROWID;"
          "INSERT INTO settings VALUES('history_max_records', 100000),"
          " ('history_max_age_days', 365), ('history_complete_since', 0);"
          "INSERT INTO keys VALUES(1, NULL, '', '', 0), (2, 1, 'Ключ', 'Ключ', 5),"
          " (3, 1, 'КЛЮЧ', 'КЛЮЧ', 6), (4, 3, 'Sub', 'КЛЮЧ\\Sub', 6), (9, 1, 'gone', 'gone', 0);"
          "DELETE FROM keys WHERE id = 9;"
          "INSERT INTO vals VALUES(2, 'äpfel', 1, CAST('old' AS BLOB)),"
          " (3, 'ÄPFEL', 1, CAST('new' AS BLOB)), (3, 'only', 1, CAST('here' AS BLOB));"
          "INSERT INTO history(time, uid, user_name, pid, program, change, key, value, new_type,"
          " new_data) VALUES(1, 0, 'root', 1, 'p', 'value set', 'КЛЮЧ', 'only', 1, CAST('here' AS "
          "BLOB));");

  // Read as it is by readers, with the new comparison: the two keys are one
  // subtree.
  rh::Filter filter;
  filter.key = "ключ";
  filter.value = "ONLY";
  EXPECT_EQ(1u, history(HKEY_LOCAL_MACHINE, filter).size());
  rh::PastState present;
  ASSERT_EQ(ERROR_SUCCESS, rh::ReadPastState(HKEY_LOCAL_MACHINE, "ключ", INT64_MAX, &present));
  EXPECT_EQ(2u, present.keys.size()) << "the two spellings as one key, and the subkey";
  EXPECT_EQ(2, sql(hive, "SELECT user_version FROM pragma_user_version"));

  ASSERT_EQ(ERROR_SUCCESS, set("ключ\\sub", "n", "1"));
  EXPECT_EQ(5, sql(hive, "SELECT user_version FROM pragma_user_version"));
  EXPECT_EQ(1, sql(hive, "SELECT count(*) FROM keys WHERE folded_path = 'КЛЮЧ'"));
  EXPECT_EQ(2, sql(hive, "SELECT parent FROM keys WHERE name = 'Sub'")) << "moved to the oldest";
  EXPECT_EQ(10, sql(hive, "SELECT seq + 1 FROM sqlite_sequence WHERE name = 'keys'"))
      << "the id of a deleted key stays unused";
  EXPECT_EQ(rh::Value({REG_SZ, {'o', 'l', 'd'}}), valueNow("КЛЮЧ", "äpfel"));
  EXPECT_EQ(rh::Value({REG_SZ, {'h', 'e', 'r', 'e'}}), valueNow("Ключ", "only"));
  filter.value = "äPFEL";
  const std::vector<rh::Record> replaced = history(HKEY_LOCAL_MACHINE, filter);
  ASSERT_EQ(1u, replaced.size());
  EXPECT_EQ(rh::Change::ValueDeleted, replaced[0].change);
  EXPECT_EQ(rh::Value({REG_SZ, {'n', 'e', 'w'}}), replaced[0].oldValue);
  EXPECT_EQ("КЛЮЧ", replaced[0].key);

  // Once: a later writer finds the hive current.
  const int64_t records = sql(hive, "SELECT count(*) FROM history");
  RegDiagReset();
  ASSERT_EQ(ERROR_SUCCESS, set("КЛЮЧ", "n", "2"));
  EXPECT_EQ(records + 1, sql(hive, "SELECT count(*) FROM history"));
}

// The machine hive's history is read by everyone who reads the hive and set
// up only by who writes it; a user's history is as private as the hive.
TEST_F(History, OthersReadTheMachineHistoryButNotItsSettingsNorAnotherUsersHistory) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to switch users";
  chmod(registry_.dir().c_str(), 01777);
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "machine", "m"));
  ASSERT_EQ(ERROR_SUCCESS, set("Software\\Mine", "private", "p", HKEY_CURRENT_USER));
  RegDiagReset();
  const auto asNobody = [] {
    if (!becomeNobody()) return 100;
    std::vector<rh::Record> records;
    rh::Settings settings;
    if (rh::ReadHistory(HKEY_LOCAL_MACHINE, {}, &records) != ERROR_SUCCESS) return 1;
    if (records.empty() || records.front().value != "machine") return 2;
    if (rh::ReadHistorySettings(HKEY_LOCAL_MACHINE, &settings) != ERROR_SUCCESS) return 3;
    if (rh::ChangeHistorySettings(HKEY_LOCAL_MACHINE, 5, {}) != ERROR_ACCESS_DENIED) return 4;
    // HKEY_CURRENT_USER is nobody's own, empty hive.
    if (rh::ReadHistory(HKEY_CURRENT_USER, {}, &records) != ERROR_SUCCESS) return 5;
    return records.empty() ? 0 : 6;
  };
  EXPECT_EQ(0, runInChild(asNobody));
  rh::Settings settings;
  ASSERT_EQ(ERROR_SUCCESS, rh::ReadHistorySettings(HKEY_LOCAL_MACHINE, &settings));
  EXPECT_EQ(100000, settings.maxRecords) << "nobody's change was refused";
}

// Who wrote is taken at each write, not once per process or connection: a
// forked child writes under its own process id, and a writer that drops
// privileges under its new user even on the connection it opened before.
TEST_F(History, NamesTheWriterAfterAForkAndAfterDroppingPrivileges) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to switch users";
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "v", "parent"));
  const pid_t child = startChild([] {
    if (set(kKey, "v", "child") != ERROR_SUCCESS) return 1;
    if (!becomeNobody()) return 100;
    return set(kKey, "v", "nobody") == ERROR_SUCCESS ? 0 : 2;
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

// Each change names the process that made it: a forked child its own
// process id (a served hive's child connects anew and says so); on a
// server, also the role it is reached as, whatever role wrote before.
TEST_F(History, NamesTheProcessAndOnAServerTheRoleOfEachChange) {
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "v", "parent"));
  const pid_t child = startChild([] { return set(kKey, "v", "child") == ERROR_SUCCESS ? 0 : 1; });
  ASSERT_EQ(0, waitChild(child));
  std::string role = "postgres";
  if (registry_.served()) {
    // Roles are the server's, shared by every test's database.
    QueryServedHive(
        "DO $$ BEGIN CREATE ROLE history_alice LOGIN;"
        " EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL; END $$;"
        " GRANT vintutil_writer TO history_alice");
    const std::string conninfo = getenv("VINTUTIL_MACHINE_HIVE");
    setenv("VINTUTIL_MACHINE_HIVE", (conninfo + " user=history_alice").c_str(), 1);
    RegDiagReset();
    role = "history_alice";
  }
  ASSERT_EQ(ERROR_SUCCESS, set(kKey, "v", "again"));
  const std::vector<rh::Record> records = history();
  ASSERT_GE(records.size(), 3u);
  EXPECT_EQ(getpid(), records[0].pid);
  EXPECT_EQ(child, records[1].pid);
  EXPECT_EQ(getpid(), records[2].pid);
  if (!registry_.served()) return;
  EXPECT_EQ(role, records[0].role);
  EXPECT_EQ("postgres", records[1].role);
  for (const rh::Record& r : records) {
    EXPECT_EQ(hostName(), r.host);
    EXPECT_EQ(getuid(), r.uid);
    EXPECT_EQ(program_invocation_short_name, r.program);
  }
}

}  // namespace
