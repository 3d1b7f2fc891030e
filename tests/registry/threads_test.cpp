// Handles are process-wide and thread-safe: threads opening, writing,
// reading and closing at once, some through one shared handle.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "registry_values.h"
#include "temp_registry.h"

namespace {

using Threads = RegistryTest;

TEST_F(Threads, ConcurrentCallsKeepEveryValueAndHandle) {
  constexpr int kThreads = 4, kRounds = 200;
  HKEY shared = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Threads", &shared));
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        const std::string name = "t" + std::to_string(t) + "_" + std::to_string(i);
        HKEY own = nullptr;
        DWORD value = DWORD(t * kRounds + i), back = 0, size = sizeof back;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Threads", 0, KEY_ALL_ACCESS, &own) ||
            RegSetValueExA(own, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4) ||
            RegQueryValueExA(shared, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&back),
                             &size) ||
            back != value || RegCloseKey(own)) {
          ++failures;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(0, failures.load());
  EXPECT_EQ(DWORD(kThreads * kRounds), regtest::ValueCount(HKEY_CURRENT_USER, "Software\\Threads"));
  RegCloseKey(shared);
}

}  // namespace
