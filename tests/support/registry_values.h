// Direct registry access for tests: arrange keys and values, and read back
// exactly what was stored (type and bytes), without the classes under test.
#ifndef VINTUTIL_TESTS_REGISTRY_VALUES_H
#define VINTUTIL_TESTS_REGISTRY_VALUES_H

#include <initializer_list>
#include <optional>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

namespace regtest {

// A stored value: its type and its bytes.
struct Value {
  DWORD type;
  std::string bytes;
  bool operator==(const Value& other) const { return type == other.type && bytes == other.bytes; }
};

inline std::ostream& operator<<(std::ostream& out, const Value& value) {
  out << "type " << value.type << ", " << value.bytes.size() << " bytes:";
  for (unsigned char ch : value.bytes) out << ' ' << std::hex << static_cast<int>(ch) << std::dec;
  return out;
}

// Bytes from numbers: Bytes({0x07, 0, 0, 0}).
inline std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

// A REG_SZ value as a writer of this suite stores it: the text and its zero.
inline Value Text(const std::string& text) { return {REG_SZ, text + '\0'}; }

// A 4-byte REG_BINARY integer, least significant byte first.
inline Value Binary32(unsigned int value) {
  return {REG_BINARY,
          Bytes({static_cast<int>(value & 0xff), static_cast<int>((value >> 8) & 0xff),
                 static_cast<int>((value >> 16) & 0xff), static_cast<int>(value >> 24)})};
}

inline void CreateKey(HKEY root, const std::string& path) {
  HKEY key = NULL;
  ASSERT_EQ(RegCreateKeyA(root, path.c_str(), &key), ERROR_SUCCESS) << path;
  RegCloseKey(key);
}

inline bool KeyExists(HKEY root, const std::string& path) {
  HKEY key = NULL;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Creates the key when missing and stores the value.
inline void Put(HKEY root, const std::string& path, const std::string& name, const Value& value) {
  HKEY key = NULL;
  ASSERT_EQ(RegCreateKeyA(root, path.c_str(), &key), ERROR_SUCCESS) << path;
  EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, value.type,
                           reinterpret_cast<const BYTE*>(value.bytes.data()),
                           static_cast<DWORD>(value.bytes.size())),
            ERROR_SUCCESS)
      << path << '\\' << name;
  RegCloseKey(key);
}

inline std::optional<Value> Get(HKEY root, const std::string& path, const std::string& name) {
  HKEY key = NULL;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::optional<Value> result;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key, name.c_str(), NULL, &type, NULL, &size) == ERROR_SUCCESS) {
    std::string bytes(size, '\0');
    if (RegQueryValueExA(key, name.c_str(), NULL, &type, reinterpret_cast<BYTE*>(bytes.data()),
                         &size) == ERROR_SUCCESS) {
      bytes.resize(size);
      result = Value{type, bytes};
    }
  }
  RegCloseKey(key);
  return result;
}

inline void Delete(HKEY root, const std::string& path, const std::string& name) {
  HKEY key = NULL;
  ASSERT_EQ(RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS) << path;
  RegDeleteValueA(key, name.c_str());
  RegCloseKey(key);
}

// Deletes a key with all its subkeys (RegDeleteKeyA deletes only leaves).
inline void DeleteTree(HKEY root, const std::string& path) {
  HKEY key = NULL;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  char name[256];
  DWORD length = sizeof name;
  while (RegEnumKeyExA(key, 0, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS) {
    DeleteTree(key, name);
    length = sizeof name;
  }
  RegCloseKey(key);
  RegDeleteKeyA(root, path.c_str());
}

// Number of values under a key (0 for a missing key).
inline DWORD ValueCount(HKEY root, const std::string& path) {
  HKEY key = NULL;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 0;
  DWORD count = 0;
  RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, &count, NULL, NULL, NULL, NULL);
  RegCloseKey(key);
  return count;
}

}  // namespace regtest

#endif
