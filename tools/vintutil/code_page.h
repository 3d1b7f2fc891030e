// Conversion between the registry's 8-bit text (UTF-8) and the 8-bit text
// of a Windows code page, for REGEDIT4 files: the system's converter does
// the work (iconv on POSIX systems, MultiByteToWideChar and
// WideCharToMultiByte on Windows), so every code page it knows is available.
#ifndef VINTUTIL_CLI_CODE_PAGE_H
#define VINTUTIL_CLI_CODE_PAGE_H

#include <optional>
#include <string>
#include <string_view>

// The code page of a Western-European Windows machine, the default of
// REGEDIT4 files.
constexpr unsigned kDefaultCodePage = 1252;

// Whether the system can convert text of this Windows code page number.
bool IsKnownCodePage(unsigned codePage);

// The UTF-8 text for `bytes` in the code page; nothing when they are not
// text of the code page (or it is unknown).
std::optional<std::string> DecodeCodePage(std::string_view bytes, unsigned codePage);

// The bytes of valid UTF-8 `text` in the code page; nothing when the text
// is not valid UTF-8 or holds a character the code page cannot hold.
std::optional<std::string> EncodeCodePage(std::string_view text, unsigned codePage);

#endif
