#include "key_path.h"

#include <strings.h>

#include <cstring>

namespace {

struct RootName {
  HKEY root;
  const char* longName;
  const char* shortName;
};

const RootName kRoots[] = {
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "HKLM"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "HKCU"},
};

bool EqualsNoCase(std::string_view a, const char* b) {
  return a.size() == strlen(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

}  // namespace

std::string KeyPath::Full() const {
  std::string full;
  for (const RootName& r : kRoots) {
    if (r.root == root) full = r.longName;
  }
  if (!subkey.empty()) full += "\\" + subkey;
  return full;
}

KeyPath KeyPath::Child(std::string_view name) const {
  KeyPath child = *this;
  if (!child.subkey.empty()) child.subkey += '\\';
  child.subkey += name;
  return child;
}

std::optional<KeyPath> ParseKeyPath(std::string_view text) {
  const size_t slash = text.find('\\');
  const std::string_view rootText = text.substr(0, slash);
  std::string_view rest = slash == std::string_view::npos ? "" : text.substr(slash + 1);
  while (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
  for (const RootName& r : kRoots) {
    if (EqualsNoCase(rootText, r.longName) || EqualsNoCase(rootText, r.shortName)) {
      return KeyPath{r.root, std::string(rest)};
    }
  }
  return std::nullopt;
}
