// Reading and writing whole keys through the registry API: the values of a
// key, its subkeys, a subtree as .reg key blocks, and deletion of a subtree.
// Every function returns a Win32 error code (ERROR_SUCCESS on success).
#ifndef VINTUTIL_CLI_REGISTRY_TREE_H
#define VINTUTIL_CLI_REGISTRY_TREE_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "key_path.h"
#include "reg_file.h"

// An open key, closed when it goes out of scope.
class KeyHandle {
 public:
  KeyHandle() = default;
  ~KeyHandle();
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;

  // Opens an existing key (the root itself when the subkey is empty).
  LONG Open(const KeyPath& path, REGSAM access);
  // Opens the key, creating it and missing parents.
  LONG Create(const KeyPath& path);

  HKEY get() const { return key_; }

 private:
  void Close();
  HKEY key_ = nullptr;
  bool owned_ = false;
};

// The values of an open key, in the registry's order.
LONG ReadValues(HKEY key, std::vector<RegFileValue>& values);

// One value of an open key ("" = the default value).
LONG ReadValue(HKEY key, const std::string& name, RegFileValue& value);

// The names of the subkeys of an open key.
LONG ReadSubkeyNames(HKEY key, std::vector<std::string>& names);

// Sets the value to exactly the bytes given. RegSetValueExA, as Windows'
// ANSI function, stores a terminating zero that text leaves out when the
// byte after the data is zero; the bytes are passed with a nonzero byte
// after them, so that what a file or command gave is what is stored.
LONG SetValueBytes(HKEY key, const std::string& name, uint32_t type,
                   const std::vector<unsigned char>& data);

// Sets the value, or deletes it when value.remove is set.
LONG WriteValue(HKEY key, const RegFileValue& value);

// The key and everything below it, depth first, as .reg key blocks;
// `onKey`, when given, hears the number of blocks after each one read.
LONG ReadTree(const KeyPath& path, std::vector<RegFileKey>& keys,
              const std::function<void(size_t keysRead)>& onKey = {});

// Deletes the key and everything below it.
LONG DeleteTree(const KeyPath& path);

// Whether the key exists.
bool KeyExists(const KeyPath& path);

// The system's text for a registry error code.
std::string RegistryErrorText(LONG error);

#endif
