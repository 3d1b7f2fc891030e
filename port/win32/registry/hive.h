// One hive: a registry tree, in a SQLite file (file_hive.h) or on a
// PostgreSQL server (served_hive.h).
//
// This is the storage seam of the registry: the API layer (registry_api.cpp)
// speaks Windows semantics and calls only this interface, which speaks keys
// by id and full path. Every method is thread-safe and returns a Win32 code.
// A hive that does not exist yet reads as a new one would be made; the first
// write creates it. A hive that turns out to be damaged makes every call
// fail with ERROR_BADDB and is never written.
#ifndef VINTUTIL_REGISTRY_HIVE_H
#define VINTUTIL_REGISTRY_HIVE_H

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "change_source.h"
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
  virtual ~Hive() = default;

  // ERROR_SUCCESS when this process may write the hive (or create it).
  virtual LONG checkWritable() = 0;

  // The hive's file; null for a hive served by a database server.
  virtual const HiveLocation* file() const = 0;
  // Names the hive among the process's hives: its file's path, or its
  // server's connection string.
  virtual const std::string& identity() const = 0;
  // What tells RegNotifyChangeKeyValue's watches of the hive's changes.
  virtual std::unique_ptr<ChangeSource> changeSource() const = 0;
  // Makes what the change source needs exist, where this process may: for
  // a file, the hive and its change counter, with a write that changes
  // nothing.
  virtual LONG prepareForWatch() = 0;

  // The key at `path` (a full normalised path, "" for the root). `base` is
  // the key the caller started from: if it was deleted, ERROR_KEY_DELETED.
  virtual LONG findKey(KeyId base, std::string_view path, KeyId* key) = 0;
  // Creates `path` and any missing keys above it in one transaction.
  virtual LONG createKey(KeyId base, std::string_view path, KeyId* key, bool* created) = 0;
  // Deletes a key without subkeys, with its values.
  virtual LONG deleteKey(KeyId key) = 0;

  virtual LONG readValue(KeyId key, std::string_view name, const ValueVisitor& visit) = 0;
  virtual LONG writeValue(KeyId key, std::string_view name, DWORD type, const BYTE* data,
                          DWORD size) = 0;
  virtual LONG deleteValue(KeyId key, std::string_view name) = 0;

  // Subkeys in case-insensitive name order; values in the order created.
  virtual LONG enumKey(KeyId key, DWORD index, std::string* name, int64_t* lastWrite) = 0;
  virtual LONG enumValue(KeyId key, DWORD index, const NamedValueVisitor& visit) = 0;
  virtual LONG keyInfo(KeyId key, KeyInfo* info) = 0;

  // Forces every committed write of the hive to stable storage;
  // ERROR_KEY_DELETED when `key` no longer exists.
  virtual LONG flush(KeyId key) = 0;

  // How long a write waits for another writer before ERROR_BUSY.
  static void setLockTimeout(int milliseconds);
  static int lockTimeout();
};

// The hive of `kind` where it lives now: the machine hive on its server when
// one is configured (registry_server.h), else the file locateHive() names.
std::shared_ptr<Hive> openHive(HiveKind kind);

}  // namespace vreg

#endif
