// vintutil setup on a registry that cannot be opened: its location is a
// file, not a directory, so no hive can open.
#include <stdlib.h>

#include <gtest/gtest.h>

#include "run_cli.h"
#include "temp_registry.h"

namespace {

using CliSetupShow = RegistryTest;

// One report, in the program's wording, then the one-line reason.
TEST_F(CliSetupShow, SetupThatCannotWriteReportsAndFails) {
  const std::string notADirectory = registry_.dir() + "/file";
  WriteFileBytes(notADirectory, "x");
  setenv("VINTUTIL_REGISTRY", notADirectory.c_str(), 1);
  const CliRun run = RunCli({"setup"});
  EXPECT_NE(run.status, 0);
  EXPECT_EQ(run.err,
            "vintutil settings: Cannot open the registry key of the fault-record format (sections "
            "STOERSCHRIEB, SCHNITTSTELLEN, OPTIONEN).\n"
            "vintutil: setup is incomplete: see the reports above\n");
}

}  // namespace
