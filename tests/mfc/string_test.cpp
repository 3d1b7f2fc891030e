// CString: layout, value semantics, formatting and the text operations.
#include <afx.h>

#include <string.h>

#include <string>

#include <gtest/gtest.h>

namespace {

TEST(CStringTest, IsOnePointerWideAndExposesItsCharacters) {
  EXPECT_EQ(sizeof(CString), sizeof(void*));
  CString s("abc");
  // The object's only member addresses the characters.
  EXPECT_EQ(*reinterpret_cast<const char* const*>(&s), static_cast<LPCSTR>(s));
  EXPECT_STREQ(CString(), "");
  EXPECT_STREQ(CString(static_cast<LPCSTR>(nullptr)), "");
}

TEST(CStringTest, CopiesAreIndependent) {
  CString original("hello");
  CString copy(original);
  CString assigned;
  assigned = original;
  copy.SetAt(0, 'j');
  assigned.MakeUpper();
  EXPECT_STREQ(original, "hello");
  EXPECT_STREQ(copy, "jello");
  EXPECT_STREQ(assigned, "HELLO");

  CString self("same");
  self = self;
  self = static_cast<LPCSTR>(self) + 1;  // a tail of its own text
  EXPECT_STREQ(self, "ame");
}

TEST(CStringTest, KeepsEmbeddedZerosAndHighBytes) {
  CString s("a\0b\xFF", 4);
  EXPECT_EQ(s.GetLength(), 4);
  CString copy(s);
  EXPECT_EQ(memcmp(static_cast<LPCSTR>(copy), "a\0b\xFF", 5), 0);
  // Byte order is unsigned, as strcmp compares.
  EXPECT_TRUE(CString("\x7F") < CString("\x80"));
}

TEST(CStringTest, Concatenates) {
  CString s("ab");
  s += CString("cd");
  s += "ef";
  s += 'g';
  s += s;  // appending itself
  EXPECT_STREQ(s, "abcdefgabcdefg");
  EXPECT_STREQ(CString("x") + CString("y"), "xy");
  EXPECT_STREQ(CString("x") + "y", "xy");
  EXPECT_STREQ("x" + CString("y"), "xy");
  EXPECT_STREQ(CString("x") + 'y', "xy");
  EXPECT_STREQ('x' + CString("y"), "xy");

  CString grown;
  for (int i = 0; i < 1000; ++i) grown += "0123456789";
  EXPECT_EQ(grown.GetLength(), 10000);
  EXPECT_EQ(grown.Right(3), CString("789"));
}

TEST(CStringTest, FormatsWithPrintfSemantics) {
  CString s("old");
  s.Format("%s=%05d|%-4s|%.2f|%x|%c", "key", 42, "ab", 2.5, 255U, 'z');
  EXPECT_STREQ(s, "key=00042|ab  |2.50|ff|z");

  // Its own text as an argument.
  s.Format("[%s]", static_cast<LPCSTR>(s));
  EXPECT_STREQ(s, "[key=00042|ab  |2.50|ff|z]");

  std::string big(5000, 'q');
  s.Format("%s!", big.c_str());
  EXPECT_EQ(s.GetLength(), 5001);

  s.Format("%s", "");
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringTest, ExtractsAndClampsLikeMfc) {
  CString s("abcdef");
  EXPECT_EQ(s.Mid(2), CString("cdef"));
  EXPECT_EQ(s.Mid(2, 2), CString("cd"));
  EXPECT_EQ(s.Mid(4, 10), CString("ef"));
  EXPECT_EQ(s.Mid(10), CString(""));
  EXPECT_EQ(s.Left(10), CString("abcdef"));
  EXPECT_EQ(s.Left(-1), CString(""));
  EXPECT_EQ(s.Right(2), CString("ef"));
  EXPECT_EQ(s.GetAt(1), 'b');
  EXPECT_EQ(s[5], 'f');
}

TEST(CStringTest, SearchesReplacesAndTrims) {
  CString s("a-b-c");
  EXPECT_EQ(s.Find('-'), 1);
  EXPECT_EQ(s.ReverseFind('-'), 3);
  EXPECT_EQ(s.Find("b-"), 2);
  EXPECT_EQ(s.Find('z'), -1);
  EXPECT_EQ(s.Find('\0'), -1);
  EXPECT_EQ(s.Replace('-', '+'), 2);
  EXPECT_STREQ(s, "a+b+c");
  EXPECT_EQ(s.Replace("+", "--"), 2);
  EXPECT_STREQ(s, "a--b--c");
  EXPECT_EQ(s.Replace("x", "y"), 0);

  CString padded(" \t text \n");
  padded.TrimLeft();
  EXPECT_STREQ(padded, "text \n");
  padded.TrimRight();
  EXPECT_STREQ(padded, "text");

  EXPECT_EQ(CString("ABC").CompareNoCase("abc"), 0);
  EXPECT_LT(CString("abc").Compare("abd"), 0);
  EXPECT_TRUE(CString("abc") == "abc");
  EXPECT_TRUE("abd" != CString("abc"));
}

TEST(CStringTest, GivesDirectBufferAccess) {
  CString s;
  char* buffer = s.GetBuffer(10);
  strcpy(buffer, "written");
  s.ReleaseBuffer();
  EXPECT_EQ(s.GetLength(), 7);
  EXPECT_STREQ(s, "written");

  s.GetBuffer(0);
  s.ReleaseBuffer(3);
  EXPECT_STREQ(s, "wri");

  char* sized = s.GetBufferSetLength(5);
  memcpy(sized, "12345", 5);
  EXPECT_STREQ(s, "12345");

  s.Empty();
  EXPECT_TRUE(s.IsEmpty());
}

}  // namespace
