// The machine hive on a PostgreSQL server against the machine hive in a
// local file, in one run on one machine: a cached read of an unchanged
// value, a write, and the propagation lag, from the start (and from the
// return) of another process's write to the moment a process polling the
// value reads the new one. Median and 99th percentile, in microseconds. The
// server's commit returns once it is on its disk; the file's once it is in
// the operating system's hands, on disk after RegFlushKey: both are timed.
//
// The server is a private one (scripts/test-server) on a Unix socket: the
// figures are those of a server on the workstation itself, the network's
// round trips come on top. Last, the time until the local replica holds a
// write, in a small hive and in a large one.
//
//   build/bench/bench_served [rounds]   (default 2000)
#include <windows.h>
#include <registry_diagnostics.h>
#include <registry_server.h>

#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cross_process_rounds.h"

namespace {

const char kKey[] = "SOFTWARE\\TORVALE\\VARNO4\\SCHNITTSTELLEN";

DWORD readValue(HKEY key) {
  DWORD data = 0, size = sizeof data;
  check(RegQueryValueExA(key, "BAUDRATE", nullptr, nullptr, reinterpret_cast<BYTE*>(&data),
                         &size) == ERROR_SUCCESS,
        "reading");
  return data;
}

void writeValue(HKEY key, DWORD data) {
  check(RegSetValueExA(key, "BAUDRATE", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                       sizeof data) == ERROR_SUCCESS,
        "writing");
}

HKEY openKey(REGSAM access) {
  HKEY key = nullptr;
  check(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, access, &key) == ERROR_SUCCESS, "opening");
  return key;
}

struct Figures {
  Percentiles read, write, flushedWrite, lagFromStart, lagFromEnd;
};

// Times each of `rounds` calls of `call`.
template <typename Call>
Percentiles timeCalls(int rounds, Call call) {
  std::vector<int64_t> ns;
  ns.reserve(rounds);
  for (int i = 0; i < rounds; ++i) {
    const int64_t start = nowNs();
    call(i);
    ns.push_back(nowNs() - start);
  }
  return percentiles(ns);
}

// The three figures on the machine hive as the environment places it now.
Figures measure(int rounds) {
  RegDiagReset();
  HKEY created = nullptr;
  check(RegCreateKeyA(HKEY_LOCAL_MACHINE, kKey, &created) == ERROR_SUCCESS, "creating the key");
  writeValue(created, 0);
  RegCloseKey(created);

  Figures f;
  HKEY key = openKey(KEY_READ | KEY_SET_VALUE);
  readValue(key);  // fills the cache
  f.read = timeCalls(rounds * 50, [&](int) { readValue(key); });
  f.write = timeCalls(rounds, [&](int i) { writeValue(key, DWORD(i)); });
  // As durable as the server's commit, which is on its disk when it returns.
  f.flushedWrite = timeCalls(rounds, [&](int i) {
    writeValue(key, DWORD(i));
    check(RegFlushKey(key) == ERROR_SUCCESS, "flushing");
  });
  RegCloseKey(key);

  // The child writes 1, 2, 3...; the parent polls until it reads the number.
  const int lagRounds = std::max(rounds / 10, 50);
  HKEY polled = nullptr;
  const Rounds lag = timeRounds(
      lagRounds,
      [&] {
        if (!polled) polled = openKey(KEY_READ);
      },
      [](int i) {
        HKEY written = openKey(KEY_SET_VALUE);
        writeValue(written, DWORD(1000000 + i));
        RegCloseKey(written);
      },
      [&](int i) {
        while (readValue(polled) != DWORD(1000000 + i)) {
        }
      });
  RegCloseKey(polled);
  f.lagFromStart = percentiles(lag.fromStart);
  f.lagFromEnd = percentiles(lag.fromEnd);
  return f;
}

// The server's generation the replica file at `path` holds; 0 while it
// cannot be read.
uint64_t replicaGeneration(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_stmt* q = nullptr;
  int64_t generation = 0;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(db, "SELECT value FROM settings WHERE name = 'replica_generation'", -1, &q,
                         nullptr) == SQLITE_OK &&
      sqlite3_step(q) == SQLITE_ROW) {
    generation = sqlite3_column_int64(q, 0);
  }
  sqlite3_finalize(q);
  sqlite3_close(db);
  return uint64_t(generation);
}

// How long after a write's return the local replica holds it, in a hive
// that also holds `values` other values: the replica takes only the keys
// changed since its last copy, so the time should not grow with the hive.
// The writes are spaced wider than the replica's pause between two copies.
Percentiles replicaCatchUp(int values, int rounds) {
  RegDiagReset();
  HKEY bulk = nullptr;
  const std::string path = "SOFTWARE\\Bulk" + std::to_string(values);
  check(RegCreateKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &bulk) == ERROR_SUCCESS, "creating");
  for (int i = 0; i < values; ++i) {
    const std::string name = "v" + std::to_string(i);
    check(RegSetValueExA(bulk, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("data"), 5) ==
              ERROR_SUCCESS,
          "filling the hive");
  }
  RegCloseKey(bulk);
  HKEY key = openKey(KEY_SET_VALUE);
  std::vector<int64_t> ns;
  for (int i = 0; i < rounds; ++i) {
    const registry_server::HiveStatus status = registry_server::hiveStatus(HKEY_LOCAL_MACHINE);
    while (replicaGeneration(status.replica) < status.generation) usleep(1000);
    usleep(300000);
    writeValue(key, DWORD(i));
    const int64_t written = nowNs();
    while (replicaGeneration(status.replica) <= status.generation) {
    }
    ns.push_back(nowNs() - written);
  }
  RegCloseKey(key);
  return percentiles(ns);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? atoi(argv[1]) : 2000;
  const std::string dir = "/tmp/vintutil-bench-served-" + std::to_string(getpid());
  const std::string script = VINTUTIL_TEST_SERVER_SCRIPT;
  check(system((script + " start " + dir + " >/dev/null").c_str()) == 0, "starting the server");
  const std::string conninfo = "host=" + dir + " dbname=postgres user=postgres";
  std::string message;
  check(registry_server::initServer(conninfo, &message) == ERROR_SUCCESS, "preparing the server");

  std::string files = (std::filesystem::temp_directory_path() / "vintutil-bench-XXXXXX").string();
  check(mkdtemp(files.data()) != nullptr, "mkdtemp");
  setenv("VINTUTIL_REGISTRY", files.c_str(), 1);
  setenv("VINTUTIL_MACHINE_HIVE", "", 1);
  const Figures file = measure(rounds);
  setenv("VINTUTIL_MACHINE_HIVE", conninfo.c_str(), 1);
  const Figures served = measure(rounds);
  const int catchUpRounds = std::max(rounds / 100, 10);
  const Percentiles smallHive = replicaCatchUp(100, catchUpRounds);
  const Percentiles largeHive = replicaCatchUp(20000, catchUpRounds);
  RegDiagReset();

  printf("machine hive, microseconds: median and 99th percentile (%d writes)\n", rounds);
  printf("  %-44s %10s %10s %10s %10s\n", "", "file", "", "server", "");
  const auto row = [](const char* what, const Percentiles& a, const Percentiles& b) {
    printf("  %-44s %10.2f %10.2f %10.2f %10.2f\n", what, a.median, a.p99, b.median, b.p99);
  };
  row("RegQueryValueExA, value unchanged (cached)", file.read, served.read);
  row("RegSetValueExA", file.write, served.write);
  row("RegSetValueExA + RegFlushKey (on disk)", file.flushedWrite, served.flushedWrite);
  row("another process's write begins -> seen here", file.lagFromStart, served.lagFromStart);
  // Negative: the reader saw the change before the writer's call returned
  // (the server's notification overtook its answer to the writer).
  row("  the same, from the write's return", file.lagFromEnd, served.lagFromEnd);
  printf("  ratio server/file of the medians: read %.2f, write on disk %.2f, lag %.2f\n",
         served.read.median / file.read.median,
         served.flushedWrite.median / file.flushedWrite.median,
         served.lagFromStart.median / file.lagFromStart.median);

  printf("served: a write's return -> in the local replica, milliseconds (%d writes)\n",
         catchUpRounds);
  printf("  %-44s %10.2f %10.2f\n", "hive of 100 values", smallHive.median / 1000,
         smallHive.p99 / 1000);
  printf("  %-44s %10.2f %10.2f\n", "hive of 20,000 values", largeHive.median / 1000,
         largeHive.p99 / 1000);
  printf("  ratio 20,000/100 of the medians: %.2f\n", largeHive.median / smallHive.median);

  system((script + " stop " + dir + " >/dev/null").c_str());
  std::filesystem::remove_all(files);
  return 0;
}
