#include "reg_file.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <optional>

#include "text_encoding.h"

namespace {

constexpr std::string_view kUnicodeHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kRegedit4Header = "REGEDIT4";
constexpr std::string_view kUtf16Bom = "\xFF\xFE";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";
// regedit breaks a hex line once it reaches this many columns; with the
// trailing backslash no line exceeds 80.
constexpr size_t kHexWrapColumn = 77;
constexpr std::string_view kHexContinuation = "\\\r\n  ";

// Text types whose hex form is UTF-16LE in a Unicode file.
bool IsTextType(uint32_t type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  }
  return true;
}

// Whether only blanks, or blanks and a ; comment, are left of a data line.
bool IsEndOfData(std::string_view rest) {
  rest = TrimLeft(rest);
  return rest.empty() || rest.front() == ';';
}

bool IsAscii(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A number of 1 to maxDigits hex digits, the whole of `s`.
std::optional<uint32_t> ParseHexNumber(std::string_view s, size_t maxDigits) {
  if (s.empty() || s.size() > maxDigits) return std::nullopt;
  uint32_t n = 0;
  for (char c : s) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    n = (n << 4) | static_cast<uint32_t>(d);
  }
  return n;
}

size_t HexDigitCount(std::string_view s) {
  size_t count = 0;
  while (count < s.size() && HexDigit(s[count]) >= 0) ++count;
  return count;
}

// A byte of one or more hex digits (012 is 0x12), the whole of `s`.
std::optional<unsigned char> ParseHexByte(std::string_view s) {
  if (s.empty() || HexDigitCount(s) != s.size()) return std::nullopt;
  unsigned value = 0;
  for (char c : s) {
    value = (value << 4) | static_cast<unsigned>(HexDigit(c));
    if (value > 0xFF) return std::nullopt;
  }
  return static_cast<unsigned char>(value);
}

// Thrown inside the parser only; ParseRegFile turns it into its result.
struct ParseFault {
  int line;
  std::string reason;
};

class Parser {
 public:
  Parser(std::vector<std::string_view> lines, RegFile& file)
      : lines_(std::move(lines)), file_(file) {}

  void Run() {
    ParseHeader();
    for (; next_ < lines_.size();) {
      const int lineNo = static_cast<int>(next_) + 1;
      const std::string_view line = Trim(lines_[next_++]);
      if (line.empty() || line.front() == ';' || line.front() == '#') continue;
      if (line.front() == '[') {
        ParseKeyLine(line, lineNo);
      } else if (line.front() == '@' || line.front() == '"') {
        ParseValueLine(line, lineNo);
      } else {
        throw ParseFault{lineNo, "neither a [key] line nor a value line"};
      }
    }
  }

 private:
  void ParseHeader() {
    while (next_ < lines_.size() && Trim(lines_[next_]).empty()) ++next_;
    const int lineNo = static_cast<int>(next_) + 1;
    const std::string_view header = next_ < lines_.size() ? Trim(lines_[next_++]) : "";
    if (header == kUnicodeHeader) {
      file_.format = RegFileFormat::kUnicode;
    } else if (header == kRegedit4Header) {
      file_.format = RegFileFormat::kRegedit4;
    } else {
      throw ParseFault{lineNo, "not a registry file: the first line must be \"" +
                                   std::string(kUnicodeHeader) + "\" or \"" +
                                   std::string(kRegedit4Header) + "\""};
    }
  }

  void ParseKeyLine(std::string_view line, int lineNo) {
    if (line.back() != ']') throw ParseFault{lineNo, "key line without its closing ]"};
    std::string_view path = line.substr(1, line.size() - 2);
    RegFileKey key;
    key.line = lineNo;
    if (!path.empty() && path.front() == '-') {
      key.remove = true;
      path.remove_prefix(1);
    }
    if (path.empty()) throw ParseFault{lineNo, "empty key name"};
    key.path = std::string(path);
    file_.keys.push_back(std::move(key));
  }

  void ParseValueLine(std::string_view line, int lineNo) {
    if (file_.keys.empty()) throw ParseFault{lineNo, "value line before the first [key] line"};
    RegFileKey& key = file_.keys.back();
    if (key.remove) throw ParseFault{lineNo, "value line under a key that is being deleted"};

    RegFileValue value;
    value.line = lineNo;
    std::string_view rest = line;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else {
      value.name = ParseQuoted(rest, lineNo, "value name");
    }
    rest = TrimLeft(rest);
    if (rest.empty() || rest.front() != '=') {
      throw ParseFault{lineNo, "'=' expected after the value name"};
    }
    rest = TrimLeft(rest.substr(1));
    ParseData(rest, lineNo, value);
    key.values.push_back(std::move(value));
  }

  // Reads a "quoted" text from the front of `rest` (which starts with the
  // quote), undoing the escapes, and leaves what follows in `rest`.
  static std::string ParseQuoted(std::string_view& rest, int lineNo, const char* what) {
    std::string text;
    for (size_t i = 1; i < rest.size(); ++i) {
      const char c = rest[i];
      if (c == '"') {
        rest.remove_prefix(i + 1);
        return text;
      }
      if (c == '\\') {
        if (i + 1 == rest.size()) break;
        const char escaped = rest[++i];
        if (escaped == 'n') {
          text += '\n';
        } else if (escaped == 'r') {
          text += '\r';
        } else if (escaped == '\\' || escaped == '"') {
          text += escaped;
        } else {
          throw ParseFault{lineNo, std::string("unknown escape \\") + escaped + " in the " + what};
        }
      } else {
        text += c;
      }
    }
    throw ParseFault{lineNo, std::string("the ") + what + " has no closing quote"};
  }

  void ParseData(std::string_view rest, int lineNo, RegFileValue& value) {
    if (!rest.empty() && rest.front() == '-' && IsEndOfData(rest.substr(1))) {
      value.remove = true;
    } else if (!rest.empty() && rest.front() == '"') {
      const std::string text = ParseQuoted(rest, lineNo, "text");
      if (!IsEndOfData(rest)) throw ParseFault{lineNo, "text after the closing quote"};
      value.type = REG_SZ;
      value.data.assign(text.begin(), text.end());
      value.data.push_back(0);
    } else if (StartsWithNoCase(rest, "dword:")) {
      const std::string_view digits = TrimLeft(rest.substr(6));
      const size_t count = HexDigitCount(digits);
      const auto number = IsEndOfData(digits.substr(count))
                              ? ParseHexNumber(digits.substr(0, count), 8)
                              : std::nullopt;
      if (!number) throw ParseFault{lineNo, "dword: needs 1 to 8 hex digits"};
      value.type = REG_DWORD;
      for (int shift = 0; shift < 32; shift += 8) value.data.push_back((*number >> shift) & 0xFF);
    } else if (StartsWithNoCase(rest, "hex:")) {
      value.type = REG_BINARY;
      value.data = ParseHexList(rest.substr(4), lineNo);
    } else if (StartsWithNoCase(rest, "hex(")) {
      const size_t close = rest.find("):");
      const auto type = close == std::string_view::npos
                            ? std::nullopt
                            : ParseHexNumber(rest.substr(4, close - 4), 8);
      if (!type) throw ParseFault{lineNo, "hex(N): needs a type of 1 to 8 hex digits"};
      value.type = *type;
      value.data = ParseHexList(rest.substr(close + 2), lineNo);
      if (IsTextType(value.type)) DecodeText(value.data, lineNo);
    } else {
      throw ParseFault{lineNo, "unknown data: expected \"text\", dword:, hex: or hex(N):, or -"};
    }
  }

  // Text data in hex form into the registry's 8-bit text: from UTF-16LE in a
  // Unicode file (any bytes, losslessly), from the code page in REGEDIT4.
  void DecodeText(std::vector<unsigned char>& data, int lineNo) const {
    const std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
    std::string text;
    if (file_.format == RegFileFormat::kUnicode) {
      text = Utf16leToUtf8(bytes);
    } else if (IsAscii(bytes)) {
      return;
    } else {
      const auto decoded = DecodeCodePage(bytes, file_.codePage);
      if (!decoded) {
        throw ParseFault{
            lineNo, "text data that is not text in code page " + std::to_string(file_.codePage)};
      }
      text = *decoded;
    }
    data.assign(text.begin(), text.end());
  }

  // The comma-separated bytes after hex: or hex(N):, as regedit reads them:
  // a byte has one or more hex digits; a backslash after a comma continues
  // the data on the next line that is neither blank nor a ; comment; a ;
  // comment may follow the backslash, or end the data after a byte or comma.
  std::vector<unsigned char> ParseHexList(std::string_view first, int lineNo) {
    std::vector<unsigned char> bytes;
    std::string_view rest = first;
    for (;;) {
      bool continued = false;
      for (;;) {
        rest = TrimLeft(rest);
        if (rest.empty() || rest.front() == ';') break;
        if (rest.front() == '\\') {
          if (!IsEndOfData(rest.substr(1))) {
            throw ParseFault{lineNo, "text after the backslash that continues hex data"};
          }
          continued = true;
          break;
        }
        const std::string_view item = rest.substr(0, rest.find(','));
        const size_t count = HexDigitCount(rest);
        const auto byte = ParseHexByte(rest.substr(0, count));
        rest.remove_prefix(count);
        const bool comma = !rest.empty() && rest.front() == ',';
        if (!byte || (!comma && !IsEndOfData(rest))) {
          throw ParseFault{lineNo, "invalid hex byte '" + std::string(Trim(item)) + "'"};
        }
        bytes.push_back(*byte);
        if (!comma) break;
        rest.remove_prefix(1);
      }
      if (!continued) return bytes;
      // Continued: the next line that holds data, or the end of the file.
      for (;;) {
        if (next_ == lines_.size()) return bytes;
        lineNo = static_cast<int>(next_) + 1;
        rest = TrimLeft(lines_[next_++]);
        if (!rest.empty() && rest.front() != ';') break;
      }
      if (HexDigit(rest.front()) < 0) {
        throw ParseFault{lineNo,
                         "continued hex data expected, found '" + std::string(Trim(rest)) + "'"};
      }
    }
  }

  std::vector<std::string_view> lines_;
  RegFile& file_;
  size_t next_ = 0;
};

// The lines of a text, each ended by CR LF, LF or CR alone, as regedit reads
// them.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
    text.remove_prefix(end + (crlf ? 2 : 1));
  }
  return lines;
}

// Whether the first line that is not blank is the REGEDIT4 header.
bool IsRegedit4(const std::vector<std::string_view>& lines) {
  for (std::string_view line : lines) {
    line = Trim(line);
    if (!line.empty()) return line == kRegedit4Header;
  }
  return false;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + '"';
}

// A REG_SZ that the quoted form gives back byte for byte: one terminating
// zero, no zero before it, and no line break inside.
bool IsQuotable(const RegFileValue& value) {
  const auto& d = value.data;
  if (value.type != REG_SZ || d.empty() || d.back() != 0) return false;
  for (size_t i = 0; i + 1 < d.size(); ++i) {
    if (d[i] == 0 || d[i] == '\r' || d[i] == '\n') return false;
  }
  return true;
}

// Text data as a file holds it: UTF-16LE in a Unicode file, the code page's
// bytes in REGEDIT4.
std::string EncodeText(const std::string& text, const RegFile& file) {
  if (file.format == RegFileFormat::kUnicode) return Utf8ToUtf16le(text);
  if (IsAscii(text)) return text;
  return EncodeCodePage(text, file.codePage).value_or(text);
}

void AppendHexData(std::string& out, size_t column, const RegFileValue& value,
                   const RegFile& file) {
  char prefix[16];
  if (value.type == REG_BINARY) {
    std::snprintf(prefix, sizeof prefix, "hex:");
  } else {
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
  }
  out += prefix;
  column += std::string_view(prefix).size();
  std::string bytes(value.data.begin(), value.data.end());
  if (IsTextType(value.type)) bytes = EncodeText(bytes, file);
  for (size_t i = 0; i < bytes.size(); ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(bytes[i]));
    out += hex;
    if (i + 1 == bytes.size()) break;
    out += ',';
    column += 3;
    if (column >= kHexWrapColumn) {
      out += kHexContinuation;
      column = 2;
    }
  }
}

void AppendValue(std::string& out, const RegFileValue& value, const RegFile& file) {
  const size_t lineStart = out.size();
  out += value.name.empty() ? std::string("@") : Quote(value.name);
  out += '=';
  if (value.remove) {
    out += '-';
  } else if (IsQuotable(value)) {
    out += Quote(
        std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    char dword[16];
    const uint32_t n = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                       (static_cast<uint32_t>(value.data[3]) << 24);
    std::snprintf(dword, sizeof dword, "dword:%08x", n);
    out += dword;
  } else {
    AppendHexData(out, out.size() - lineStart, value, file);
  }
  out += kLineEnd;
}

}  // namespace

RegFileParseResult ParseRegFile(std::string_view bytes, unsigned codePage) {
  RegFileParseResult result;
  result.file.codePage = codePage;
  std::string decoded;
  std::string_view text = bytes;
  const bool utf16 = bytes.substr(0, 2) == kUtf16Bom;
  const bool utf8 = !utf16 && bytes.substr(0, 3) == kUtf8Bom;
  if (utf16) {
    decoded = Utf16leToUtf8(bytes.substr(2, (bytes.size() - 2) & ~size_t{1}));
    text = decoded;
  } else if (utf8) {
    text.remove_prefix(3);
  }
  std::vector<std::string_view> lines = SplitLines(text);
  if (utf16 && bytes.size() % 2 != 0) {
    result.errorLine = static_cast<int>(std::max<size_t>(lines.size(), 1));
    result.error = "the file is not UTF-16LE text: it ends in half a character";
    return result;
  }
  // A REGEDIT4 file without a byte-order mark is text in the code page.
  std::vector<std::string> decodedLines;
  if (!utf16 && !utf8 && IsRegedit4(lines)) {
    decodedLines.reserve(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
      if (IsAscii(lines[i])) continue;
      const auto line = DecodeCodePage(lines[i], codePage);
      if (!line) {
        result.errorLine = static_cast<int>(i) + 1;
        result.error = "the line is not text in code page " + std::to_string(codePage);
        return result;
      }
      decodedLines.push_back(*line);
      lines[i] = decodedLines.back();
    }
  }
  try {
    Parser(std::move(lines), result.file).Run();
    result.ok = true;
  } catch (const ParseFault& fault) {
    result.file = RegFile{};
    result.errorLine = fault.line;
    result.error = fault.reason;
  }
  return result;
}

std::string SerializeRegFile(const RegFile& file) {
  std::string text(file.format == RegFileFormat::kUnicode ? kUnicodeHeader : kRegedit4Header);
  text += kLineEnd;
  text += kLineEnd;
  for (const RegFileKey& key : file.keys) {
    text += key.remove ? "[-" : "[";
    text += key.path;
    text += ']';
    text += kLineEnd;
    for (const RegFileValue& value : key.values) AppendValue(text, value, file);
    text += kLineEnd;
  }
  if (file.format == RegFileFormat::kRegedit4) return EncodeText(text, file);
  return std::string(kUtf16Bom) + Utf8ToUtf16le(text);
}

std::string UnwritableName(const RegFile& file) {
  const std::string cannotHold =
      "holds text that code page " + std::to_string(file.codePage) + " cannot hold";
  const auto encodable = [&](const std::string& text) {
    return file.format == RegFileFormat::kUnicode || IsAscii(text) ||
           EncodeCodePage(text, file.codePage).has_value();
  };
  const auto fault = [&](const std::string& name) -> std::string {
    if (name.find_first_of("\r\n") != std::string::npos) {
      return "holds a line break, which a .reg file cannot hold";
    }
    return encodable(name) ? "" : cannotHold;
  };
  for (const RegFileKey& key : file.keys) {
    if (const std::string why = fault(key.path); !why.empty()) {
      return "the key name '" + ValidUtf8(key.path) + "' " + why;
    }
    for (const RegFileValue& value : key.values) {
      const std::string where = "'" + ValidUtf8(value.name) + "' under " + ValidUtf8(key.path);
      if (const std::string why = fault(value.name); !why.empty()) {
        return "the value name " + where + " " + why;
      }
      if (IsTextType(value.type) && !encodable(std::string(value.data.begin(), value.data.end()))) {
        return "the data of the value " + where + " " + cannotHold;
      }
    }
  }
  return {};
}
