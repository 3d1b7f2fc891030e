// The registry functions of advapi32, with Windows' semantics, over the
// hives of hive.h. Argument checks, access rights and the copying of results
// into the caller's buffers live here; storage lives in the hive.
//
// Where Windows leaves an out-argument undefined on failure, these functions
// do what Wine does, so that one conformance suite holds for all three.
#include <windows.h>

#include <cstring>
#include <string>

#include "change_notification.h"
#include "fault_injection.h"
#include "handle_table.h"
#include "key_path.h"

using namespace vreg;

namespace {

// Rights that need a writable hive.
constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

// The rights a new handle gets: those asked for, refused with
// ERROR_ACCESS_DENIED when they include writing to a hive this process may
// not write; MAXIMUM_ALLOWED grants what the hive allows.
LONG grantAccess(Hive& hive, REGSAM desired, REGSAM* granted) {
  // A hive that cannot tell (its server is out of reach) is taken as
  // writable: a write then fails with the reason.
  const bool writable = hive.checkWritable() != ERROR_ACCESS_DENIED;
  if (desired & MAXIMUM_ALLOWED) {
    *granted = (desired & ~MAXIMUM_ALLOWED) | (writable ? KEY_ALL_ACCESS : KEY_READ);
    if (!writable && (*granted & kWriteRights)) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
  }
  if ((desired & kWriteRights) && !writable) return ERROR_ACCESS_DENIED;
  *granted = desired;
  return ERROR_SUCCESS;
}

// Resolves `handle` and checks that it carries `needed` rights.
LONG keyWithAccess(HKEY handle, REGSAM needed, OpenKey* key) {
  LONG resolved = resolveKey(handle, key);
  if (resolved != ERROR_SUCCESS) return resolved;
  return (key->access & needed) == needed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

// Opens the existing key `subKey` below `base` with `desired` rights.
LONG openSubKey(const OpenKey& base, LPCSTR subKey, REGSAM desired, OpenKey* result) {
  std::string relative;
  LONG normalised = normaliseKeyPath(subKey, &relative);
  if (normalised != ERROR_SUCCESS) return normalised;
  result->hive = base.hive;
  result->path = base.path.empty() ? std::move(relative) : joinKeyPath(base.path, relative);
  LONG found = base.hive->findKey(base.key, result->path, &result->key);
  if (found != ERROR_SUCCESS) return found;
  return grantAccess(*base.hive, desired, &result->access);
}

bool isText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Copies a value's data into the caller's buffer of `capacity` bytes, which
// holds it. Text stored without its terminating zero gets one after it when
// the buffer has room, as Windows' ANSI functions do; the size reported
// stays that of the data.
void copyData(DWORD type, const BYTE* data, DWORD size, LPBYTE buffer, DWORD capacity) {
  if (size) memcpy(buffer, data, size);
  if (isText(type) && size && data[size - 1] && size < capacity) buffer[size] = 0;
}

// Copies a name and its terminator into a buffer of `*capacity` characters;
// ERROR_MORE_DATA, with nothing written, when it does not fit.
LONG copyName(std::string_view name, LPSTR buffer, LPDWORD capacity) {
  if (name.size() >= *capacity) return ERROR_MORE_DATA;
  memcpy(buffer, name.data(), name.size());
  buffer[name.size()] = '\0';
  *capacity = DWORD(name.size());
  return ERROR_SUCCESS;
}

void storeFileTime(int64_t ticks, PFILETIME time) {
  if (!time) return;
  time->dwLowDateTime = DWORD(uint64_t(ticks));
  time->dwHighDateTime = DWORD(uint64_t(ticks) >> 32);
}

// An empty or null path on a predefined root names the root itself, whose
// handle is given back as it is.
bool namesTheRoot(HKEY hKey, LPCSTR subKey) {
  return isPredefinedKey(hKey) && (!subKey || !*subKey);
}

// Opens `lpSubKey` below `hKey`, creating it and its missing parents. As on
// Windows, creating a key is checked against what the hive allows, not
// against the rights of the parent's handle. `rootItself`: an empty path on
// a predefined root gives back the root's own handle (RegCreateKeyA).
LONG createKey(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, PHKEY phkResult,
               LPDWORD lpdwDisposition, bool rootItself) {
  OpenKey base, opened;
  LONG result = resolveKey(hKey, &base);
  if (result != ERROR_SUCCESS) return result;
  if (rootItself && namesTheRoot(hKey, lpSubKey)) {
    *phkResult = hKey;
    if (lpdwDisposition) *lpdwDisposition = REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
  }
  *phkResult = nullptr;
  result = openSubKey(base, lpSubKey, samDesired, &opened);
  DWORD disposition = REG_OPENED_EXISTING_KEY;
  if (result == ERROR_FILE_NOT_FOUND) {
    result = grantAccess(*base.hive, samDesired, &opened.access);
    if (result != ERROR_SUCCESS) return result;
    if (LONG writable = base.hive->checkWritable(); writable != ERROR_SUCCESS) return writable;
    if (keyDepth(opened.path) > kMaxKeyDepth) return ERROR_NO_SYSTEM_RESOURCES;
    bool created = false;
    result = base.hive->createKey(base.key, opened.path, &opened.key, &created);
    if (created) disposition = REG_CREATED_NEW_KEY;
  }
  if (result != ERROR_SUCCESS) return result;
  *phkResult = addHandle(std::move(opened));
  if (lpdwDisposition) *lpdwDisposition = disposition;
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                             PHKEY phkResult) {
  (void)ulOptions;  // REG_OPTION_OPEN_LINK and the like have no meaning here
  if (LONG fault = takeFault(REGDIAG_OPEN)) return fault;
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  OpenKey base, opened;
  LONG result = resolveKey(hKey, &base);
  if (result != ERROR_SUCCESS) return result;
  if (namesTheRoot(hKey, lpSubKey)) {
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  *phkResult = nullptr;
  result = openSubKey(base, lpSubKey, samDesired, &opened);
  if (result != ERROR_SUCCESS) return result;
  *phkResult = addHandle(std::move(opened));
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult) {
  if (LONG fault = takeFault(REGDIAG_CREATE)) return fault;
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  return createKey(hKey, lpSubKey, MAXIMUM_ALLOWED, phkResult, nullptr, true);
}

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                               DWORD dwOptions, REGSAM samDesired,
                               const LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                               LPDWORD lpdwDisposition) {
  // Classes, volatility and security descriptors are not kept: every key is
  // stored, and access follows the hive file's permissions.
  (void)Reserved, (void)lpClass, (void)dwOptions, (void)lpSecurityAttributes;
  if (LONG fault = takeFault(REGDIAG_CREATE)) return fault;
  if (!phkResult) return ERROR_BADKEY;
  return createKey(hKey, lpSubKey, samDesired, phkResult, lpdwDisposition, false);
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  if (isPredefinedKey(hKey)) return ERROR_SUCCESS;
  LONG result = closeHandle(hKey);
  if (result == ERROR_SUCCESS) keyHandleClosed(hKey);
  return result;
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
  if (LONG fault = takeFault(REGDIAG_QUERY)) return fault;
  if ((lpData && !lpcbData) || lpReserved) return ERROR_INVALID_PARAMETER;
  OpenKey key;
  LONG result = resolveKey(hKey, &key);
  if (result != ERROR_SUCCESS) return result;
  if (lpType) *lpType = REG_NONE;
  if (!lpData && lpcbData) *lpcbData = 0;
  if (!(key.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  LONG read = key.hive->readValue(key.key, valueName(lpValueName),
                                  [&](DWORD type, const BYTE* data, DWORD size) {
                                    if (lpType) *lpType = type;
                                    if (lpData && size > *lpcbData) {
                                      result = ERROR_MORE_DATA;
                                    } else if (lpData) {
                                      copyData(type, data, size, lpData, *lpcbData);
                                    }
                                    if (lpcbData) *lpcbData = size;
                                  });
  return read != ERROR_SUCCESS ? read : result;
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
  (void)Reserved;  // ignored, as by Windows
  if (LONG fault = takeFault(REGDIAG_SET)) return fault;
  OpenKey key;
  LONG result = keyWithAccess(hKey, KEY_SET_VALUE, &key);
  if (result != ERROR_SUCCESS) return result;
  if (!lpData && cbData) return ERROR_NOACCESS;
  std::string_view name = valueName(lpValueName);
  if (!validValueName(name)) return ERROR_INVALID_PARAMETER;
  if (cbData > kMaxValueSize) return ERROR_NOT_ENOUGH_QUOTA;
  // Text whose size leaves out its terminating zero, where the byte after
  // it is that zero, is stored with it, as Windows' ANSI function does.
  if (isText(dwType) && cbData && lpData[cbData - 1] && !lpData[cbData]) ++cbData;
  return key.hive->writeValue(key.key, name, dwType, lpData, cbData);
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  if (LONG fault = takeFault(REGDIAG_DELETE)) return fault;
  OpenKey key;
  LONG result = keyWithAccess(hKey, KEY_SET_VALUE, &key);
  if (result != ERROR_SUCCESS) return result;
  return key.hive->deleteValue(key.key, valueName(lpValueName));
}

LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  if (LONG fault = takeFault(REGDIAG_DELETE)) return fault;
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  OpenKey base, doomed;
  LONG result = resolveKey(hKey, &base);
  if (result == ERROR_SUCCESS) result = openSubKey(base, lpSubKey, DELETE, &doomed);
  if (result != ERROR_SUCCESS) return result;
  return doomed.hive->deleteKey(doomed.key);
}

LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                             LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                             PFILETIME lpftLastWriteTime) {
  if (LONG fault = takeFault(REGDIAG_ENUM)) return fault;
  if (!lpName || !lpcchName || lpReserved) return ERROR_INVALID_PARAMETER;
  OpenKey key;
  LONG result = keyWithAccess(hKey, KEY_ENUMERATE_SUB_KEYS, &key);
  if (result != ERROR_SUCCESS) return result;
  std::string name;
  int64_t written = 0;
  result = key.hive->enumKey(key.key, dwIndex, &name, &written);
  if (result != ERROR_SUCCESS) return result;
  // Keys have no class: an empty one is reported.
  if (lpClass && lpcchClass && *lpcchClass == 0) return ERROR_MORE_DATA;
  result = copyName(name, lpName, lpcchName);
  if (result != ERROR_SUCCESS) return result;
  if (lpClass && lpcchClass) copyName("", lpClass, lpcchClass);
  storeFileTime(written, lpftLastWriteTime);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                             LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (LONG fault = takeFault(REGDIAG_ENUM)) return fault;
  if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) {
    return ERROR_INVALID_PARAMETER;
  }
  OpenKey key;
  LONG result = keyWithAccess(hKey, KEY_QUERY_VALUE, &key);
  if (result != ERROR_SUCCESS) return result;
  LONG copied = ERROR_SUCCESS;
  result = key.hive->enumValue(
      key.key, dwIndex, [&](std::string_view name, DWORD type, const BYTE* data, DWORD size) {
        const bool nameFits = name.size() < *lpcchValueName;
        const DWORD capacity = lpcbData ? *lpcbData : 0;
        const bool dataFits = !lpData || size <= capacity;
        if (lpcbData) *lpcbData = size;
        if (lpType) *lpType = type;
        if (!nameFits || !dataFits) {
          copied = ERROR_MORE_DATA;
          return;
        }
        copyName(name, lpValueName, lpcchValueName);
        if (lpData) copyData(type, data, size, lpData, capacity);
      });
  return result != ERROR_SUCCESS ? result : copied;
}

LSTATUS WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen,
                                LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
  OpenKey key;
  LONG result = keyWithAccess(hKey, KEY_QUERY_VALUE, &key);
  if (result != ERROR_SUCCESS) return result;
  KeyInfo info;
  result = key.hive->keyInfo(key.key, &info);
  if (result != ERROR_SUCCESS) return result;
  if (lpClass) {
    if (*lpcchClass == 0) return ERROR_MORE_DATA;
    lpClass[0] = '\0';
  }
  const struct {
    LPDWORD out;
    DWORD value;
  } fields[] = {{lpcchClass, 0},
                {lpcSubKeys, info.subKeys},
                {lpcbMaxSubKeyLen, info.maxSubKeyLength},
                {lpcbMaxClassLen, 0},
                {lpcValues, info.values},
                {lpcbMaxValueNameLen, info.maxValueNameLength},
                {lpcbMaxValueLen, info.maxValueSize},
                {lpcbSecurityDescriptor, 0}};
  for (const auto& field : fields) {
    if (field.out) *field.out = field.value;
  }
  storeFileTime(info.lastWrite, lpftLastWriteTime);
  return ERROR_SUCCESS;
}

LSTATUS WINAPI RegFlushKey(HKEY hKey) {
  OpenKey key;
  LONG result = resolveKey(hKey, &key);
  return result == ERROR_SUCCESS ? key.hive->flush(key.key) : result;
}

}  // extern "C"
