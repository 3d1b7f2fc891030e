// The error-reporting library: message texts, handler delivery and the
// standard-error fallback.
#include <varnoerr.h>

#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Report {
  std::string title, message, further;
  unsigned int number;
  EVarnoErrorLevel level;
};

std::vector<Report> captured;

void captureReport(const CString& strTitle, const CString& strMessage, unsigned int uNumber,
                   EVarnoErrorLevel eLevel, const CString& strFurther) {
  captured.push_back({static_cast<LPCSTR>(strTitle), static_cast<LPCSTR>(strMessage),
                      static_cast<LPCSTR>(strFurther), uNumber, eLevel});
}

void otherHandler(const CString&, const CString&, unsigned int, EVarnoErrorLevel, const CString&) {}

class VarnoErrorTest : public ::testing::Test {
 protected:
  void SetUp() override { captured.clear(); }
  void TearDown() override { VarnoErrorSetHandler(nullptr); }
};

TEST_F(VarnoErrorTest, MessagesAreFormatsWithOneStringArgument) {
  for (unsigned int number : {100u, 101u, 102u}) {
    CString format("sentinel");
    ASSERT_EQ(LoadVarnoErrorString(number, format), 0) << number;
    const char* first = strchr(format, '%');
    ASSERT_NE(first, nullptr) << number;
    EXPECT_EQ(first[1], 's') << number;
    EXPECT_EQ(strchr(first + 1, '%'), nullptr) << "exactly one conversion in " << number;

    CString message;
    message.Format(format, "KEY\\VALUE");
    EXPECT_NE(message.Find("KEY\\VALUE"), -1) << number;
  }
}

TEST_F(VarnoErrorTest, UnknownMessageIsEmptyAndFails) {
  CString text("sentinel");
  EXPECT_EQ(LoadVarnoErrorString(99, text), -1);
  EXPECT_TRUE(text.IsEmpty());
  EXPECT_EQ(LoadVarnoErrorString(103, text), -1);
}

TEST_F(VarnoErrorTest, HandlerReceivesEveryArgument) {
  EXPECT_EQ(VarnoErrorSetHandler(captureReport), nullptr);
  CString title("Title"), message("Message");
  EXPECT_EQ(VarnoError(title, message, 7, VARNO_ERROR, CString("more")), 0);
  ASSERT_EQ(captured.size(), 1u);
  EXPECT_EQ(captured[0].title, "Title");
  EXPECT_EQ(captured[0].message, "Message");
  EXPECT_EQ(captured[0].number, 7u);
  EXPECT_EQ(captured[0].level, 2);
  EXPECT_EQ(captured[0].further, "more");
}

TEST_F(VarnoErrorTest, SettingAHandlerReturnsThePreviousOne) {
  EXPECT_EQ(VarnoErrorSetHandler(captureReport), nullptr);
  EXPECT_EQ(VarnoErrorSetHandler(otherHandler), &captureReport);
  EXPECT_EQ(VarnoErrorSetHandler(nullptr), &otherHandler);
  EXPECT_EQ(VarnoErrorSetHandler(nullptr), nullptr);
}

TEST_F(VarnoErrorTest, WithoutHandlerWritesOneLineToStandardError) {
  CString title("Registry"), message("first\nsecond");
  ::testing::internal::CaptureStderr();
  VarnoError(title, message, 0, VARNO_ERROR, CString());
  std::string written = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(written, "Registry: first second (level 2)\n");
}

}  // namespace
