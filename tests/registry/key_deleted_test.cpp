// A handle to a deleted key keeps answering ERROR_KEY_DELETED after a key of
// the same path has been made again: the handle refers to the key, not to
// its path, and the new key is left alone. Win32 API only: holds on Windows
// and Wine too.
#include <windows.h>

#include "temp_registry.h"

namespace {

TEST_F(RegistryTest, AHandleToADeletedKeyDoesNotReachItsSuccessor) {
  HKEY base = nullptr, old = nullptr, successor = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\VintutilTest", &base));
  // The newest key of the hive: the one whose number a new key would reuse.
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(base, "Gone", &old));
  const DWORD data = 7;
  const BYTE* bytes = reinterpret_cast<const BYTE*>(&data);
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(old, "v", 0, REG_DWORD, bytes, sizeof data));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(base, "Gone"));
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(base, "Gone", &successor));

  DWORD got = 0, size = sizeof got;
  EXPECT_EQ(ERROR_KEY_DELETED,
            RegQueryValueExA(old, "v", nullptr, nullptr, reinterpret_cast<BYTE*>(&got), &size));
  EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExA(old, "w", 0, REG_DWORD, bytes, sizeof data));
  EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteValueA(old, "v"));
  char name[8];
  DWORD nameSize = sizeof name;
  EXPECT_EQ(ERROR_KEY_DELETED,
            RegEnumValueA(old, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr));
  HKEY sub = nullptr;
  EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyA(old, "Sub", &sub));

  // The successor got nothing through the old handle.
  DWORD values = 99, subKeys = 99;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(successor, nullptr, nullptr, nullptr, &subKeys, nullptr,
                                            nullptr, &values, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(0u, values);
  EXPECT_EQ(0u, subKeys);

  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(old));
  RegCloseKey(successor);
  RegDeleteKeyA(base, "Gone");
  RegCloseKey(base);
}

}  // namespace
