// A step of an end-to-end test that has to succeed.
#ifndef VINTUTIL_TESTS_CLI_RUN_OK_H
#define VINTUTIL_TESTS_CLI_RUN_OK_H

#include <gtest/gtest.h>

#include "run_cli.h"

// Runs the program with `args`, expects exit status 0, and returns the run.
inline CliRun RunOk(const std::vector<std::string>& args) {
  CliRun run = RunCli(args);
  EXPECT_EQ(run.status, 0) << ::testing::PrintToString(args) << ": " << run.err;
  return run;
}

#endif
