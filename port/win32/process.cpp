// WinExec: starts a program from a Windows command line, without a shell,
// detached from the caller, and returns without waiting for it.
//
// The command line is read as CreateProcess reads it. A quoted program path
// runs to the closing quote. An unquoted one ends at a blank, but where that
// names no program file, successively longer prefixes ending at the next
// blank are tried, so "/opt/my tools/run /x" tries "/opt/my", then
// "/opt/my tools/run". A name without a folder is looked for in the
// caller's program folder and then PATH, never in the current folder (where
// another user may have planted a program); a name without an extension is
// also tried with ".exe". A Windows path (a drive letter or backslashes) has
// no meaning here and is ERROR_PATH_NOT_FOUND, never looked for as a bare
// name. The rest of the line is split into arguments by the
// CommandLineToArgvW rules.
//
// The program runs as a grandchild in a session of its own: the
// intermediate child exits at once and is reaped here, so no zombie is left
// and the program is never the caller's child. Its standard streams are
// /dev/null, no other descriptor of the caller reaches it, and its signal
// mask and dispositions start afresh. A pipe closed on exec tells the
// caller whether the exec succeeded. There are no windows: the show state
// is accepted and has no effect.
#include <windows.h>

#include <ctype.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

// What WinExec returns once the program runs (any value above 31 means
// success; Windows itself returns 33).
const UINT kStarted = 33;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool hasFolder(const std::string& name) { return name.find('/') != std::string::npos; }

bool hasExtension(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot != std::string::npos && name.find('/', dot) == std::string::npos;
}

// The folder of the running program, for the search of a bare name.
std::string programFolder() {
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  std::string exe(path, static_cast<size_t>(length));
  return exe.substr(0, exe.rfind('/'));
}

// The folders searched for a name without a folder, in Windows' order but
// for the current folder.
std::vector<std::string> searchFolders() {
  std::vector<std::string> folders;
  std::string own = programFolder();
  if (!own.empty()) folders.push_back(own);
  const char* path = getenv("PATH");
  std::string rest = path != nullptr ? path : "";
  for (size_t start = 0; start <= rest.size();) {
    size_t colon = rest.find(':', start);
    if (colon == std::string::npos) colon = rest.size();
    if (colon > start) folders.push_back(rest.substr(start, colon - start));
    start = colon + 1;
  }
  return folders;
}

bool isWindowsPath(const std::string& name) {
  const bool driveLetter =
      name.size() >= 2 && isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
  return driveLetter || name.find('\\') != std::string::npos;
}

// How looking for a program ended.
struct Lookup {
  std::string path;            // the program file found, or empty
  bool folderExisted = false;  // a folder it was looked for in exists
  bool windowsPath = false;    // the name is a Windows path: not looked for
};

// Looks for the program a command-line token names.
void findProgram(const std::string& name, Lookup& lookup) {
  if (name.empty()) {
    lookup.folderExisted = true;  // no name: a file not found, as Windows says
    return;
  }
  if (isWindowsPath(name)) {
    lookup.windowsPath = true;
    return;
  }
  std::vector<std::string> names = {name};
  if (!hasExtension(name)) names.push_back(name + ".exe");
  std::vector<std::string> folders;
  if (hasFolder(name)) {
    folders.push_back(std::string());
  } else {
    for (const std::string& folder : searchFolders()) folders.push_back(folder + "/");
  }
  for (const std::string& folder : folders) {
    for (const std::string& candidate : names) {
      std::string path = folder + candidate;
      if (isRegularFile(path)) {
        lookup.path = path;
        return;
      }
      size_t slash = path.rfind('/');
      struct stat st;
      std::string parent = slash == 0 ? "/" : path.substr(0, slash);
      if (slash == std::string::npos || (stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
        lookup.folderExisted = true;
      }
    }
  }
}

// Splits the program off the command line: sets the program found and
// returns where the arguments begin.
size_t splitProgram(const std::string& line, Lookup& lookup) {
  size_t start = 0;
  while (start < line.size() && isBlank(line[start])) ++start;
  if (start < line.size() && line[start] == '"') {
    size_t close = line.find('"', start + 1);
    if (close == std::string::npos) close = line.size();
    findProgram(line.substr(start + 1, close - start - 1), lookup);
    return close < line.size() ? close + 1 : close;
  }
  for (size_t end = start; end <= line.size(); ++end) {
    if (end < line.size() && !isBlank(line[end])) continue;
    findProgram(line.substr(start, end - start), lookup);
    if (!lookup.path.empty() || lookup.windowsPath) return end;
  }
  return line.size();
}

// Splits arguments as CommandLineToArgvW does: blanks separate arguments
// outside quotes; 2n backslashes before a quote give n backslashes and the
// quote opens or closes a quoted part, 2n+1 give n backslashes and a
// literal quote; other backslashes are literal; inside a quoted part, a
// doubled quote gives a literal quote (every third quote of a run).
std::vector<std::string> splitWindowsArguments(const char* args) {
  std::vector<std::string> result;
  const char* s = args;
  while (isBlank(*s)) ++s;
  while (*s != '\0') {
    std::string arg;
    int quotes = 0;  // quote count of the current run; odd inside a quoted part
    while (*s != '\0' && !(isBlank(*s) && quotes == 0)) {
      if (*s == '\\') {
        size_t backslashes = strspn(s, "\\");
        s += backslashes;
        if (*s == '"') {
          arg.append(backslashes / 2, '\\');
          if (backslashes % 2 == 1) {
            arg += '"';
            ++s;
          }
        } else {
          arg.append(backslashes, '\\');
        }
        continue;
      }
      if (*s != '"') {
        arg += *s++;
        continue;
      }
      ++quotes;
      ++s;
      while (*s == '"') {
        if (++quotes == 3) {
          arg += '"';
          quotes = 0;
        }
        ++s;
      }
      if (quotes == 2) quotes = 0;
    }
    result.push_back(arg);
    while (isBlank(*s)) ++s;
  }
  return result;
}

// Win32 result of a failed exec.
UINT errorForExec(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENOMEM:
    case EAGAIN:
    case EMFILE:
    case ENFILE:
      return 0;  // out of memory or resources
    default:
      return ERROR_BAD_FORMAT;
  }
}

// In the grandchild, between fork and exec: only async-signal-safe calls.
[[noreturn]] void execDetached(const char* path, char* const argv[], int reportFd) {
  int devNull = open("/dev/null", O_RDWR);
  if (devNull >= 0) {
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
  }
  // Nothing else of the caller's reaches the program, except the report pipe
  // until exec closes it.
  if (reportFd > 3) close_range(3, static_cast<unsigned int>(reportFd) - 1, 0);
  close_range(static_cast<unsigned int>(reportFd) + 1, ~0U, 0);
  struct sigaction defaultAction;
  memset(&defaultAction, 0, sizeof defaultAction);
  defaultAction.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &defaultAction, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  execv(path, argv);
  int error = errno;
  ssize_t ignored = write(reportFd, &error, sizeof error);
  (void)ignored;
  _exit(127);
}

// Starts the program; returns 0 once it runs, else the errno of the failure.
int spawnDetached(const std::string& path, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return errno;
  pid_t child = fork();
  if (child < 0) {
    int error = errno;
    close(report[0]);
    close(report[1]);
    return error;
  }
  if (child == 0) {
    close(report[0]);
    setsid();
    pid_t grandchild = fork();
    if (grandchild == 0) execDetached(path.c_str(), argv.data(), report[1]);
    if (grandchild < 0) {
      int error = errno;
      ssize_t ignored = write(report[1], &error, sizeof error);
      (void)ignored;
    }
    _exit(0);
  }
  close(report[1]);
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t got;
  while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

}  // namespace

UINT WINAPI WinExec(LPCSTR lpCmdLine, UINT uCmdShow) {
  (void)uCmdShow;
  if (lpCmdLine == nullptr) return ERROR_FILE_NOT_FOUND;
  std::string line(lpCmdLine);
  Lookup lookup;
  size_t argsStart = splitProgram(line, lookup);
  if (lookup.path.empty()) {
    return lookup.folderExisted && !lookup.windowsPath ? ERROR_FILE_NOT_FOUND
                                                       : ERROR_PATH_NOT_FOUND;
  }
  int error = spawnDetached(lookup.path, splitWindowsArguments(line.c_str() + argsStart));
  return error == 0 ? kStarted : errorForExec(error);
}
