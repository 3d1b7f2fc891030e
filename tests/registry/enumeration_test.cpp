// Enumeration by index stays exact however the calls come: by increasing
// index, the same index again (as after ERROR_MORE_DATA), backwards, and
// across writes that shift the indexes. Only the Win32 API: holds on Windows
// and Wine too.
#include <windows.h>

#include <string>
#include <vector>

#include "temp_registry.h"
#include "wine_difference.h"

namespace {

class Enumeration : public RegistryTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\VintutilTest", &base_));
    for (const char* name : {"a", "b", "c", "d"}) {
      ASSERT_EQ(ERROR_SUCCESS,
                RegSetValueExA(base_, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(name), 1));
      HKEY key = nullptr;
      ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(base_, name, &key));
      RegCloseKey(key);
    }
  }
  void TearDown() override { RegCloseKey(base_); }

  // The name at `index`, or "end" / the error.
  std::string value(DWORD index) {
    char name[16];
    DWORD length = sizeof name;
    LONG rc = RegEnumValueA(base_, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    return rc == ERROR_SUCCESS ? name : rc == ERROR_NO_MORE_ITEMS ? "end" : std::to_string(rc);
  }
  std::string subKey(DWORD index) {
    char name[16];
    DWORD length = sizeof name;
    LONG rc = RegEnumKeyExA(base_, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    return rc == ERROR_SUCCESS ? name : rc == ERROR_NO_MORE_ITEMS ? "end" : std::to_string(rc);
  }

  HKEY base_ = nullptr;
};

TEST_F(Enumeration, IndexesStayExactInAnyOrderAndAcrossWrites) {
  struct Step {
    DWORD index;
    const char* value;
    const char* subKey;
  };
  const auto walk = [&](std::initializer_list<Step> steps) {
    for (const Step& step : steps) {
      SCOPED_TRACE(step.index);
      EXPECT_EQ(step.value, value(step.index));
      EXPECT_EQ(step.subKey, subKey(step.index));
    }
  };
  walk({{0, "a", "a"},
        {1, "b", "b"},
        {1, "b", "b"},
        {2, "c", "c"},
        {0, "a", "a"},
        {3, "d", "d"},
        {2, "c", "c"},
        {4, "end", "end"}});
  // A write between two calls shifts what follows.
  walk({{0, "a", "a"}, {1, "b", "b"}});
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(base_, "a"));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(base_, "a"));
  walk({{1, "c", "c"}, {2, "d", "d"}, {3, "end", "end"}});
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(base_, "bb", &key));
  RegCloseKey(key);
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExA(base_, "a", 0, REG_BINARY, reinterpret_cast<const BYTE*>("a"), 1));
  const Step afterWrites[] = {{1, "c", "bb"}, {2, "d", "c"}, {3, "a", "d"}, {4, "end", "end"}};
  for (const Step& step : afterWrites) {
    SCOPED_TRACE(step.index);
    EXPECT_EQ(step.subKey, subKey(step.index));
    WINE_DIFFERENCE("Wine keeps values sorted by name, not as created")
    EXPECT_EQ(step.value, value(step.index));
  }
}

}  // namespace
