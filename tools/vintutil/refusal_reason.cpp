#include "refusal_reason.h"

#include <registry_limits.h>

#include "registry_tree.h"
#include "text_encoding.h"

namespace {

// Length in UTF-16 characters, as Windows counts it.
size_t Characters(const std::string& text) { return Utf8ToUtf16le(text).size() / 2; }

// The start of a long name, enough to recognise it.
std::string Shortened(const std::string& name) {
  constexpr size_t kShown = 20;
  return name.size() <= kShown ? name : name.substr(0, kShown) + "...";
}

std::string Limit(const std::string& what, size_t length, size_t limit, const char* unit) {
  return what + " has " + std::to_string(length) + " " + unit + ", more than the " +
         std::to_string(limit) + " the registry allows";
}

}  // namespace

std::string RefusalReason(LONG error, const KeyPath& key, const std::string* valueName,
                          size_t dataSize) {
  if (error != ERROR_INVALID_PARAMETER && error != ERROR_INVALID_NAME) {
    return RegistryErrorText(error);
  }
  size_t depth = 0;
  for (size_t start = 0; !key.subkey.empty() && start <= key.subkey.size(); ++depth) {
    size_t end = key.subkey.find('\\', start);
    if (end == std::string::npos) end = key.subkey.size();
    const std::string name = key.subkey.substr(start, end - start);
    if (Characters(name) > REGISTRY_MAX_KEY_NAME_LENGTH) {
      return Limit("the key name '" + Shortened(name) + "'", Characters(name),
                   REGISTRY_MAX_KEY_NAME_LENGTH, "characters");
    }
    start = end + 1;
  }
  if (depth > REGISTRY_MAX_KEY_DEPTH) {
    return Limit("the key", depth, REGISTRY_MAX_KEY_DEPTH, "levels");
  }
  if (valueName && Characters(*valueName) > REGISTRY_MAX_VALUE_NAME_LENGTH) {
    return Limit("the value name '" + Shortened(*valueName) + "'", Characters(*valueName),
                 REGISTRY_MAX_VALUE_NAME_LENGTH, "characters");
  }
  if (dataSize > REGISTRY_MAX_VALUE_SIZE) {
    return Limit("the data", dataSize, REGISTRY_MAX_VALUE_SIZE, "bytes");
  }
  return valueName ? "the key path or the value name is not valid: it breaks none of the "
                     "registry's limits, but the registry refuses it"
                   : "the key path is not valid: it breaks none of the registry's limits, but "
                     "the registry refuses it";
}
