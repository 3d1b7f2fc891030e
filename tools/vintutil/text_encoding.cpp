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

// The surrogate a 3-byte sequence ED A0..BF 80..BF at the start of `s`
// stands for, or 0.
char32_t SurrogateAt(std::string_view s) {
  if (s.size() < 3 || static_cast<unsigned char>(s[0]) != 0xED) return 0;
  const auto b1 = static_cast<unsigned char>(s[1]);
  const auto b2 = static_cast<unsigned char>(s[2]);
  if (b1 < 0xA0 || b1 > 0xBF || (b2 & 0xC0) != 0x80) return 0;
  return 0xD000 | ((b1 & 0x3F) << 6) | (b2 & 0x3F);
}

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool IsEscapedByte(char32_t unit) {
  return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF;
}

// The odd last byte of UTF-16 data, when `s` is its 3-byte form F8 8h 8l.
int OddByteAt(std::string_view s) {
  if (s.size() != 3 || static_cast<unsigned char>(s[0]) != 0xF8) return -1;
  const auto hi = static_cast<unsigned char>(s[1]);
  const auto lo = static_cast<unsigned char>(s[2]);
  if ((hi & 0xF0) != 0x80 || (lo & 0xF0) != 0x80) return -1;
  return ((hi & 0x0F) << 4) | (lo & 0x0F);
}

void AppendUnit(std::string& out, char32_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>(unit >> 8);
}

// Also writes lone surrogates, in their 3-byte form.
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
  // Lone high surrogates in their 3-byte form are taken as surrogates only
  // when what follows their run cannot pair with the last of them; the
  // decision holds for the whole run, up to `runEnd`.
  size_t runEnd = 0;
  bool runIsSurrogates = false;
  for (size_t at = 0; at < bytes.size();) {
    const std::string_view rest = bytes.substr(at);
    const int oddByte = OddByteAt(rest);
    if (oddByte >= 0) {
      out += static_cast<char>(oddByte);
      break;
    }
    char32_t cp;
    size_t len = DecodeUtf8(rest, cp);
    if (len == 0) {
      cp = SurrogateAt(rest);
      len = 3;
      if (IsHighSurrogate(cp) && at >= runEnd) {
        runEnd = at;
        while (IsHighSurrogate(SurrogateAt(bytes.substr(runEnd)))) runEnd += 3;
        const std::string_view after = bytes.substr(runEnd);
        char32_t ignored;
        runIsSurrogates = after.empty() || OddByteAt(after) >= 0 || DecodeUtf8(after, ignored) > 0;
      }
      const bool taken = IsHighSurrogate(cp) ? runIsSurrogates : cp != 0 && !IsEscapedByte(cp);
      if (!taken) {
        cp = kEscapeBase + static_cast<unsigned char>(rest[0]);
        len = 1;
      }
    }
    if (cp >= 0x10000) {
      AppendUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
      AppendUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      AppendUnit(out, cp);
    }
    at += len;
  }
  return out;
}

std::string Utf16leToUtf8(std::string_view utf16le) {
  auto unitAt = [&](size_t i) -> char32_t {
    return static_cast<unsigned char>(utf16le[i]) |
           (static_cast<char32_t>(static_cast<unsigned char>(utf16le[i + 1])) << 8);
  };
  std::string out;
  out.reserve(utf16le.size() / 2 + 3);
  size_t i = 0;
  for (; i + 1 < utf16le.size(); i += 2) {
    const char32_t unit = unitAt(i);
    const char32_t next = i + 3 < utf16le.size() ? unitAt(i + 2) : 0;
    if (IsHighSurrogate(unit) && IsLowSurrogate(next)) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
      i += 2;
    } else if (IsEscapedByte(unit)) {
      out += static_cast<char>(unit - kEscapeBase);
    } else {
      AppendUtf8(out, unit);
    }
  }
  if (i < utf16le.size()) {
    const auto odd = static_cast<unsigned char>(utf16le[i]);
    out += '\xF8';
    out += static_cast<char>(0x80 | (odd >> 4));
    out += static_cast<char>(0x80 | (odd & 0x0F));
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  while (!bytes.empty()) {
    char32_t cp;
    const size_t len = DecodeUtf8(bytes, cp);
    if (len == 0) return false;
    bytes.remove_prefix(len);
  }
  return true;
}

std::string ValidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    char32_t cp;
    const size_t len = DecodeUtf8(bytes, cp);
    if (len == 0) {
      out += "\xEF\xBF\xBD";
      bytes.remove_prefix(1);
    } else {
      out += bytes.substr(0, len);
      bytes.remove_prefix(len);
    }
  }
  return out;
}
