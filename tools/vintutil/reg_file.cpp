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
      if (line.empty() || line.front() == ';') continue;
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
  // quote), undoing the \\ and \" escapes, and leaves what follows in `rest`.
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
        if (escaped != '\\' && escaped != '"') {
          throw ParseFault{lineNo, std::string("unknown escape \\") + escaped + " in the " + what};
        }
        text += escaped;
      } else {
        text += c;
      }
    }
    throw ParseFault{lineNo, std::string("the ") + what + " has no closing quote"};
  }

  void ParseData(std::string_view rest, int lineNo, RegFileValue& value) {
    if (rest == "-") {
      value.remove = true;
    } else if (!rest.empty() && rest.front() == '"') {
      const std::string text = ParseQuoted(rest, lineNo, "text");
      if (!Trim(rest).empty()) throw ParseFault{lineNo, "text after the closing quote"};
      value.type = REG_SZ;
      value.data.assign(text.begin(), text.end());
      value.data.push_back(0);
    } else if (StartsWithNoCase(rest, "dword:")) {
      const auto number = ParseHexNumber(Trim(rest.substr(6)), 8);
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
      if (file_.format == RegFileFormat::kUnicode && IsTextType(value.type)) {
        const auto text = Utf16leToUtf8(
            std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()));
        if (!text) throw ParseFault{lineNo, "text data that is not UTF-16LE"};
        value.data.assign(text->begin(), text->end());
      }
    } else {
      throw ParseFault{lineNo, "unknown data: expected \"text\", dword:, hex: or hex(N):, or -"};
    }
  }

  // The comma-separated bytes after hex: or hex(N):, joining the following
  // lines while a line ends in a backslash.
  std::vector<unsigned char> ParseHexList(std::string_view first, int lineNo) {
    std::string joined(TrimRight(first));
    while (!joined.empty() && joined.back() == '\\') {
      joined.pop_back();
      if (next_ == lines_.size())
        throw ParseFault{lineNo, "continued hex data at the end of the file"};
      joined += Trim(lines_[next_++]);
    }
    std::vector<unsigned char> bytes;
    std::string_view list = joined;
    while (!Trim(list).empty()) {
      const size_t comma = list.find(',');
      const std::string_view item = Trim(list.substr(0, comma));
      const auto byte = ParseHexNumber(item, 2);
      if (!byte) throw ParseFault{lineNo, "invalid hex byte '" + std::string(item) + "'"};
      bytes.push_back(static_cast<unsigned char>(*byte));
      if (comma == std::string_view::npos) break;
      list.remove_prefix(comma + 1);
    }
    return bytes;
  }

  std::vector<std::string_view> lines_;
  RegFile& file_;
  size_t next_ = 0;
};

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

int LineOfOffset(std::string_view text, size_t offset) {
  int line = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) line += text[i] == '\n';
  return line;
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

void AppendHexData(std::string& out, size_t column, const RegFileValue& value,
                   RegFileFormat format) {
  char prefix[16];
  if (value.type == REG_BINARY) {
    std::snprintf(prefix, sizeof prefix, "hex:");
  } else {
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
  }
  out += prefix;
  column += std::string_view(prefix).size();
  std::string bytes(value.data.begin(), value.data.end());
  if (format == RegFileFormat::kUnicode && IsTextType(value.type)) bytes = Utf8ToUtf16le(bytes);
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

void AppendValue(std::string& out, const RegFileValue& value, RegFileFormat format) {
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
    AppendHexData(out, out.size() - lineStart, value, format);
  }
  out += kLineEnd;
}

}  // namespace

RegFileParseResult ParseRegFile(std::string_view bytes) {
  RegFileParseResult result;
  std::string decoded;
  std::string_view text = bytes;
  if (bytes.substr(0, 2) == kUtf16Bom) {
    size_t errorOffset = 0;
    const auto utf8 = Utf16leToUtf8(bytes.substr(2), &errorOffset);
    if (!utf8) {
      // The line of the fault: count the line ends of the part that decodes.
      const auto before = Utf16leToUtf8(bytes.substr(2, errorOffset));
      result.errorLine = before ? LineOfOffset(*before, before->size()) : 1;
      result.error = "the file is not valid UTF-16LE text";
      return result;
    }
    decoded = *utf8;
    text = decoded;
  } else if (bytes.substr(0, 3) == kUtf8Bom) {
    text.remove_prefix(3);
  }
  try {
    Parser(SplitLines(text), result.file).Run();
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
    for (const RegFileValue& value : key.values) AppendValue(text, value, file.format);
    text += kLineEnd;
  }
  if (file.format == RegFileFormat::kRegedit4) return text;
  return std::string(kUtf16Bom) + Utf8ToUtf16le(text);
}

std::string UnwritableName(const RegFile& file) {
  const auto hasLineBreak = [](const std::string& name) {
    return name.find_first_of("\r\n") != std::string::npos;
  };
  for (const RegFileKey& key : file.keys) {
    if (hasLineBreak(key.path)) return "the key name '" + key.path + "' holds a line break";
    for (const RegFileValue& value : key.values) {
      if (hasLineBreak(value.name)) {
        return "the value name '" + value.name + "' under " + key.path + " holds a line break";
      }
    }
  }
  return {};
}
