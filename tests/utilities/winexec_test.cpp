// WinExec: command-line splitting, program lookup, detached start and the
// Windows return values, with small shell-script programs that record how
// they were started.
#include <windows.h>

#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Writes, next to itself, "record.<name>": its arguments one per line in
// brackets, then its parent, session and standard streams. Written to a
// temporary name first, so a reader never sees half a record.
const char* const kRecorder =
    "#!/bin/sh\n"
    "out=\"$(dirname \"$0\")/record.$(basename \"$0\")\"\n"
    "in=$(readlink /proc/$$/fd/0); o=$(readlink /proc/$$/fd/1); e=$(readlink /proc/$$/fd/2)\n"
    "{\n"
    "  for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n"
    "  printf 'ppid=%s\\n' \"$PPID\"\n"
    "  printf 'sid=%s\\n' \"$(cut -d' ' -f6 /proc/$$/stat)\"\n"
    "  printf 'streams=%s %s %s\\n' \"$in\" \"$o\" \"$e\"\n"
    "} > \"$out.tmp\" && mv \"$out.tmp\" \"$out\"\n";

class WinExecTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vintutil-exec-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    std::filesystem::create_directory(dir_ + "/tools dir");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  static void writeFile(const std::string& path, const std::string& text, mode_t mode) {
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
  }
  void writeRecorder(const std::string& path) { writeFile(path, kRecorder, 0755); }

  // The lines the recorder at path wrote; empty if it did not run in time.
  static std::vector<std::string> recordOf(const std::string& path) {
    std::filesystem::path program(path);
    std::string record = (program.parent_path() / ("record." + program.filename().string()));
    for (int i = 0; i < 1000 && !std::filesystem::exists(record); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::vector<std::string> lines;
    std::ifstream in(record);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // Just the argument lines of a record.
  static std::vector<std::string> argumentsOf(const std::vector<std::string>& record) {
    std::vector<std::string> arguments;
    for (const std::string& line : record) {
      if (!line.empty() && line[0] == '[') arguments.push_back(line.substr(1, line.size() - 2));
    }
    return arguments;
  }

  std::string dir_;
};

TEST_F(WinExecTest, SplitsArgumentsAsCommandLineToArgvW) {
  std::string program = dir_ + "/tools dir/record";
  writeRecorder(program);
  // A doubled quote inside a quoted part gives a quote; it comes last, as
  // whether the quoted part goes on after it differs between Windows versions.
  std::string line = "\"" + program + "\" plain \"two words\"\ttab a\\\"b \"c\\\\\" " +
                     "d\\\\\\\\\"e f\" \"\" back\\\\slash $HOME;echo|* \"x\"\"y\"z";
  EXPECT_GT(WinExec(line.c_str(), SW_HIDE), 31u);
  std::vector<std::string> expected = {"plain",        "two words", "tab", "a\"b",
                                       "c\\",          "d\\\\e f",  "",    "back\\\\slash",
                                       "$HOME;echo|*", "x\"yz"};
  EXPECT_EQ(argumentsOf(recordOf(program)), expected);
}

TEST_F(WinExecTest, StartsDetachedWithoutLeavingAChild) {
  std::string program = dir_ + "/record";
  writeRecorder(program);
  EXPECT_GT(WinExec((program + " /reg").c_str(), SW_HIDE), 31u);
  // Neither a running child nor a zombie: the program is not our child.
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);

  std::vector<std::string> record = recordOf(program);
  ASSERT_EQ(record.size(), 4u);
  EXPECT_EQ(record[0], "[/reg]");
  EXPECT_NE(record[1], "ppid=" + std::to_string(getpid()));
  EXPECT_NE(record[2], "sid=" + std::to_string(getsid(0)));
  EXPECT_EQ(record[3], "streams=/dev/null /dev/null /dev/null");
}

TEST_F(WinExecTest, FindsProgramsInFoldersWithBlanks) {
  std::string program = dir_ + "/tools dir/record";
  writeRecorder(program);
  // Quoted, and unquoted: "<dir>/tools" names nothing, the longer prefix does.
  EXPECT_GT(WinExec(("\"" + program + "\" /reg").c_str(), SW_HIDE), 31u);
  EXPECT_EQ(argumentsOf(recordOf(program)), std::vector<std::string>{"/reg"});
  std::filesystem::remove(dir_ + "/tools dir/record.record");
  EXPECT_GT(WinExec((program + " /reg").c_str(), SW_SHOWNORMAL), 31u);
  EXPECT_EQ(argumentsOf(recordOf(program)), std::vector<std::string>{"/reg"});
}

TEST_F(WinExecTest, ShorterPrefixWinsWhenItNamesAProgram) {
  std::string shadow = dir_ + "/tools";
  writeRecorder(shadow);
  writeRecorder(dir_ + "/tools dir/record");
  EXPECT_GT(WinExec((dir_ + "/tools dir/record /reg").c_str(), SW_HIDE), 31u);
  std::vector<std::string> expected = {"dir/record", "/reg"};
  EXPECT_EQ(argumentsOf(recordOf(shadow)), expected);
}

TEST_F(WinExecTest, LooksUpBareNamesAndAddsExe) {
  writeRecorder(dir_ + "/ssdraw.exe");
  EXPECT_GT(WinExec((dir_ + "/ssdraw /reg").c_str(), SW_HIDE), 31u);
  EXPECT_EQ(argumentsOf(recordOf(dir_ + "/ssdraw.exe")), std::vector<std::string>{"/reg"});

  writeRecorder(dir_ + "/onpath");
  std::string path = dir_ + ":" + getenv("PATH");
  setenv("PATH", path.c_str(), 1);
  EXPECT_GT(WinExec("onpath x", SW_HIDE), 31u);
  EXPECT_EQ(argumentsOf(recordOf(dir_ + "/onpath")), std::vector<std::string>{"x"});
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

}  // namespace
