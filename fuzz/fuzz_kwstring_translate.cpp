// CKWString::Translate against a reference written from its rules: each
// character of the string is looked up in the from-set, whose first
// occurrence decides; it becomes the to-set's character at that position,
// or is deleted where the to-set (NULL: empty) is shorter; characters not in
// the from-set stay; replacements are not translated again.
//
// Input: one flag byte (bit 0: the to-set is NULL), then the from-set, the
// to-set and the string, separated by zero bytes.
#include <afx.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "KWString.h"

namespace {

std::string Reference(std::string_view text, std::string_view from, const char* to) {
  const std::string_view toSet = to ? std::string_view(to) : std::string_view();
  std::string result;
  for (char c : text) {
    const size_t position = from.find(c);
    if (position == std::string_view::npos) {
      result += c;
    } else if (position < toSet.size()) {
      result += toSet[position];
    }
  }
  return result;
}

// The next zero-terminated part of the input (the rest when there is no zero).
std::string NextPart(std::string_view& input) {
  const size_t end = input.find('\0');
  std::string part(input.substr(0, end));
  input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
  return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool nullTo = data[0] & 1;
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string from = NextPart(input);
  const std::string to = NextPart(input);
  const std::string text = NextPart(input);

  CKWString subject(text.c_str());
  subject.Translate(from.c_str(), nullTo ? nullptr : to.c_str());
  const std::string expected = Reference(text, from, nullTo ? nullptr : to.c_str());
  const std::string_view actual(static_cast<LPCSTR>(subject));
  if (actual != expected || subject.GetLength() != static_cast<int>(expected.size())) {
    std::fprintf(stderr, "Translate gave \"%s\" (length %d), expected \"%s\"\n",
                 std::string(actual).c_str(), subject.GetLength(), expected.c_str());
    std::abort();
  }
  return 0;
}
