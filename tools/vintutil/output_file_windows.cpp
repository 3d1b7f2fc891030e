#include <fcntl.h>
#include <io.h>
#include <string.h>
#include <sys/stat.h>

#include "output_file.h"

// The new file takes the access of its folder (a user's profile folders are
// the user's own), so a private file needs nothing more here.
std::string WriteOutputFile(const std::string& path, const std::string& bytes, bool) {
  const std::string temp = path + ".tmp-" + std::to_string(GetCurrentProcessId());
  const int fd =
      _open(temp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return strerror(errno);
  bool written = _write(fd, bytes.data(), static_cast<unsigned>(bytes.size())) ==
                 static_cast<int>(bytes.size());
  written = _close(fd) == 0 && written;
  if (written &&
      MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return "";
  }
  _unlink(temp.c_str());
  return written
             ? "the file cannot be replaced (Windows error " + std::to_string(GetLastError()) + ")"
             : "the file cannot be written";
}

bool HoldsPrivateData(HKEY root) { return root == HKEY_CURRENT_USER; }
