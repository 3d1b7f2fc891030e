// The latency of RegNotifyChangeKeyValue across processes: from the moment
// another process calls RegSetValueExA (its change commits inside the call)
// to the moment the waiting process's WaitForSingleObject returns, over many
// rounds; median and 99th percentile; beside it the same from the call's
// return, and the call's own time. The reference, timed the same way in the
// same run between the same two processes: a byte written to a pipe until
// the blocked reader returns, the kernel's own wake-up of a sleeping
// process, which no notification can beat.
//
// Also printed: the descriptors and threads of the process before and after
// a thousand registrations and closes, and the CPU time a process waiting
// on a registration uses in a second without changes.
//
//   build/bench/bench_notification [rounds]   (default 1000)
#include <windows.h>
#include <registry_diagnostics.h>

#include "cross_process_rounds.h"

#include <dirent.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const char kKey[] = "SOFTWARE\\TORVALE\\VARNO4\\SCHNITTSTELLEN";

size_t entriesOf(const char* dir) {
  size_t n = 0;
  DIR* d = opendir(dir);
  while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
  closedir(d);
  return n;
}

void setValue(int i) {
  HKEY key = nullptr;
  const DWORD data = DWORD(i);
  check(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS &&
            RegSetValueExA(key, "BAUDRATE", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                           sizeof data) == ERROR_SUCCESS,
        "writing in the child");
  RegCloseKey(key);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? atoi(argv[1]) : 1000;
  std::string dir = (std::filesystem::temp_directory_path() / "vintutil-bench-XXXXXX").string();
  check(mkdtemp(dir.data()) != nullptr, "mkdtemp");
  setenv("VINTUTIL_REGISTRY", dir.c_str(), 1);
  HKEY created = nullptr;
  check(RegCreateKeyA(HKEY_LOCAL_MACHINE, kKey, &created) == ERROR_SUCCESS, "creating the key");
  RegCloseKey(created);

  // The notification: the parent registers on the key each round and waits.
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HKEY watched = nullptr;
  const auto notified = timeRounds(
      rounds,
      [&] {
        if (!watched) RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_NOTIFY, &watched);
        check(RegNotifyChangeKeyValue(watched, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE) ==
                  ERROR_SUCCESS,
              "registering");
      },
      setValue, [&](int) { check(WaitForSingleObject(event, 10000) == WAIT_OBJECT_0, "waiting"); });
  RegCloseKey(watched);

  // The reference: a pipe's reader woken by the other process's write.
  int wake[2];
  check(pipe(wake) == 0, "pipe");
  const auto piped = timeRounds(
      rounds, [] {}, [&](int) { check(write(wake[1], "x", 1) == 1, "writing the pipe"); },
      [&](int) {
        char c;
        check(read(wake[0], &c, 1) == 1, "reading the pipe");
      });

  const Percentiles n = percentiles(notified.fromStart), ne = percentiles(notified.fromEnd),
                    w = percentiles(notified.action), p = percentiles(piped.fromEnd);
  printf("%d rounds, microseconds, median and 99th percentile:\n", rounds);
  const auto row = [](const char* what, const Percentiles& x) {
    printf("  %-58s %8.1f %8.1f\n", what, x.median, x.p99);
  };
  row("another process's RegSetValueExA begins -> event signalled", n);
  row("  the same, from its RegSetValueExA returning", ne);
  row("  its RegSetValueExA (open, set, close) itself", w);
  row("reference: pipe write -> blocked reader woken", p);
  printf("  ratio of the medians, notification from the write's start to pipe: %.1f\n",
         n.median / p.median);

  // A thousand registrations and closes, after a first one (which makes the
  // watch's connection to the hive, kept for good).
  {
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_NOTIFY, &key);
    RegNotifyChangeKeyValue(key, TRUE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE);
    RegCloseKey(key);
  }
  const size_t fdsBefore = entriesOf("/proc/self/fd"), threadsBefore = entriesOf("/proc/self/task");
  for (int i = 0; i < 1000; ++i) {
    HKEY key = nullptr;
    HANDLE e = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_NOTIFY, &key);
    check(RegNotifyChangeKeyValue(key, TRUE, REG_NOTIFY_CHANGE_LAST_SET, e, TRUE) == ERROR_SUCCESS,
          "registering");
    RegCloseKey(key);
    CloseHandle(e);
  }
  printf("1000 registrations and closes: descriptors %zu -> %zu, threads %zu -> %zu\n", fdsBefore,
         entriesOf("/proc/self/fd"), threadsBefore, entriesOf("/proc/self/task"));

  // Waiting for a change that does not come.
  HKEY key = nullptr;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_NOTIFY, &key);
  RegNotifyChangeKeyValue(key, TRUE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE);
  WaitForSingleObject(event, 100);  // the watching thread starts and settles
  rusage before, after;
  getrusage(RUSAGE_SELF, &before);
  WaitForSingleObject(event, 1000);
  getrusage(RUSAGE_SELF, &after);
  const auto us = [](const rusage& r) {
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000000L + r.ru_utime.tv_usec +
           r.ru_stime.tv_usec;
  };
  printf("CPU time of a process waiting 1 s on a registration: %ld us\n", us(after) - us(before));
  RegCloseKey(key);
  CloseHandle(event);
  std::filesystem::remove_all(dir);
  return 0;
}
