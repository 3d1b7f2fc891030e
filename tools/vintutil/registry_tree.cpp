#include "registry_tree.h"

#include <registry_limits.h>

#include <algorithm>
#include <string>

#ifndef _WIN32
#include <registry_diagnostics.h>
#endif

KeyHandle::~KeyHandle() { Close(); }

void KeyHandle::Close() {
  if (owned_) RegCloseKey(key_);
  key_ = nullptr;
  owned_ = false;
}

LONG KeyHandle::Open(const KeyPath& path, REGSAM access) {
  Close();
  if (path.subkey.empty()) {
    key_ = path.root;
    return ERROR_SUCCESS;
  }
  const LONG rc = RegOpenKeyExA(path.root, path.subkey.c_str(), 0, access, &key_);
  owned_ = rc == ERROR_SUCCESS;
  if (!owned_) key_ = nullptr;
  return rc;
}

LONG KeyHandle::Create(const KeyPath& path) {
  Close();
  if (path.subkey.empty()) {
    key_ = path.root;
    return ERROR_SUCCESS;
  }
  const LONG rc = RegCreateKeyExA(path.root, path.subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key_, nullptr);
  owned_ = rc == ERROR_SUCCESS;
  if (!owned_) key_ = nullptr;
  return rc;
}

LONG ReadValues(HKEY key, std::vector<RegFileValue>& values) {
  std::vector<char> name(256);
  std::vector<unsigned char> data(1024);
  for (DWORD index = 0;;) {
    DWORD nameLen = static_cast<DWORD>(name.size());
    DWORD dataLen = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LONG rc =
        RegEnumValueA(key, index, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen);
    if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (rc == ERROR_MORE_DATA) {
      // Grow whichever buffer was short and ask for the same value again.
      name.resize(std::max<size_t>(name.size() * 2, nameLen + 1));
      data.resize(std::max<size_t>(data.size(), dataLen) * 2);
      continue;
    }
    if (rc != ERROR_SUCCESS) return rc;
    RegFileValue value;
    value.name.assign(name.data(), nameLen);
    value.type = type;
    value.data.assign(data.begin(), data.begin() + dataLen);
    values.push_back(std::move(value));
    ++index;
  }
}

LONG ReadValue(HKEY key, const std::string& name, RegFileValue& value) {
  DWORD size = 0;
  DWORD type = 0;
  LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
  if (rc != ERROR_SUCCESS) return rc;
  value.name = name;
  value.type = type;
  value.data.resize(size);
  rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, value.data.data(), &size);
  value.data.resize(size);
  return rc;
}

LONG SetValueBytes(HKEY key, const std::string& name, uint32_t type,
                   const std::vector<unsigned char>& data) {
  std::vector<unsigned char> guarded(data);
  guarded.push_back(0xff);
  return RegSetValueExA(key, name.c_str(), 0, type, guarded.data(),
                        static_cast<DWORD>(data.size()));
}

LONG WriteValue(HKEY key, const RegFileValue& value) {
  if (value.remove) return RegDeleteValueA(key, value.name.c_str());
  return SetValueBytes(key, value.name, value.type, value.data);
}

LONG ReadSubkeyNames(HKEY key, std::vector<std::string>& names) {
  std::vector<char> name(256);
  for (DWORD index = 0;;) {
    DWORD nameLen = static_cast<DWORD>(name.size());
    const LONG rc =
        RegEnumKeyExA(key, index, name.data(), &nameLen, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (rc == ERROR_MORE_DATA) {
      name.resize(name.size() * 2);
      continue;
    }
    if (rc != ERROR_SUCCESS) return rc;
    names.emplace_back(name.data(), nameLen);
    ++index;
  }
}

LONG ReadTree(const KeyPath& path, std::vector<RegFileKey>& keys,
              const std::function<void(size_t keysRead)>& onKey) {
  KeyHandle key;
  LONG rc = key.Open(path, KEY_READ);
  if (rc != ERROR_SUCCESS) return rc;
  RegFileKey block;
  block.path = path.Full();
  std::vector<std::string> subkeys;
  if ((rc = ReadValues(key.get(), block.values)) != ERROR_SUCCESS ||
      (rc = ReadSubkeyNames(key.get(), subkeys)) != ERROR_SUCCESS) {
    return rc;
  }
  keys.push_back(std::move(block));
  if (onKey) onKey(keys.size());
  for (const std::string& name : subkeys) {
    if ((rc = ReadTree(path.Child(name), keys, onKey)) != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

LONG DeleteTree(const KeyPath& path) {
  std::vector<std::string> subkeys;
  {
    KeyHandle key;
    LONG rc = key.Open(path, KEY_READ);
    if (rc == ERROR_SUCCESS) rc = ReadSubkeyNames(key.get(), subkeys);
    if (rc != ERROR_SUCCESS) return rc;
  }
  for (const std::string& name : subkeys) {
    const LONG rc = DeleteTree(path.Child(name));
    if (rc != ERROR_SUCCESS) return rc;
  }
  return RegDeleteKeyA(path.root, path.subkey.c_str());
}

bool KeyExists(const KeyPath& path) {
  KeyHandle key;
  return key.Open(path, KEY_QUERY_VALUE) == ERROR_SUCCESS;
}

namespace {

// Why the registry stand-in last refused a hive file, as ": <file>: <what is
// wrong>"; nothing when it refused none (and on Windows).
std::string HiveFileRefusal() {
#ifdef _WIN32
  return "";
#else
  char text[1024];
  return RegDiagLastRefusal(text, sizeof text) > 0 ? std::string(": ") + text : "";
#endif
}

}  // namespace

std::string RegistryErrorText(LONG error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return "the key or value does not exist";
    case ERROR_ACCESS_DENIED:
      return "access is denied" + HiveFileRefusal();
    case ERROR_BUSY:
      return "the registry is busy";
    case ERROR_BAD_NETPATH:
      return "the machine hive's server cannot be reached" + HiveFileRefusal();
    case ERROR_NOT_SUPPORTED:
      return "not supported for the machine hive on a server";
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_NAME:
      return "a name or the data is beyond the registry's limits (key names of " +
             std::to_string(REGISTRY_MAX_KEY_NAME_LENGTH) + " characters, " +
             std::to_string(REGISTRY_MAX_KEY_DEPTH) + " levels of keys, value names of " +
             std::to_string(REGISTRY_MAX_VALUE_NAME_LENGTH) + " characters, " +
             std::to_string(REGISTRY_MAX_VALUE_SIZE) + " bytes of data)";
    case ERROR_BADDB:
    case ERROR_REGISTRY_CORRUPT:
      return "the hive file is damaged";
    case ERROR_CANTOPEN:
    case ERROR_CANTREAD:
    case ERROR_CANTWRITE:
    case ERROR_REGISTRY_IO_FAILED:
      return "the hive file cannot be read or written";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "the disk is full";
    case ERROR_NOT_ENOUGH_QUOTA:
      return "the data is larger than a value may hold (4 MiB)";
    case ERROR_NO_SYSTEM_RESOURCES:
      return "keys nest at most 512 levels deep";
    default:
      return "registry error " + std::to_string(error);
  }
}
