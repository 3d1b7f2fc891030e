// Several processes with several threads each change and read one hive at
// once, with every operation. Each thread owns some keys ("slots") and
// publishes the state of each in shared memory after every acknowledged
// change; every thread checks, after each of its steps, a random slot of any
// owner against that state, and in the end every process checks every slot.
// A result kept by one process's cache past another's write shows here.
// POSIX only.
#include <windows.h>

#include <sys/mman.h>

#include <atomic>
#include <cstdio>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "registry_values.h"
#include "stress_scale.h"
#include "temp_registry.h"

namespace {

constexpr int kProcesses = 3, kThreads = 2, kOwners = kProcesses * kThreads;
constexpr int kSlotsPerOwner = 4, kStepsPerThread = 500;
const char kValue[] = "v";

struct Expected {
  bool keyExists, valuePresent;
  DWORD data;
};

// What a slot holds after its owner's last acknowledged change. The
// sequence number is odd while the owner changes the slot (a seqlock):
// readers check only what they read between two equal even numbers.
struct SlotState {
  std::atomic<uint32_t> sequence{0}, keyExists{0}, valuePresent{0}, data{0};
  Expected load() const { return {keyExists != 0, valuePresent != 0, data}; }
  void store(const Expected& e) {
    keyExists = e.keyExists;
    valuePresent = e.valuePresent;
    data = e.data;
  }
};

struct Shared {
  SlotState slots[kOwners][kSlotsPerOwner];
  std::atomic<long> changes{0}, checks{0}, failures{0};
  std::atomic<int> processesDone{0};
};

std::string slotPath(int owner, int slot) {
  return "SOFTWARE\\Stress\\O" + std::to_string(owner) + "\\S" + std::to_string(slot);
}

void failure(Shared* shared, const std::string& what) {
  if (shared->failures.fetch_add(1) < 10)
    std::fprintf(stderr, "pid %d: %s\n", getpid(), what.c_str());
}

// Reads the slot through every read operation; what differs from `e`, or "".
std::string compareSlot(int owner, int slot, const Expected& e) {
  const std::string path = slotPath(owner, slot);
  HKEY key = nullptr;
  LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key);
  if (opened != (e.keyExists ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND)) {
    if (opened == ERROR_SUCCESS) RegCloseKey(key);
    return path + ": open gave " + std::to_string(opened);
  }
  if (!e.keyExists) return "";
  DWORD data = 0, size = sizeof data, type = 0, values = 99, nameSize = 8;
  char name[8];
  LONG queried =
      RegQueryValueExA(key, kValue, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  LONG info = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr);
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
  const uint32_t before = s.sequence;
  if (before & 1) return;
  const std::string difference = compareSlot(owner, slot, s.load());
  if (s.sequence != before) return;
  shared->checks.fetch_add(1);
  if (!difference.empty()) failure(shared, difference);
}

void checkEverySlot(Shared* shared) {
  for (int owner = 0; owner < kOwners; ++owner) {
    for (int slot = 0; slot < kSlotsPerOwner; ++slot) checkSlot(shared, owner, slot);
  }
}

// The owner's change of one of its slots: set the value (creating the key),
// delete the value, or delete the key, each checked for its result and read
// back at once.
void changeSlot(Shared* shared, int owner, int slot, std::mt19937& random) {
  SlotState& s = shared->slots[owner][slot];
  const std::string path = slotPath(owner, slot);
  Expected e = s.load();
  s.sequence.fetch_add(1);
  const unsigned pick = random() % 10;
  LONG result, expected = ERROR_SUCCESS;
  if (pick < 6) {
    const DWORD data = random();
    result = regtest::Set(HKEY_LOCAL_MACHINE, path, kValue, regtest::Dword(data));
    e = {true, true, data};
  } else if (pick < 8) {
    result = regtest::Delete(HKEY_LOCAL_MACHINE, path, kValue);
    if (!e.valuePresent) expected = ERROR_FILE_NOT_FOUND;
    e.valuePresent = false;
  } else {
    result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
    if (!e.keyExists) expected = ERROR_FILE_NOT_FOUND;
    e = {false, false, 0};
  }
  if (result != expected) {
    failure(shared, path + ": change " + std::to_string(pick) + " gave " + std::to_string(result) +
                        ", expected " + std::to_string(expected));
  }
  shared->changes.fetch_add(1);
  shared->checks.fetch_add(1);
  const std::string difference = compareSlot(owner, slot, e);
  if (!difference.empty()) failure(shared, "own read-back: " + difference);
  s.store(e);
  s.sequence.fetch_add(1);
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
  shared->processesDone.fetch_add(1);
  while (shared->processesDone < kProcesses)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  checkEverySlot(shared);
  return 0;
}

using Stress = RegistryTest;

TEST_F(Stress, EveryAcknowledgedChangeReadsBackInEveryProcess) {
  void* memory =
      mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(MAP_FAILED, memory);
  Shared* shared = new (memory) Shared;
  // The parent reads before and after: its cache must follow.
  checkEverySlot(shared);
  registry_.quietBeforeForks();
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
