#include "name_folding.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>

namespace vreg {
namespace {

bool isAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

UChar32 upperCase(UChar32 c) {
  if (c > 0xFFFF) return c;
  const UChar32 upper = u_toupper(c);
  return upper != c && u_tolower(upper) == c ? upper : c;
}

}  // namespace

void appendFoldedName(std::string_view name, std::string* out) {
  if (isAscii(name)) {
    // The common case, without a decoder.
    const size_t start = out->size();
    out->append(name);
    for (size_t i = start; i < out->size(); ++i) {
      char& c = (*out)[i];
      if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return;
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
  const int32_t length = int32_t(name.size());
  out->reserve(out->size() + name.size());
  for (int32_t i = 0; i < length;) {
    const int32_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) {
      out->append(name.substr(start, size_t(i - start)));
      continue;
    }
    const UChar32 upper = upperCase(c);
    if (upper == c) {
      out->append(name.substr(start, size_t(i - start)));
      continue;
    }
    uint8_t encoded[U8_MAX_LENGTH];
    int32_t n = 0;
    U8_APPEND_UNSAFE(encoded, n, upper);
    out->append(reinterpret_cast<const char*>(encoded), size_t(n));
  }
}

std::string foldName(std::string_view name) {
  std::string folded;
  appendFoldedName(name, &folded);
  return folded;
}

size_t utf16Length(std::string_view name) {
  size_t units = 0;
  const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
  const int32_t length = int32_t(name.size());
  for (int32_t i = 0; i < length;) {
    const int32_t start = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    // A malformed sequence becomes one replacement character per byte
    // consumed.
    units += c < 0 ? size_t(i - start) : U16_LENGTH(c);
  }
  return units;
}

}  // namespace vreg
