// Key paths and names as the registry API receives them: validation against
// the registry's limits and splitting into components.
#ifndef VINTUTIL_REGISTRY_KEY_PATH_H
#define VINTUTIL_REGISTRY_KEY_PATH_H

#include <registry_limits.h>
#include <windows.h>

#include <string>
#include <string_view>

namespace vreg {

// Longest key name component, in characters.
constexpr size_t kMaxKeyNameLength = REGISTRY_MAX_KEY_NAME_LENGTH;
// Longest value name, in characters.
constexpr size_t kMaxValueNameLength = REGISTRY_MAX_VALUE_NAME_LENGTH;
// Largest value data accepted, in bytes (Windows guarantees at least 1 MiB).
constexpr DWORD kMaxValueSize = REGISTRY_MAX_VALUE_SIZE;

// Normalises a relative key path: `\` separated, empty components (doubled or
// trailing separators) dropped, so "A\\B\" becomes "A\B". Fails with
// ERROR_BAD_PATHNAME for a leading separator and ERROR_INVALID_PARAMETER for
// a component longer than kMaxKeyNameLength. A null path is the empty path.
LONG normaliseKeyPath(LPCSTR path, std::string* out);

// Joins a key's full path and a normalised relative path.
std::string joinKeyPath(std::string_view base, std::string_view relative);

// The last component of a normalised path.
std::string_view lastComponent(std::string_view path);

// A key path or name in the form in which the registry compares names (as
// SQLite's NOCASE collation of the hive's tables: ASCII letters folded).
std::string foldName(std::string_view name);

// The name of a value: null and "" both address the unnamed value.
inline std::string_view valueName(LPCSTR name) { return name ? std::string_view(name) : ""; }

}  // namespace vreg

#endif
