// Conversion between the registry's 8-bit text (UTF-8) and UTF-16LE, the
// character encoding of Unicode .reg files.
//
// The conversion is lossless in both directions for any byte string, so
// that text data a registry holds travels through a Unicode file byte for
// byte even when it is not valid text:
// - valid UTF-8 maps to the UTF-16 a Windows machine would hold for it;
// - a byte that is not part of valid UTF-8 travels as a lone low surrogate
//   U+DC80..U+DCFF and comes back as the same byte;
// - any other lone surrogate is held in its 3-byte UTF-8 form (ED A0 80 for
//   U+D800), which valid UTF-8 never contains;
// - the odd last byte of UTF-16 data with an odd length is held as the three
//   bytes F8 8h 8l (its high and low nibble) at the end.
// The one pairing that does not come back: lone low surrogates standing for
// bytes that together form valid UTF-8 (U+DCC3 U+DCA4 comes back as U+00E4).
#ifndef VINTUTIL_CLI_TEXT_ENCODING_H
#define VINTUTIL_CLI_TEXT_ENCODING_H

#include <string>
#include <string_view>

// UTF-16LE bytes for an 8-bit string.
std::string Utf8ToUtf16le(std::string_view bytes);

// The 8-bit string for UTF-16LE bytes of any length and content.
std::string Utf16leToUtf8(std::string_view utf16le);

// Whether the bytes are valid UTF-8 (no overlong forms, no surrogates, no
// code points beyond U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// The bytes with every part that is not valid UTF-8 replaced by U+FFFD, one
// per byte.
std::string ValidUtf8(std::string_view bytes);

#endif
