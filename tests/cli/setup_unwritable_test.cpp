// vintutil setup where it cannot write: a registry that cannot be opened
// (its location is a file, not a directory), and a machine hive that the
// user may not write. A registry directory the stand-in refuses is named in
// the error, with the reason.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <registry_diagnostics.h>

#include <gtest/gtest.h>

#include "../registry/child_process.h"
#include "registry_values.h"
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

// A user who may not write the machine hive is told so once, before
// anything is tried, with the hive's file and what to do.
TEST_F(CliSetupShow, SetupWithoutWriteAccessSaysSoOnceUpFront) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the program as nobody";
  regtest::Put(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", "v", regtest::Text("root's"));
  RegDiagReset();                         // no connection of root's stays open
  chmod(registry_.dir().c_str(), 01777);  // nobody's own hive may be created there
  const std::string errFile = registry_.dir() + "/err";
  const int status = runInChild([&] {
    if (!becomeNobody()) return 100;
    const CliRun run = RunCli({"setup"});
    WriteFileBytes(errFile, run.err);
    return run.out.empty() ? run.status : 101;
  });
  EXPECT_EQ(status, 1);
  EXPECT_EQ(ReadFileBytes(errFile),
            "vintutil: access is denied to the machine hive " + registry_.machineHive() +
                " (HKEY_LOCAL_MACHINE): run this as root (sudo), or have its group given write "
                "access to the hive as the README's \"Who may write the machine hive\" "
                "describes; nothing was written\n");
}

TEST_F(CliSetupShow, ARefusedRegistryDirectoryIsNamedWithTheReason) {
  ASSERT_EQ(0, chmod(registry_.dir().c_str(), 0777));
  RunFails({"reg", "add", "HKLM\\Software\\Vendor", "/f"},
           "access is denied: " + registry_.dir() +
               ": every user may write this directory and it has no sticky bit");
}

}  // namespace
