// Registry value types by name, and value data as reg.exe shows and takes
// it: REG_SZ and REG_EXPAND_SZ as text, REG_MULTI_SZ as texts joined by \0,
// REG_DWORD and REG_QWORD as 0x-numbers, everything else as hex digits.
#ifndef VINTUTIL_CLI_VALUE_FORMAT_H
#define VINTUTIL_CLI_VALUE_FORMAT_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// "REG_SZ" for 1 and so on; "REG_UNKNOWN(0x..)" for a type without a name.
std::string TypeName(uint32_t type);

// The type for a name of TypeName (case-insensitive); nothing when unknown.
std::optional<uint32_t> ParseTypeName(std::string_view name);

// The data as reg.exe shows it.
std::string FormatData(uint32_t type, const std::vector<unsigned char>& data);

// The bytes to store for data given on the command line; nothing, with
// *error set, when the text does not fit the type. Texts get their
// terminating zero; REG_DWORD and REG_QWORD take decimal or 0x-hex numbers.
std::optional<std::vector<unsigned char>> ParseData(uint32_t type, std::string_view text,
                                                    std::string* error);

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
