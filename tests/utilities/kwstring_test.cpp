// CKWString::Translate.
#include <KWString.h>

#include <gtest/gtest.h>

namespace {

TEST(KWStringTest, TranslatesByteByByte) {
  const struct {
    const char *text, *from, *to, *expected;
  } cases[] = {
      {"a-b-c", "-", "_", "a_b_c"},
      {"a-b-c", "-", "", "abc"},
      {"a-b-c", "-", nullptr, "abc"},
      {"abc", "ab", "b", "bc"},          // b from a is not translated again; b is deleted
      {"banana", "aa", "xy", "bxnxnx"},  // first occurrence decides
      {"", "a", "b", ""},
      {"unchanged", "", "xyz", "unchanged"},
      {"aaa", "a", "bcd", "bbb"},
      {"\xE4\xFF!\x80", "\xE4\xFF\x80", "a", "a!"},  // bytes 128-255
  };
  for (const auto& c : cases) {
    CKWString s(c.text);
    s.Translate(c.from, c.to);
    EXPECT_STREQ(s, c.expected) << "\"" << c.text << "\" from \"" << c.from << "\"";
    EXPECT_EQ(s.GetLength(), static_cast<int>(strlen(c.expected)));
  }
}

TEST(KWStringTest, TranslationLeavesCopiesAlone) {
  CKWString original("a-b"), copy(original), assigned;
  CString plain = original;
  assigned = original;
  original.Translate("-", "+");
  EXPECT_STREQ(original + "|" + copy + "|" + plain + "|" + assigned, "a+b|a-b|a-b|a-b");
}

}  // namespace
