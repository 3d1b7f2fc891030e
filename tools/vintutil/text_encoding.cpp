#include "text_encoding.h"

namespace {

constexpr char32_t kEscapeBase = 0xDC00;  // byte b (0x80..0xFF) travels as U+DC00 + b

// Length of the valid UTF-8 sequence at the start of `s` and its code point;
// 0 when the bytes there are not valid UTF-8 (overlong forms, surrogates and
// values beyond U+10FFFF are invalid).
size_t DecodeUtf8(std::string_view s, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[0]);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  size_t len;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (s.size() < len) return 0;
  for (size_t i = 1; i < len; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

void AppendUnit(std::string& out, char32_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>(unit >> 8);
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string Utf8ToUtf16le(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  while (!bytes.empty()) {
    char32_t cp;
    size_t len = DecodeUtf8(bytes, cp);
    if (len == 0) {
      cp = kEscapeBase + static_cast<unsigned char>(bytes[0]);
      len = 1;
    }
    if (cp >= 0x10000) {
      AppendUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
      AppendUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      AppendUnit(out, cp);
    }
    bytes.remove_prefix(len);
  }
  return out;
}

std::optional<std::string> Utf16leToUtf8(std::string_view utf16le, size_t* errorOffset) {
  auto fail = [&](size_t offset) -> std::optional<std::string> {
    if (errorOffset) *errorOffset = offset;
    return std::nullopt;
  };
  if (utf16le.size() % 2 != 0) return fail(utf16le.size() - 1);
  auto unitAt = [&](size_t i) -> char32_t {
    return static_cast<unsigned char>(utf16le[i]) |
           (static_cast<char32_t>(static_cast<unsigned char>(utf16le[i + 1])) << 8);
  };
  std::string out;
  out.reserve(utf16le.size() / 2);
  for (size_t i = 0; i < utf16le.size(); i += 2) {
    const char32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      const char32_t low = i + 2 < utf16le.size() ? unitAt(i + 2) : 0;
      if (low < 0xDC00 || low > 0xDFFF) return fail(i);
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
      i += 2;
    } else if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
      out += static_cast<char>(unit - kEscapeBase);
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return fail(i);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}
