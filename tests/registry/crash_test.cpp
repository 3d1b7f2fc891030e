// A writer killed with SIGKILL at random instants: the hive always opens
// again and every write that returned success is there, also for a reader
// that kept reading (and caching) while the writer ran. POSIX only.
#include <windows.h>
#include <registry_diagnostics.h>

#include <fcntl.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "stress_scale.h"
#include "temp_registry.h"

namespace {

const char kKey[] = "SOFTWARE\\Crash";
// Overwritten by every write with the write's number.
const char kLatest[] = "latest";

std::string nameOf(int round, int i) {
  return "r" + std::to_string(round) + "_" + std::to_string(i);
}

// Writes values until killed, reporting each acknowledged one on `ack`.
int writeUntilKilled(int round, int ack) {
  for (int i = 0;; ++i) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kKey, &key) != ERROR_SUCCESS) return 1;
    std::string data = nameOf(round, i) + std::string(size_t(i % 7) * 300, '.');
    LONG rc = RegSetValueExA(key, nameOf(round, i).c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()));
    if (rc == ERROR_SUCCESS) {
      rc = RegSetValueExA(key, kLatest, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&i), sizeof i);
    }
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return 2;
    if (write(ack, &i, sizeof i) != sizeof i) return 3;
  }
}

// Whether the hive's change counter was left odd, as by a writer killed amid
// a write (readers then bypass their caches until the next write).
bool changeCounterLeftOdd(const TempRegistry& registry) {
  uint64_t counter = 0;
  int fd = open((registry.machineHive() + "-changes").c_str(), O_RDONLY);
  if (fd < 0) return false;
  bool read = pread(fd, &counter, sizeof counter, 8) == ssize_t(sizeof counter);
  close(fd);
  return read && (counter & 1);
}

// The number of the latest write, -1 when there is none.
int readLatest() {
  HKEY key = nullptr;
  int latest = -1;
  DWORD size = sizeof latest;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
    if (RegQueryValueExA(key, kLatest, nullptr, nullptr, reinterpret_cast<BYTE*>(&latest), &size) !=
        ERROR_SUCCESS) {
      latest = -1;
    }
    RegCloseKey(key);
  }
  return latest;
}

TEST(Crash, EveryAcknowledgedWriteSurvivesAKilledWriter) {
  TempRegistry registry;
  std::mt19937 random(20240611);
  const int kRounds = 200 * stressScale();
  int totalAcknowledged = 0, leftOdd = 0;
  for (int round = 0; round < kRounds; ++round) {
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
    leftOdd += changeCounterLeftOdd(registry);
    while (read(ack[0], &i, sizeof i) == sizeof i) acknowledged.push_back(i);
    close(ack[0]);

    HKEY key = nullptr;
    LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key);
    if (acknowledged.empty() && opened == ERROR_FILE_NOT_FOUND) continue;
    ASSERT_EQ(ERROR_SUCCESS, opened) << "round " << round;
    // The killed writer may have committed one more write than it reported.
    const int latest = readLatest();
    if (!acknowledged.empty()) {
      EXPECT_TRUE(latest == acknowledged.back() || latest == acknowledged.back() + 1)
          << "round " << round << ": latest " << latest << " after write " << acknowledged.back();
    }
    for (int n : acknowledged) {
      char buffer[4096];
      DWORD size = sizeof buffer;
      ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, nameOf(round, n).c_str(), nullptr, nullptr,
                                                reinterpret_cast<BYTE*>(buffer), &size))
          << "round " << round << ", write " << n;
      EXPECT_EQ(nameOf(round, n) + std::string(size_t(n % 7) * 300, '.'),
                std::string(buffer, size));
    }
    totalAcknowledged += int(acknowledged.size());
    RegCloseKey(key);
  }
  std::printf(
      "crash: %d rounds, %d acknowledged writes, all found; %d writers killed amid a write\n",
      kRounds, totalAcknowledged, leftOdd);
  EXPECT_GT(totalAcknowledged, kRounds) << "the writers hardly wrote: the test proved little";
}

}  // namespace
