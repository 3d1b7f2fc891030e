// A writer killed with SIGKILL at random instants: the hive always opens
// again and every write that returned success is there, also for a reader
// that kept reading (and caching) while the writer ran. POSIX only.
#include <windows.h>

#include <signal.h>

#include <fcntl.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "child_process.h"
#include "registry_values.h"
#include "stress_scale.h"
#include "temp_registry.h"

namespace {

const char kKey[] = "SOFTWARE\\Crash";
const char kLatest[] = "latest";  // overwritten by every write with the write's number

std::string nameOf(int round, int i) {
  return "r" + std::to_string(round) + "_" + std::to_string(i);
}
regtest::Value dataOf(int round, int i) {
  return regtest::Text(nameOf(round, i) + std::string(size_t(i % 7) * 300, '.'));
}

// Writes values until killed, reporting each acknowledged one on `ack`.
int writeUntilKilled(int round, int ack) {
  for (int i = 0;; ++i) {
    LONG result = regtest::Set(HKEY_LOCAL_MACHINE, kKey, nameOf(round, i), dataOf(round, i));
    if (!result) result = regtest::Set(HKEY_LOCAL_MACHINE, kKey, kLatest, regtest::Dword(i));
    if (result) {
      std::fprintf(stderr, "write %d failed with error %ld\n", i, long(result));
      return 2;
    }
    if (write(ack, &i, sizeof i) != sizeof i) return 3;
  }
}

// The number of the latest write, -1 when there is none.
int readLatest() {
  const auto latest = regtest::Get(HKEY_LOCAL_MACHINE, kKey, kLatest);
  int number = -1;
  if (latest && latest->bytes.size() == sizeof number) memcpy(&number, latest->bytes.data(), 4);
  return number;
}

TEST(Crash, EveryAcknowledgedWriteSurvivesAKilledWriter) {
  TempRegistry registry;
  std::mt19937 random(20240611);
  const int kRounds = 200 * stressScale();
  int totalAcknowledged = 0;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    int ack[2];
    ASSERT_EQ(0, pipe(ack));
    pid_t writer = startChild([&] {
      close(ack[0]);
      return writeUntilKilled(round, ack[1]);
    });
    close(ack[1]);
    // Early rounds kill the writer while it may still be creating the hive
    // (which takes some fsyncs), later ones amid its writes, once it has
    // reported its first; meanwhile this process reads the latest write
    // again and again.
    std::vector<int> acknowledged;
    int i;
    if (round >= 5 && read(ack[0], &i, sizeof i) == sizeof i) acknowledged.push_back(i);
    const auto killAt = std::chrono::steady_clock::now() +
                        std::chrono::microseconds(random() % (round < 5 ? 60000 : 4000));
    while (std::chrono::steady_clock::now() < killAt) readLatest();
    kill(writer, SIGKILL);
    ASSERT_EQ(128 + SIGKILL, waitChild(writer)) << "the writer failed on its own";
    while (read(ack[0], &i, sizeof i) == sizeof i) acknowledged.push_back(i);
    close(ack[0]);

    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key);
    if (acknowledged.empty() && opened == ERROR_FILE_NOT_FOUND) continue;
    ASSERT_EQ(ERROR_SUCCESS, opened);
    RegCloseKey(key);
    // The killed writer may have committed one more write than it reported.
    const int latest = readLatest();
    if (!acknowledged.empty()) {
      EXPECT_TRUE(latest == acknowledged.back() || latest == acknowledged.back() + 1)
          << "latest " << latest << " after write " << acknowledged.back();
    }
    for (int n : acknowledged) {
      ASSERT_EQ(dataOf(round, n), regtest::Get(HKEY_LOCAL_MACHINE, kKey, nameOf(round, n))) << n;
    }
    totalAcknowledged += int(acknowledged.size());
  }
  std::printf("crash: %d rounds, %d acknowledged writes, all found\n", kRounds, totalAcknowledged);
  EXPECT_GT(totalAcknowledged, kRounds) << "the writers hardly wrote: the test proved little";
}

// A writer killed while it made the hive or its change counter leaves its
// temporary files; the next writer to make them removes them, but not those
// of a process still running.
TEST(Crash, WhatAWriterKilledWhileMakingTheHiveLeftIsRemovedByTheNext) {
  TempRegistry registry;
  const pid_t dead = startChild([] { return 0; });
  waitChild(dead);
  const std::string hive = registry.machineHive(), id = std::to_string(dead);
  const std::string abandoned[] = {hive + ".new-" + id + "-1", hive + ".new-" + id + "-1-wal",
                                   hive + "-changes.new-" + id + "-2"};
  const std::string running = hive + ".new-" + std::to_string(getpid()) + "-3";
  for (const std::string& file : abandoned) close(open(file.c_str(), O_CREAT | O_WRONLY, 0600));
  close(open(running.c_str(), O_CREAT | O_WRONLY, 0600));
  regtest::Put(HKEY_LOCAL_MACHINE, kKey, "v", regtest::Text("x"));
  for (const std::string& file : abandoned) EXPECT_FALSE(std::filesystem::exists(file)) << file;
  EXPECT_TRUE(std::filesystem::exists(running));
}

}  // namespace
