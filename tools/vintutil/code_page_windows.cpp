#include <windows.h>

#include <string>

#include "code_page.h"
#include "text_encoding.h"

namespace {

// UTF-16 for `bytes` in the code page; nothing when they do not convert.
std::optional<std::wstring> ToWide(std::string_view bytes, unsigned codePage) {
  if (bytes.empty()) return std::wstring();
  const int size = static_cast<int>(bytes.size());
  const int length =
      MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length == 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), length);
  return wide;
}

// The code page's bytes for `wide`; nothing when a character has no exact
// counterpart there (no best-fit or default characters).
std::optional<std::string> FromWide(const std::wstring& wide, unsigned codePage) {
  if (wide.empty()) return std::string();
  const int size = static_cast<int>(wide.size());
  // UTF-8 and UTF-7 take neither the flag nor the default-character check.
  const bool utf = codePage == CP_UTF8 || codePage == CP_UTF7;
  const DWORD flags = utf ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultPtr = utf ? nullptr : &usedDefault;
  const int length =
      WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, usedDefaultPtr);
  if (length == 0 || usedDefault) return std::nullopt;
  std::string bytes(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, flags, wide.data(), size, bytes.data(), length, nullptr, nullptr);
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
