// Several processes with several threads each change and read one hive at
// once, with every operation. Each thread owns some keys ("slots") and
// publishes the state of each in shared memory after every acknowledged
// change; every thread checks, after each of its steps, a random slot of any
// owner against that state, and in the end every process checks every slot.
// A result kept by one process's cache past another's write shows here.
// POSIX only.
#include <windows.h>
#include <registry_diagnostics.h>

#include <sys/mman.h>

#include <atomic>
#include <cstdio>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "stress_scale.h"
#include "temp_registry.h"

namespace {

constexpr int kProcesses = 3;
constexpr int kThreads = 2;
constexpr int kOwners = kProcesses * kThreads;
constexpr int kSlotsPerOwner = 4;
constexpr int kStepsPerThread = 500;
const char kValue[] = "v";

// What a slot holds after its owner's last acknowledged change. The
// sequence number is odd while the owner changes the slot (a seqlock):
// readers check only what they read between two equal even numbers.
struct SlotState {
  std::atomic<uint32_t> sequence{0};
  std::atomic<uint32_t> keyExists{0};
  std::atomic<uint32_t> valuePresent{0};
  std::atomic<uint32_t> data{0};
};

struct Shared {
  SlotState slots[kOwners][kSlotsPerOwner];
  std::atomic<long> changes{0};
  std::atomic<long> checks{0};
  std::atomic<long> failures{0};
  std::atomic<int> processesDone{0};
};

std::string slotPath(int owner, int slot) {
  return "SOFTWARE\\Stress\\O" + std::to_string(owner) + "\\S" + std::to_string(slot);
}

void failure(Shared* shared, const std::string& what) {
  if (shared->failures.fetch_add(1) < 10)
    std::fprintf(stderr, "pid %d: %s\n", getpid(), what.c_str());
}

struct Expected {
  bool keyExists, valuePresent;
  DWORD data;
};

// Reads the slot through every read operation; what differs from `e`, or
// nothing.
std::string compareSlot(int owner, int slot, const Expected& e) {
  const std::string path = slotPath(owner, slot);
  HKEY key = nullptr;
  LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key);
  if (opened != (e.keyExists ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND)) {
    if (opened == ERROR_SUCCESS) RegCloseKey(key);
    return path + ": open gave " + std::to_string(opened);
  }
  if (!e.keyExists) return "";
  DWORD data = 0, size = sizeof data, type = 0, values = 99;
  LONG queried =
      RegQueryValueExA(key, kValue, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  LONG info = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr);
  char name[8];
  DWORD nameSize = sizeof name;
  LONG enumerated = RegEnumValueA(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(key);
  const bool right =
      info == ERROR_SUCCESS &&
      (e.valuePresent
           ? queried == ERROR_SUCCESS && data == e.data && type == REG_DWORD && values == 1 &&
                 enumerated == ERROR_SUCCESS
           : queried == ERROR_FILE_NOT_FOUND && values == 0 && enumerated == ERROR_NO_MORE_ITEMS);
  if (right) return "";
  return path + ": expected " + (e.valuePresent ? std::to_string(e.data) : "no value") +
         ", query " + std::to_string(queried) + " data " + std::to_string(data) + ", values " +
         std::to_string(values) + ", enum " + std::to_string(enumerated);
}

// Checks the slot when no change of it was under way while it was read.
void checkSlot(Shared* shared, int owner, int slot) {
  SlotState& s = shared->slots[owner][slot];
  const uint32_t before = s.sequence.load();
  if (before & 1) return;
  Expected e{s.keyExists.load() != 0, s.valuePresent.load() != 0, s.data.load()};
  std::string difference = compareSlot(owner, slot, e);
  if (s.sequence.load() != before) return;
  shared->checks.fetch_add(1);
  if (!difference.empty()) failure(shared, difference);
}

// The owner's change of one of its slots: set the value, delete the value,
// or delete the key, each checked for its result and read back at once.
void changeSlot(Shared* shared, int owner, int slot, std::mt19937& random) {
  SlotState& s = shared->slots[owner][slot];
  const std::string path = slotPath(owner, slot);
  Expected e{s.keyExists.load() != 0, s.valuePresent.load() != 0, s.data.load()};
  s.sequence.fetch_add(1);
  const unsigned pick = random() % 10;
  LONG result, expected;
  if (pick < 6) {
    HKEY key = nullptr;
    DWORD data = random();
    result = RegCreateKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &key);
    if (result == ERROR_SUCCESS) {
      result =
          RegSetValueExA(key, kValue, 0, REG_DWORD, reinterpret_cast<BYTE*>(&data), sizeof data);
      RegCloseKey(key);
    }
    expected = ERROR_SUCCESS;
    e = {true, true, data};
  } else if (pick < 8) {
    HKEY key = nullptr;
    result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key);
    if (result == ERROR_SUCCESS) {
      result = RegDeleteValueA(key, kValue);
      RegCloseKey(key);
    }
    expected = !e.keyExists     ? ERROR_FILE_NOT_FOUND
               : e.valuePresent ? ERROR_SUCCESS
                                : ERROR_FILE_NOT_FOUND;
    e.valuePresent = false;
  } else {
    result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
    expected = e.keyExists ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    e = {false, false, 0};
  }
  if (result != expected) {
    failure(shared, path + ": change " + std::to_string(pick) + " gave " + std::to_string(result) +
                        ", expected " + std::to_string(expected));
  }
  shared->changes.fetch_add(1);
  shared->checks.fetch_add(1);
  std::string difference = compareSlot(owner, slot, e);
  if (!difference.empty()) failure(shared, "own read-back: " + difference);
  s.keyExists.store(e.keyExists);
  s.valuePresent.store(e.valuePresent);
  s.data.store(e.data);
  s.sequence.fetch_add(1);
}

void checkEverySlot(Shared* shared) {
  for (int owner = 0; owner < kOwners; ++owner) {
    for (int slot = 0; slot < kSlotsPerOwner; ++slot) checkSlot(shared, owner, slot);
  }
}

int runProcess(Shared* shared, int process, int steps) {
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([=] {
      const int owner = process * kThreads + t;
      std::mt19937 random(unsigned(owner) * 7919u + 1);
      for (int step = 0; step < steps; ++step) {
        changeSlot(shared, owner, int(random() % kSlotsPerOwner), random);
        checkSlot(shared, int(random() % kOwners), int(random() % kSlotsPerOwner));
        if (step % 64 == 63) RegFlushKey(HKEY_LOCAL_MACHINE);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  // Once every process is done, each checks every slot.
  shared->processesDone.fetch_add(1);
  while (shared->processesDone.load() < kProcesses)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  checkEverySlot(shared);
  return 0;
}

TEST(Stress, EveryAcknowledgedChangeReadsBackInEveryProcess) {
  TempRegistry registry;
  void* memory =
      mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(MAP_FAILED, memory);
  Shared* shared = new (memory) Shared;
  // The parent reads before, during and after: its cache must follow.
  checkEverySlot(shared);
  const int steps = kStepsPerThread * stressScale();
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    children.push_back(startChild([=] { return runProcess(shared, p, steps); }));
  }
  for (pid_t child : children) EXPECT_EQ(0, waitChild(child));
  checkEverySlot(shared);

  const long expectedChecks = long(kOwners) * (steps * 2 + kOwners * kSlotsPerOwner);
  std::printf("stress: %d processes x %d threads, %ld changes, %ld checks, %ld failures\n",
              kProcesses, kThreads, shared->changes.load(), shared->checks.load(),
              shared->failures.load());
  EXPECT_EQ(0, shared->failures.load());
  EXPECT_EQ(long(kOwners) * steps, shared->changes.load());
  EXPECT_GT(shared->checks.load(), expectedChecks / 2) << "most checks were skipped";
  munmap(memory, sizeof(Shared));
}

}  // namespace
