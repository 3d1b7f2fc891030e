// CKWSystemInfo: the mebibyte arithmetic and the failure value, on every
// platform.
#include <KWSystemInfo.h>

#include <gtest/gtest.h>

namespace {

const ULONGLONG MiB = 1ULL << 20;

TEST(DiskSpaceTest, MebibyteCountIsCutToSigned32Bits) {
  const struct {
    ULONGLONG bytes;
    long expected;
  } cases[] = {
      {0, 0},
      {MiB - 1, 0},
      {MiB, 1},
      {5ULL << 30, 5120},
      {(2147483647ULL << 20) + MiB - 1, 2147483647L},
      {2147483648ULL << 20, -2147483647L - 1},
      {4294967295ULL << 20, -1},
      {4294967296ULL << 20, 0},
      {(4294967296ULL + 5) << 20, 5},
      {~0ULL, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(KWMebibytesFromBytes(c.bytes), c.expected) << c.bytes;
}

TEST(DiskSpaceTest, MissingDirectoryGivesMinusOne) {
  CKWSystemInfo info;
  CKWSystemInfo copy(info);
  copy = info;
  EXPECT_EQ(copy.GetDiskFreeSpaceA("vintutil-no-such-directory/below"), -1);
}

}  // namespace
