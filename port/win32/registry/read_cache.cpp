#include "read_cache.h"

#include <iterator>

#include "name_folding.h"

namespace vreg {
namespace {

// Bound of the memory a cache holds (data, names and a rough cost per
// entry); a value larger than a sixteenth of it is not kept.
constexpr size_t kMaxBytes = size_t(64) << 20;
constexpr size_t kEntryCost = 96;
// Keys whose enumeration positions are kept: more than a recursive walk
// has open at once.
constexpr size_t kMaxPositions = 64;

const ReadCache::EnumPosition* positionOf(
    const std::unordered_map<KeyId, ReadCache::EnumPosition>& positions, KeyId key) {
  auto found = positions.find(key);
  return found == positions.end() ? nullptr : &found->second;
}

void remember(std::unordered_map<KeyId, ReadCache::EnumPosition>* positions, KeyId key,
              ReadCache::EnumPosition position) {
  if (positions->size() >= kMaxPositions && !positions->count(key)) positions->clear();
  (*positions)[key] = std::move(position);
}

}  // namespace

void ReadCache::syncTo(uint64_t stamp) {
  if (valid_ && stamp_ == stamp) return;
  clear();
  valid_ = true;
  stamp_ = stamp;
}

void ReadCache::clear() {
  keys_.clear();
  values_.clear();
  subKeyPositions_.clear();
  valuePositions_.clear();
  bytes_ = 0;
  valid_ = false;
}

void ReadCache::advance(uint64_t before, uint64_t after) {
  if (valid_ && stamp_ == before) stamp_ = after;
  subKeyPositions_.clear();
  valuePositions_.clear();
}

void ReadCache::forgetMissingKeys() {
  for (auto entry = keys_.begin(); entry != keys_.end();) {
    entry = entry->second.result == ERROR_SUCCESS ? std::next(entry) : keys_.erase(entry);
  }
}

const std::string& ReadCache::lookupKey(KeyId id, std::string_view name) {
  lookup_.assign(reinterpret_cast<const char*>(&id), sizeof id);
  appendFoldedName(name, &lookup_);
  return lookup_;
}

void ReadCache::reserve(size_t bytes) {
  if (bytes_ + bytes <= kMaxBytes) {
    bytes_ += bytes;
    return;
  }
  uint64_t stamp = stamp_;
  clear();
  valid_ = true;
  stamp_ = stamp;
  bytes_ = bytes;
}

const ReadCache::KeyResult* ReadCache::findKey(KeyId base, std::string_view path) {
  auto found = keys_.find(lookupKey(base, path));
  return found == keys_.end() ? nullptr : &found->second;
}

void ReadCache::rememberKey(KeyId base, std::string_view path, KeyResult result) {
  if (!valid_ || !lasting(result.result)) return;
  reserve(kEntryCost + path.size());
  keys_.insert_or_assign(lookupKey(base, path), result);
}

const ReadCache::ValueResult* ReadCache::findValue(KeyId key, std::string_view name) {
  auto found = values_.find(lookupKey(key, name));
  return found == values_.end() ? nullptr : &found->second;
}

void ReadCache::rememberValue(KeyId key, std::string_view name, LONG result, DWORD type,
                              const BYTE* data, DWORD size) {
  if (!valid_) return;
  if (!lasting(result) || size > kMaxBytes / 16) {
    values_.erase(lookupKey(key, name));  // a writer's own change may leave it stale
    return;
  }
  reserve(kEntryCost + name.size() + size);
  values_.insert_or_assign(
      lookupKey(key, name),
      ValueResult{result, type,
                  size ? std::string(reinterpret_cast<const char*>(data), size) : std::string()});
}

const ReadCache::EnumPosition* ReadCache::subKeyPosition(KeyId key) const {
  return positionOf(subKeyPositions_, key);
}

void ReadCache::rememberSubKeyPosition(KeyId key, EnumPosition position) {
  if (valid_) remember(&subKeyPositions_, key, std::move(position));
}

const ReadCache::EnumPosition* ReadCache::valuePosition(KeyId key) const {
  return positionOf(valuePositions_, key);
}

void ReadCache::rememberValuePosition(KeyId key, EnumPosition position) {
  if (valid_) remember(&valuePositions_, key, std::move(position));
}

}  // namespace vreg
