// CKWSystemInfo: the mebibyte arithmetic and the failure value, on every
// platform.
#include <KWSystemInfo.h>

#include <utility>

#include <gtest/gtest.h>

namespace {

TEST(DiskSpaceTest, MebibyteCountIsCutToSigned32BitsAndFailureIsMinusOne) {
  const std::pair<ULONGLONG, long> cases[] = {{(1ULL << 20) - 1, 0},
                                              {1ULL << 20, 1},
                                              {5ULL << 30, 5120},
                                              {(2147483648ULL << 20) - 1, 2147483647L},
                                              {2147483648ULL << 20, -2147483647L - 1},
                                              {4294967296ULL << 20, 0},
                                              {~0ULL, -1}};
  for (const auto& [bytes, expected] : cases) EXPECT_EQ(KWMebibytesFromBytes(bytes), expected);
  EXPECT_EQ(CKWSystemInfo().GetDiskFreeSpaceA("vintutil-no-such-directory/below"), -1);
}

}  // namespace
