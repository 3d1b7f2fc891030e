#include "command_line_text.h"

#include "text_encoding.h"

std::string InvalidText(const std::string& text, const std::string& what) {
  if (IsValidUtf8(text)) return {};
  return what + " '" + ValidUtf8(text) + "' is not valid UTF-8 text";
}

std::string InvalidName(const std::string& name, const std::string& what) {
  if (name.find_first_of("\r\n") != std::string::npos) {
    return what + " holds a line break, which no .reg file can hold";
  }
  return InvalidText(name, what);
}
