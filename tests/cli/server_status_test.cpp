// vintutil status and vintutil server init: where the hives live, whether
// they answer, and the preparation of a served machine hive. In the served
// run (VINTUTIL_TEST_SERVER) the machine hive is the test's own database.
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "registry_values.h"
#include "run_cli.h"
#include "served_hive.h"
#include "temp_registry.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using CliServer = RegistryTest;

// Servers nobody answers at, with a password that must never be shown: in
// key=value form and as a URI.
std::vector<std::string> MissingServers(const TempRegistry& registry) {
  return {"host=" + registry.dir() + "/no-server dbname=vintutil user=alice password=hunter2",
          "postgresql://alice:hunter2@" + std::string("%2F") + registry.dir().substr(1) +
              "%2Fno-server/vintutil"};
}

// The served hive's database, as `status` names it.
std::string ServedDatabase() {
  const std::string conninfo = getenv("VINTUTIL_MACHINE_HIVE");
  const size_t at = conninfo.find("dbname=");
  return conninfo.substr(at, conninfo.find(' ', at) - at);
}

TEST_F(CliServer, StatusNamesWhereEachHiveLivesAndThatItAnswers) {
  const std::string table = RunOk({"status"}).out;
  const std::string json = RunOk({"status", "--format", "json"}).out;
  if (registry_.served()) {
    EXPECT_THAT(table, HasSubstr("HKEY_LOCAL_MACHINE  server "));
    EXPECT_THAT(table, HasSubstr(ServedDatabase()));
    EXPECT_THAT(table, HasSubstr("\n                    replica "));
    // A command that wrote brings the replica in step before it exits.
    RunOk({"reg", "add", "HKLM\\SOFTWARE\\TORVALE", "/v", "Status", "/d", "1", "/f"});
    EXPECT_THAT(RunOk({"status"}).out, HasSubstr(", in step with the server\n"));
    EXPECT_THAT(RunOk({"status", "--format", "json"}).out,
                HasSubstr("\"replica_writes_behind\": 0}"));
    EXPECT_THAT(json,
                HasSubstr("{\"root\": \"HKEY_LOCAL_MACHINE\", \"served\": true, \"where\": "));
  } else {
    EXPECT_THAT(table, HasSubstr("HKEY_LOCAL_MACHINE  file " + registry_.machineHive() +
                                 "\n                    reachable\n"));
    EXPECT_THAT(
        json,
        HasSubstr(
            "{\"root\": \"HKEY_LOCAL_MACHINE\", \"served\": false, \"where\": \"" +
            registry_.machineHive() +
            "\", \"reachable\": true, \"problem\": null, \"note\": null, "
            "\"replica\": null, \"replica_in_step_at\": null, \"replica_writes_behind\": null}"));
  }
  EXPECT_THAT(table, HasSubstr("HKEY_CURRENT_USER   file " + registry_.userHive() +
                               "\n                    reachable\n"));
  EXPECT_THAT(
      json,
      HasSubstr(
          "{\"root\": \"HKEY_CURRENT_USER\", \"served\": false, \"where\": \"" +
          registry_.userHive() +
          "\", \"reachable\": true, \"problem\": null, \"note\": null, "
          "\"replica\": null, \"replica_in_step_at\": null, \"replica_writes_behind\": null}"));
}

// A server that does not answer: the status says so with libpq's reason,
// fails with one line, and shows the connection string without its password;
// so does init.
TEST_F(CliServer, AServerThatDoesNotAnswerIsReportedWithoutItsPassword) {
  for (const std::string& server : MissingServers(registry_)) {
    setenv("VINTUTIL_MACHINE_HIVE", server.c_str(), 1);
    const CliRun table = RunFails({"status"}, "HKEY_LOCAL_MACHINE cannot be reached: ");
    EXPECT_THAT(table.out, HasSubstr("HKEY_LOCAL_MACHINE  server "));
    EXPECT_THAT(table.out, HasSubstr("dbname=vintutil"));
    EXPECT_THAT(table.out, HasSubstr("not reachable: "));
    EXPECT_THAT(table.out, HasSubstr("HKEY_CURRENT_USER   file "));
    const CliRun json =
        RunFails({"status", "--format", "json"}, "HKEY_LOCAL_MACHINE cannot be reached");
    EXPECT_THAT(json.out, HasSubstr("\"served\": true"));
    EXPECT_THAT(json.out, HasSubstr("\"reachable\": false, \"problem\": \""));
    const CliRun init = RunFails({"server", "init"}, "cannot prepare the machine hive: ");
    EXPECT_THAT(init.err, HasSubstr("dbname=vintutil"));
    for (const CliRun& run : {table, json, init}) {
      EXPECT_THAT(run.out + run.err, Not(HasSubstr("hunter2"))) << server;
    }
  }
}

TEST_F(CliServer, InitWithoutAServerSaysHowToNameOne) {
  setenv("VINTUTIL_MACHINE_HIVE", "", 1);
  RunFails({"server", "init"}, "no machine hive server is configured: give CONNINFO");
}

// Run again on a hive in use, init keeps what the hive holds.
TEST_F(CliServer, InitPreparesTheServedHiveAndChangesNothingWhenRunAgain) {
  if (!registry_.served()) GTEST_SKIP() << "needs the served machine hive (the .served tests)";
  const std::string key = "HKLM\\SOFTWARE\\TORVALE\\VARNO4\\OPTIONEN";
  RunOk({"reg", "add", key, "/v", "MATRIX", "/d", "1, 2, 3, 4", "/f"});
  const CliRun configured = RunOk({"server", "init"});
  EXPECT_THAT(configured.out, HasSubstr(ServedDatabase()));
  EXPECT_THAT(configured.out, HasSubstr("vintutil_reader"));
  EXPECT_THAT(configured.out, HasSubstr("vintutil_writer"));
  RunOk({"server", "init", getenv("VINTUTIL_MACHINE_HIVE")});
  EXPECT_EQ(regtest::Get(HKEY_LOCAL_MACHINE, "SOFTWARE\\TORVALE\\VARNO4\\OPTIONEN", "MATRIX"),
            regtest::Text("1, 2, 3, 4"));
}

// A role that may only read the served hive is told what it needs, and
// setup writes nothing.
TEST_F(CliServer, SetupAsAReaderNamesTheWriterRoleAndWritesNothing) {
  if (!registry_.served()) GTEST_SKIP() << "needs the served machine hive (the .served tests)";
  const std::string role = "reader_" + std::to_string(getpid());
  QueryServedHive("DROP ROLE IF EXISTS " + role + "; CREATE ROLE " + role +
                  " LOGIN; GRANT vintutil_reader TO " + role);
  const int64_t keysBefore = QueryServedHive("SELECT count(*) FROM keys");
  const std::string writer = getenv("VINTUTIL_MACHINE_HIVE");
  setenv("VINTUTIL_MACHINE_HIVE", (writer + " user=" + role).c_str(), 1);
  const CliRun run = RunFails({"setup"}, "access is denied to the machine hive on its server ");
  EXPECT_THAT(run.err, HasSubstr("must be a member of vintutil_writer"));
  EXPECT_THAT(run.err, HasSubstr("; nothing was written"));
  setenv("VINTUTIL_MACHINE_HIVE", writer.c_str(), 1);
  EXPECT_EQ(keysBefore, QueryServedHive("SELECT count(*) FROM keys"));
  QueryServedHive("DROP OWNED BY " + role + "; DROP ROLE " + role);
}

}  // namespace
