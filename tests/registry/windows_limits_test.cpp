// Windows behaviour that Wine does not reproduce (Wine 8 accepts longer
// names, re-terminates REG_SZ data and lets a read-only handle create
// subkeys). These tests hold on Windows and on this registry; a Wine run
// of the suite excludes them by their suite name.
#include <windows.h>

#include <string>
#include <vector>

#include "temp_registry.h"

namespace {

class WindowsOnly : public RegistryTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\VintutilTest", &base_));
  }
  void TearDown() override { RegCloseKey(base_); }
  HKEY base_ = nullptr;
};

TEST_F(WindowsOnly, KeyNameComponentsAreLimitedTo255Characters) {
  HKEY key = nullptr;
  const std::string longest(255, 'k');
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(base_, longest.c_str(), &key));
  RegCloseKey(key);
  const std::string tooLong = "Parent\\" + std::string(256, 'k');
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyA(base_, tooLong.c_str(), &key));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyExA(base_, tooLong.c_str(), 0, KEY_READ, &key));
  // Nothing was created, not even the parent.
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(base_, "Parent", 0, KEY_READ, &key));
}

TEST_F(WindowsOnly, ValueNamesAreLimitedTo16383Characters) {
  const std::string longest(16383, 'v');
  const std::string tooLong(16384, 'v');
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(base_, longest.c_str(), 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>("x"), 2));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExA(base_, tooLong.c_str(), 0, REG_SZ,
                                                    reinterpret_cast<const BYTE*>("x"), 2));
  DWORD values = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(base_, nullptr, nullptr, nullptr, nullptr, nullptr,
                                            nullptr, &values, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(1u, values);
}

TEST_F(WindowsOnly, TextIsNeverReterminated) {
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExA(base_, "sz", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3));
  BYTE buffer[8] = {0xcc, 0xcc, 0xcc, 0xcc, 0xcc, 0xcc, 0xcc, 0xcc};
  DWORD size = 3;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(base_, "sz", nullptr, nullptr, buffer, &size));
  EXPECT_EQ(3u, size);
  EXPECT_EQ(0xcc, buffer[3]);
}

TEST_F(WindowsOnly, CreatingASubkeyNeedsTheRightToCreateOne) {
  HKEY reader = nullptr, key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(base_, "", 0, KEY_READ, &reader));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyA(reader, "New", &key));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(base_, "New", 0, KEY_READ, &key));
  // Opening an existing key through RegCreateKeyA needs no right on the parent.
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(base_, "Existing", &key));
  RegCloseKey(key);
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(reader, "Existing", &key));
  RegCloseKey(key);
  RegCloseKey(reader);
}

}  // namespace
