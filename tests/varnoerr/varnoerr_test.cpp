// The error-reporting library: message texts, handler delivery and the
// standard-error fallback.
#include <varnoerr.h>

#include <string.h>

#include <string>

#include <gtest/gtest.h>

namespace {

std::string received;  // the last report's arguments, joined by "|"

void Receive(const CString& strTitle, const CString& strMessage, unsigned int uNumber,
             EVarnoErrorLevel eLevel, const CString& strFurther) {
  received = std::string(strTitle) + "|" + std::string(strMessage) + "|" + std::to_string(uNumber) +
             "|" + std::to_string(eLevel) + "|" + std::string(strFurther);
}

void Other(const CString&, const CString&, unsigned int, EVarnoErrorLevel, const CString&) {}

// Messages 100 to 102 are distinct formats with one string argument; others
// are empty and fail.
TEST(VarnoErrorTest, MessagesAreFormatsWithOneStringArgument) {
  CString texts[3];
  for (unsigned int number : {100u, 101u, 102u}) {
    CString& format = texts[number - 100];
    ASSERT_EQ(LoadVarnoErrorString(number, format), 0) << number;
    const char* first = strchr(format, '%');
    ASSERT_NE(first, nullptr) << number;
    EXPECT_EQ(first[1], 's') << number;
    EXPECT_EQ(strchr(first + 1, '%'), nullptr) << "exactly one conversion in " << number;
  }
  EXPECT_TRUE(texts[0] != texts[1] && texts[1] != texts[2] && texts[0] != texts[2]);
  for (unsigned int number : {99u, 103u}) {
    CString text("sentinel");
    EXPECT_EQ(LoadVarnoErrorString(number, text), -1) << number;
    EXPECT_TRUE(text.IsEmpty()) << number;
  }
}

TEST(VarnoErrorTest, HandlerReceivesEveryArgumentUntilReplaced) {
  EXPECT_EQ(VarnoErrorSetHandler(Receive), nullptr);
  CString title("Title"), message("Message");
  EXPECT_EQ(VarnoError(title, message, 7, VARNO_ERROR, CString("more")), 0);
  EXPECT_EQ(received, "Title|Message|7|2|more");
  EXPECT_EQ(VarnoErrorSetHandler(Other), &Receive);
  EXPECT_EQ(VarnoErrorSetHandler(nullptr), &Other);
  EXPECT_EQ(VarnoErrorSetHandler(nullptr), nullptr);
}

TEST(VarnoErrorTest, WithoutHandlerWritesOneLineToStandardError) {
  CString title("Registry"), message("first\nsecond");
  ::testing::internal::CaptureStderr();
  VarnoError(title, message, 0, VARNO_ERROR, CString());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Registry: first second (level 2)\n");
}

}  // namespace
