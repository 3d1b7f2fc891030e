// Key paths as the command line and .reg files write them: a root
// (HKLM, HKCU, or HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, in any case)
// followed by the subkey path with backslashes.
#ifndef VINTUTIL_CLI_KEY_PATH_H
#define VINTUTIL_CLI_KEY_PATH_H

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

struct KeyPath {
  HKEY root = nullptr;
  std::string subkey;  // without leading or trailing backslash; empty: the root itself

  // The full path with the long root name, as reg.exe and regedit print it.
  std::string Full() const;
  // The path of a subkey below this key.
  KeyPath Child(std::string_view name) const;
};

// Nothing for an unknown root.
std::optional<KeyPath> ParseKeyPath(std::string_view text);

#endif
