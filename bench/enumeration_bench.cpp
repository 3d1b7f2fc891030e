// Enumerating a key's values and exporting the key, per value, for keys of
// 1,000 to 100,000 values: with enumeration costing the same at every index,
// both stay flat as the key grows. The reference, measured in the same run,
// is reading the same values by name (one index lookup each, or the read
// cache), so the ratio is the price of enumeration over lookup at each size.
// The export is a process of its own: its start (about 0.15 s) is spread
// over the values, so its time per value falls towards its flat cost.
//
//   build/bench/bench_enumeration [--benchmark_repetitions=N ...]
#include <windows.h>
#include <registry_diagnostics.h>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

const char kKeyPrefix[] = "Software\\Bench\\Values";
const std::vector<int64_t> kSizes = {1000, 10000, 40000, 100000};

std::string hiveDir;
std::string vintutil;  // the program, for the export

std::string keyOf(int64_t values) { return std::string(kKeyPrefix) + std::to_string(values); }
std::string valueName(int64_t i) { return "value" + std::to_string(i); }

// A fresh registry holding one key per size, with that many REG_SZ values.
void prepareRegistry() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "vintutil-enum-bench-XXXXXX").string();
  if (!mkdtemp(pattern.data())) abort();
  hiveDir = pattern;
  setenv("VINTUTIL_REGISTRY", hiveDir.c_str(), 1);
  RegDiagReset();
  const char data[] = "C:\\Programme\\Torvale\\Varno4\\Grafik\\grafprog.exe";
  for (int64_t size : kSizes) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, keyOf(size).c_str(), &key) != ERROR_SUCCESS) abort();
    for (int64_t i = 0; i < size; ++i) {
      if (RegSetValueExA(key, valueName(i).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                         sizeof data) != ERROR_SUCCESS) {
        abort();
      }
    }
    RegCloseKey(key);
  }
}

HKEY openKey(benchmark::State& state) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyOf(state.range(0)).c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    state.SkipWithError("open failed");
  }
  return key;
}

void EnumerateValues(benchmark::State& state) {
  HKEY key = openKey(state);
  char name[64];
  BYTE data[128];
  for (auto _ : state) {
    for (DWORD i = 0;; ++i) {
      DWORD length = sizeof name, size = sizeof data, type = 0;
      LONG rc = RegEnumValueA(key, i, name, &length, nullptr, &type, data, &size);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc != ERROR_SUCCESS) state.SkipWithError("enumeration failed");
    }
  }
  RegCloseKey(key);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void QueryValuesByName(benchmark::State& state) {
  HKEY key = openKey(state);
  std::vector<std::string> names;
  for (int64_t i = 0; i < state.range(0); ++i) names.push_back(valueName(i));
  BYTE data[128];
  for (auto _ : state) {
    for (const std::string& name : names) {
      DWORD size = sizeof data, type = 0;
      if (RegQueryValueExA(key, name.c_str(), nullptr, &type, data, &size) != ERROR_SUCCESS)
        state.SkipWithError("query failed");
    }
  }
  RegCloseKey(key);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// `vintutil reg export` of the key into a file, as a separate process.
void ExportKey(benchmark::State& state) {
  const std::string file = hiveDir + "/export.reg";
  const std::string key = "HKCU\\" + keyOf(state.range(0));
  posix_spawn_file_actions_t quiet;  // its report line is not wanted here
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  for (auto _ : state) {
    const char* argv[] = {vintutil.c_str(), "reg", "export", key.c_str(),
                          file.c_str(),     "/y",  nullptr};
    pid_t pid = 0;
    int status = 0;
    if (posix_spawn(&pid, vintutil.c_str(), &quiet, nullptr, const_cast<char**>(argv), environ) !=
            0 ||
        waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("export failed");
    }
  }
  posix_spawn_file_actions_destroy(&quiet);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void sizes(benchmark::internal::Benchmark* b) {
  for (int64_t size : kSizes) b->Arg(size);
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(EnumerateValues)->Apply(sizes);
BENCHMARK(QueryValuesByName)->Apply(sizes);
BENCHMARK(ExportKey)->Apply(sizes)->Iterations(1);

// Prints the runs as usual and remembers each one's time per value.
class PerValueReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration && run.aggregate_name != "mean") continue;
      const auto size = std::stoll(run.run_name.args);
      microsecondsPerValue_[run.run_name.function_name][size] =
          run.GetAdjustedRealTime() * 1000.0 / double(size);
    }
  }
  void printTable() {
    std::printf("\n%8s %14s %14s %8s %14s\n", "values", "enum us/value", "query us/value", "ratio",
                "export us/value");
    for (int64_t size : kSizes) {
      const double e = microsecondsPerValue_["EnumerateValues"][size];
      const double q = microsecondsPerValue_["QueryValuesByName"][size];
      const double x = microsecondsPerValue_["ExportKey"][size];
      std::printf("%8lld %14.2f %14.2f %8.2f %14.2f\n", static_cast<long long>(size), e, q,
                  q > 0 ? e / q : 0.0, x);
    }
  }

 private:
  std::map<std::string, std::map<int64_t, double>> microsecondsPerValue_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  vintutil = VINTUTIL_PROGRAM;
  prepareRegistry();
  PerValueReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printTable();
  RegDiagReset();
  std::error_code ignored;
  std::filesystem::remove_all(hiveDir, ignored);
  benchmark::Shutdown();
  return 0;
}
