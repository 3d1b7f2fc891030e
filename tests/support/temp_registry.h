// A private, empty registry for one test: a fresh directory of hives named by
// VINTUTIL_REGISTRY, removed again when the test ends. When the tests run on
// a server (VINTUTIL_TEST_SERVER, Linux only), the machine hive is a fresh
// database of that server instead of the file in the directory.
#ifndef VINTUTIL_TESTS_TEMP_REGISTRY_H
#define VINTUTIL_TESTS_TEMP_REGISTRY_H

#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

class ServedHive;

class TempRegistry {
 public:
  TempRegistry();
  ~TempRegistry();
  TempRegistry(const TempRegistry&) = delete;
  TempRegistry& operator=(const TempRegistry&) = delete;

  // The directory that holds the hives.
  const std::string& dir() const { return dir_; }
  std::string machineHive() const { return dir_ + "/machine.db"; }
  std::string userHive() const;

  // Whether the machine hive is served.
  bool served() const { return served_ != nullptr; }
  // The root that tests of the registry's semantics write under: the user
  // hive, or the machine hive when it is served, so that one suite holds
  // for both kinds of hive.
  HKEY root() const { return served() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }
  const char* rootName() const { return served() ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER"; }
  // Waits until the served hive's background work (its replica's copy) has
  // taken in every change made so far, so that a test may count the
  // process's threads' wake-ups or descriptors at rest. Linux only.
  void settle() const;
  // Ends the served hive's threads in this process before it forks children
  // that write at once: those threads react to the children's writes, and a
  // child forked while one of them held a lock of the address sanitizer's
  // allocator would hang at its next allocation. The hive is made anew at
  // the next call. Linux only.
  void quietBeforeForks() const;

 private:
  std::string dir_;
  // Shared only to be destroyed where ServedHive is known (never on Windows).
  std::shared_ptr<ServedHive> served_;
};

// Fixture for tests that use the registry: each test starts on an empty
// registry of its own, with no fault pending.
class RegistryTest : public ::testing::Test {
 protected:
  TempRegistry registry_;
};

#endif
