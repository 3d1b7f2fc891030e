// CKWString: construction, assignment and Translate.
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
      {"abc", "abc", "cab", "cab"},
      {"\xE4\xF6\xFC!", "\xE4\xF6\xFC", "aou", "aou!"},  // bytes 128-255
      {"x\xFF"
       "y",
       "\xFF", "", "xy"},
      {"aaa", "a", "bcd", "bbb"},
  };
  for (const auto& c : cases) {
    CKWString s(c.text);
    s.Translate(c.from, c.to);
    EXPECT_STREQ(s, c.expected) << "\"" << c.text << "\" from \"" << c.from << "\"";
    EXPECT_EQ(s.GetLength(), static_cast<int>(strlen(c.expected)));
  }
}

TEST(KWStringTest, TranslationLeavesCopiesAlone) {
  CKWString original("a-b");
  CKWString copy(original);
  CString plain = original;
  CKWString assigned;
  assigned = original;
  original.Translate("-", "+");
  EXPECT_STREQ(original, "a+b");
  EXPECT_STREQ(copy, "a-b");
  EXPECT_STREQ(plain, "a-b");
  EXPECT_STREQ(assigned, "a-b");
}

TEST(KWStringTest, ConstructsAndAssignsFromEveryKind) {
  EXPECT_STREQ(CKWString(), "");
  EXPECT_STREQ(CKWString(CString("from CString")), "from CString");
  CKWString s;
  EXPECT_EQ(&(s = "text"), &s);
  EXPECT_STREQ(s, "text");
  EXPECT_EQ(&(s = CString("other")), &s);
  EXPECT_STREQ(s, "other");
  CKWString source("kw");
  EXPECT_EQ(&(s = source), &s);
  EXPECT_STREQ(s, "kw");
  s = s;
  EXPECT_STREQ(s, "kw");
}

}  // namespace
