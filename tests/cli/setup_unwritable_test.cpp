// vintutil setup on a registry that cannot be opened, made so through the
// registry stand-in's location.
#include <stdlib.h>

#include <gtest/gtest.h>

#include "run_cli.h"
#include "temp_registry.h"

namespace {

using CliSetupShow = RegistryTest;

TEST_F(CliSetupShow, SetupThatCannotWriteReportsAndFails) {
  // A registry location that is a file, not a directory: no hive can open.
  const std::string notADirectory = registry_.dir() + "/file";
  WriteFileBytes(notADirectory, "x");
  setenv("VINTUTIL_REGISTRY", notADirectory.c_str(), 1);
  const CliRun run = RunCli({"setup"});
  EXPECT_NE(run.status, 0);
  // One report, in the program's wording, then the one-line reason.
  EXPECT_EQ(run.err,
            "vintutil settings: Cannot open the registry key of the fault-record format (sections "
            "STOERSCHRIEB, SCHNITTSTELLEN, OPTIONEN).\n"
            "vintutil: setup is incomplete: see the reports above\n");
}

}  // namespace
