// What the registry functions do, with exact codes and sizes. These tests use
// only the Win32 API, so that they compile against the real windows.h and
// hold on Windows and Wine too. Output arguments are prefilled with sentinels
// (0xcc, 0xdeadbeef) to prove what was and was not written.
#include <windows.h>

#include <array>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "temp_registry.h"
#include "wine_difference.h"

namespace {

const DWORD kSentinel = 0xdeadbeef;
const HKEY kBogus = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0xcc));

LONG set(HKEY key, const char* name, DWORD type, const std::string& data) {
  return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                        DWORD(data.size()));
}
LONG setText(HKEY key, const char* name, const char* text) {
  return set(key, name, REG_SZ, std::string(text, strlen(text) + 1));
}
// Sets `size` bytes of `bytes`, which may go on beyond them.
LONG setBytes(HKEY key, const char* name, DWORD type, const char* bytes, DWORD size) {
  return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes), size);
}
// Whether the value exists: ERROR_SUCCESS or the reason it cannot be read.
LONG query(HKEY key, const char* name) {
  return RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
}
LONG enumKey(HKEY key, DWORD index, char* name, DWORD* length) {
  return RegEnumKeyExA(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
}
LONG enumValueName(HKEY key, DWORD index, char* name, DWORD* length) {
  return RegEnumValueA(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
}
// Subkeys, longest subkey name, values, longest value name, largest data.
using KeyInfo = std::array<DWORD, 5>;
KeyInfo keyInfo(HKEY key) {
  KeyInfo n = {kSentinel, kSentinel, kSentinel, kSentinel, kSentinel};
  EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &n[0], &n[1], nullptr,
                                            &n[2], &n[3], &n[4], nullptr, nullptr));
  return n;
}

class Conformance : public RegistryTest {
 protected:
  void SetUp() override {
    // Under the suite's tree, which Windows runs clear before each test.
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyA(registry_.root(), "SOFTWARE\\TORVALE\\Conformance", &base_));
  }
  void TearDown() override { RegCloseKey(base_); }

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

// A registry nothing was written to has the keys programs expect to find.
using NewRegistry = RegistryTest;

TEST_F(NewRegistry, HasSoftwareAndTheRegionalSettingsKey) {
  const struct {
    HKEY root;
    const char* path;
  } keys[] = {
      {HKEY_LOCAL_MACHINE, "SOFTWARE"},
      {HKEY_CURRENT_USER, "Software"},
      {HKEY_CURRENT_USER, "Control Panel\\International"},
  };
  for (const auto& k : keys) {
    HKEY key = kBogus;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(k.root, k.path, 0, KEY_READ, &key)) << k.path;
    RegCloseKey(key);
  }
  // SOFTWARE is among the machine root's subkeys, under that name.
  char name[256];
  std::string software;
  DWORD length = sizeof name;
  for (DWORD i = 0; enumKey(HKEY_LOCAL_MACHINE, i, name, &length) == ERROR_SUCCESS;
       ++i, length = sizeof name) {
    std::string upper = name;
    for (char& c : upper) c = char(toupper(static_cast<unsigned char>(c)));
    if (upper == "SOFTWARE") software = name;
  }
  EXPECT_FALSE(software.empty());
  WINE_DIFFERENCE("Wine names it Software")
  EXPECT_EQ("SOFTWARE", software);
}

TEST_F(Conformance, ValuesComeBackByteForByteWithTheirType) {
  const DWORD dword = 0x12345678;
  const ULONGLONG qword = 0x1122334455667788ULL;
  std::string large(1024 * 1024, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = char(i * 7);
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
      {"large", REG_BINARY, large},
  };
  for (const auto& c : cases)
    ASSERT_EQ(ERROR_SUCCESS, set(base_, c.name, c.type, c.data)) << c.name;
  for (const auto& c : cases) {
    std::vector<BYTE> buffer(c.data.size() + 1, 0xcc);
    DWORD type = kSentinel, size = DWORD(buffer.size());
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(base_, c.name, nullptr, &type, buffer.data(), &size))
        << c.name;
    EXPECT_EQ(c.type, type) << c.name;
    ASSERT_EQ(c.data.size(), size) << c.name;
    EXPECT_EQ(0, memcmp(buffer.data(), c.data.data(), size)) << c.name;
    EXPECT_EQ(0xcc, buffer[size]) << c.name << ": written past the data";
  }
}

TEST_F(Conformance, NamesAreCaseInsensitiveAndCasePreserving) {
  RegCloseKey(create("Alpha\\BetaKey"));
  HKEY key = open("ALPHA\\betakey", KEY_ALL_ACCESS);
  ASSERT_EQ(ERROR_SUCCESS, setText(key, "MixedCase", "1"));
  ASSERT_EQ(ERROR_SUCCESS, setText(key, "MIXEDCASE", "22"));
  DWORD size = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "mixedcase", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(3u, size);
  char name[32];
  DWORD length = sizeof name;
  ASSERT_EQ(ERROR_SUCCESS, enumValueName(key, 0, name, &length));
  EXPECT_STREQ("MixedCase", name);
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, enumValueName(key, 1, name, &length));
  RegCloseKey(key);

  HKEY alpha = open("alpha", KEY_READ);
  length = sizeof name;
  ASSERT_EQ(ERROR_SUCCESS, enumKey(alpha, 0, name, &length));
  EXPECT_STREQ("BetaKey", name);
  EXPECT_EQ(7u, length);
  RegCloseKey(alpha);

  // A null and an empty name both address the unnamed value.
  ASSERT_EQ(ERROR_SUCCESS, setText(base_, nullptr, "default"));
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(base_, "", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(8u, size);
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(base_, ""));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, query(base_, nullptr));
}

// Reads of a value or key under one spelling see writes and deletions under
// another at once, in the same process.
TEST_F(Conformance, ReadsFollowChangesMadeUnderAnotherCase) {
  char data[8];
  auto read = [&](HKEY key, const char* name) {
    memset(data, 0, sizeof data);
    DWORD size = sizeof data - 1;
    LONG result =
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    return result == ERROR_SUCCESS ? std::string(data) : "error " + std::to_string(result);
  };
  ASSERT_EQ(ERROR_SUCCESS, setText(base_, "Value", "old"));
  EXPECT_EQ("old", read(base_, "Value"));
  ASSERT_EQ(ERROR_SUCCESS, setText(base_, "VALUE", "new"));
  EXPECT_EQ("new", read(base_, "Value"));
  HKEY other = open("", KEY_ALL_ACCESS);
  EXPECT_EQ("new", read(other, "value"));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(other, "vALUE"));
  EXPECT_EQ("error 2", read(base_, "Value"));
  RegCloseKey(other);

  RegCloseKey(create("Key"));
  HKEY key = open("Key", KEY_READ);
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(base_, "KEY"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(base_, "Key", 0, KEY_READ, &key));
  RegCloseKey(create("kEY"));
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(base_, "Key", 0, KEY_READ, &key));
  RegCloseKey(key);
}

// Text whose size leaves out its terminating zero, read and written through
// the ANSI functions: a zero right after the data given is counted too, and
// a zero is added after stored text that lacks one when the buffer has room
// (the size reported is the data's).
TEST_F(Conformance, TextWithoutItsTerminator) {
  static const char kText[] = "FullString";
  const DWORD length = DWORD(strlen(kText));
  for (DWORD type : {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ}) {
    SCOPED_TRACE(testing::Message() << "type " << type);
    // Size without the terminator, and a zero after the data: stored with it.
    ASSERT_EQ(ERROR_SUCCESS, setBytes(base_, "counted", type, kText, length));
    BYTE buffer[16];
    memset(buffer, 0xcc, sizeof buffer);
    DWORD size = length;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(base_, "counted", nullptr, nullptr, buffer, &size));
    EXPECT_EQ(length + 1, size);

    // Two short of the text: nothing is added, "FullStrin" is stored.
    const DWORD shortened = length - 1;
    ASSERT_EQ(ERROR_SUCCESS, setBytes(base_, "cut", type, kText, shortened));
    size = kSentinel;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(base_, "cut", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(shortened, size);

    // Read back into a buffer of its size, then one byte larger.
    const struct {
      DWORD capacity;
      BYTE after;  // the byte after the data
    } reads[] = {{shortened, 0xcc}, {shortened + 1, 0}};
    for (const auto& r : reads) {
      SCOPED_TRACE(testing::Message() << "buffer of " << r.capacity);
      memset(buffer, 0xcc, sizeof buffer);
      DWORD queried = r.capacity, valueType = kSentinel;
      ASSERT_EQ(ERROR_SUCCESS,
                RegQueryValueExA(base_, "cut", nullptr, &valueType, buffer, &queried));
      EXPECT_EQ(type, valueType);
      EXPECT_EQ(shortened, queried);
      EXPECT_EQ(0, memcmp(buffer, kText, shortened));
      EXPECT_EQ(r.after, buffer[shortened]);

      memset(buffer, 0xcc, sizeof buffer);
      char name[8];
      DWORD nameLength = sizeof name, enumerated = r.capacity;
      ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(base_, 1, name, &nameLength, nullptr, &valueType,
                                             buffer, &enumerated));
      EXPECT_STREQ("cut", name);
      EXPECT_EQ(shortened, enumerated);
      EXPECT_EQ(0, memcmp(buffer, kText, shortened));
      EXPECT_EQ(r.after, buffer[shortened]);
    }
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(base_, "counted"));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(base_, "cut"));
  }
  // Other types are stored and read exactly as given.
  ASSERT_EQ(ERROR_SUCCESS, setBytes(base_, "binary", REG_BINARY, kText, length));
  BYTE buffer[16];
  memset(buffer, 0xcc, sizeof buffer);
  DWORD size = sizeof buffer;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(base_, "binary", nullptr, nullptr, buffer, &size));
  EXPECT_EQ(length, size);
  EXPECT_EQ(0xcc, buffer[length]);
}

TEST_F(Conformance, QueryBufferSizing) {
  ASSERT_EQ(ERROR_SUCCESS, set(base_, "v", REG_BINARY, "abcdef"));
  BYTE buffer[8];
  memset(buffer, 0xcc, sizeof buffer);
  // Too small: the required size and type, the buffer untouched.
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
  size = 6;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(base_, "v", nullptr, nullptr, buffer, &size));
  EXPECT_EQ(0, memcmp(buffer, "abcdef", 6));
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
  HKEY key = kBogus;
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
  ASSERT_EQ(ERROR_SUCCESS, setText(key, "v", "x"));
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(base_, "ONE\\two\\Three", 0, nullptr, 0, KEY_READ,
                                           nullptr, &key, &disposition));
  EXPECT_EQ(DWORD(REG_OPENED_EXISTING_KEY), disposition);
  EXPECT_EQ(ERROR_SUCCESS, query(key, "v"));
  RegCloseKey(key);
  RegCloseKey(open("One\\Two", KEY_READ));
  // RegCreateKeyA on an existing key opens it, with its values.
  key = create("One\\Two\\Three");
  EXPECT_EQ(ERROR_SUCCESS, query(key, "v"));
  RegCloseKey(key);
  // Without a place for the handle nothing is created.
  WINE_DIFFERENCE("Wine 8 writes the handle through the null pointer")
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyA(base_, "Unheld", nullptr));
  WINE_DIFFERENCE("Wine 8 writes the handle through the null pointer")
  EXPECT_EQ(ERROR_BADKEY,
            RegCreateKeyExA(base_, "Unheld", 0, nullptr, 0, KEY_READ, nullptr, nullptr, nullptr));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(base_, "Unheld", 0, KEY_READ, &key));
}

TEST_F(Conformance, PathSeparators) {
  HKEY key = kBogus;
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
  const HKEY root = registry_.root();
  // RegCreateKeyA gives back the root itself too.
  for (const char* empty : {"", static_cast<const char*>(nullptr)}) {
    key = kBogus;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(root, empty, &key));
    WINE_DIFFERENCE("Wine gives a new handle to the root")
    EXPECT_EQ(root, key);
    RegCloseKey(key);
  }
  // RegCreateKeyExA opens the root anew: a handle of its own.
  DWORD disposition = kSentinel;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(root, "", 0, nullptr, 0, KEY_READ, nullptr, &key, &disposition));
  EXPECT_NE(root, key);
  WINE_DIFFERENCE("Wine reports the root as created")
  EXPECT_EQ(DWORD(REG_OPENED_EXISTING_KEY), disposition);
  char name[64];
  DWORD length = sizeof name;
  EXPECT_EQ(ERROR_SUCCESS, enumKey(key, 0, name, &length));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  // On another key it gives a new handle to the same key.
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(base_, "", 0, KEY_ALL_ACCESS, &key));
  EXPECT_NE(base_, key);
  ASSERT_EQ(ERROR_SUCCESS, setText(key, "v", "x"));
  RegCloseKey(key);
  EXPECT_EQ(ERROR_SUCCESS, query(base_, "v"));
}

TEST_F(Conformance, AccessRightsAreCheckedPerHandle) {
  RegCloseKey(create("Sub\\Child"));
  ASSERT_EQ(ERROR_SUCCESS, setText(base_, "v", "x"));
  char name[64];
  BYTE data[64];
  auto enumKeys = [&](HKEY k) {
    DWORD length = sizeof name;
    return enumKey(k, 0, name, &length);
  };
  auto enumValues = [&](HKEY k) {
    DWORD length = sizeof name, size = sizeof data;
    return RegEnumValueA(k, 0, name, &length, nullptr, nullptr, data, &size);
  };
  const LONG ok = ERROR_SUCCESS, denied = ERROR_ACCESS_DENIED, missing = ERROR_FILE_NOT_FOUND;
  const struct {
    REGSAM access;
    LONG query, write, remove, enumKeys, enumValues;
  } cases[] = {
      {KEY_QUERY_VALUE, ok, denied, denied, denied, ok},
      {KEY_SET_VALUE, denied, ok, missing, denied, denied},
      {KEY_ENUMERATE_SUB_KEYS, denied, denied, denied, ok, denied},
      {KEY_READ, ok, denied, denied, ok, ok},
      {KEY_WRITE, denied, ok, missing, denied, denied},
      {KEY_ALL_ACCESS, ok, ok, missing, ok, ok},
  };
  for (const auto& c : cases) {
    HKEY key = open("", c.access);
    SCOPED_TRACE(testing::Message() << "access 0x" << std::hex << c.access);
    EXPECT_EQ(c.query, query(key, "v"));
    EXPECT_EQ(c.write, setText(key, "w", "y"));
    EXPECT_EQ(c.remove, RegDeleteValueA(key, "nothing"));
    EXPECT_EQ(c.enumKeys, enumKeys(key));
    EXPECT_EQ(c.enumValues, enumValues(key));
    RegCloseKey(key);
  }
}

// Creating and deleting a subkey are checked against what the key allows,
// not against the rights of the parent's handle: a handle with only read
// rights does both.
TEST_F(Conformance, SubkeysAreCreatedAndDeletedThroughAReadOnlyHandle) {
  for (REGSAM access : {REGSAM(KEY_READ), REGSAM(KEY_QUERY_VALUE)}) {
    SCOPED_TRACE(testing::Message() << "access 0x" << std::hex << access);
    HKEY reader = open("", access), key = kBogus;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(reader, "New", &key));
    RegCloseKey(key);
    DWORD disposition = kSentinel;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(reader, "New\\Deeper", 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, &disposition));
    EXPECT_EQ(DWORD(REG_CREATED_NEW_KEY), disposition);
    EXPECT_EQ(ERROR_SUCCESS, setText(key, "v", "x"));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(reader, "New\\Deeper"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(reader, "New"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(base_, "New", 0, KEY_READ, &key));
    RegCloseKey(reader);
  }
}

TEST_F(Conformance, ClosedAndBogusHandlesAreInvalid) {
  HKEY key = create("Closed");
  ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(nullptr));
  // (Wine closes a made-up handle without complaint, so that is not pinned.)
  for (HKEY handle : {key, HKEY(nullptr), reinterpret_cast<HKEY>(ULONG_PTR(0xdeadbee0))}) {
    HKEY out = kBogus;
    DWORD size = 0;
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegQueryValueExA(handle, "v", nullptr, nullptr, nullptr, &size));
    EXPECT_EQ(ERROR_INVALID_HANDLE, setText(handle, "v", "x"));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegFlushKey(handle));
    // A failed open or create through an invalid parent leaves the result alone.
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExA(handle, "x", 0, KEY_READ, &out));
    WINE_DIFFERENCE("Wine nulls the result")
    EXPECT_EQ(kBogus, out);
    out = kBogus;
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCreateKeyA(handle, "x", &out));
    WINE_DIFFERENCE("Wine nulls the result")
    EXPECT_EQ(kBogus, out);
    out = kBogus;
    EXPECT_EQ(ERROR_INVALID_HANDLE,
              RegCreateKeyExA(handle, "x", 0, nullptr, 0, KEY_READ, nullptr, &out, nullptr));
    WINE_DIFFERENCE("Wine nulls the result")
    EXPECT_EQ(kBogus, out);
  }
}

// A handle to a deleted key answers ERROR_KEY_DELETED, also once a key of
// the same path has been made again: it refers to the key, not to its path.
TEST_F(Conformance, DeletingKeys) {
  RegCloseKey(create("Parent\\Child"));  // the hive's newest key: its number is reused next
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(base_, "Parent"));  // has a subkey
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyA(base_, nullptr));
  HKEY old = open("Parent\\Child", KEY_ALL_ACCESS);
  ASSERT_EQ(ERROR_SUCCESS, setText(old, "v", "x"));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(base_, "PARENT\\child"));
  EXPECT_EQ(ERROR_KEY_DELETED, query(old, "v"));

  HKEY successor = create("Parent\\Child"), sub = nullptr;
  char name[8];
  DWORD length = sizeof name;
  EXPECT_EQ(ERROR_KEY_DELETED, query(old, "v"));
  EXPECT_EQ(ERROR_KEY_DELETED, setText(old, "w", "x"));
  EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteValueA(old, "v"));
  EXPECT_EQ(ERROR_KEY_DELETED, enumValueName(old, 0, name, &length));
  EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyA(old, "Sub", &sub));
  EXPECT_EQ(ERROR_KEY_DELETED, RegFlushKey(old));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(old));
  EXPECT_EQ(KeyInfo{}, keyInfo(successor))
      << "the new key starts empty and got nothing through the old handle";
  RegCloseKey(successor);

  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(base_, "Parent\\Child"));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(base_, "Parent"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(base_, "Parent", 0, KEY_READ, &old));
}

// Subkeys enumerate in case-insensitive order, values in creation order; the
// key's figures are the largest of each, wherever it stands.
TEST_F(Conformance, EnumeratingAndKeyInformation) {
  for (const char* name : {"charlie", "Bravo-long", "alpha"}) RegCloseKey(create(name));
  // The largest data is binary: Windows keeps text as UTF-16, twice its size.
  ASSERT_EQ(ERROR_SUCCESS, set(base_, "a", REG_BINARY, "123456789"));
  ASSERT_EQ(ERROR_SUCCESS, setText(base_, "bb", "one"));
  char name[16];
  DWORD length;
  const char* expected[] = {"alpha", "Bravo-long", "charlie"};
  for (DWORD i = 0; i < 3; ++i) {
    length = sizeof name;
    ASSERT_EQ(ERROR_SUCCESS, enumKey(base_, i, name, &length));
    EXPECT_STREQ(expected[i], name);
    EXPECT_EQ(strlen(expected[i]), length);
  }
  length = 5;  // "alpha" needs 6 with its terminator
  EXPECT_EQ(ERROR_MORE_DATA, enumKey(base_, 0, name, &length));
  EXPECT_EQ(5u, length);
  length = sizeof name;
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, enumKey(base_, 3, name, &length));
  EXPECT_EQ(DWORD(sizeof name), length);

  BYTE data[8];
  DWORD type = kSentinel, size = sizeof data;
  length = sizeof name;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(base_, 1, name, &length, nullptr, &type, data, &size));
  EXPECT_STREQ("bb", name);
  EXPECT_EQ(2u, length);
  EXPECT_EQ(DWORD(REG_SZ), type);
  EXPECT_EQ(4u, size);
  // Data or name too small: the size needed and the type, the name's length
  // and both buffers untouched.
  const struct { DWORD length, size; } tooSmall[] = {{sizeof name, 1}, {1, sizeof data}};
  for (const auto& c : tooSmall) {
    SCOPED_TRACE(testing::Message() << "name " << c.length << ", data " << c.size);
    memset(name, 0xcc, sizeof name);
    memset(data, 0xcc, sizeof data);
    length = c.length, size = c.size, type = kSentinel;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueA(base_, 0, name, &length, nullptr, &type, data, &size));
    EXPECT_EQ(9u, size);
    EXPECT_EQ(DWORD(REG_BINARY), type);
    EXPECT_EQ(c.length, length);
    EXPECT_EQ(0xcc, data[0]);
    EXPECT_EQ('\xcc', name[0]);
  }
  length = sizeof name;
  EXPECT_EQ(ERROR_NO_MORE_ITEMS, enumValueName(base_, 2, name, &length));
  EXPECT_EQ(DWORD(sizeof name), length);

  EXPECT_EQ((KeyInfo{3, 10, 2, 2, 9}), keyInfo(base_));
}

TEST_F(Conformance, NamesAreLimitedTo255CharactersPerKeyAnd16383PerValue) {
  RegCloseKey(create(std::string(255, 'k').c_str()));
  const std::string tooLong = "Parent\\" + std::string(256, 'k');
  HKEY key = nullptr;
  WINE_DIFFERENCE("Wine refuses a longer key name with ERROR_MORE_DATA")
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyA(base_, tooLong.c_str(), &key));
  WINE_DIFFERENCE("Wine refuses a longer key name with ERROR_MORE_DATA")
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyExA(base_, tooLong.c_str(), 0, KEY_READ, &key));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(base_, "Parent", 0, KEY_READ, &key))
      << "nothing was created, not even the parent";
  EXPECT_EQ(ERROR_SUCCESS, setText(base_, std::string(16383, 'v').c_str(), "x"));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, setText(base_, std::string(16384, 'v').c_str(), "x"));
  EXPECT_EQ(1u, keyInfo(base_)[2]) << "values";
}

}  // namespace
