// vintutil reg history, end to end: the listing and its filters, the .reg
// export that restores a key as it was, the settings, and the times the
// command takes. POSIX only (the history is the registry stand-in's).
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <regex>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "history_time.h"
#include "registry_values.h"
#include "run_cli.h"
#include "temp_registry.h"

namespace {

using ::testing::HasSubstr;

using CliHistory = RegistryTest;

// Runs each command of `reg`, all of which have to succeed.
void RegOk(const std::vector<std::vector<std::string>>& commands) {
  for (std::vector<std::string> command : commands) {
    command.insert(command.begin(), "reg");
    RunOk(command);
  }
}

TEST_F(CliHistory, ExportAtATimeRestoresThatStateExactly) {
  const std::string key = "HKCU\\Software\\Round";
  RegOk({{"add", key, "/ve", "/d", "default text"},
         {"add", key, "/v", "sz", "/d", "C:\\Pro\"gramme \xC3\xA4"},
         {"add", key, "/v", "multi", "/t", "REG_MULTI_SZ", "/d", "a\\0b"},
         {"add", key, "/v", "dword", "/t", "REG_DWORD", "/d", "0x80000001"},
         {"add", key, "/v", "binary", "/t", "REG_BINARY", "/d", "00ff"},
         {"add", key + "\\Sub\\Deeper", "/v", "x", "/d", "1"},
         {"add", key + "\\Empty"}});
  const std::string then = registry_.dir() + "/then.reg";
  RunOk({"reg", "export", key, then});
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  const std::string at = FormatHistoryTime(std::chrono::duration_cast<std::chrono::microseconds>(
                                               std::chrono::system_clock::now().time_since_epoch())
                                               .count());
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  RegOk({{"add", key, "/v", "sz", "/t", "REG_EXPAND_SZ", "/d", "%X%", "/f"},
         {"delete", key, "/v", "dword", "/f"},
         {"delete", key + "\\Sub", "/f"},
         {"add", key + "\\New", "/v", "n", "/d", "new"},
         {"add", key, "/v", "added", "/d", "later"},
         {"add", key + "\\Sub", "/v", "x", "/d", "again"},
         {"add", key, "/v", "dword", "/t", "REG_DWORD", "/d", "5"}});
  const std::string restore = registry_.dir() + "/restore.reg";
  RunOk({"reg", "history", key, "--export", restore, "--at", at});

  // Applied here, and to a registry that never had the key, it gives back
  // the file regedit would have written then.
  const std::string again = registry_.dir() + "/again.reg";
  RegOk({{"import", restore}, {"export", key, again}});
  EXPECT_EQ(ReadFileBytes(then), ReadFileBytes(again));
  TempRegistry fresh;
  RegOk({{"import", restore}, {"export", key, again, "/y"}});
  EXPECT_EQ(ReadFileBytes(then), ReadFileBytes(again));
}

TEST_F(CliHistory, ExportBeforeTheKeyExistedOnlyDeletesIt) {
  const std::string file = registry_.dir() + "/before.reg";
  RegOk({{"add", "HKLM\\SOFTWARE\\Later", "/v", "v", "/d", "1"},
         {"history", "HKLM\\SOFTWARE\\Later", "--export", file, "--at", "2000-01-01"},
         {"import", file}});
  RunFails({"reg", "query", "HKLM\\SOFTWARE\\Later"}, "does not exist");
  RunFails({"reg", "history", "HKLM\\SOFTWARE\\Later", "--export", file}, "--at");
}

TEST_F(CliHistory, ListsChangesNewestFirstWithDecodedValues) {
  const char* const tool = "HKLM\\SOFTWARE\\Tool";
  RegOk({{"add", tool, "/v", "Mode", "/d", "one"},
         {"add", tool, "/v", "Mode", "/t", "REG_DWORD", "/d", "2", "/f"},
         {"add", tool, "/v", "Other", "/d", "x"},
         {"delete", tool, "/v", "Mode", "/f"}});
  // Each line after its time, user and program: the change.
  const std::regex who("\\S+  \\S+\\([0-9]+\\)  vintutil\\[[0-9]+\\]  ");
  EXPECT_EQ(std::regex_replace(RunOk({"reg", "history", tool, "/v", "mode"}).out, who, ""),
            "value deleted  HKEY_LOCAL_MACHINE\\SOFTWARE\\Tool  Mode  REG_DWORD 0x2 -> (absent)\n"
            "value set  HKEY_LOCAL_MACHINE\\SOFTWARE\\Tool  Mode  REG_SZ one -> REG_DWORD 0x2\n"
            "value set  HKEY_LOCAL_MACHINE\\SOFTWARE\\Tool  Mode  (absent) -> REG_SZ one\n");
  EXPECT_THAT(RunOk({"reg", "history", tool, "/v", "Other", "--format", "json", "--user", "root",
                     "--since", "2000-01-01T00:00:00Z"})
                  .out,
              HasSubstr("\"change\":\"value set\",\"key\":\"HKEY_LOCAL_MACHINE\\\\"
                        "SOFTWARE\\\\Tool\",\"value\":\"Other\",\"old\":null,"
                        "\"new\":{\"type\":\"REG_SZ\",\"data\":\"x\"}}\n]\n"));
  EXPECT_EQ(RunOk({"reg", "history", "--since", "2999-01-01"}).out, "");
  RunFails({"reg", "history", "--since", "soon"}, "not an ISO 8601 time");
}

// The size held counts the data of each record: a record of a setting holds
// two REG_QWORDs.
TEST_F(CliHistory, SettingsAreShownAndChangedPerHive) {
  EXPECT_THAT(RunOk({"reg", "history", "HKCU", "--set-limit", "50", "--set-age", "10"}).out,
              HasSubstr("HKEY_CURRENT_USER: 2 records, 32 bytes; kept: at most 50 records and "
                        "64 MiB, none older than 10 days"));
  EXPECT_THAT(RunOk({"reg", "history", "--settings"}).out,
              HasSubstr("HKEY_LOCAL_MACHINE: 0 records, 0 bytes; kept: at most 100000 records "
                        "and 64 MiB, none older than 365 days"));
  EXPECT_THAT(RunOk({"reg", "history", "HKCU", "--set-size", "2"}).out,
              HasSubstr("HKEY_CURRENT_USER: 3 records, 48 bytes; kept: at most 50 records and "
                        "2 MiB"));
  const std::regex who("\\S+  \\S+\\([0-9]+\\)  vintutil\\[[0-9]+\\]  ");
  EXPECT_THAT(std::regex_replace(RunOk({"reg", "history", "HKCU"}).out, who, ""),
              ::testing::StartsWith("history settings changed  HKEY_CURRENT_USER  "
                                    "history_max_bytes  REG_QWORD 0x4000000 -> REG_QWORD "
                                    "0x200000\n"));
  RunFails({"reg", "history", "HKCU", "--set-limit", "0"},
           "--set-limit 0: a history keeps 1 to 1000000000 records");
  RunFails({"reg", "history", "HKCU", "--set-age", "100001"},
           "--set-age 100001: a history keeps records of 1 to 100000 days");
  RunFails({"reg", "history", "HKCU", "--set-size", "0"},
           "--set-size 0: a history holds 1 to 1048576 MiB");
  RunFails({"reg", "history", "HKCU\\Software", "--settings"}, "belong to a hive");
  EXPECT_THAT(RunOk({"reg", "history", "--help"}).out, HasSubstr("--set-size MIB"));
}

// A secret's past data is forgotten only when confirmed; the listing shows
// the forgetting and a retention change as records of their own, and a
// restore that would need the forgotten data is refused.
TEST_F(CliHistory, ForgettingAndRetentionChangesAreListed) {
  const char* const key = "HKLM\\SOFTWARE\\Secret";
  RegOk({{"add", key, "/v", "pw", "/d", "one"}});
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  const std::string whileOne =
      FormatHistoryTime(std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count());
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  RegOk({{"add", key, "/v", "pw", "/d", "two", "/f"}});
  RunFails({"reg", "history", key, "--forget", "/v", "pw"}, "cannot be confirmed");
  EXPECT_THAT(RunOk({"reg", "history", key, "--forget", "/v", "PW", "/f"}).out,
              HasSubstr("no longer holds the past data of the value "
                        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Secret\\PW"));
  RegOk({{"history", "HKLM", "--set-limit", "50"}});
  const std::regex who("\\S+  \\S+\\([0-9]+\\)  vintutil\\[[0-9]+\\]  ");
  EXPECT_EQ(std::regex_replace(RunOk({"reg", "history", "HKLM"}).out, who, ""),
            "history settings changed  HKEY_LOCAL_MACHINE  history_max_records  "
            "REG_QWORD 0x186a0 -> REG_QWORD 0x32\n"
            "past data forgotten  HKEY_LOCAL_MACHINE\\SOFTWARE\\Secret  PW\n"
            "value set  HKEY_LOCAL_MACHINE\\SOFTWARE\\Secret  pw  REG_SZ (forgotten) -> "
            "REG_SZ two\n"
            "value set  HKEY_LOCAL_MACHINE\\SOFTWARE\\Secret  pw  (absent) -> REG_SZ "
            "(forgotten)\n"
            "key created  HKEY_LOCAL_MACHINE\\SOFTWARE\\Secret\n");
  RunFails({"reg", "history", key, "--export", registry_.dir() + "/then.reg", "--at", whileOne},
           "at that time was forgotten");
  RunFails({"reg", "history", "HKLM", "--forget", "/f"}, "--forget needs a KEY below the root");
}

TEST(HistoryTime, ParsesIso8601InUtcOrLocalTime) {
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  constexpr int64_t k1430Utc = 1718116200LL * 1000000;  // 2024-06-11T14:30:00Z
  const struct {
    const char* text;
    std::optional<int64_t> time;
  } cases[] = {
      {"2024-06-11T14:30:00Z", k1430Utc},
      {"2024-06-11t14:30z", k1430Utc},
      {"2024-06-11T14:30:00.25Z", k1430Utc + 250000},
      {"2024-06-11T14:30:00.000001Z", k1430Utc + 1},
      {"2024-06-11T16:30:00+02:00", k1430Utc},
      {"2024-06-11T12:00-0230", k1430Utc},
      {"2024-06-11 16:30", k1430Utc},  // local: CEST
      {"2024-06-11", k1430Utc - (14 * 60 + 30) * 60000000LL - 2 * 3600000000LL},
      {"2024-06-11T14:30:00.1234567Z", {}},
      {"2024-06-11T24:00Z", {}},
      {"2024-13-11T14:30Z", {}},
      {"2024-06-11T14:30+2", {}},
      {"11.06.2024", {}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.time, ParseHistoryTime(c.text)) << c.text;
  EXPECT_EQ("2024-06-11T14:30:00.000001Z", FormatHistoryTime(k1430Utc + 1));
  EXPECT_EQ("1969-12-31T23:59:59.999999Z", FormatHistoryTime(-1));
  unsetenv("TZ");
}

// Names and texts with control characters, as a program may store them:
// each change stays one line, the characters shown as ^J, ^[ and so on.
TEST_F(CliHistory, ControlCharactersAreEscapedSoEachChangeIsOneLine) {
  regtest::Put(HKEY_CURRENT_USER, "Software\\Lines\nKey", "two\nlines",
               regtest::Text("bell\a\x1b[31mred"));
  const std::string out = RunOk({"reg", "history", "HKCU\\Software"}).out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2) << out;  // a key created, a value set
  EXPECT_THAT(out, HasSubstr("HKEY_CURRENT_USER\\Software\\Lines^JKey  two^Jlines  (absent) -> "
                             "REG_SZ bell^G^[[31mred\n"));
}

}  // namespace
