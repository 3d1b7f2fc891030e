// A writer killed with SIGKILL at random instants: the hive always opens
// again and every write that returned success is there. POSIX only.
#include <windows.h>
#include <registry_diagnostics.h>

#include <signal.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "temp_registry.h"

namespace {

const char kKey[] = "SOFTWARE\\Crash";

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
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return 2;
    if (write(ack, &i, sizeof i) != sizeof i) return 3;
  }
}

TEST(Crash, EveryAcknowledgedWriteSurvivesAKilledWriter) {
  TempRegistry registry;
  std::mt19937 random(20240611);
  constexpr int kRounds = 30;
  int totalAcknowledged = 0;
  for (int round = 0; round < kRounds; ++round) {
    int ack[2];
    ASSERT_EQ(0, pipe(ack));
    pid_t writer = startChild([&] {
      close(ack[0]);
      return writeUntilKilled(round, ack[1]);
    });
    close(ack[1]);
    // Early rounds kill the writer while it may still be creating the hive
    // (which takes some fsyncs), later ones amid its writes.
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (round < 5 ? 60000 : 15000)));
    kill(writer, SIGKILL);
    ASSERT_EQ(128 + SIGKILL, waitChild(writer)) << "the writer failed on its own";
    std::vector<int> acknowledged;
    int i;
    while (read(ack[0], &i, sizeof i) == sizeof i) acknowledged.push_back(i);
    close(ack[0]);

    HKEY key = nullptr;
    LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key);
    if (acknowledged.empty() && opened == ERROR_FILE_NOT_FOUND) continue;
    ASSERT_EQ(ERROR_SUCCESS, opened) << "round " << round;
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
  EXPECT_GT(totalAcknowledged, kRounds) << "the writers hardly wrote: the test proved little";
}

}  // namespace
