// A private, empty registry for one test: a fresh directory of hives named by
// VINTUTIL_REGISTRY, removed again when the test ends.
#ifndef VINTUTIL_TESTS_TEMP_REGISTRY_H
#define VINTUTIL_TESTS_TEMP_REGISTRY_H

#include <string>

#include <gtest/gtest.h>

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

 private:
  std::string dir_;
};

// Fixture for tests that use the registry: each test starts on an empty
// registry of its own, with no fault pending.
class RegistryTest : public ::testing::Test {
 protected:
  TempRegistry registry_;
};

#endif
