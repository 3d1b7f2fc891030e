// A writer that runs out of space (a file size limit, RLIMIT_FSIZE, with
// SIGXFSZ ignored so that writes fail with EFBIG instead of killing it):
// writes fail with an error code, and everything written before stays
// readable, in that process and in others, and writable again once there is
// room. POSIX only.
#include <windows.h>

#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <string>
#include <vector>

#include "child_process.h"
#include "temp_registry.h"

namespace {

const char kKey[] = "SOFTWARE\\Full";
constexpr rlim_t kFileSizeLimit = 256 * 1024;
constexpr int kFailedWritesToTry = 20;

std::string dataOf(int i) { return std::to_string(i) + std::string(3000, char('a' + i % 26)); }

LONG writeValue(int i) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyA(HKEY_LOCAL_MACHINE, kKey, &key);
  if (rc != ERROR_SUCCESS) return rc;
  const std::string data = dataOf(i);
  rc = RegSetValueExA(key, ("v" + std::to_string(i)).c_str(), 0, REG_BINARY,
                      reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()));
  RegCloseKey(key);
  return rc;
}

// Whether the first `count` values all read back with their data.
bool allReadBack(int count) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  bool all = true;
  for (int i = 0; i < count && all; ++i) {
    char buffer[4096];
    DWORD size = sizeof buffer;
    all = RegQueryValueExA(key, ("v" + std::to_string(i)).c_str(), nullptr, nullptr,
                           reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS &&
          std::string(buffer, size) == dataOf(i);
  }
  RegCloseKey(key);
  return all;
}

struct Outcome {
  int acknowledged = 0;
  LONG firstError = ERROR_SUCCESS;
  int laterSuccesses = 0;  // writes that succeeded after the first failure
  bool readBack = false;
};

TEST(FullDisk, WritesFailWithAnErrorAndEarlierWritesStayReadable) {
  TempRegistry registry;
  ASSERT_EQ(ERROR_SUCCESS, writeValue(0));  // the hive exists before space runs out
  int results[2];
  ASSERT_EQ(0, pipe(results));
  pid_t writer = startChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {kFileSizeLimit, kFileSizeLimit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 1;
    Outcome outcome;
    outcome.acknowledged = 1;
    LONG rc;
    while ((rc = writeValue(outcome.acknowledged)) == ERROR_SUCCESS) {
      if (++outcome.acknowledged > 10000) return 2;  // the limit does not bite
    }
    outcome.firstError = rc;
    for (int i = 0; i < kFailedWritesToTry; ++i) {
      if (writeValue(outcome.acknowledged + 1 + i) == ERROR_SUCCESS) ++outcome.laterSuccesses;
    }
    outcome.readBack = allReadBack(outcome.acknowledged);
    return write(results[1], &outcome, sizeof outcome) == ssize_t(sizeof outcome) ? 0 : 3;
  });
  close(results[1]);
  ASSERT_EQ(0, waitChild(writer));
  Outcome outcome;
  ASSERT_EQ(ssize_t(sizeof outcome), read(results[0], &outcome, sizeof outcome));
  close(results[0]);

  std::printf("full disk: %d writes acknowledged before the limit, then error %ld\n",
              outcome.acknowledged, long(outcome.firstError));
  EXPECT_GT(outcome.acknowledged, 5);
  EXPECT_TRUE(outcome.firstError == ERROR_DISK_FULL ||
              outcome.firstError == ERROR_REGISTRY_IO_FAILED)
      << outcome.firstError;
  EXPECT_EQ(0, outcome.laterSuccesses);
  EXPECT_TRUE(outcome.readBack) << "in the writer";
  EXPECT_TRUE(allReadBack(outcome.acknowledged)) << "in another process";
  // With room again, writing goes on.
  EXPECT_EQ(ERROR_SUCCESS, writeValue(outcome.acknowledged));
  EXPECT_TRUE(allReadBack(outcome.acknowledged + 1));
}

}  // namespace
