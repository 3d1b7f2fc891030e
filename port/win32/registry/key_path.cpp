#include "key_path.h"

namespace vreg {

LONG normaliseKeyPath(LPCSTR path, std::string* out) {
  std::string result;
  if (path == nullptr) {
    *out = result;
    return ERROR_SUCCESS;
  }
  if (path[0] == '\\') return ERROR_BAD_PATHNAME;
  std::string_view rest(path);
  result.reserve(rest.size());
  while (!rest.empty()) {
    size_t end = rest.find('\\');
    std::string_view component = rest.substr(0, end);
    if (component.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
    if (!component.empty()) {
      if (!result.empty()) result += '\\';
      result += component;
    }
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  *out = std::move(result);
  return ERROR_SUCCESS;
}

std::string joinKeyPath(std::string_view base, std::string_view relative) {
  std::string full(base);
  if (!full.empty() && !relative.empty()) full += '\\';
  full += relative;
  return full;
}

std::string foldName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return folded;
}

std::string_view lastComponent(std::string_view path) {
  size_t sep = path.rfind('\\');
  return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

}  // namespace vreg
