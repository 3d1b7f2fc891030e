// Direct registry access for tests: arrange keys and values, and read back
// exactly what was stored (type and bytes), without the classes under test.
#ifndef VINTUTIL_TESTS_REGISTRY_VALUES_H
#define VINTUTIL_TESTS_REGISTRY_VALUES_H

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

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
inline Value Binary32(unsigned int v) {
  return {REG_BINARY,
          Bytes({int(v & 0xff), int((v >> 8) & 0xff), int((v >> 16) & 0xff), int(v >> 24)})};
}

// A REG_DWORD value, least significant byte first.
inline Value Dword(unsigned int v) { return {REG_DWORD, Binary32(v).bytes}; }

// The key opened (NULL when missing); the caller closes it.
inline HKEY Open(HKEY root, const std::string& path, REGSAM access = KEY_QUERY_VALUE) {
  HKEY key = NULL;
  return RegOpenKeyExA(root, path.c_str(), 0, access, &key) == ERROR_SUCCESS ? key : NULL;
}

inline void CreateKey(HKEY root, const std::string& path) {
  HKEY key = NULL;
  ASSERT_EQ(RegCreateKeyA(root, path.c_str(), &key), ERROR_SUCCESS) << path;
  RegCloseKey(key);
}

inline bool KeyExists(HKEY root, const std::string& path) {
  HKEY key = Open(root, path);
  if (key != NULL) RegCloseKey(key);
  return key != NULL;
}

// Creates the key when missing and stores the value; the code of the first
// call that failed.
inline LONG Set(HKEY root, const std::string& path, const std::string& name, const Value& value) {
  HKEY key = NULL;
  LONG rc = RegCreateKeyA(root, path.c_str(), &key);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueExA(key, name.c_str(), 0, value.type,
                      reinterpret_cast<const BYTE*>(value.bytes.data()),
                      static_cast<DWORD>(value.bytes.size()));
  RegCloseKey(key);
  return rc;
}

inline void Put(HKEY root, const std::string& path, const std::string& name, const Value& value) {
  EXPECT_EQ(Set(root, path, name, value), ERROR_SUCCESS) << path << '\\' << name;
}

inline std::optional<Value> Get(HKEY root, const std::string& path, const std::string& name) {
  HKEY key = Open(root, path);
  if (key == NULL) return std::nullopt;
  Value value{0, std::string(1 << 16, '\0')};
  DWORD size = static_cast<DWORD>(value.bytes.size());
  const LONG result = RegQueryValueExA(key, name.c_str(), NULL, &value.type,
                                       reinterpret_cast<BYTE*>(value.bytes.data()), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return std::nullopt;
  value.bytes.resize(size);
  return value;
}

// Deletes the value; the code of the first call that failed.
inline LONG Delete(HKEY root, const std::string& path, const std::string& name) {
  HKEY key = NULL;
  LONG rc = RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, &key);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegDeleteValueA(key, name.c_str());
  RegCloseKey(key);
  return rc;
}

// Deletes a key with all its subkeys (RegDeleteKeyA deletes only leaves).
inline void DeleteTree(HKEY root, const std::string& path) {
  HKEY key = Open(root, path, KEY_ALL_ACCESS);
  if (key == NULL) return;
  char name[256];
  for (DWORD length = sizeof name;
       RegEnumKeyExA(key, 0, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
       length = sizeof name) {
    DeleteTree(key, name);
  }
  RegCloseKey(key);
  RegDeleteKeyA(root, path.c_str());
}

// The names of a key's subkeys, in the registry's order (up to 1,023 bytes each).
inline std::vector<std::string> SubKeys(HKEY key) {
  std::vector<std::string> names;
  char name[1024];
  DWORD length = sizeof name;
  for (DWORD i = 0; RegEnumKeyExA(key, i, name, &length, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
       ++i, length = sizeof name) {
    names.push_back(name);
  }
  return names;
}

// Number of values under a key (0 for a missing key).
inline DWORD ValueCount(HKEY root, const std::string& path) {
  HKEY key = Open(root, path);
  DWORD count = 0;
  if (key == NULL) return 0;
  RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, &count, NULL, NULL, NULL, NULL);
  RegCloseKey(key);
  return count;
}

}  // namespace regtest

// The sections of the settings store, and their values read back and
// arranged under HKEY_LOCAL_MACHINE.
inline const std::string kBase = "SOFTWARE\\TORVALE\\VARNO4\\";
inline const std::string kStoerschrieb = kBase + "STOERSCHRIEB";
inline const std::string kSchnittstellen = kBase + "SCHNITTSTELLEN";
inline const std::string kOptionen = kBase + "OPTIONEN";
inline const std::string kProgramme = kBase + "PROGRAMME";
inline const std::string kVedorir = kBase + "VEDORIR";
inline const std::string kUserInfo = kBase + "USERINFO";

inline std::optional<regtest::Value> Stored(const std::string& key, const std::string& name) {
  return regtest::Get(HKEY_LOCAL_MACHINE, key, name);
}
inline void Store(const std::string& key, const std::string& name, const regtest::Value& value) {
  regtest::Put(HKEY_LOCAL_MACHINE, key, name, value);
}

#endif
