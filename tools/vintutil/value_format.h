// Registry value types by name, and value data as reg.exe shows and takes
// it: REG_SZ and REG_EXPAND_SZ as text, REG_MULTI_SZ as texts joined by \0,
// REG_DWORD, REG_DWORD_BIG_ENDIAN and REG_QWORD as 0x-numbers, everything
// else as hex digits.
#ifndef VINTUTIL_CLI_VALUE_FORMAT_H
#define VINTUTIL_CLI_VALUE_FORMAT_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The separator of the texts of a REG_MULTI_SZ on the command line, unless
// /s (reg add) or /se (reg query) names another.
constexpr std::string_view kMultiSeparator = "\\0";

// The Windows name of types 0 to 11 ("REG_SZ" for 1, "REG_RESOURCE_LIST"
// for 8, ...); "REG_UNKNOWN(0x..)" for any other type.
std::string TypeName(uint32_t type);

// The type for a name of TypeName or REG_DWORD_LITTLE_ENDIAN
// (case-insensitive); nothing when unknown.
std::optional<uint32_t> ParseTypeName(std::string_view name);

// The data as reg.exe shows it; `separator` joins the texts of a REG_MULTI_SZ.
std::string FormatData(uint32_t type, const std::vector<unsigned char>& data,
                       std::string_view separator = kMultiSeparator);

// Whether `separator` is one character, as /s and /se take it.
bool IsSeparator(std::string_view separator);

// The bytes reg.exe stores for `reg add /t type /d text` (`text` is nothing
// without /d); nothing, with *error set, when reg.exe refuses the data.
// - REG_SZ, REG_EXPAND_SZ: the text and its terminating zero.
// - REG_MULTI_SZ: the texts between separators, each with its zero, and one
//   more zero; a separator at the end closes the last text; an empty text
//   only alone ("\0"); no data is the empty list.
// - REG_DWORD, REG_DWORD_BIG_ENDIAN (stored little-endian, as reg.exe does),
//   REG_QWORD: decimal (a leading zero is still decimal) or hexadecimal
//   after 0x, blanks before the number allowed; empty data is 0. A minus
//   sign is refused, except before a decimal REG_QWORD, which wraps it
//   ("-1" is 0xFFFFFFFFFFFFFFFF). Without /d only REG_QWORD has data: 0.
// - REG_BINARY: pairs of hex digits; an odd digit count gets a leading 0.
// - REG_NONE: the text in UTF-16LE with its terminating zero.
// - other types are refused.
std::optional<std::vector<unsigned char>> ParseData(uint32_t type,
                                                    const std::optional<std::string>& text,
                                                    std::string_view separator, std::string* error);

// A stored value decoded for people: a text in double quotes (up to its
// first zero), a 4-byte REG_BINARY or a REG_DWORD as a signed or unsigned
// number, an 8-byte REG_BINARY as a double; other data as FormatData.
std::string FormatDecoded(uint32_t type, const std::vector<unsigned char>& data);

// Whether FormatDecoded gives a (finite) number for this data.
bool DecodesAsNumber(uint32_t type, const std::vector<unsigned char>& data);

// The shortest decimal text that reads back as exactly `value`.
std::string FormatDouble(double value);

// A text as a JSON string: quotes, backslashes and control characters
// escaped, bytes that are not valid UTF-8 as U+FFFD, so the output is valid
// UTF-8 whatever the registry holds.
std::string JsonString(const std::string& text);

// The number held in 4 or 8 little-endian bytes.
uint64_t LittleEndian(const std::vector<unsigned char>& data);

#endif
