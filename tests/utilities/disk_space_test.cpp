// The KERNEL32 stand-in's GetDiskFreeSpaceExA (against statvfs, and its
// quota rule) under CKWSystemInfo, and its module lookup.
#include <KWSystemInfo.h>
#include <disk_quota.h>

#include <stdio.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "temp_registry.h"

namespace {

const ULONGLONG MiB = 1ULL << 20;

// The private registry's folder serves as a fresh directory of the test's own.
class DiskSpaceOfDirectory : public RegistryTest {
 protected:
  const std::string dir_ = registry_.dir();
};

TEST_F(DiskSpaceOfDirectory, MatchesStatvfs) {
  auto statvfsMebibytes = [this] {
    struct statvfs volume;
    EXPECT_EQ(statvfs(dir_.c_str(), &volume), 0);
    return KWMebibytesFromBytes(static_cast<ULONGLONG>(volume.f_bavail) * volume.f_frsize);
  };
  const long before = statvfsMebibytes();
  const long mebibytes = CKWSystemInfo().GetDiskFreeSpaceA(dir_.c_str());
  const long after = statvfsMebibytes();
  // Other processes may write meanwhile: the answer lies between the two.
  EXPECT_GE(mebibytes, std::min(before, after));
  EXPECT_LE(mebibytes, std::max(before, after));

  ULARGE_INTEGER available, total, totalFree;
  ASSERT_TRUE(GetDiskFreeSpaceExA(dir_.c_str(), &available, &total, &totalFree));
  EXPECT_GT(total.QuadPart, 0u);
  EXPECT_LE(totalFree.QuadPart, total.QuadPart);
  EXPECT_LE(available.QuadPart, totalFree.QuadPart);
  EXPECT_TRUE(GetDiskFreeSpaceExA(dir_.c_str(), nullptr, nullptr, nullptr));
}

TEST_F(DiskSpaceOfDirectory, FailsForWhatIsNoDirectory) {
  const std::string file = dir_ + "/file";
  fclose(fopen(file.c_str(), "w"));
  const std::pair<std::string, DWORD> cases[] = {
      {dir_ + "/missing", ERROR_FILE_NOT_FOUND},
      {dir_ + "/missing/below", ERROR_PATH_NOT_FOUND},
      {file, ERROR_DIRECTORY},
      {file + "/below", ERROR_PATH_NOT_FOUND},
  };
  for (const auto& [path, error] : cases) {
    ULARGE_INTEGER available;
    available.QuadPart = 0xDEADBEEFULL;
    SetLastError(0);
    EXPECT_FALSE(GetDiskFreeSpaceExA(path.c_str(), &available, nullptr, nullptr)) << path;
    EXPECT_EQ(GetLastError(), error) << path;
    EXPECT_EQ(available.QuadPart, 0xDEADBEEFULL) << "untouched on failure";
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
      {0, 80 * MiB, 90 * MiB, 0},                // over it (grace period)
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DiskQuotaAvailable(disk, c.soft, c.hard, c.used), c.expected)
        << c.soft << " " << c.hard << " " << c.used;
  }
}

// Modules by name without regard to case, procedures by exact name, a
// failure's code in the calling thread's last error.
TEST(ModuleTest, LooksUpKernel32AndItsProcedures) {
  HMODULE kernel = GetModuleHandleA("Kernel32.dll");
  ASSERT_NE(kernel, nullptr);
  EXPECT_EQ(GetModuleHandleA("C:\\Windows\\System32\\KERNEL32.DLL"), kernel);
  EXPECT_EQ(GetModuleHandleA("kernel32"), kernel);
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")),
            reinterpret_cast<void*>(&GetDiskFreeSpaceExA));
  EXPECT_EQ(GetProcAddress(kernel, reinterpret_cast<LPCSTR>(1)), nullptr);  // an ordinal
  EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(&kernel), "WinExec"), nullptr);
  for (const char* name : {"user32.dll", "kernel32.exe", "kernel3"}) {
    SetLastError(0);
    EXPECT_EQ(GetModuleHandleA(name), nullptr) << name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND)) << name;
  }
  for (const char* name : {"getdiskfreespaceexa", "GetDiskFreeSpaceExW"}) {
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(kernel, name), nullptr) << name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND)) << name;
  }
  DWORD seenByOther = 0xDEADBEEF;
  std::thread([&seenByOther] {
    seenByOther = GetLastError();
    SetLastError(ERROR_BAD_FORMAT);
  }).join();
  EXPECT_EQ(seenByOther, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
}

}  // namespace
