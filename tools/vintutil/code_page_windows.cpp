#include <windows.h>

#include <optional>
#include <string>

#include "code_page.h"
#include "text_encoding.h"

namespace {

// UTF-16 for `bytes` in the code page; nothing when they do not convert.
// The few code pages that refuse the check of invalid bytes convert without.
std::optional<std::wstring> ToWide(std::string_view bytes, unsigned codePage) {
  if (bytes.empty()) return std::wstring();
  const int size = static_cast<int>(bytes.size());
  DWORD flags = MB_ERR_INVALID_CHARS;
  int length = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
  if (length == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    length = MultiByteToWideChar(codePage, flags, bytes.data(), size, nullptr, 0);
  }
  if (length == 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, flags, bytes.data(), size, wide.data(), length);
  return wide;
}

// The code page's bytes for `wide`; nothing when a character has no exact
// counterpart there. Some code pages take no flags and report no default
// character, so the result is checked by converting it back.
std::optional<std::string> FromWide(const std::wstring& wide, unsigned codePage) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0;
  const int length =
      WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length == 0) return std::nullopt;
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), size, bytes.data(), length, nullptr, nullptr);
  if (ToWide(bytes, codePage) != wide) return std::nullopt;
  return bytes;
}

}  // namespace

bool IsKnownCodePage(unsigned codePage) { return IsValidCodePage(codePage) != 0; }

std::optional<std::string> DecodeCodePage(std::string_view bytes, unsigned codePage) {
  if (!IsKnownCodePage(codePage)) return std::nullopt;
  const auto wide = ToWide(bytes, codePage);
  if (!wide) return std::nullopt;
  return FromWide(*wide, CP_UTF8);
}

std::optional<std::string> EncodeCodePage(std::string_view text, unsigned codePage) {
  if (!IsKnownCodePage(codePage) || !IsValidUtf8(text)) return std::nullopt;
  const auto wide = ToWide(text, CP_UTF8);
  if (!wide) return std::nullopt;
  return FromWide(*wide, codePage);
}
