// Runs the built vintutil program as a user would: in a child process that
// inherits the test's environment (so its VINTUTIL_REGISTRY), with standard
// input from /dev/null (not a terminal), capturing both output streams.
#ifndef VINTUTIL_TESTS_CLI_RUN_CLI_H
#define VINTUTIL_TESTS_CLI_RUN_CLI_H

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

struct CliRun {
  int status = -1;  // the exit status
  std::string out;  // standard output
  std::string err;  // standard error
};

CliRun RunCli(const std::vector<std::string>& args);

// A step that has to succeed: exit status 0.
inline CliRun RunOk(const std::vector<std::string>& args) {
  CliRun run = RunCli(args);
  EXPECT_EQ(run.status, 0) << ::testing::PrintToString(args) << ": " << run.err;
  return run;
}

// A run that has to fail with `status` and one line on standard error that
// holds `reason`.
inline CliRun RunFails(const std::vector<std::string>& args, const std::string& reason,
                       int status = 1) {
  CliRun run = RunCli(args);
  EXPECT_EQ(run.status, status) << ::testing::PrintToString(args);
  EXPECT_NE(run.err.find(reason), std::string::npos) << reason << " not in: " << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  return run;
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

#endif
