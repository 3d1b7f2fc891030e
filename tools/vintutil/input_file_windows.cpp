#include <windows.h>

#include <string>

#include "input_file.h"

namespace {

std::wstring Wide(const std::string& utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), length);
  wide.resize(wide.size() - 1);
  return wide;
}

// The system's text for an error code, without its line end.
std::string SystemText(DWORD error) {
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                        text[length - 1] == ' ' || text[length - 1] == '.')) {
    --length;
  }
  return length > 0 ? std::string(text, length) : "error " + std::to_string(error);
}

}  // namespace

std::string ReadInputFile(const std::string& path, std::string& bytes) {
  const std::wstring name = Wide(path);
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return "Is a directory";
  }
  HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return SystemText(GetLastError());
  std::string reason;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    reason = "it is a pipe or a device, not a regular file";
  } else {
    bytes.clear();
    char buffer[65536];
    for (;;) {
      DWORD read = 0;
      if (!ReadFile(file, buffer, sizeof buffer, &read, nullptr)) {
        reason = SystemText(GetLastError());
        break;
      }
      if (read == 0) break;
      bytes.append(buffer, read);
    }
  }
  CloseHandle(file);
  return reason;
}
