// GetDiskFreeSpaceExA from statvfs, cut to the calling user's disk quota.
//
// The directory is opened first (O_DIRECTORY, for reading), so a missing
// directory, a file, or a directory the user may not read fails as it does
// on Windows, and the volume and the quota are then asked through that one
// descriptor.
//
// Quota: where the file system keeps user quotas and they are switched on,
// the user's block limits and usage are read with quotactl_fd (Linux 5.14),
// or on older kernels with quotactl on the block device that
// /proc/self/mountinfo names for the directory's file system. Any failure of
// that lookup (quotas off, no quota record, a file system without quotas)
// means no quota: the disk's figure stands. The user is the effective user,
// whom the kernel charges for new blocks. Only the bytes available to the
// caller are cut; the total and the total free bytes are the disk's.
#include <windows.h>

#include <disk_quota.h>

#include <errno.h>
#include <fcntl.h>
#include <linux/quota.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <string>

namespace {

bool isDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The folder that holds path's last component ("." for a bare name).
std::string parentOf(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The Win32 error for a directory that could not be opened: a missing last
// component in an existing folder is a missing file, a missing folder above
// it a missing path, and an existing file is not a directory.
DWORD errorForOpen(LPCSTR lpDirectoryName, int error) {
  switch (error) {
    case ENOENT:
      return *lpDirectoryName != '\0' && isDirectory(parentOf(lpDirectoryName))
                 ? ERROR_FILE_NOT_FOUND
                 : ERROR_PATH_NOT_FOUND;
    case ENOTDIR: {
      struct stat st;
      return stat(lpDirectoryName, &st) == 0 ? ERROR_DIRECTORY : ERROR_PATH_NOT_FOUND;
    }
    case ELOOP:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_GEN_FAILURE;
  }
}

// The block device of the mounted file system that holds fd, from the
// mount source field of /proc/self/mountinfo; empty when not found.
std::string deviceOf(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return std::string();
  FILE* mountinfo = fopen("/proc/self/mountinfo", "re");
  if (mountinfo == nullptr) return std::string();
  std::string device;
  char line[4096];
  while (device.empty() && fgets(line, sizeof line, mountinfo) != nullptr) {
    // "id parent major:minor root mountpoint options [tags...] - type source superoptions"
    unsigned int major = 0, minor = 0;
    if (sscanf(line, "%*u %*u %u:%u", &major, &minor) != 2) continue;
    if (makedev(major, minor) != st.st_dev) continue;
    const char* separator = strstr(line, " - ");
    char source[4096];
    if (separator != nullptr && sscanf(separator, " - %*s %4095s", source) == 1) device = source;
  }
  fclose(mountinfo);
  return device;
}

// Reads the effective user's quota record on the file system of fd.
bool userQuota(int fd, struct if_dqblk* quota) {
  int command = QCMD(Q_GETQUOTA, USRQUOTA);
  uid_t user = geteuid();
#ifdef SYS_quotactl_fd
  if (syscall(SYS_quotactl_fd, fd, command, user, quota) == 0) return true;
  if (errno != ENOSYS) return false;
#endif
  std::string device = deviceOf(fd);
  return !device.empty() && syscall(SYS_quotactl, command, device.c_str(), user, quota) == 0;
}

// The bytes available to the user on the file system of fd.
ULONGLONG availableToUser(int fd, ULONGLONG ullDiskAvailable) {
  struct if_dqblk quota;
  memset(&quota, 0, sizeof quota);
  if (!userQuota(fd, &quota)) return ullDiskAvailable;
  if ((quota.dqb_valid & QIF_BLIMITS) == 0 || (quota.dqb_valid & QIF_SPACE) == 0) {
    return ullDiskAvailable;
  }
  return DiskQuotaAvailable(ullDiskAvailable, quota.dqb_bsoftlimit * QIF_DQBLKSIZE,
                            quota.dqb_bhardlimit * QIF_DQBLKSIZE, quota.dqb_curspace);
}

}  // namespace

ULONGLONG WINAPI DiskQuotaAvailable(ULONGLONG ullDiskAvailable, ULONGLONG ullSoftLimit,
                                    ULONGLONG ullHardLimit, ULONGLONG ullUsed) {
  ULONGLONG limit = ullHardLimit;
  if (ullSoftLimit != 0 && (limit == 0 || ullSoftLimit < limit)) limit = ullSoftLimit;
  if (limit == 0) return ullDiskAvailable;
  ULONGLONG left = ullUsed >= limit ? 0 : limit - ullUsed;
  return left < ullDiskAvailable ? left : ullDiskAvailable;
}

BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR lpDirectoryName,
                                PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                                PULARGE_INTEGER lpTotalNumberOfBytes,
                                PULARGE_INTEGER lpTotalNumberOfFreeBytes) {
  // No directory: the current one's volume.
  LPCSTR directory = lpDirectoryName != nullptr ? lpDirectoryName : ".";
  int fd = open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(errorForOpen(directory, errno));
    return FALSE;
  }
  struct statvfs volume;
  if (fstatvfs(fd, &volume) != 0) {
    DWORD error = errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_GEN_FAILURE;
    close(fd);
    SetLastError(error);
    return FALSE;
  }
  ULONGLONG blockSize = volume.f_frsize != 0 ? volume.f_frsize : volume.f_bsize;
  ULONGLONG available = availableToUser(fd, volume.f_bavail * blockSize);
  close(fd);
  if (lpFreeBytesAvailableToCaller != nullptr) lpFreeBytesAvailableToCaller->QuadPart = available;
  if (lpTotalNumberOfBytes != nullptr) lpTotalNumberOfBytes->QuadPart = volume.f_blocks * blockSize;
  if (lpTotalNumberOfFreeBytes != nullptr) {
    lpTotalNumberOfFreeBytes->QuadPart = volume.f_bfree * blockSize;
  }
  return TRUE;
}
