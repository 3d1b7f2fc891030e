// CString: layout, value semantics, formatting and the text operations.
#include <afx.h>

#include <string.h>

#include <string>

#include <gtest/gtest.h>

namespace {

TEST(CStringTest, IsOnePointerToItsCharacters) {
  EXPECT_EQ(sizeof(CString), sizeof(void*));
  CString s("abc");
  EXPECT_EQ(*reinterpret_cast<const char* const*>(&s), static_cast<LPCSTR>(s));
  EXPECT_STREQ(CString(static_cast<LPCSTR>(nullptr)), "");
}

TEST(CStringTest, CopiesAreIndependentValues) {
  CString original("hello");
  CString copy(original);
  CString assigned;
  assigned = original;
  copy.SetAt(0, 'j');
  assigned.MakeUpper();
  EXPECT_STREQ(original, "hello");
  EXPECT_STREQ(copy, "jello");
  EXPECT_STREQ(assigned, "HELLO");

  original = original;
  original = static_cast<LPCSTR>(original) + 1;  // a tail of its own text
  EXPECT_STREQ(original, "ello");
  original += original;
  EXPECT_STREQ(original, "elloello");

  // Embedded zeros and high bytes travel; byte order is unsigned.
  CString bytes("a\0b\xFF", 4);
  CString bytesCopy(bytes);
  EXPECT_EQ(bytesCopy.GetLength(), 4);
  EXPECT_EQ(memcmp(static_cast<LPCSTR>(bytesCopy), "a\0b\xFF", 5), 0);
  EXPECT_TRUE(CString("\x7F") < CString("\x80"));
}

TEST(CStringTest, FormatsWithPrintfSemantics) {
  CString s("old");
  s.Format("%s=%05d|%-4s|%.2f|%x|%c", "key", 42, "ab", 2.5, 255U, 'z');
  EXPECT_STREQ(s, "key=00042|ab  |2.50|ff|z");
  s.Format("[%s]", static_cast<LPCSTR>(s));  // its own text as an argument
  EXPECT_STREQ(s, "[key=00042|ab  |2.50|ff|z]");
  std::string big(5000, 'q');
  s.Format("%s!", big.c_str());
  EXPECT_EQ(s.GetLength(), 5001);
  s.Format("%s", "");
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringTest, TextOperationsClampLikeMfc) {
  CString s("a-b-c");
  const std::pair<CString, const char*> cases[] = {
      {s.Mid(2), "b-c"},     {s.Mid(2, 2), "b-"}, {s.Mid(4, 10), "c"}, {s.Mid(10), ""},
      {s.Left(10), "a-b-c"}, {s.Left(-1), ""},    {s.Right(2), "-c"},  {CString("x") + 'y', "xy"},
  };
  for (const auto& [result, expected] : cases) EXPECT_STREQ(result, expected);
  EXPECT_EQ(s.Find('-'), 1);
  EXPECT_EQ(s.ReverseFind('-'), 3);
  EXPECT_EQ(s.Find("b-"), 2);
  EXPECT_EQ(s.Find('\0'), -1);
  EXPECT_EQ(s.Replace("-", "--"), 2);
  EXPECT_STREQ(s, "a--b--c");

  CString padded(" \t text \n");
  padded.TrimLeft();
  padded.TrimRight();
  EXPECT_STREQ(padded, "text");
  EXPECT_EQ(CString("ABC").CompareNoCase("abc"), 0);

  char* buffer = s.GetBuffer(10);
  strcpy(buffer, "written");
  s.ReleaseBuffer();
  EXPECT_EQ(s.GetLength(), 7);
  s.GetBuffer(0);
  s.ReleaseBuffer(3);
  EXPECT_STREQ(s, "wri");
}

}  // namespace
