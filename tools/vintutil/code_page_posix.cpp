#include <errno.h>
#include <iconv.h>

#include <string>

#include "code_page.h"
#include "text_encoding.h"

namespace {

// iconv's name for a Windows code page number.
std::string IconvName(unsigned codePage) {
  switch (codePage) {
    case 65001:
      return "UTF-8";
    case 20127:
      return "US-ASCII";
    case 20866:
      return "KOI8-R";
    case 21866:
      return "KOI8-U";
    case 20932:
      return "EUC-JP";
    case 51949:
      return "EUC-KR";
    case 54936:
      return "GB18030";
    default:
      if (codePage >= 28591 && codePage <= 28606) {
        return "ISO-8859-" + std::to_string(codePage - 28590);
      }
      return "CP" + std::to_string(codePage);
  }
}

// A conversion descriptor, closed when it goes out of scope.
class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // All of `in` converted; nothing at the first byte that does not convert.
  std::optional<std::string> Convert(std::string_view in) {
    std::string out;
    std::string input(in);
    char* inPtr = input.data();
    size_t inLeft = input.size();
    char buffer[4096];
    for (;;) {
      char* outPtr = buffer;
      size_t outLeft = sizeof buffer;
      const size_t rc = inLeft != 0 ? iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft)
                                    : iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
      out.append(buffer, outPtr);
      if (rc != static_cast<size_t>(-1)) {
        if (inLeft == 0 && outPtr == buffer) return out;
        continue;
      }
      if (errno != E2BIG) return std::nullopt;
    }
  }

 private:
  iconv_t cd_;
};

}  // namespace

bool IsKnownCodePage(unsigned codePage) { return Converter("UTF-8", IconvName(codePage)).valid(); }

std::optional<std::string> DecodeCodePage(std::string_view bytes, unsigned codePage) {
  Converter converter("UTF-8", IconvName(codePage));
  if (!converter.valid()) return std::nullopt;
  return converter.Convert(bytes);
}

std::optional<std::string> EncodeCodePage(std::string_view text, unsigned codePage) {
  if (!IsValidUtf8(text)) return std::nullopt;
  Converter converter(IconvName(codePage), "UTF-8");
  if (!converter.valid()) return std::nullopt;
  return converter.Convert(text);
}
