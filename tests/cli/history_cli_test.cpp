// vintutil reg history, end to end: the listing and its filters, the .reg
// export that restores a key as it was, the settings; and the times the
// command takes. POSIX only (the history is the registry stand-in's).
#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "history_time.h"
#include "run_cli.h"
#include "temp_registry.h"

namespace {

using ::testing::HasSubstr;

using CliHistory = RegistryTest;

void Succeed(std::vector<std::string> args) {
  const CliRun run = RunCli(args);
  ASSERT_EQ(run.status, 0) << args[1] << " " << args[2] << ": " << run.err;
}

std::string Now() {
  return FormatHistoryTime(std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count());
}

TEST_F(CliHistory, ExportAtATimeRestoresThatStateExactly) {
  const std::vector<std::vector<std::string>> before = {
      {"reg", "add", "HKCU\\Software\\Round", "/ve", "/d", "default text"},
      {"reg", "add", "HKCU\\Software\\Round", "/v", "sz", "/d", "C:\\Pro\"gramme \xC3\xA4"},
      {"reg", "add", "HKCU\\Software\\Round", "/v", "multi", "/t", "REG_MULTI_SZ", "/d", "a\\0b"},
      {"reg", "add", "HKCU\\Software\\Round", "/v", "dword", "/t", "REG_DWORD", "/d", "0x80000001"},
      {"reg", "add", "HKCU\\Software\\Round", "/v", "binary", "/t", "REG_BINARY", "/d", "00ff"},
      {"reg", "add", "HKCU\\Software\\Round\\Sub\\Deeper", "/v", "x", "/d", "1"},
      {"reg", "add", "HKCU\\Software\\Round\\Empty"},
  };
  for (const auto& add : before) Succeed(add);
  const std::string then = registry_.dir() + "/then.reg";
  Succeed({"reg", "export", "HKCU\\Software\\Round", then});
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  const std::string at = Now();
  std::this_thread::sleep_for(std::chrono::milliseconds(2));

  const std::vector<std::vector<std::string>> after = {
      {"reg", "add", "HKCU\\Software\\Round", "/v", "sz", "/t", "REG_EXPAND_SZ", "/d", "%X%", "/f"},
      {"reg", "delete", "HKCU\\Software\\Round", "/v", "dword", "/f"},
      {"reg", "delete", "HKCU\\Software\\Round\\Sub", "/f"},
      {"reg", "add", "HKCU\\Software\\Round\\New", "/v", "n", "/d", "new"},
      {"reg", "add", "HKCU\\Software\\Round", "/v", "added", "/d", "later"},
      {"reg", "add", "HKCU\\Software\\Round\\Sub", "/v", "x", "/d", "again"},
      {"reg", "add", "HKCU\\Software\\Round", "/v", "dword", "/t", "REG_DWORD", "/d", "5"},
  };
  for (const auto& change : after) Succeed(change);
  const std::string restore = registry_.dir() + "/restore.reg";
  Succeed({"reg", "history", "HKCU\\Software\\Round", "--export", restore, "--at", at});

  // Applied here, and to a registry that never had the key, it gives back
  // the file regedit would have written then.
  const std::string again = registry_.dir() + "/again.reg";
  Succeed({"reg", "import", restore});
  Succeed({"reg", "export", "HKCU\\Software\\Round", again});
  EXPECT_EQ(ReadFileBytes(then), ReadFileBytes(again));

  TempRegistry fresh;
  Succeed({"reg", "import", restore});
  Succeed({"reg", "export", "HKCU\\Software\\Round", again, "/y"});
  EXPECT_EQ(ReadFileBytes(then), ReadFileBytes(again));
}

TEST_F(CliHistory, ExportBeforeTheKeyExistedOnlyDeletesIt) {
  Succeed({"reg", "add", "HKLM\\SOFTWARE\\Later", "/v", "v", "/d", "1"});
  const std::string file = registry_.dir() + "/before.reg";
  Succeed({"reg", "history", "HKLM\\SOFTWARE\\Later", "--export", file, "--at", "2000-01-01"});
  Succeed({"reg", "import", file});
  EXPECT_EQ(RunCli({"reg", "query", "HKLM\\SOFTWARE\\Later"}).status, 1);
  const CliRun missing = RunCli({"reg", "history", "HKLM\\SOFTWARE\\Later", "--export", file});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("--at"));
}

TEST_F(CliHistory, ListsChangesNewestFirstWithDecodedValues) {
  Succeed({"reg", "add", "HKLM\\SOFTWARE\\Tool", "/v", "Mode", "/d", "one"});
  Succeed({"reg", "add", "HKLM\\SOFTWARE\\Tool", "/v", "Mode", "/t", "REG_DWORD", "/d", "2", "/f"});
  Succeed({"reg", "add", "HKLM\\SOFTWARE\\Tool", "/v", "Other", "/d", "x"});
  Succeed({"reg", "delete", "HKLM\\SOFTWARE\\Tool", "/v", "Mode", "/f"});

  const CliRun text = RunCli({"reg", "history", "HKLM\\SOFTWARE\\Tool", "/v", "mode"});
  ASSERT_EQ(text.status, 0) << text.err;
  const std::vector<std::string> expected = {
      "  value deleted  HKEY_LOCAL_MACHINE\\SOFTWARE\\Tool  Mode  REG_DWORD 0x2 -> (absent)\n",
      "  value set  HKEY_LOCAL_MACHINE\\SOFTWARE\\Tool  Mode  REG_SZ one -> REG_DWORD 0x2\n",
      "  value set  HKEY_LOCAL_MACHINE\\SOFTWARE\\Tool  Mode  (absent) -> REG_SZ one\n",
  };
  size_t from = 0;
  for (const std::string& line : expected) {
    const size_t found = text.out.find(line, from);
    ASSERT_NE(found, std::string::npos) << line << "in\n" << text.out;
    from = found + line.size();
  }
  EXPECT_EQ(from, text.out.size());
  EXPECT_THAT(text.out, HasSubstr("vintutil["));

  const CliRun json = RunCli({"reg", "history", "HKLM\\SOFTWARE\\Tool", "/v", "Other", "--format",
                              "json", "--user", "root", "--since", "2000-01-01T00:00:00Z"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_THAT(json.out, HasSubstr("\"change\":\"value set\",\"key\":\"HKEY_LOCAL_MACHINE\\\\"
                                  "SOFTWARE\\\\Tool\",\"value\":\"Other\",\"old\":null,"
                                  "\"new\":{\"type\":\"REG_SZ\",\"data\":\"x\"}}\n]\n"));
  EXPECT_EQ(RunCli({"reg", "history", "--since", "2999-01-01"}).out, "");
  EXPECT_EQ(RunCli({"reg", "history", "--since", "soon"}).status, 1);
}

TEST_F(CliHistory, SettingsAreShownAndChangedPerHive) {
  const CliRun set = RunCli({"reg", "history", "HKCU", "--set-limit", "50", "--set-age", "10"});
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_THAT(set.out, HasSubstr("HKEY_CURRENT_USER: 0 records; kept: at most 50 records, none "
                                 "older than 10 days"));
  EXPECT_THAT(RunCli({"reg", "history", "--settings"}).out,
              HasSubstr("HKEY_LOCAL_MACHINE: 0 records; kept: at most 100000 records, none older "
                        "than 365 days"));
  EXPECT_EQ(RunCli({"reg", "history", "HKCU", "--set-limit", "0"}).status, 1);
  EXPECT_EQ(RunCli({"reg", "history", "HKCU\\Software", "--settings"}).status, 1);
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
      {"2024-13-11T14:30Z", {}},
      {"2024-06-11T24:00Z", {}},
      {"2024-06-11T14:30+2", {}},
      {"11.06.2024", {}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.time, ParseHistoryTime(c.text)) << c.text;
  EXPECT_EQ("2024-06-11T14:30:00.000001Z", FormatHistoryTime(k1430Utc + 1));
  EXPECT_EQ("1969-12-31T23:59:59.999999Z", FormatHistoryTime(-1));
  unsetenv("TZ");
}

}  // namespace
