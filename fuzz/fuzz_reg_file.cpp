// The .reg parser and writer: any input either is refused or parses to a
// file that the writer puts into bytes which parse back to the same file, in
// the format it came in and in the other one (where that format can hold its
// names and text); and writing is a fixed point.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "reg_file.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "round trip broken: %s\n", what);
  std::abort();
}

// Writes `file` in `format`, parses the bytes and requires the same content.
void RequireRoundTrip(RegFile file, RegFileFormat format) {
  file.format = format;
  if (!UnwritableName(file).empty()) return;
  const std::string bytes = SerializeRegFile(file);
  const RegFileParseResult again = ParseRegFile(bytes);
  if (!again.ok) std::fprintf(stderr, "line %d: %s\n", again.errorLine, again.error.c_str());
  Require(again.ok, "the written file is refused");
  Require(again.file.format == format, "the format changed");
  Require(again.file.keys == file.keys, "the content changed");
  Require(SerializeRegFile(again.file) == bytes, "writing again gives other bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const RegFileParseResult parsed =
      ParseRegFile(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!parsed.ok) {
    Require(parsed.errorLine >= 1, "a refusal without its line");
    Require(!parsed.error.empty(), "a refusal without its reason");
    Require(parsed.file.keys.empty(), "a refused file keeps content");
    return 0;
  }
  RequireRoundTrip(parsed.file, RegFileFormat::kUnicode);
  RequireRoundTrip(parsed.file, RegFileFormat::kRegedit4);
  return 0;
}
