// Key paths and names as the registry API receives them: validation against
// the registry's limits and splitting into components.
#ifndef VINTUTIL_REGISTRY_KEY_PATH_H
#define VINTUTIL_REGISTRY_KEY_PATH_H

#include <registry_limits.h>
#include <windows.h>

#include <string>
#include <string_view>

namespace vreg {

// Longest key name component and longest value name, in characters as
// Windows counts them: UTF-16 units.
constexpr size_t kMaxKeyNameLength = REGISTRY_MAX_KEY_NAME_LENGTH;
constexpr size_t kMaxValueNameLength = REGISTRY_MAX_VALUE_NAME_LENGTH;
// Deepest key: levels below the root. Creating a deeper key fails with
// ERROR_NO_SYSTEM_RESOURCES, as on Windows.
constexpr size_t kMaxKeyDepth = REGISTRY_MAX_KEY_DEPTH;
// Largest value data accepted, in bytes (Windows guarantees at least 1 MiB);
// more fails with ERROR_NOT_ENOUGH_QUOTA.
constexpr DWORD kMaxValueSize = REGISTRY_MAX_VALUE_SIZE;

// Normalises a relative key path: `\` separated, empty components (doubled or
// trailing separators) dropped, so "A\\B\" becomes "A\B". Fails with
// ERROR_BAD_PATHNAME for a leading separator and ERROR_INVALID_PARAMETER for
// a component longer than kMaxKeyNameLength. A null path is the empty path.
LONG normaliseKeyPath(LPCSTR path, std::string* out);

// Whether a value name is within kMaxValueNameLength.
bool validValueName(std::string_view name);

// The number of levels of a normalised full path ("" is the root, 0).
size_t keyDepth(std::string_view path);

// Joins a key's full path and a normalised relative path.
std::string joinKeyPath(std::string_view base, std::string_view relative);

// The name of a value: null and "" both address the unnamed value.
inline std::string_view valueName(LPCSTR name) { return name ? std::string_view(name) : ""; }

}  // namespace vreg

#endif
