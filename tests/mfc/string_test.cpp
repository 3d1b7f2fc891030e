// CString: layout, value semantics, formatting and the text operations.
#include <afx.h>

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(CStringTest, IsOnePointerToItsCharactersWithValueSemantics) {
  EXPECT_EQ(sizeof(CString), sizeof(void*));
  CString original("hello"), copy(original), assigned;
  EXPECT_EQ(*reinterpret_cast<const char* const*>(&original), static_cast<LPCSTR>(original));
  EXPECT_STREQ(CString(static_cast<LPCSTR>(nullptr)), "");
  assigned = original;
  copy.SetAt(0, 'j');
  assigned.MakeUpper();
  EXPECT_STREQ(original + "|" + copy + "|" + assigned, "hello|jello|HELLO");
  original = original;
  original = static_cast<LPCSTR>(original) + 1;  // a tail of its own text
  EXPECT_STREQ(original, "ello");
  original += original;
  EXPECT_STREQ(original, "elloello");
  // Embedded zeros and high bytes travel; byte order is unsigned.
  CString bytes("a\0b\xFF", 4), bytesCopy(bytes);
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
  s.Format("%s!", std::string(5000, 'q').c_str());
  EXPECT_EQ(s.GetLength(), 5001);
  s.Format("%s", "");
  EXPECT_TRUE(s.IsEmpty());
}

TEST(CStringTest, TextOperationsClampLikeMfc) {
  CString s("a-b-c"), padded(" \t text \n");
  const std::pair<CString, const char*> cases[] = {
      {s.Mid(2), "b-c"},     {s.Mid(2, 2), "b-"}, {s.Mid(4, 10), "c"}, {s.Mid(10), ""},
      {s.Left(10), "a-b-c"}, {s.Left(-1), ""},    {s.Right(2), "-c"},  {CString("x") + 'y', "xy"},
  };
  for (const auto& [result, expected] : cases) EXPECT_STREQ(result, expected);
  EXPECT_EQ(std::vector<int>({s.Find('-'), s.ReverseFind('-'), s.Find("b-"), s.Find('\0')}),
            std::vector<int>({1, 3, 2, -1}));
  EXPECT_EQ(s.Replace("-", "--"), 2);
  EXPECT_STREQ(s, "a--b--c");
  padded.TrimLeft();
  padded.TrimRight();
  EXPECT_STREQ(padded, "text");
  EXPECT_EQ(CString("ABC").CompareNoCase("abc"), 0);
  strcpy(s.GetBuffer(10), "written");
  s.ReleaseBuffer();
  EXPECT_EQ(s.GetLength(), 7);
  s.GetBuffer(0);
  s.ReleaseBuffer(3);
  EXPECT_STREQ(s, "wri");
}

}  // namespace
