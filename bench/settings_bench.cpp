// Times the library's own settings operations, the same program on Linux
// (over the registry stand-in) and on Windows (over the system's registry,
// under Wine on the development machine), so that bench/compare can set the
// two side by side. Each workload runs for a fixed time, three times; the
// median of the three is printed as microseconds per library call:
//
//   <workload>\t<us per call>\t<calls timed>
//
// On Linux the registry is a fresh directory of its own (VINTUTIL_REGISTRY);
// on Windows the program writes below HKEY_LOCAL_MACHINE\SOFTWARE\TORVALE.
//
//   bench_settings [seconds per run, default 0.4]
#include <afx.h>
#include <windows.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "AdminRegInit.h"
#include "VarnoRegInit.h"
#include "varnoerr.h"

namespace {

// The large key space: kKeys keys of kValuesPerKey text values each.
constexpr int kKeys = 1000;
constexpr int kValuesPerKey = 100;
const char kSpaceRoot[] = "SOFTWARE\\TORVALE\\VARNO4\\BENCH\\";

const char* const kSchnittNames[] = {"DEVLINKADR", "DEVVDADR", "COMPORT", "IECTIMEOUT"};

int reports = 0;

void countReport(const CString&, const CString&, unsigned int, EVarnoErrorLevel, const CString&) {
  ++reports;
}

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "bench_settings: %s\n", what);
  exit(1);
}

#ifndef _WIN32
// A registry directory of the run's own, removed at exit.
std::string registryDir;

void usePrivateRegistry() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vintutil-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) fail("cannot make a registry directory");
  registryDir = pattern;
  setenv("VINTUTIL_REGISTRY", registryDir.c_str(), 1);
  atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(registryDir, ignored);
  });
}
#endif

std::string spaceKey(int key) { return kSpaceRoot + std::string("K") + std::to_string(key); }
std::string spaceValue(int value) { return "V" + std::to_string(value); }

// The settings sections with their first values (the suite's setup), the
// values the workloads read, and the large key space.
void prepareRegistry() {
  { CAdminRegInit setup; }
  CVarnoRegInit store;
  for (const char* name : kSchnittNames) {
    if (store.SetSchnittPar(name, static_cast<unsigned short>(7)) != 0) fail("setup write failed");
  }
  if (store.SetStoerProgrammName("C:\\Programme\\Torvale\\Varno4\\Grafik\\grafprog.exe") != 0 ||
      store.SetAutoSave(1) != 0) {
    fail("setup write failed");
  }
  for (int k = 0; k < kKeys; ++k) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, spaceKey(k).c_str(), &key) != ERROR_SUCCESS) {
      fail("cannot create the key space");
    }
    for (int v = 0; v < kValuesPerKey; ++v) {
      std::string data = "value " + std::to_string(k * kValuesPerKey + v);
      if (RegSetValueExA(key, spaceValue(v).c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(data.c_str()),
                         DWORD(data.size() + 1)) != ERROR_SUCCESS) {
        fail("cannot fill the key space");
      }
    }
    RegCloseKey(key);
  }
}

// Runs `call` (argument: the call's number) for `seconds` and returns the
// microseconds per call.
double timeCalls(const std::function<void(long)>& call, double seconds, long* calls) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const auto end = start + std::chrono::duration<double>(seconds);
  long n = 0;
  auto now = start;
  while (now < end) {
    for (int batch = 0; batch < 16; ++batch) call(n++);
    now = Clock::now();
  }
  *calls = n;
  return std::chrono::duration<double, std::micro>(now - start).count() / double(n);
}

struct Workload {
  const char* name;
  std::function<void(long)> call;
  // Before the warm-up: brings the workload to its steady state.
  std::function<void()> prepare = [] {};
};

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? atof(argv[1]) : 0.4;
  if (seconds <= 0) fail("usage: bench_settings [seconds per run]");
#ifndef _WIN32
  usePrivateRegistry();
#endif
  VarnoErrorSetHandler(countReport);
  prepareRegistry();

  CVarnoRegInit store;
  unsigned short number = 0;
  CString text;
  CString optionsKey = "SOFTWARE\\TORVALE\\VARNO4\\OPTIONEN", autoSave = "AUTOSAVE";
  std::vector<CString> spaceKeys, spaceValues;
  for (int k = 0; k < kKeys; ++k) spaceKeys.emplace_back(spaceKey(k).c_str());
  for (int v = 0; v < kValuesPerKey; ++v) spaceValues.emplace_back(spaceValue(v).c_str());
  std::mt19937 random(20240611);
  SRioHeader rio;
  store.InitRegStruct(rio);
  CString schnittNames[4];
  for (int i = 0; i < 4; ++i) schnittNames[i] = kSchnittNames[i];

  const std::function<void(long)> readMix[] = {
      [&](long n) { store.GetSchnittPar(schnittNames[n % 4], number); },
      [&](long) { store.GetAutoSave(); },
      [&](long) { store.GetStoerProgrammName(); },
      [&](long) { store.GetStringKey(optionsKey, autoSave, text); },
  };
  const std::function<void(long)> writeMix[] = {
      [&](long n) { store.SetSchnittPar(schnittNames[n % 4], static_cast<unsigned short>(n)); },
      [&](long n) { store.SetStoerDatenformat(int(n % 3)); },
      [&](long n) {
        rio.dRatingFreq = 50.0 + double(n % 10);
        store.SetRioHeaderStruct(rio);
      },
  };
  const Workload workloads[] = {
      {"read-mostly mix (4 getters; 1 call in 100 a SetSchnittPar)",
       [&](long n) {
         if (n % 100 == 99) {
           store.SetSchnittPar(schnittNames[n % 4], static_cast<unsigned short>(n));
         } else {
           readMix[n % 4](n / 4);
         }
       }},
      {"read: GetSchnittPar (open, query, close)", readMix[0]},
      {"write mix (SetSchnittPar, SetStoerDatenformat, SetRioHeaderStruct)",
       [&](long n) { writeMix[n % 3](n / 3); }},
      {"write: SetSchnittPar (open, set, close)", writeMix[0]},
      {"CheckStoerProgrammName", [&](long) { store.CheckStoerProgrammName(); }},
      {"100,000 values under 1,000 keys: random GetStringKey",
       [&](long) {
         unsigned r = unsigned(random());
         store.GetStringKey(spaceKeys[r % kKeys], spaceValues[(r / kKeys) % kValuesPerKey], text);
       },
       // A program that has run a while has read each value before.
       [&] {
         for (CString& key : spaceKeys) {
           for (CString& value : spaceValues) store.GetStringKey(key, value, text);
         }
       }},
  };

  for (const Workload& workload : workloads) {
    long calls = 0;
    workload.prepare();
    timeCalls(workload.call, seconds / 4, &calls);  // warm-up
    double runs[3];
    long timed = 0;
    for (double& run : runs) {
      run = timeCalls(workload.call, seconds, &calls);
      timed += calls;
    }
    std::sort(std::begin(runs), std::end(runs));
    std::printf("%s\t%.3f\t%ld\n", workload.name, runs[1], timed);
    std::fflush(stdout);
  }
  if (reports) {
    std::fprintf(stderr, "bench_settings: %d failures reported\n", reports);
    return 1;
  }
  return 0;
}
