// WinExec: command-line splitting, program lookup, detached start and the
// Windows return values, with small shell-script programs that record how
// they were started.
#include <windows.h>

#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "program_record.h"
#include "temp_registry.h"

namespace {

// Writes, next to itself, "record.<name>": its arguments one per line in
// brackets, then its parent, session and standard streams. Written to a
// temporary name first, so a reader never sees half a record.
const char* const kRecorder =
    "#!/bin/sh\n"
    "out=\"$(dirname \"$0\")/record.$(basename \"$0\")\"\n"
    "streams=$(readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2)\n"
    "{ for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n"
    "  echo ppid=$PPID; echo sid=$(cut -d' ' -f6 /proc/$$/stat); echo streams=$streams\n"
    "} > \"$out.tmp\" && mv \"$out.tmp\" \"$out\"\n";

// A fresh directory of the test's own (the private registry's folder) holds
// the programs.
class WinExecTest : public RegistryTest {
 protected:
  void writeFile(const std::string& path, const std::string& text, mode_t mode) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
  }
  const std::string dir_ = registry_.dir();
};

// Each case in a folder of its own, named @ in its texts, which is also
// first on PATH.
TEST_F(WinExecTest, FindsTheProgramAndSplitsItsArguments) {
  const struct {
    std::vector<std::string> programs;
    std::string line, recorder;
    std::vector<std::string> arguments;
  } cases[] = {
      // As CommandLineToArgvW. A doubled quote inside a quoted part gives a
      // quote; it comes last, as whether the quoted part goes on after it
      // differs between Windows versions.
      {{"tools dir/record"},
       "\"@/tools dir/record\" plain \"two words\"\ttab a\\\"b \"c\\\\\" d\\\\\\\\\"e f\" \"\" "
       "back\\\\slash $HOME;echo|* \"x\"\"y\"z",
       "tools dir/record",
       {"plain", "two words", "tab", "a\"b", "c\\", "d\\\\e f", "", "back\\\\slash", "$HOME;echo|*",
        "x\"yz"}},
      // Unquoted: "@/tools" names nothing, the longer prefix does.
      {{"tools dir/record"}, "@/tools dir/record /reg", "tools dir/record", {"/reg"}},
      // The shorter prefix wins when it names a program.
      {{"tools", "tools dir/record"}, "@/tools dir/record /reg", "tools", {"dir/record", "/reg"}},
      {{"ssdraw.exe"}, "@/ssdraw /reg", "ssdraw.exe", {"/reg"}},
      {{"onpath"}, "onpath x", "onpath", {"x"}},
  };
  const std::string path = getenv("PATH");
  int number = 0;
  for (const auto& c : cases) {
    const std::string folder = dir_ + "/" + std::to_string(++number);
    for (const std::string& program : c.programs)
      writeFile(folder + "/" + program, kRecorder, 0755);
    setenv("PATH", (folder + ":" + path).c_str(), 1);
    const std::string line = std::regex_replace(c.line, std::regex("@"), folder);
    EXPECT_GT(WinExec(line.c_str(), SW_HIDE), 31u) << line;
    std::vector<std::string> arguments;
    for (const std::string& record : RecordOf(folder + "/" + c.recorder)) {
      if (record[0] == '[') arguments.push_back(record.substr(1, record.size() - 2));
    }
    EXPECT_EQ(arguments, c.arguments) << line;
  }
}

TEST_F(WinExecTest, StartsDetachedWithoutLeavingAChild) {
  std::string program = dir_ + "/record";
  writeFile(program, kRecorder, 0755);
  EXPECT_GT(WinExec((program + " /reg").c_str(), SW_SHOWNORMAL), 31u);
  // Neither a running child nor a zombie: the program is not our child.
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);

  std::vector<std::string> record = RecordOf(program);
  ASSERT_EQ(record.size(), 4u);
  EXPECT_EQ(record[0], "[/reg]");
  EXPECT_NE(record[1], "ppid=" + std::to_string(getpid()));
  EXPECT_NE(record[2], "sid=" + std::to_string(getsid(0)));
  EXPECT_EQ(record[3], "streams=/dev/null /dev/null /dev/null");
}

TEST_F(WinExecTest, ReportsFailuresWithWindowsCodes) {
  writeFile(dir_ + "/not-a-program", "plain text, no interpreter line\n", 0755);
  writeFile(dir_ + "/not-executable", kRecorder, 0644);
  const struct {
    std::string line;
    UINT expected;
  } cases[] = {
      {dir_ + "/missing /reg", ERROR_FILE_NOT_FOUND},
      {"\"" + dir_ + "/no such dir/missing\" /reg", ERROR_PATH_NOT_FOUND},
      {dir_ + "/not-a-program", ERROR_BAD_FORMAT},
      {dir_ + "/not-executable", ERROR_ACCESS_DENIED},
      {"", ERROR_FILE_NOT_FOUND},
  };
  for (const auto& c : cases) EXPECT_EQ(WinExec(c.line.c_str(), SW_HIDE), c.expected) << c.line;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

// Programs planted in the current folder under Windows-looking names, or
// as a bare name, are never started: a Windows path is not a path here,
// and the current folder is not searched.
TEST_F(WinExecTest, NeverStartsAProgramFromTheCurrentFolder) {
  const std::string empty = dir_ + "/empty";
  std::filesystem::create_directories(empty);
  for (const char* planted : {"C:\\Tools\\ssdraw.exe", "Tools\\ssdraw.exe", "ssdraw.exe"})
    writeFile(dir_ + "/" + planted, kRecorder, 0755);
  const std::string cwd = std::filesystem::current_path();
  ASSERT_EQ(0, chdir(dir_.c_str()));
  const char* path = getenv("PATH");
  const std::string oldPath = path ? path : "";
  setenv("PATH", empty.c_str(), 1);
  const struct {
    const char* line;
    UINT expected;
  } cases[] = {
      {"C:\\Tools\\ssdraw.exe /reg", ERROR_PATH_NOT_FOUND},
      {"\"C:\\Tools\\ssdraw.exe\" /reg", ERROR_PATH_NOT_FOUND},
      {"Tools\\ssdraw.exe /reg", ERROR_PATH_NOT_FOUND},
      {"ssdraw.exe /reg", ERROR_FILE_NOT_FOUND},
      {"ssdraw /reg", ERROR_FILE_NOT_FOUND},
  };
  for (const auto& c : cases) EXPECT_EQ(WinExec(c.line, SW_HIDE), c.expected) << c.line;
  setenv("PATH", oldPath.c_str(), 1);
  ASSERT_EQ(0, chdir(cwd.c_str()));
  for (const auto& entry : std::filesystem::directory_iterator(dir_))
    EXPECT_EQ(std::string::npos, entry.path().filename().string().find("record.")) << "started";
}

}  // namespace
