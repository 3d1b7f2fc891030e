// Runs the built vintutil program as a user would: in a child process that
// inherits the test's environment (so its VINTUTIL_REGISTRY), with standard
// input from /dev/null (not a terminal), capturing both output streams.
#ifndef VINTUTIL_TESTS_CLI_RUN_CLI_H
#define VINTUTIL_TESTS_CLI_RUN_CLI_H

#include <string>
#include <vector>

struct CliRun {
  int status = -1;  // the exit status
  std::string out;  // standard output
  std::string err;  // standard error
};

CliRun RunCli(const std::vector<std::string>& args);

// The whole content of a file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

#endif
