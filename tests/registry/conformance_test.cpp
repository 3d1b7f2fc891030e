// What the registry functions do, with exact codes and sizes. These tests use
// only the Win32 API, so that they compile against the real windows.h and
// hold on Windows and Wine too. Output arguments are prefilled with sentinels
// (0xcc, 0xdeadbeef) to prove what was and was not written.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "temp_registry.h"

namespace {

const DWORD kSentinel = 0xdeadbeef;

class Conformance : public RegistryTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\VintutilTest", &base_));
  }
  void TearDown() override { RegCloseKey(base_); }

  LONG set(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
    return RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  }
  HKEY open(const char* path, REGSAM access) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(base_, path, 0, access, &key)) << path;
    return key;
  }
  HKEY create(const char* path) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(base_, path, &key)) << path;
    return key;
  }

  HKEY base_ = nullptr;
};

TEST_F(Conformance, ValuesComeBackByteForByteWithTheirType) {
  const DWORD dword = 0x12345678;
  const ULONGLONG qword = 0x1122334455667788ULL;
  const struct {
    const char* name;
    DWORD type;
    std::string data;
  } cases[] = {
      {"text", REG_SZ, std::string("TRUE", 5)},
      {"expand", REG_EXPAND_SZ, std::string("%PATH%", 7)},
      {"multi", REG_MULTI_SZ, std::string("a\0bc\0\0", 6)},
      {"binary", REG_BINARY, std::string("\x00\xff\x01\x80", 4)},
      {"dword", REG_DWORD, std::string(reinterpret_cast<const char*>(&dword), 4)},
      {"qword", REG_QWORD, std::string(reinterpret_cast<const char*>(&qword), 8)},
      {"none", REG_NONE, std::string("xyz", 3)},
      {"empty", REG_BINARY, std::string()},
      {"odd type", 0x12345, std::string("ab", 2)},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(ERROR_SUCCESS, set(base_, c.name, c.type, c.data.data(), DWORD(c.data.size())))
        << c.name;
  }
  for (const auto& c : cases) {
    BYTE buffer[32];
    memset(buffer, 0xcc, sizeof buffer);
    DWORD type = kSentinel, size = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(base_, c.name, nullptr, &type, buffer, &size))
        << c.name;
    EXPECT_EQ(c.type, type) << c.name;
    ASSERT_EQ(c.data.size(), size) << c.name;
    EXPECT_EQ(0, memcmp(buffer, c.data.data(), size)) << c.name;
    EXPECT_EQ(0xcc, buffer[size]) << c.name << ": written past the data";
  }
}

TEST_F(Conformance, NamesAreCaseInsensitiveAndCasePreserving) {
  HKEY created = create("Alpha\\BetaKey");
  RegCloseKey(created);
  HKEY key = open("ALPHA\\betakey", KEY_ALL_ACCESS);
  ASSERT_EQ(ERROR_SUCCESS, set(key, "MixedCase", REG_SZ, "1", 2));
  ASSERT_EQ(ERROR_SUCCESS, set(key, "MIXEDCASE", REG_SZ, "22", 3));

  DWORD size = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "mixedcase", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(3u, size);
  char name[32];
  DWORD length = sizeof name;
  ASSERT_EQ(ERROR_SUCCESS,
            RegEnumValueA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
  EXPECT_STREQ("MixedCase", name);
  EXPECT_EQ(ERROR_NO_MORE_ITEMS,
            RegEnumValueA(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr));
  RegCloseKey(key);

  HKEY alpha = open("alpha", KEY_READ);
  length = sizeof name;
  ASSERT_EQ(ERROR_SUCCESS,
            RegEnumKeyExA(alpha, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
  EXPECT_STREQ("BetaKey", name);
  EXPECT_EQ(7u, length);
  RegCloseKey(alpha);
}

TEST_F(Conformance, NullAndEmptyNameAddressTheUnnamedValue) {
  ASSERT_EQ(ERROR_SUCCESS, set(base_, nullptr, REG_SZ, "default", 8));
  DWORD size = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(base_, "", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(8u, size);
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(base_, ""));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegQueryValueExA(base_, nullptr, nullptr, nullptr, nullptr, &size));
}

TEST_F(Conformance, QueryBufferSizing) {
  ASSERT_EQ(ERROR_SUCCESS, set(base_, "v", REG_BINARY, "abcdef", 6));
  BYTE buffer[8];

  // Too small: the required size and type, the buffer untouched.
  memset(buffer, 0xcc, sizeof buffer);
  DWORD type = kSentinel, size = 5;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(base_, "v", nullptr, &type, buffer, &size));
  EXPECT_EQ(6u, size);
  EXPECT_EQ(DWORD(REG_BINARY), type);
  EXPECT_EQ(0xcc, buffer[0]);

  // A null buffer asks for the size.
  type = kSentinel, size = kSentinel;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(base_, "v", nullptr, &type, nullptr, &size));
  EXPECT_EQ(6u, size);
  EXPECT_EQ(DWORD(REG_BINARY), type);

  // Exactly large enough.
  size = 6;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(base_, "v", nullptr, nullptr, buffer, &size));
  EXPECT_EQ(0, memcmp(buffer, "abcdef", 6));

  // Only the type: an existence test.
  type = kSentinel;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(base_, "v", nullptr, &type, nullptr, nullptr));
  EXPECT_EQ(DWORD(REG_BINARY), type);

  // A buffer without a size, or a reserved argument, is refused.
  type = kSentinel;
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(base_, "v", nullptr, &type, buffer, nullptr));
  EXPECT_EQ(kSentinel, type);
  DWORD reserved = 0;
  size = sizeof buffer;
  EXPECT_EQ(ERROR_INVALID_PARAMETER,
            RegQueryValueExA(base_, "v", &reserved, nullptr, buffer, &size));
}

TEST_F(Conformance, MissingKeysAndValues) {
  BYTE buffer[4] = {0xcc, 0xcc, 0xcc, 0xcc};
  DWORD size = kSentinel;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(base_, "nope", nullptr, nullptr, buffer, &size));
  EXPECT_EQ(kSentinel, size);
  EXPECT_EQ(0xcc, buffer[0]);

  // A failed open creates nothing and gives back no handle.
  HKEY key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0xcc));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(base_, "Missing\\Deeper", 0, KEY_READ, &key));
  EXPECT_EQ(nullptr, key);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(base_, "Missing", 0, KEY_READ, &key));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(base_, "nope"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(base_, "Missing"));
}

TEST_F(Conformance, CreateMakesMissingParentsAndOpensExistingKeys) {
  HKEY key = nullptr;
  DWORD disposition = kSentinel;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(base_, "One\\Two\\Three", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &key, &disposition));
  EXPECT_EQ(DWORD(REG_CREATED_NEW_KEY), disposition);
  ASSERT_EQ(ERROR_SUCCESS, set(key, "v", REG_SZ, "x", 2));
  RegCloseKey(key);

  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(base_, "ONE\\two\\Three", 0, nullptr, 0, KEY_READ,
                                           nullptr, &key, &disposition));
  EXPECT_EQ(DWORD(REG_OPENED_EXISTING_KEY), disposition);
  DWORD size = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size));
  RegCloseKey(key);

  HKEY parent = open("One\\Two", KEY_READ);
  RegCloseKey(parent);

  // RegCreateKeyA on an existing key opens it, with its values.
  key = create("One\\Two\\Three");
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size));
  RegCloseKey(key);
}

TEST_F(Conformance, PathSeparators) {
  HKEY key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0xcc));
  EXPECT_EQ(ERROR_BAD_PATHNAME, RegCreateKeyA(base_, "\\Leading", &key));
  EXPECT_EQ(nullptr, key);
  EXPECT_EQ(ERROR_BAD_PATHNAME, RegOpenKeyExA(base_, "\\Leading", 0, KEY_READ, &key));

  // Trailing and doubled separators are ignored.
  RegCloseKey(create("Sep\\Child\\"));
  RegCloseKey(open("Sep\\\\Child", KEY_READ));
  RegCloseKey(open("Sep\\Child\\", KEY_READ));
}

TEST_F(Conformance, AnEmptyPathOnARootGivesTheRoot) {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &key));
  EXPECT_EQ(HKEY_CURRENT_USER, key);
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, nullptr, 0, KEY_READ, &key));
  EXPECT_EQ(HKEY_LOCAL_MACHINE, key);
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_LOCAL_MACHINE));

  // On another key it gives a new handle to the same key.
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(base_, "", 0, KEY_ALL_ACCESS, &key));
  EXPECT_NE(base_, key);
  ASSERT_EQ(ERROR_SUCCESS, set(key, "v", REG_SZ, "x", 2));
  RegCloseKey(key);
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(base_, "v", nullptr, nullptr, nullptr, nullptr));
}

TEST_F(Conformance, AccessRightsAreCheckedPerHandle) {
  RegCloseKey(create("Sub\\Child"));
  ASSERT_EQ(ERROR_SUCCESS, set(base_, "v", REG_SZ, "x", 2));
  char name[64];
  BYTE data[64];
  auto query = [&](HKEY k) { return RegQueryValueExA(k, "v", nullptr, nullptr, nullptr, nullptr); };
  auto write = [&](HKEY k) { return set(k, "w", REG_SZ, "y", 2); };
  auto remove = [&](HKEY k) { return RegDeleteValueA(k, "nothing"); };
  auto enumKeys = [&](HKEY k) {
    DWORD length = sizeof name;
    return RegEnumKeyExA(k, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
  };
  auto enumValues = [&](HKEY k) {
    DWORD length = sizeof name, size = sizeof data;
    return RegEnumValueA(k, 0, name, &length, nullptr, nullptr, data, &size);
  };
  const struct {
    REGSAM access;
    LONG query, write, remove, enumKeys, enumValues;
  } cases[] = {
      {KEY_QUERY_VALUE, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED,
       ERROR_ACCESS_DENIED, ERROR_SUCCESS},
      {KEY_SET_VALUE, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED,
       ERROR_ACCESS_DENIED},
      {KEY_ENUMERATE_SUB_KEYS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED,
       ERROR_SUCCESS, ERROR_ACCESS_DENIED},
      {KEY_READ, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_SUCCESS,
       ERROR_SUCCESS},
      {KEY_WRITE, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED,
       ERROR_ACCESS_DENIED},
      {KEY_ALL_ACCESS, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_SUCCESS,
       ERROR_SUCCESS},
  };
  for (const auto& c : cases) {
    HKEY key = open("", c.access);
    SCOPED_TRACE(testing::Message() << "access 0x" << std::hex << c.access);
    EXPECT_EQ(c.query, query(key));
    EXPECT_EQ(c.write, write(key));
    EXPECT_EQ(c.remove, remove(key));
    EXPECT_EQ(c.enumKeys, enumKeys(key));
    EXPECT_EQ(c.enumValues, enumValues(key));
    RegCloseKey(key);
  }
}

TEST_F(Conformance, ClosedAndBogusHandlesAreInvalid) {
  HKEY key = create("Closed");
  ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(nullptr));
  // (Wine closes a made-up handle without complaint, so that is not pinned.)
  const HKEY bad[] = {key, nullptr, reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0xdeadbee0))};
  for (HKEY handle : bad) {
    HKEY out = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0xcc));
    DWORD size = 0;
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegQueryValueExA(handle, "v", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_INVALID_HANDLE, set(handle, "v", REG_SZ, "x", 2));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(handle, "x", 0, KEY_READ, &out));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegFlushKey(handle));
  }
}

TEST_F(Conformance, DeletingKeys) {
  RegCloseKey(create("Parent\\Child"));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(base_, "Parent"));  // has a subkey
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyA(base_, nullptr));

  HKEY child = open("Parent\\Child", KEY_ALL_ACCESS);
  ASSERT_EQ(ERROR_SUCCESS, set(child, "v", REG_SZ, "x", 2));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(base_, "PARENT\\child"));
  EXPECT_EQ(ERROR_KEY_DELETED, set(child, "v", REG_SZ, "x", 2));
  EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExA(child, "v", nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(child));

  // A key made again under the same name starts empty.
  child = create("Parent\\Child");
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(child, "v", nullptr, nullptr, nullptr, nullptr));
  RegCloseKey(child);
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(base_, "Parent\\Child"));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(base_, "Parent"));
  HKEY gone = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(base_, "Parent", 0, KEY_READ, &gone));
}

TEST_F(Conformance, EnumeratingSubkeys) {
  for (const char* name : {"charlie", "Alpha", "bravo"}) RegCloseKey(create(name));
  const char* expected[] = {"Alpha", "bravo", "charlie"};
  for (DWORD i = 0; i < 3; ++i) {
    char name[16];
    DWORD length = sizeof name;
    ASSERT_EQ(ERROR_SUCCESS,
              RegEnumKeyExA(base_, i, name, &length, nullptr, nullptr, nullptr, nullptr));
    EXPECT_STREQ(expected[i], name);
    EXPECT_EQ(strlen(expected[i]), length);
  }
  char name[16];
  memset(name, 'z', sizeof name);
  DWORD length = 5;  // "Alpha" needs 6 with its terminator
  EXPECT_EQ(ERROR_MORE_DATA,
            RegEnumKeyExA(base_, 0, name, &length, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(5u, length);
  length = sizeof name;
  EXPECT_EQ(ERROR_NO_MORE_ITEMS,
            RegEnumKeyExA(base_, 3, name, &length, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(DWORD(sizeof name), length);
}

TEST_F(Conformance, EnumeratingValues) {
  ASSERT_EQ(ERROR_SUCCESS, set(base_, "a", REG_SZ, "one", 4));
  ASSERT_EQ(ERROR_SUCCESS, set(base_, "bb", REG_BINARY, "\x01\x02", 2));
  char name[8];
  BYTE data[8];
  DWORD length = sizeof name, type = kSentinel, size = sizeof data;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(base_, 1, name, &length, nullptr, &type, data, &size));
  EXPECT_STREQ("bb", name);
  EXPECT_EQ(2u, length);
  EXPECT_EQ(DWORD(REG_BINARY), type);
  EXPECT_EQ(2u, size);

  // Data too small: the size needed, the name's length untouched.
  length = sizeof name, size = 1;
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(base_, 0, name, &length, nullptr, &type, data, &size));
  EXPECT_EQ(4u, size);
  EXPECT_EQ(DWORD(sizeof name), length);

  length = sizeof name;
  EXPECT_EQ(ERROR_NO_MORE_ITEMS,
            RegEnumValueA(base_, 2, name, &length, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(DWORD(sizeof name), length);
}

TEST_F(Conformance, KeyInformation) {
  RegCloseKey(create("Short"));
  RegCloseKey(create("LongerName"));
  ASSERT_EQ(ERROR_SUCCESS, set(base_, "v", REG_BINARY, "123456789", 9));
  ASSERT_EQ(ERROR_SUCCESS, set(base_, "value", REG_SZ, "x", 2));
  DWORD subKeys = kSentinel, maxSubKey = kSentinel, values = kSentinel, maxName = kSentinel,
        maxData = kSentinel;
  ASSERT_EQ(ERROR_SUCCESS,
            RegQueryInfoKeyA(base_, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr,
                             &values, &maxName, &maxData, nullptr, nullptr));
  EXPECT_EQ(2u, subKeys);
  EXPECT_EQ(10u, maxSubKey);
  EXPECT_EQ(2u, values);
  EXPECT_EQ(5u, maxName);
  EXPECT_EQ(9u, maxData);
}

TEST_F(Conformance, LargeValues) {
  std::vector<BYTE> big(1024 * 1024);
  for (size_t i = 0; i < big.size(); ++i) big[i] = BYTE(i * 7);
  ASSERT_EQ(ERROR_SUCCESS, set(base_, "big", REG_BINARY, big.data(), DWORD(big.size())));
  std::vector<BYTE> back(big.size());
  DWORD size = DWORD(back.size());
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(base_, "big", nullptr, nullptr, back.data(), &size));
  EXPECT_EQ(big.size(), size);
  EXPECT_TRUE(big == back);
}

}  // namespace
