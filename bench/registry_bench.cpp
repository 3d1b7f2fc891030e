// Times the library's registry pattern, a key opened and closed around every
// query or set, and compares it with a reference measured in the same run:
// one bare prepared SQLite statement (or write transaction) doing the same
// lookup or store on the same hive file, with the same connection settings.
// The ratio is the price of the Win32 layer: argument checks, handle table,
// access rights, path handling and the extra statements a write needs.
//
//   build/bench/bench_registry [--benchmark_repetitions=N ...]
#include <windows.h>
#include <registry_diagnostics.h>

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

namespace {

// Key and value names in upper case: their folded forms, which the hive
// compares, are the same, so the reference statements bind them as they are.
const char kKey[] = "SOFTWARE\\TORVALE\\VARNO4\\STOERSCHRIEB";
const char kValue[] = "GRAFPROG";
const char kText[] = "C:\\Programme\\Torvale\\Varno4\\Grafik\\grafprog.exe";

std::string hiveDir;

std::string machineHive() { return hiveDir + "/machine.db"; }

// A fresh registry with the key and value the benchmarks use.
void prepareRegistry() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vintutil-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) abort();
  hiveDir = pattern;
  setenv("VINTUTIL_REGISTRY", hiveDir.c_str(), 1);
  RegDiagReset();
  HKEY key = nullptr;
  if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kKey, &key) != ERROR_SUCCESS) abort();
  RegSetValueExA(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(kText), sizeof kText);
  RegCloseKey(key);
}

void RegistryRead(benchmark::State& state) {
  char buffer[1256];
  for (auto _ : state) {
    HKEY key = nullptr;
    DWORD type = REG_SZ, size = sizeof buffer;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS ||
        RegQueryValueExA(key, kValue, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS) {
      state.SkipWithError("read failed");
    }
    RegCloseKey(key);
    benchmark::DoNotOptimize(buffer);
  }
}

void RegistryWrite(benchmark::State& state) {
  for (auto _ : state) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS ||
        RegSetValueExA(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(kText),
                       sizeof kText) != ERROR_SUCCESS) {
      state.SkipWithError("write failed");
    }
    RegCloseKey(key);
  }
}

// A connection to the hive file set up as the registry sets up its own.
sqlite3* openReference() {
  sqlite3* db = nullptr;
  sqlite3_open_v2(machineHive().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  sqlite3_busy_timeout(db, 5000);
  sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  return db;
}

void SqliteRead(benchmark::State& state) {
  sqlite3* db = openReference();
  sqlite3_stmt* query = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT v.type, v.data FROM keys k JOIN vals v ON v.key = k.id"
                     " WHERE k.folded_path = ?1 AND v.folded_name = ?2",
                     -1, &query, nullptr);
  char buffer[1256];
  for (auto _ : state) {
    sqlite3_bind_text(query, 1, kKey, -1, SQLITE_STATIC);
    sqlite3_bind_text(query, 2, kValue, -1, SQLITE_STATIC);
    if (sqlite3_step(query) != SQLITE_ROW) state.SkipWithError("reference read failed");
    memcpy(buffer, sqlite3_column_blob(query, 1), size_t(sqlite3_column_bytes(query, 1)));
    sqlite3_reset(query);
    benchmark::DoNotOptimize(buffer);
  }
  sqlite3_finalize(query);
  sqlite3_close(db);
}

// The reference's write: one value set as the stand-in stores it.
constexpr const char* kUpsertValue =
    "INSERT INTO vals(key, name, folded_name, type, data)"
    " SELECT id, ?2, ?2, 1, ?3 FROM keys WHERE folded_path = ?1"
    " ON CONFLICT(key, folded_name) DO UPDATE SET type = excluded.type, data = excluded.data";

void SqliteWrite(benchmark::State& state) {
  sqlite3* db = openReference();
  sqlite3_stmt *begin = nullptr, *upsert = nullptr, *commit = nullptr;
  sqlite3_prepare_v2(db, "BEGIN IMMEDIATE", -1, &begin, nullptr);
  sqlite3_prepare_v2(db, kUpsertValue, -1, &upsert, nullptr);
  sqlite3_prepare_v2(db, "COMMIT", -1, &commit, nullptr);
  for (auto _ : state) {
    sqlite3_step(begin);
    sqlite3_reset(begin);
    sqlite3_bind_text(upsert, 1, kKey, -1, SQLITE_STATIC);
    sqlite3_bind_text(upsert, 2, kValue, -1, SQLITE_STATIC);
    sqlite3_bind_blob(upsert, 3, kText, sizeof kText, SQLITE_STATIC);
    if (sqlite3_step(upsert) != SQLITE_DONE) state.SkipWithError("reference write failed");
    sqlite3_reset(upsert);
    if (sqlite3_step(commit) != SQLITE_DONE) state.SkipWithError("reference commit failed");
    sqlite3_reset(commit);
  }
  sqlite3_finalize(begin);
  sqlite3_finalize(upsert);
  sqlite3_finalize(commit);
  sqlite3_close(db);
}

BENCHMARK(RegistryRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(SqliteRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(RegistryWrite)->Unit(benchmark::kMicrosecond);
BENCHMARK(SqliteWrite)->Unit(benchmark::kMicrosecond);

// Prints the runs as usual and remembers each one's time per operation.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "mean") {
        microseconds_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
  }
  void printRatio(const char* what, const char* timed, const char* reference) {
    double t = microseconds_[timed], r = microseconds_[reference];
    if (t > 0 && r > 0) {
      std::printf("%-6s %8.2f us per open+%s+close, %6.2f us reference: ratio %.2f\n", what, t,
                  what, r, t / r);
    }
  }

 private:
  std::map<std::string, double> microseconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  prepareRegistry();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  reporter.printRatio("query", "RegistryRead", "SqliteRead");
  reporter.printRatio("set", "RegistryWrite", "SqliteWrite");
  reporter.printRatio("change", "RegistryChange", "SqliteChangeRecorded");
  RegDiagReset();
  std::error_code ignored;
  std::filesystem::remove_all(hiveDir, ignored);
  benchmark::Shutdown();
  return 0;
}

// --- The price of the change history ---------------------------------------
// Writes that change the value every time (two texts in turn), so that each
// is a real change with a record: through the registry, which keeps the
// history, and as bare SQLite transactions on the same hive doing what the
// stand-in does (stamp the key's write time, upsert the value) without the
// record and with what the history adds (the old value read, the history
// row); SqliteChangeRecorded against SqliteChange is the price of the record.
namespace {

const char kOtherText[] = "C:\\Programme\\Torvale\\Varno4\\Grafik\\grafprog64.exe";

const char* textNumber(int64_t i) { return i % 2 ? kText : kOtherText; }

void RegistryChange(benchmark::State& state) {
  int64_t i = 0;
  for (auto _ : state) {
    const char* text = textNumber(i++);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS ||
        RegSetValueExA(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       DWORD(strlen(text) + 1)) != ERROR_SUCCESS) {
      state.SkipWithError("change failed");
    }
    RegCloseKey(key);
  }
}

void sqliteChange(benchmark::State& state, bool recorded) {
  sqlite3* db = openReference();
  sqlite3_stmt *begin = nullptr, *touch = nullptr, *old = nullptr, *upsert = nullptr,
               *record = nullptr, *commit = nullptr;
  sqlite3_prepare_v2(db, "BEGIN IMMEDIATE", -1, &begin, nullptr);
  sqlite3_prepare_v2(db, "UPDATE keys SET written = ?2 WHERE folded_path = ?1", -1, &touch,
                     nullptr);
  sqlite3_prepare_v2(db,
                     "SELECT k.id, v.type, v.data FROM keys k LEFT JOIN vals v"
                     " ON v.key = k.id AND v.folded_name = ?2 WHERE k.folded_path = ?1",
                     -1, &old, nullptr);
  sqlite3_prepare_v2(db, kUpsertValue, -1, &upsert, nullptr);
  sqlite3_prepare_v2(
      db,
      "INSERT INTO history(time, uid, user_name, pid, program, change, key, folded_key, value,"
      " old_type, old_data, new_type, new_data, bytes_before)"
      " VALUES(?1, 0, 'root', ?2, 'bench_registry', 'value set', ?3, ?3, ?4, ?5,"
      " ?6, 1, ?7, ifnull((SELECT h.bytes_before + length(CAST(h.key AS BLOB))"
      " + ifnull(length(CAST(h.value AS BLOB)), 0) + ifnull(length(h.old_data), 0)"
      " + ifnull(length(h.new_data), 0) FROM history h ORDER BY h.id DESC LIMIT 1), 0))",
      -1, &record, nullptr);
  sqlite3_prepare_v2(db, "COMMIT", -1, &commit, nullptr);
  int64_t i = 0;
  for (auto _ : state) {
    const char* text = textNumber(i++);
    const int size = int(strlen(text) + 1);
    sqlite3_step(begin);
    sqlite3_reset(begin);
    sqlite3_bind_text(touch, 1, kKey, -1, SQLITE_STATIC);
    sqlite3_bind_int64(touch, 2, i);
    if (sqlite3_step(touch) != SQLITE_DONE) state.SkipWithError("reference touch failed");
    sqlite3_reset(touch);
    if (recorded) {
      sqlite3_bind_text(old, 1, kKey, -1, SQLITE_STATIC);
      sqlite3_bind_text(old, 2, kValue, -1, SQLITE_STATIC);
      if (sqlite3_step(old) != SQLITE_ROW) state.SkipWithError("old value read failed");
      sqlite3_bind_int64(record, 1,
                         std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count());
      sqlite3_bind_int64(record, 2, getpid());
      sqlite3_bind_text(record, 3, kKey, -1, SQLITE_STATIC);
      sqlite3_bind_text(record, 4, kValue, -1, SQLITE_STATIC);
      sqlite3_bind_value(record, 5, sqlite3_column_value(old, 1));
      sqlite3_bind_value(record, 6, sqlite3_column_value(old, 2));
      sqlite3_bind_blob(record, 7, text, size, SQLITE_STATIC);
      sqlite3_reset(old);
    }
    sqlite3_bind_text(upsert, 1, kKey, -1, SQLITE_STATIC);
    sqlite3_bind_text(upsert, 2, kValue, -1, SQLITE_STATIC);
    sqlite3_bind_blob(upsert, 3, text, size, SQLITE_STATIC);
    if (sqlite3_step(upsert) != SQLITE_DONE) state.SkipWithError("reference change failed");
    sqlite3_reset(upsert);
    if (recorded) {
      if (sqlite3_step(record) != SQLITE_DONE) state.SkipWithError("reference record failed");
      sqlite3_reset(record);
    }
    if (sqlite3_step(commit) != SQLITE_DONE) state.SkipWithError("reference commit failed");
    sqlite3_reset(commit);
  }
  for (sqlite3_stmt* s : {begin, touch, old, upsert, record, commit}) sqlite3_finalize(s);
  sqlite3_close(db);
}

void SqliteChange(benchmark::State& state) { sqliteChange(state, false); }
void SqliteChangeRecorded(benchmark::State& state) { sqliteChange(state, true); }

BENCHMARK(RegistryChange)->Unit(benchmark::kMicrosecond);
BENCHMARK(SqliteChange)->Unit(benchmark::kMicrosecond);
BENCHMARK(SqliteChangeRecorded)->Unit(benchmark::kMicrosecond);

}  // namespace
