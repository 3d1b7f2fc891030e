// The test diagnostics: handle counting, injected faults, reset. POSIX only.
#include <windows.h>
#include <registry_diagnostics.h>

#include "registry_values.h"
#include "temp_registry.h"

namespace {

using Diagnostics = RegistryTest;

TEST_F(Diagnostics, CountsOpenHandles) {
  EXPECT_EQ(0, RegDiagOpenHandleCount());
  HKEY a = nullptr, b = nullptr, root = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\A", &a));
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(a, "", 0, KEY_READ, &b));
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &root));
  EXPECT_EQ(2, RegDiagOpenHandleCount());  // the root is not a new handle
  RegCloseKey(a);
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(a));
  EXPECT_EQ(1, RegDiagOpenHandleCount());
  RegCloseKey(b);
  EXPECT_EQ(0, RegDiagOpenHandleCount());
}

TEST_F(Diagnostics, TheNthCallFailsWithTheGivenCodeAndTouchesNothing) {
  const char kPath[] = "Software\\F";
  const regtest::Value x = regtest::Text("x");
  ASSERT_EQ(ERROR_SUCCESS, regtest::Set(HKEY_CURRENT_USER, kPath, "v", x));
  HKEY key = regtest::Open(HKEY_CURRENT_USER, kPath, KEY_ALL_ACCESS);

  RegDiagFailNth(REGDIAG_QUERY, 2, ERROR_REGISTRY_IO_FAILED);
  RegDiagFailNth(REGDIAG_SET, 1, ERROR_DISK_FULL);
  DWORD type = 0xdeadbeef, size = 0xdeadbeef;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "v", nullptr, &type, nullptr, &size));
  type = size = 0xdeadbeef;
  EXPECT_EQ(ERROR_REGISTRY_IO_FAILED, RegQueryValueExA(key, "v", nullptr, &type, nullptr, &size));
  EXPECT_EQ(0xdeadbeefu, type);
  EXPECT_EQ(0xdeadbeefu, size);
  EXPECT_EQ(ERROR_DISK_FULL, regtest::Set(HKEY_CURRENT_USER, kPath, "v", regtest::Text("changed")));
  EXPECT_EQ(x, regtest::Get(HKEY_CURRENT_USER, kPath, "v")) << "a failed write stores nothing";

  // Each call kind counts on its own; RegCreateKeyA counts as a create only.
  RegDiagFailNth(REGDIAG_OPEN, 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(ERROR_SUCCESS, regtest::Set(HKEY_CURRENT_USER, kPath, "v", x));
  HKEY other = reinterpret_cast<HKEY>(0xcc);
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExA(HKEY_CURRENT_USER, kPath, 0, KEY_READ, &other));
  EXPECT_EQ(reinterpret_cast<HKEY>(0xcc), other);

  RegDiagFailNth(REGDIAG_ENUM, 1, ERROR_BUSY);
  RegDiagFailNth(REGDIAG_DELETE, 1, ERROR_BUSY);
  RegDiagClearFaults();
  char name[8];
  DWORD length = sizeof name;
  EXPECT_EQ(ERROR_SUCCESS,
            RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "v"));
  RegCloseKey(key);
}

TEST_F(Diagnostics, ResetInvalidatesHandlesAndRereadsTheLocation) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\R", &key));
  RegDiagReset();
  EXPECT_EQ(0, RegDiagOpenHandleCount());
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, nullptr));
  TempRegistry elsewhere;  // points VINTUTIL_REGISTRY at a new, empty directory
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\R", 0, KEY_READ, &key));
}

}  // namespace
