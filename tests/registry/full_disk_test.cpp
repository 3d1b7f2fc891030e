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

#include "child_process.h"
#include "registry_values.h"
#include "temp_registry.h"

namespace {

const char kKey[] = "SOFTWARE\\Full";

regtest::Value valueOf(int i) {
  return {REG_BINARY, std::to_string(i) + std::string(3000, char('a' + i % 26))};
}

LONG writeValue(int i) {
  return regtest::Set(HKEY_LOCAL_MACHINE, kKey, "v" + std::to_string(i), valueOf(i));
}

bool allReadBack(int count) {
  for (int i = 0; i < count; ++i) {
    if (!(regtest::Get(HKEY_LOCAL_MACHINE, kKey, "v" + std::to_string(i)) == valueOf(i))) {
      return false;
    }
  }
  return true;
}

struct Outcome {
  int acknowledged = 1;  // value 0 was written before the limit
  LONG firstError = ERROR_SUCCESS;
  int laterSuccesses = 0;  // of the writes tried after the first failure
  bool readBack = false;
};

TEST(FullDisk, WritesFailWithAnErrorAndEarlierWritesStayReadable) {
  TempRegistry registry;
  ASSERT_EQ(ERROR_SUCCESS, writeValue(0));  // the hive exists before space runs out
  int results[2];
  ASSERT_EQ(0, pipe(results));
  pid_t writer = startChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {256 * 1024, 256 * 1024};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 1;
    Outcome o;
    while ((o.firstError = writeValue(o.acknowledged)) == ERROR_SUCCESS) {
      if (++o.acknowledged > 10000) return 2;  // the limit does not bite
    }
    for (int i = 1; i <= 20; ++i)
      o.laterSuccesses += writeValue(o.acknowledged + i) == ERROR_SUCCESS;
    o.readBack = allReadBack(o.acknowledged);
    return write(results[1], &o, sizeof o) == ssize_t(sizeof o) ? 0 : 3;
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
  EXPECT_EQ(ERROR_SUCCESS, writeValue(outcome.acknowledged)) << "with room again";
  EXPECT_TRUE(allReadBack(outcome.acknowledged + 1));
}

}  // namespace
