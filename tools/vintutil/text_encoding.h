// Conversion between the registry's 8-bit text (UTF-8) and UTF-16LE, the
// character encoding of Unicode .reg files.
//
// The conversion is lossless in both directions for any byte string: a byte
// that is not part of valid UTF-8 travels as a lone low surrogate
// U+DC80..U+DCFF and comes back as the same byte. Valid UTF-8 text maps to
// the UTF-16 a Windows machine would hold for it.
#ifndef VINTUTIL_CLI_TEXT_ENCODING_H
#define VINTUTIL_CLI_TEXT_ENCODING_H

#include <optional>
#include <string>
#include <string_view>

// UTF-16LE bytes (two per code unit) for an 8-bit string.
std::string Utf8ToUtf16le(std::string_view bytes);

// The 8-bit string for UTF-16LE bytes; nothing when the byte count is odd or
// a surrogate is unpaired (other than the escaped bytes described above).
// On failure *errorOffset, when given, receives the byte offset of the fault.
std::optional<std::string> Utf16leToUtf8(std::string_view utf16le, size_t* errorOffset = nullptr);

#endif
