// Key and value names compared as Windows compares them: case-insensitively
// through its upper-case table, one UTF-16 unit at a time. Names arrive as
// UTF-8; a byte that is not part of a well-formed character is kept as it is
// and counts as one unit.
#ifndef VINTUTIL_REGISTRY_NAME_FOLDING_H
#define VINTUTIL_REGISTRY_NAME_FOLDING_H

#include <cstddef>
#include <string>
#include <string_view>

namespace vreg {

// The form two names share when Windows holds them to be the same name:
// each character of the Basic Multilingual Plane replaced by its upper case
// where Unicode's simple mapping goes both ways (`ä` and `Ä`, `я` and `Я`;
// not `ı` to `I` nor `ſ` to `S`, which Windows' table leaves alone);
// characters beyond it, which UTF-16 holds as two units, unchanged.
// Ordering folded names byte by byte orders them as Windows orders subkeys.
std::string foldName(std::string_view name);
// Appends the folded form of `name` to `out`.
void appendFoldedName(std::string_view name, std::string* out);

// The length of `name` in UTF-16 units, as Windows counts a name's
// characters.
size_t utf16Length(std::string_view name);

}  // namespace vreg

#endif
