// The results of a hive's two frequent reads, finding a key by path and
// reading a value, and where enumerations stood, as they were at one number
// of the hive's change counter.
// The cache is a memo of those two functions: it keeps what they returned,
// including "not found" and "key deleted", and forgets everything as soon as
// it is asked about another number. Not thread-safe: the hive's mutex
// guards it.
#ifndef VINTUTIL_REGISTRY_READ_CACHE_H
#define VINTUTIL_REGISTRY_READ_CACHE_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vreg {

using KeyId = int64_t;

class ReadCache {
 public:
  struct KeyResult {
    LONG result;
    KeyId key;
  };
  struct ValueResult {
    LONG result;
    DWORD type;
    std::string data;
  };

  // Keeps the cache when it holds results of `stamp`, else empties it and
  // makes it hold results of `stamp` from now on.
  void syncTo(uint64_t stamp);
  void clear();
  // This process's own write took the hive from `before` to `after` with no
  // other write between: results of `before` are results of `after`, except
  // those of the write's changes, which the writer then forgets or replaces.
  void advance(uint64_t before, uint64_t after);
  // A key was created: paths not found before may lead to it now.
  void forgetMissingKeys();

  // Names are compared as the hive compares them (name_folding.h).
  const KeyResult* findKey(KeyId base, std::string_view path);
  void rememberKey(KeyId base, std::string_view path, KeyResult result);
  const ValueResult* findValue(KeyId key, std::string_view name);
  void rememberValue(KeyId key, std::string_view name, LONG result, DWORD type, const BYTE* data,
                     DWORD size);

  // The two reads memoised, for a hive's findKey and readValue: answered
  // from the cache when it is `usable` and knows, else by `fetch`, whose
  // result it then remembers. A value's `fetch(found)` calls
  // found(type, data, size) for a value that exists and returns the result.
  template <typename Fetch>
  LONG findKeyThrough(bool usable, KeyId base, std::string_view path, KeyId* key, Fetch fetch) {
    const KeyResult* hit = usable ? findKey(base, path) : nullptr;
    const KeyResult found = hit ? *hit : fetch();
    if (usable && !hit) rememberKey(base, path, found);
    if (found.result == ERROR_SUCCESS) *key = found.key;
    return found.result;
  }
  template <typename Visit, typename Fetch>
  LONG readValueThrough(bool usable, KeyId key, std::string_view name, const Visit& visit,
                        Fetch fetch) {
    if (const ValueResult* hit = usable ? findValue(key, name) : nullptr) {
      if (hit->result == ERROR_SUCCESS)
        visit(hit->type, reinterpret_cast<const BYTE*>(hit->data.data()), DWORD(hit->data.size()));
      return hit->result;
    }
    bool found = false;
    const LONG result = fetch([&](DWORD type, const BYTE* data, DWORD size) {
      if (usable) rememberValue(key, name, ERROR_SUCCESS, type, data, size);
      found = true;
      visit(type, data, size);
    });
    if (usable && !found) rememberValue(key, name, result, REG_NONE, nullptr, 0);
    return result;
  }

  // Where the last enumeration of a key's subkeys, or of its values, stood:
  // the index it returned and that item's folded name (subkeys) or id
  // (values). The same or the next index then costs one index seek, so
  // enumerating by increasing index costs the same at every index. Any
  // write forgets them: indexes shift.
  struct EnumPosition {
    DWORD index;
    std::string foldedName;
    int64_t id;
  };
  const EnumPosition* subKeyPosition(KeyId key) const;
  void rememberSubKeyPosition(KeyId key, EnumPosition position);
  const EnumPosition* valuePosition(KeyId key) const;
  void rememberValuePosition(KeyId key, EnumPosition position);

  // Whether a result is one the storage will return again until the next
  // change (unlike busy or I/O errors).
  static bool lasting(LONG result) {
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND || result == ERROR_KEY_DELETED;
  }

 private:
  // Sets lookup_ to the map key of (id, name), folded.
  const std::string& lookupKey(KeyId id, std::string_view name);
  // Makes room for `bytes` more, emptying the cache when it would outgrow
  // its bound.
  void reserve(size_t bytes);

  bool valid_ = false;
  uint64_t stamp_ = 0;
  size_t bytes_ = 0;
  std::string lookup_;
  std::unordered_map<std::string, KeyResult> keys_;
  std::unordered_map<std::string, ValueResult> values_;
  std::unordered_map<KeyId, EnumPosition> subKeyPositions_;
  std::unordered_map<KeyId, EnumPosition> valuePositions_;
};

}  // namespace vreg

#endif
