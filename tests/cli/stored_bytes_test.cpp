// What the program stores and writes, byte for byte, where its text output
// hides the difference: reg query shows a REG_MULTI_SZ without the zero
// that ends its list, so the stored and exported bytes are compared.
#include <gtest/gtest.h>

#include "registry_values.h"
#include "run_cli.h"
#include "temp_registry.h"
#include "text_encoding.h"

namespace {

using CliStoredBytes = RegistryTest;

TEST_F(CliStoredBytes, MultiStringKeepsTheZeroThatEndsItsList) {
  const std::string key = "Software\\Bytes";
  const regtest::Value stored = {REG_MULTI_SZ, std::string("one\0two\0\0", 9)};
  RunOk({"reg", "add", "HKCU\\" + key, "/v", "multi", "/t", "REG_MULTI_SZ", "/d", "one\\0two"});
  EXPECT_EQ(regtest::Get(HKEY_CURRENT_USER, key, "multi"), stored);

  const struct {
    const char* format;
    std::string line;  // the value's line as the file holds it
  } formats[] = {
      {"unicode", Utf8ToUtf16le("\"multi\"=hex(7):6f,00,6e,00,65,00,00,00,74,00,77,00,6f,00,00,"
                                "00,00,00\r\n")},
      {"regedit4", "\"multi\"=hex(7):6f,6e,65,00,74,77,6f,00,00\r\n"},
  };
  for (const auto& f : formats) {
    const std::string file = registry_.dir() + "/" + f.format + ".reg";
    RunOk({"reg", "export", "HKCU\\" + key, file, "--format", f.format});
    EXPECT_NE(ReadFileBytes(file).find(f.line), std::string::npos) << f.format;
    RunOk({"reg", "delete", "HKCU\\" + key, "/f"});
    RunOk({"reg", "import", file});
    EXPECT_EQ(regtest::Get(HKEY_CURRENT_USER, key, "multi"), stored) << f.format;
  }
}

}  // namespace
