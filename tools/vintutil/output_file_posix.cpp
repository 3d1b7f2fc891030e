#include <errno.h>
#include <fcntl.h>
#include <registry_location.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "output_file.h"

namespace {

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string WriteOutputFile(const std::string& path, const std::string& bytes, bool privateFile) {
  // mkstemp: a new file of this process's own (O_EXCL, mode 0600).
  std::string temp = DirectoryOf(path) + "/." + NameOf(path) + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return strerror(errno);
  const mode_t mask = umask(0);
  umask(mask);
  bool written =
      WriteAll(fd, bytes) && (privateFile || fchmod(fd, 0666 & ~mask) == 0) && fsync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && rename(temp.c_str(), path.c_str()) == 0) return "";
  if (written) error = errno;
  unlink(temp.c_str());
  return strerror(error);
}

bool HoldsPrivateData(HKEY root) {
  if (root == HKEY_CURRENT_USER) return true;
  std::vector<char> hive(RegHiveFilePath(root, nullptr, 0));
  // No file: a machine hive on a server, which every reader role may read.
  if (hive.empty()) return false;
  RegHiveFilePath(root, hive.data(), static_cast<DWORD>(hive.size()));
  struct stat st;
  return stat(hive.data(), &st) == 0 && (st.st_mode & 077) == 0;
}
