// Hive files changed by whoever may write them: the input is SQL, run with
// a bare SQLite connection on a valid machine hive (keys, values, history),
// after which the registry functions and the history read and write that
// hive. Nothing may crash or hang, and reading a hive reported damaged
// (ERROR_BADDB) leaves its file exactly as it was.
#include <windows.h>

#include <registry_diagnostics.h>
#include <registry_history.h>

#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "temp_registry_dir.h"

namespace {

namespace rh = registry_history;

const char kKey[] = "SOFTWARE\\Vendor\\Tool";

std::string g_hive;
std::string g_validHive;  // the file of a valid hive, to start each input from

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

// Runs the input on the hive file as anyone with SQLite could, within
// bounds of its own (so that the fuzzer's SQL cannot hang this harness).
void RunHostileSql(const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(g_hive.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 8 * 1024 * 1024);
    int left = 2000;
    sqlite3_progress_handler(
        db, 1000, [](void* left) { return --*static_cast<int*>(left) < 0 ? 1 : 0; }, &left);
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_progress_handler(db, 0, nullptr, nullptr);
  }
  sqlite3_close_v2(db);
}

// The reading calls; true when one reported the hive damaged.
bool ReadEverything() {
  bool damaged = false;
  const auto note = [&](LONG rc) { damaged |= rc == ERROR_BADDB; };
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key);
  note(rc);
  if (rc == ERROR_SUCCESS) {
    std::vector<BYTE> data(64);
    char name[64];
    for (DWORD i = 0; i < 8; ++i) {
      DWORD size = DWORD(data.size()), length = sizeof name;
      note(RegEnumValueA(key, i, name, &length, nullptr, nullptr, data.data(), &size));
      size = DWORD(data.size());
      note(RegQueryValueExA(key, "v", nullptr, nullptr, data.data(), &size));
    }
    note(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
  }
  char name[64];
  for (DWORD i = 0; i < 4; ++i) {
    DWORD length = sizeof name;
    note(RegEnumKeyExA(HKEY_LOCAL_MACHINE, i, name, &length, nullptr, nullptr, nullptr, nullptr));
  }
  std::vector<rh::Record> records;
  note(rh::ReadHistory(HKEY_LOCAL_MACHINE, {}, &records));
  rh::PastState past;
  note(rh::ReadPastState(HKEY_LOCAL_MACHINE, "SOFTWARE", 1, &past));
  rh::Settings settings;
  note(rh::ReadHistorySettings(HKEY_LOCAL_MACHINE, &settings));
  return damaged;
}

void WriteSomething() {
  HKEY key = nullptr;
  if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kKey, &key) != ERROR_SUCCESS) return;
  const BYTE data[] = "written";
  RegSetValueExA(key, "v", 0, REG_SZ, data, sizeof data);
  RegDeleteValueA(key, "w");
  RegCloseKey(key);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Other");
}

void MakeValidHive() {
  HKEY key = nullptr;
  Check(RegCreateKeyA(HKEY_LOCAL_MACHINE, kKey, &key) == ERROR_SUCCESS, "cannot create the hive");
  for (const char* name : {"v", "w", "", "x"}) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(name), 1);
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>("\1\0\0\0"), 4);
  }
  RegCloseKey(key);
  Check(RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor\\Other", &key) == ERROR_SUCCESS,
        "cannot create a key");
  RegCloseKey(key);
  RegDiagReset();  // closes the hive: everything checkpointed into the file
  g_validHive = ReadFile(g_hive);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  UseTempRegistryDir();
  g_hive = std::string(getenv("VINTUTIL_REGISTRY")) + "/machine.db";
  MakeValidHive();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  RegDiagReset();
  for (const char* companion : {"-wal", "-shm"}) std::remove((g_hive + companion).c_str());
  WriteFile(g_hive, g_validHive);
  RunHostileSql(std::string(reinterpret_cast<const char*>(bytes), size));
  const std::string hostile = ReadFile(g_hive);
  const std::string hostileWal = ReadFile(g_hive + "-wal");
  const bool damaged = ReadEverything();
  RegDiagReset();
  if (damaged) {
    Check(ReadFile(g_hive) == hostile && ReadFile(g_hive + "-wal") == hostileWal,
          "reading a hive reported damaged changed its file");
  }
  WriteSomething();
  ReadEverything();
  return 0;
}
