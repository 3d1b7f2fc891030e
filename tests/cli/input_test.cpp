// What reg import and reg add refuse before anything is changed: input files
// that cannot be read (with the system's reason), and command-line text the
// registry could not give back.
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "input_file.h"
#include "run_cli.h"
#include "temp_registry.h"
#include "wine_difference.h"

namespace {

using ::testing::HasSubstr;
using CliInput = RegistryTest;

#ifndef _WIN32
// The reason ReadInputFile gives, read by an unprivileged user when the
// test runs as root (who may read any file).
std::string ReasonAsUser(const std::string& path) {
  std::string bytes;
  if (geteuid() != 0) return ReadInputFile(path, bytes);
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return "pipe failed";
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipeFds[0]);
    constexpr uid_t kNobody = 65534;
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(2);
    const std::string reason = ReadInputFile(path, bytes);
    const ssize_t written = write(pipeFds[1], reason.data(), reason.size());
    _exit(written == static_cast<ssize_t>(reason.size()) ? 0 : 1);
  }
  close(pipeFds[1]);
  std::string reason;
  char buffer[256];
  for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) reason.append(buffer, n);
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return reason;
}

// FIFOs, devices and permissions of POSIX systems.
TEST_F(CliInput, ImportOfWhatIsNotAReadableFileGivesTheSystemsReason) {
  const std::string dir = registry_.dir();
  const std::string fifo = dir + "/fifo.reg";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
  const std::string secret = dir + "/secret.reg";
  WriteFileBytes(secret, "REGEDIT4\r\n");
  ASSERT_EQ(chmod(secret.c_str(), 0), 0);
  ASSERT_EQ(chmod(dir.c_str(), 0755), 0);

  const struct {
    std::string path;
    const char* reason;
  } cases[] = {
      {dir, "Is a directory"},
      {dir + "/missing.reg", "No such file or directory"},
      {fifo, "it is a FIFO (named pipe), not a regular file"},
      {"/dev/null", "it is a device, not a regular file"},
      {secret, "Permission denied"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReasonAsUser(c.path), c.reason) << c.path;
  }
  // One line each, and nothing waits for a writer of the FIFO.
  RunFails({"reg", "import", dir}, "vintutil: cannot read " + dir + ": Is a directory\n");
  RunFails({"reg", "import", fifo}, "cannot read " + fifo + ": it is a FIFO");
}
#endif

TEST_F(CliInput, ImportOfAFolderOrAMissingFileGivesTheReason) {
  const std::string dir = registry_.dir();
  std::string bytes;
  EXPECT_EQ(ReadInputFile(dir, bytes), "Is a directory");
#ifdef _WIN32
  WINE_DIFFERENCE("Wine's text for ERROR_FILE_NOT_FOUND is \"File not found\"")
  EXPECT_EQ(ReadInputFile(dir + "/missing.reg", bytes),
            "The system cannot find the file specified");
#endif
  RunFails({"reg", "import", dir}, "vintutil: cannot read " + dir + ": Is a directory\n");
  RunFails({"reg", "import", dir + "/missing.reg"}, "cannot read " + dir + "/missing.reg: ");
}

// reg add stores what it is given as it is, so it refuses what could not
// come back: text that is not UTF-8, and names no .reg file can hold.
TEST_F(CliInput, AddRefusesTextTheRegistryCouldNotGiveBack) {
  const char* const key = "HKCU\\Software\\Input";
  const struct {
    std::vector<std::string> args;
    const char* reason;
  } cases[] = {
      {{"reg", "add", key, "/v", "a\nb", "/d", "x"},
       "the value name holds a line break, which no .reg file can hold"},
      {{"reg", "add", key, "/v", "a\rb"}, "the value name holds a line break"},
      {{"reg", "add", "HKCU\\Software\\In\nput"}, "the key name holds a line break"},
#ifndef _WIN32  // Windows passes arguments as UTF-16, so they are always valid text.
      {{"reg", "add", key, "/v", "n\xE4me", "/d", "x"},
       "the value name 'n\xEF\xBF\xBDme' is not valid UTF-8 text"},
      {{"reg", "add", key, "/v", "name", "/d",
        "Gr\xFC\xDF"
        "e"},
       "the data 'Gr"},
      {{"reg", "add", "HKCU\\Software\\\xC0\x80"}, "the key name"},
#endif
  };
  for (const auto& c : cases) {
    RunFails(c.args, c.reason);
  }
  RunFails({"reg", "query", key}, "does not exist");
  RunOk({"reg", "add", key, "/v", "n\xC3\xA4me", "/d",
         "Gr\xC3\xBC\xC3\x9F"
         "e"});
}

}  // namespace
