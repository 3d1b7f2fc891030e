// One hive: a registry tree stored in one SQLite database file.
//
// This is the storage seam of the registry: the API layer (registry_api.cpp)
// speaks Windows semantics and calls only this interface, which speaks keys
// by id and full path. Every method is thread-safe and returns a Win32 code.
//
// A hive that does not exist yet reads as a new one would be made (see
// buildNewHive); the first write creates it. A file that is not recognised as a hive, or that turns
// out to be damaged, makes every call fail with ERROR_BADDB and is never written.
#ifndef VINTUTIL_REGISTRY_HIVE_H
#define VINTUTIL_REGISTRY_HIVE_H

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "hive_location.h"

namespace vreg {

using KeyId = int64_t;
constexpr KeyId kRootKey = 1;

// Receives a value while the storage holds its bytes.
using ValueVisitor = std::function<void(DWORD type, const BYTE* data, DWORD size)>;
using NamedValueVisitor =
    std::function<void(std::string_view name, DWORD type, const BYTE* data, DWORD size)>;

struct KeyInfo {
  DWORD subKeys = 0;
  DWORD maxSubKeyLength = 0;  // characters, without terminator
  DWORD values = 0;
  DWORD maxValueNameLength = 0;
  DWORD maxValueSize = 0;
  int64_t lastWrite = 0;  // FILETIME ticks
};

class Hive {
 public:
  explicit Hive(HiveLocation location);
  ~Hive();
  Hive(const Hive&) = delete;
  Hive& operator=(const Hive&) = delete;

  // ERROR_SUCCESS when this process may write the hive (or create it).
  LONG checkWritable();

  // Where the hive's file is.
  const HiveLocation& location() const;
  // Creates the hive and its change counter when missing, with a write that
  // changes nothing (change watchers sleep on the counter).
  LONG prepareForWatch();

  // The key at `path` (a full normalised path, "" for the root). `base` is
  // the key the caller started from: if it was deleted, ERROR_KEY_DELETED.
  LONG findKey(KeyId base, std::string_view path, KeyId* key);
  // Creates `path` and any missing keys above it in one transaction.
  LONG createKey(KeyId base, std::string_view path, KeyId* key, bool* created);
  // Deletes a key without subkeys, with its values.
  LONG deleteKey(KeyId key);

  LONG readValue(KeyId key, std::string_view name, const ValueVisitor& visit);
  LONG writeValue(KeyId key, std::string_view name, DWORD type, const BYTE* data, DWORD size);
  LONG deleteValue(KeyId key, std::string_view name);

  // Subkeys in case-insensitive name order; values in the order created.
  LONG enumKey(KeyId key, DWORD index, std::string* name, int64_t* lastWrite);
  LONG enumValue(KeyId key, DWORD index, const NamedValueVisitor& visit);
  LONG keyInfo(KeyId key, KeyInfo* info);

  // Forces every committed write of the hive to stable storage;
  // ERROR_KEY_DELETED when `key` no longer exists.
  LONG flush(KeyId key);

  // How long a write waits for another writer's lock before ERROR_BUSY.
  static void setLockTimeout(int milliseconds);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vreg

#endif
