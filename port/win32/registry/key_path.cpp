#include "key_path.h"

#include <algorithm>

#include "name_folding.h"

namespace vreg {
namespace {

// Whether `name` has at most `limit` UTF-16 units; a name has no more units
// than bytes, so most are decided without counting.
bool withinUnits(std::string_view name, size_t limit) {
  return name.size() <= limit || utf16Length(name) <= limit;
}

}  // namespace

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
    if (!withinUnits(component, kMaxKeyNameLength)) return ERROR_INVALID_PARAMETER;
    if (!component.empty()) {
      if (!result.empty()) result += '\\';
      result += component;
    }
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  *out = std::move(result);
  return ERROR_SUCCESS;
}

bool validValueName(std::string_view name) { return withinUnits(name, kMaxValueNameLength); }

size_t keyDepth(std::string_view path) {
  return path.empty() ? 0 : size_t(std::count(path.begin(), path.end(), '\\')) + 1;
}

std::string joinKeyPath(std::string_view base, std::string_view relative) {
  std::string full(base);
  if (!full.empty() && !relative.empty()) full += '\\';
  full += relative;
  return full;
}

}  // namespace vreg
