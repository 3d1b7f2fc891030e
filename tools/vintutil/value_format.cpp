#include "value_format.h"

#include <windows.h>
#include <strings.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "text_encoding.h"

namespace {

struct TypeNameEntry {
  uint32_t type;
  const char* name;
};

const TypeNameEntry kTypeNames[] = {
    {REG_NONE, "REG_NONE"},
    {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},
    {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, "REG_LINK"},
    {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_RESOURCE_LIST, "REG_RESOURCE_LIST"},
    {REG_FULL_RESOURCE_DESCRIPTOR, "REG_FULL_RESOURCE_DESCRIPTOR"},
    {REG_RESOURCE_REQUIREMENTS_LIST, "REG_RESOURCE_REQUIREMENTS_LIST"},
    {REG_QWORD, "REG_QWORD"},
    // A second name of REG_DWORD, read but never shown.
    {REG_DWORD, "REG_DWORD_LITTLE_ENDIAN"},
};

bool EqualsNoCase(std::string_view a, const char* b) {
  return a.size() == strlen(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

std::string Hex(const std::vector<unsigned char>& data) {
  std::string out;
  char digits[3];
  for (unsigned char b : data) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    out += digits;
  }
  return out;
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One or more digits of `base`, nothing else, up to `max`.
std::optional<uint64_t> Digits(std::string_view text, int base, uint64_t max) {
  if (text.empty()) return std::nullopt;
  uint64_t n = 0;
  for (char c : text) {
    const int digit = DigitValue(c);
    if (digit < 0 || digit >= base) return std::nullopt;
    if (n > (max - digit) / base) return std::nullopt;
    n = n * base + digit;
  }
  return n;
}

// A number as reg.exe reads it (see ParseData).
std::optional<uint64_t> ParseNumber(std::string_view text, uint64_t max, bool wrapsNegative) {
  if (text.empty()) return 0;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    return Digits(text.substr(2), 16, max);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text[0]))) text.remove_prefix(1);
  const bool negative = !text.empty() && text[0] == '-';
  if (negative && !wrapsNegative) return std::nullopt;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
  const auto n = Digits(text, 10, max);
  if (!n || !negative) return n;
  return (0 - *n) & max;
}

std::optional<std::vector<unsigned char>> ParseMultiText(std::string_view text,
                                                         std::string_view separator,
                                                         std::string* error) {
  std::vector<std::string_view> texts;
  for (std::string_view rest = text; !rest.empty();) {
    const size_t sep = rest.find(separator);
    texts.push_back(rest.substr(0, sep));
    if (sep == std::string_view::npos) break;
    rest.remove_prefix(sep + separator.size());
    if (rest.empty()) texts.push_back(rest);
  }
  // A separator at the end closes the last text rather than starting one.
  if (texts.size() > 1 && texts.back().empty()) texts.pop_back();
  std::vector<unsigned char> data;
  for (std::string_view part : texts) {
    if (part.empty() && texts.size() > 1) {
      *error = "REG_MULTI_SZ data has an empty text between separators '" + std::string(separator) +
               "': '" + std::string(text) + "'";
      return std::nullopt;
    }
    data.insert(data.end(), part.begin(), part.end());
    data.push_back(0);
  }
  data.push_back(0);
  return data;
}

std::optional<std::vector<unsigned char>> ParseNumberData(uint32_t type,
                                                          const std::optional<std::string>& text,
                                                          std::string* error) {
  const bool qword = type == REG_QWORD;
  if (!text && !qword) {
    *error = TypeName(type) + " needs data: give /d NUMBER";
    return std::nullopt;
  }
  const auto n = ParseNumber(text.value_or(""), qword ? ~0ull : 0xFFFFFFFFull, qword);
  if (!n) {
    *error = std::string("not a ") + (qword ? "64" : "32") +
             "-bit number (decimal, or hexadecimal after 0x" + (qword ? "" : "; no sign") + "): '" +
             *text + "'";
    return std::nullopt;
  }
  std::vector<unsigned char> data;
  for (int i = 0; i < (qword ? 8 : 4); ++i) data.push_back((*n >> (8 * i)) & 0xFF);
  return data;
}

std::optional<std::vector<unsigned char>> ParseHexData(std::string_view text, std::string* error) {
  std::vector<unsigned char> data;
  // An odd digit count: the first digit is a byte of its own.
  size_t i = text.size() % 2;
  if (i == 1) {
    const auto b = Digits(text.substr(0, 1), 16, 0xFF);
    if (b) data.push_back(static_cast<unsigned char>(*b));
  }
  for (; i < text.size(); i += 2) {
    const auto b = Digits(text.substr(i, 2), 16, 0xFF);
    if (!b) break;
    data.push_back(static_cast<unsigned char>(*b));
  }
  if (data.size() != (text.size() + 1) / 2) {
    *error = "not hex data (hex digits only, two per byte): '" + std::string(text) + "'";
    return std::nullopt;
  }
  return data;
}

}  // namespace

std::string TypeName(uint32_t type) {
  for (const TypeNameEntry& e : kTypeNames) {
    if (e.type == type) return e.name;
  }
  char name[32];
  std::snprintf(name, sizeof name, "REG_UNKNOWN(0x%x)", static_cast<unsigned>(type));
  return name;
}

std::optional<uint32_t> ParseTypeName(std::string_view name) {
  for (const TypeNameEntry& e : kTypeNames) {
    if (EqualsNoCase(name, e.name)) return e.type;
  }
  return std::nullopt;
}

uint64_t LittleEndian(const std::vector<unsigned char>& data) {
  uint64_t n = 0;
  for (size_t i = data.size(); i-- > 0;) n = (n << 8) | data[i];
  return n;
}

std::string FormatData(uint32_t type, const std::vector<unsigned char>& data,
                       std::string_view separator) {
  char number[32];
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      std::string text(data.begin(), data.end());
      return text.substr(0, text.find('\0'));
    }
    case REG_MULTI_SZ: {
      std::string text(data.begin(), data.end());
      while (!text.empty() && text.back() == '\0') text.pop_back();
      std::string shown;
      for (char c : text) shown += c == '\0' ? std::string(separator) : std::string(1, c);
      return shown;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
    case REG_QWORD:
      // reg.exe stores and shows REG_DWORD_BIG_ENDIAN in little-endian order.
      if (data.size() == (type == REG_QWORD ? 8u : 4u)) {
        std::snprintf(number, sizeof number, "0x%llx",
                      static_cast<unsigned long long>(LittleEndian(data)));
        return number;
      }
      return Hex(data);
    default:
      return Hex(data);
  }
}

bool IsSeparator(std::string_view separator) {
  if (separator.empty()) return false;
  const unsigned char lead = separator[0];
  const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  return separator.size() == length;
}

std::optional<std::vector<unsigned char>> ParseData(uint32_t type,
                                                    const std::optional<std::string>& text,
                                                    std::string_view separator,
                                                    std::string* error) {
  std::vector<unsigned char> data;
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      const std::string bytes = text.value_or("");
      data.assign(bytes.begin(), bytes.end());
      data.push_back(0);
      return data;
    }
    case REG_MULTI_SZ:
      return ParseMultiText(text.value_or(""), separator, error);
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
    case REG_QWORD:
      return ParseNumberData(type, text, error);
    case REG_BINARY:
      return ParseHexData(text.value_or(""), error);
    case REG_NONE: {
      const std::string utf16 = Utf8ToUtf16le(text.value_or("")) + std::string(2, '\0');
      return std::vector<unsigned char>(utf16.begin(), utf16.end());
    }
    default:
      *error = TypeName(type) + " data cannot be given on the command line";
      return std::nullopt;
  }
}

std::string FormatDouble(double value) {
  char text[40];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string FormatDecoded(uint32_t type, const std::vector<unsigned char>& data) {
  if (type == REG_SZ || type == REG_EXPAND_SZ) return "\"" + FormatData(type, data) + "\"";
  if (type == REG_BINARY && data.size() == 4) {
    return std::to_string(static_cast<int32_t>(LittleEndian(data)));
  }
  if (type == REG_DWORD && data.size() == 4) return std::to_string(LittleEndian(data));
  if (type == REG_BINARY && data.size() == 8) {
    double value;
    std::memcpy(&value, data.data(), sizeof value);
    return FormatDouble(value);
  }
  return FormatData(type, data);
}

bool DecodesAsNumber(uint32_t type, const std::vector<unsigned char>& data) {
  if ((type == REG_BINARY || type == REG_DWORD) && data.size() == 4) return true;
  if (type != REG_BINARY || data.size() != 8) return false;
  double value;
  std::memcpy(&value, data.data(), sizeof value);
  return std::isfinite(value);
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : ValidUtf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}
