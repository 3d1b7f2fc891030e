#include "value_format.h"

#include <windows.h>
#include <strings.h>

#include <charconv>
#include <cerrno>
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
    {REG_NONE, "REG_NONE"},           {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"}, {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},         {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, "REG_LINK"},           {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_QWORD, "REG_QWORD"},
};

// The separator of the texts of a REG_MULTI_SZ on the command line.
constexpr std::string_view kMultiSeparator = "\\0";

std::string Hex(const std::vector<unsigned char>& data) {
  std::string out;
  char digits[3];
  for (unsigned char b : data) {
    std::snprintf(digits, sizeof digits, "%02X", b);
    out += digits;
  }
  return out;
}

std::optional<uint64_t> ParseNumber(std::string_view text, uint64_t max) {
  const std::string s(text);
  if (s.empty() || s[0] == '-' || s[0] == '+' || s[0] == ' ') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const unsigned long long n = std::strtoull(s.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || n > max) return std::nullopt;
  return n;
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
    if (name.size() == strlen(e.name) && strncasecmp(name.data(), e.name, name.size()) == 0) {
      return e.type;
    }
  }
  return std::nullopt;
}

uint64_t LittleEndian(const std::vector<unsigned char>& data) {
  uint64_t n = 0;
  for (size_t i = data.size(); i-- > 0;) n = (n << 8) | data[i];
  return n;
}

std::string FormatData(uint32_t type, const std::vector<unsigned char>& data) {
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
      for (char c : text) shown += c == '\0' ? std::string(kMultiSeparator) : std::string(1, c);
      return shown;
    }
    case REG_DWORD:
    case REG_QWORD:
      if (data.size() == (type == REG_DWORD ? 4u : 8u)) {
        std::snprintf(number, sizeof number, "0x%llx",
                      static_cast<unsigned long long>(LittleEndian(data)));
        return number;
      }
      return Hex(data);
    default:
      return Hex(data);
  }
}

std::optional<std::vector<unsigned char>> ParseData(uint32_t type, std::string_view text,
                                                    std::string* error) {
  std::vector<unsigned char> data;
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      data.assign(text.begin(), text.end());
      data.push_back(0);
      return data;
    case REG_MULTI_SZ:
      // Texts separated by \0; each keeps its zero, and one more ends the list.
      while (!text.empty()) {
        const size_t sep = text.find(kMultiSeparator);
        const std::string_view part = text.substr(0, sep);
        data.insert(data.end(), part.begin(), part.end());
        data.push_back(0);
        if (sep == std::string_view::npos) break;
        text.remove_prefix(sep + kMultiSeparator.size());
      }
      data.push_back(0);
      return data;
    case REG_DWORD:
    case REG_QWORD: {
      const bool dword = type == REG_DWORD;
      const auto n = ParseNumber(text, dword ? 0xFFFFFFFFull : ~0ull);
      if (!n) {
        *error = std::string("not a ") + (dword ? "32" : "64") +
                 "-bit number (decimal, or hex with 0x): '" + std::string(text) + "'";
        return std::nullopt;
      }
      for (int i = 0; i < (dword ? 4 : 8); ++i) data.push_back((*n >> (8 * i)) & 0xFF);
      return data;
    }
    default:
      if (text.size() % 2 != 0) {
        *error = "hex data needs two digits per byte: '" + std::string(text) + "'";
        return std::nullopt;
      }
      for (size_t i = 0; i < text.size(); i += 2) {
        char* end = nullptr;
        const std::string pair(text.substr(i, 2));
        const long b = std::strtol(pair.c_str(), &end, 16);
        if (*end != '\0' || pair[0] == '-' || pair[0] == '+' || pair[0] == ' ') {
          *error = "not hex data: '" + std::string(text) + "'";
          return std::nullopt;
        }
        data.push_back(static_cast<unsigned char>(b));
      }
      return data;
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
