// The messages an administrator acts on: each row a command a real
// administrator runs into, with the one line it must answer: what was
// refused, and the limit or the way out.
#include <registry_diagnostics.h>

#include <functional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "reg_apply.h"
#include "reg_file.h"
#include "registry_values.h"
#include "run_cli.h"
#include "temp_registry.h"
#include "wine_difference.h"

namespace {

using ::testing::HasSubstr;

using CliMessages = RegistryTest;

TEST_F(CliMessages, EachRefusalNamesWhatAndTheLimitOrTheWayOut) {
  const std::string longName(256, 'k');
  const std::string longValue(16384, 'v');
  const std::string file = registry_.dir() + "/in.reg";
  WriteFileBytes(
      file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\" + longName + "]\r\n\"v\"=\"1\"\r\n");
  const struct {
    std::vector<std::string> args;
    std::string reason;                    // the one line on standard error, after "vintutil: "
    bool wineTakes;                        // Wine stores what Windows refuses
    std::vector<std::string> before = {};  // a command that prepares the case
  } rows[] = {
      {{"reg", "import", file},
       file + ", line 3, HKEY_CURRENT_USER\\Software\\" + longName +
           ": the key name 'kkkkkkkkkkkkkkkkkkkk...' has 256 characters, more than the 255 the "
           "registry allows; nothing of HKEY_CURRENT_USER was changed",
       true},
      {{"reg", "add", "HKCU\\Software\\" + longName},
       "HKEY_CURRENT_USER\\Software\\" + longName +
           ": the key name 'kkkkkkkkkkkkkkkkkkkk...' has "
           "256 characters, more than the 255 the registry allows",
       true},
      {{"reg", "add", "HKCU\\Software\\Long", "/v", longValue, "/d", "x"},
       "HKEY_CURRENT_USER\\Software\\Long, value " + longValue +
           ": the value name 'vvvvvvvvvvvvvvvvvvvv...' has 16384 characters, more than the "
           "16383 the registry allows",
       true},
      {{"reg", "query", "HKLM\\SOFTWARE\\" + longName},
       "HKEY_LOCAL_MACHINE\\SOFTWARE\\" + longName +
           ": the key name 'kkkkkkkkkkkkkkkkkkkk...' "
           "has 256 characters, more than the 255 the registry allows",
       true},
#ifndef _WIN32
      // The change history is the registry stand-in's.
      {{"reg", "history", "HKLM", "--set-limit", "0"},
       "--set-limit 0: a history keeps 1 to 1000000000 records",
       false},
      // The regional settings stand-in names the picture and what it lacks.
      {{"date"},
       "the time picture \"mm:ss\" (HKEY_CURRENT_USER\\Control Panel\\International\\sTimeFormat) "
       "has no hour (H or h), so iTime cannot be read and the date and time are not printed: "
       "correct the picture or delete it",
       false,
       {"reg", "add", "HKCU\\Control Panel\\International", "/v", "sTimeFormat", "/d", "mm:ss"}},
#endif
  };
  for (const auto& row : rows) {
    if (!row.before.empty()) RunOk(row.before);
    const CliRun run = RunCli(row.args);
    const auto check = [&] {
      EXPECT_EQ(run.status, 1) << row.reason;
      EXPECT_EQ(run.err, "vintutil: " + row.reason + "\n");
    };
    if (!row.wineTakes) {
      check();
      continue;
    }
    WINE_DIFFERENCE("Wine takes names beyond Windows' limits") check();
  }
}

// An import whose part for one hive fails keeps the other hive's part, made
// whole, and says so in the same line.
TEST_F(CliMessages, AMixedImportThatFailsForOneHiveSaysTheOthersChangesWereKept) {
  const RegFileParseResult parsed = ParseRegFile(
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Mixed]\n\"m\"=\"1\"\n\n"
      "[HKEY_CURRENT_USER\\Software\\Mixed]\n\"u\"=\"2\"\n");
  ASSERT_TRUE(parsed.ok) << parsed.error;
  const struct {
    unsigned failingSet;  // the machine hive's value is set first
    const char* failure;
  } rows[] = {
      {1,
       "line 4, HKEY_LOCAL_MACHINE\\SOFTWARE\\Mixed, value \"m\": access is denied; nothing of "
       "HKEY_LOCAL_MACHINE was changed; the changes to HKEY_CURRENT_USER were made and are kept"},
      {2,
       "line 7, HKEY_CURRENT_USER\\Software\\Mixed, value \"u\": access is denied; nothing of "
       "HKEY_CURRENT_USER was changed; the changes to HKEY_LOCAL_MACHINE were made and are kept"},
  };
  for (const auto& row : rows) {
    regtest::DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Mixed");
    regtest::DeleteTree(HKEY_CURRENT_USER, "Software\\Mixed");
    RegDiagFailNth(REGDIAG_SET, row.failingSet, ERROR_ACCESS_DENIED);
    const ApplyResult result = ApplyRegFile(parsed.file);
    RegDiagClearFaults();
    EXPECT_FALSE(result.ok);
    EXPECT_THAT(result.failures, ::testing::ElementsAre(std::string(row.failure)));
    EXPECT_EQ(regtest::KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Mixed"), row.failingSet == 2);
    EXPECT_EQ(regtest::KeyExists(HKEY_CURRENT_USER, "Software\\Mixed"), row.failingSet == 1);
  }
}

}  // namespace
