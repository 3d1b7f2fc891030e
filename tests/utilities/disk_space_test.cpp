// The KERNEL32 stand-in's GetDiskFreeSpaceExA (against statvfs, and its
// quota rule) under CKWSystemInfo, and its module lookup.
#include <KWSystemInfo.h>
#include <disk_quota.h>

#include <stdio.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace {

const ULONGLONG MiB = 1ULL << 20;

class TempDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vintutil-disk-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  static ULONGLONG statvfsAvailable(const std::string& path) {
    struct statvfs volume;
    EXPECT_EQ(statvfs(path.c_str(), &volume), 0);
    return static_cast<ULONGLONG>(volume.f_bavail) * volume.f_frsize;
  }

  std::string dir_;
};

TEST_F(TempDirectory, FreeSpaceOfARealDirectoryMatchesStatvfs) {
  ULONGLONG before = statvfsAvailable(dir_);
  long mebibytes = CKWSystemInfo().GetDiskFreeSpaceA(dir_.c_str());
  ULONGLONG after = statvfsAvailable(dir_);
  // Other processes may write meanwhile: the answer lies between the two.
  long low = KWMebibytesFromBytes(before < after ? before : after);
  long high = KWMebibytesFromBytes(before < after ? after : before);
  EXPECT_GE(mebibytes, low);
  EXPECT_LE(mebibytes, high);
}

TEST_F(TempDirectory, ExtendedQueryFillsAllThreeCounts) {
  ULARGE_INTEGER available, total, totalFree;
  ASSERT_TRUE(GetDiskFreeSpaceExA(dir_.c_str(), &available, &total, &totalFree));
  EXPECT_GT(total.QuadPart, 0u);
  EXPECT_LE(totalFree.QuadPart, total.QuadPart);
  EXPECT_LE(available.QuadPart, totalFree.QuadPart);
  EXPECT_TRUE(GetDiskFreeSpaceExA(dir_.c_str(), nullptr, nullptr, nullptr));
}

TEST_F(TempDirectory, FailsForWhatIsNoDirectory) {
  std::string file = dir_ + "/file";
  fclose(fopen(file.c_str(), "w"));
  const struct {
    std::string path;
    DWORD error;
  } cases[] = {
      {dir_ + "/missing", ERROR_FILE_NOT_FOUND},
      {dir_ + "/missing/below", ERROR_PATH_NOT_FOUND},
      {file, ERROR_DIRECTORY},
      {file + "/below", ERROR_PATH_NOT_FOUND},
  };
  for (const auto& c : cases) {
    ULARGE_INTEGER available;
    available.QuadPart = 0xDEADBEEFULL;
    SetLastError(0);
    EXPECT_FALSE(GetDiskFreeSpaceExA(c.path.c_str(), &available, nullptr, nullptr)) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
    EXPECT_EQ(available.QuadPart, 0xDEADBEEFULL) << "untouched on failure";
    EXPECT_EQ(CKWSystemInfo().GetDiskFreeSpaceA(c.path.c_str()), -1) << c.path;
  }
}

TEST(DiskQuotaTest, QuotaLeftCutsTheDiskFigure) {
  const ULONGLONG disk = 100 * MiB;
  const struct {
    ULONGLONG soft, hard, used, expected;
  } cases[] = {
      {0, 0, 50 * MiB, disk},                    // no limits: the disk's figure
      {0, 80 * MiB, 50 * MiB, 30 * MiB},         // hard limit only
      {60 * MiB, 0, 50 * MiB, 10 * MiB},         // soft limit only
      {60 * MiB, 80 * MiB, 50 * MiB, 10 * MiB},  // the tighter limit counts
      {0, 500 * MiB, 10 * MiB, disk},            // quota larger than the free disk
      {0, 80 * MiB, 80 * MiB, 0},                // at the limit
      {0, 80 * MiB, 90 * MiB, 0},                // over it (grace period)
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DiskQuotaAvailable(disk, c.soft, c.hard, c.used), c.expected)
        << c.soft << " " << c.hard << " " << c.used;
  }
}

TEST(ModuleTest, Kernel32IsFoundByNameWithoutRegardToCase) {
  HMODULE kernel = GetModuleHandleA("Kernel32.dll");
  ASSERT_NE(kernel, nullptr);
  for (const char* name : {"KERNEL32.DLL", "kernel32", "C:\\Windows\\System32\\kernel32.dll"}) {
    EXPECT_EQ(GetModuleHandleA(name), kernel) << name;
  }
  for (const char* name : {"user32.dll", "kernel32.exe", "kernel3"}) {
    SetLastError(0);
    EXPECT_EQ(GetModuleHandleA(name), nullptr) << name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << name;
  }
}

TEST(ModuleTest, ProceduresAreFoundByExactName) {
  HMODULE kernel = GetModuleHandleA("Kernel32.dll");
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")),
            reinterpret_cast<void*>(&GetDiskFreeSpaceExA));
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(kernel, "WinExec")),
            reinterpret_cast<void*>(&WinExec));
  for (const char* name : {"getdiskfreespaceexa", "GetDiskFreeSpaceExW", "Nothing"}) {
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(kernel, name), nullptr) << name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND)) << name;
  }
  EXPECT_EQ(GetProcAddress(kernel, reinterpret_cast<LPCSTR>(1)), nullptr);  // an ordinal
  EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(&kernel), "WinExec"), nullptr);
}

TEST(ModuleTest, LastErrorBelongsToTheThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seenByOther = 0xDEADBEEF;
  std::thread other([&seenByOther] {
    seenByOther = GetLastError();
    SetLastError(ERROR_BAD_FORMAT);
  });
  other.join();
  EXPECT_EQ(seenByOther, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

}  // namespace
