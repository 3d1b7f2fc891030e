// Captures the reports of the error-reporting library for one test, and
// registers the tests' string table as the host application's: each
// failure kind is "<its number> %s" and each context text is its own
// number, so a report's message tells its (failure kind, context) pair.
// Every report must carry the title, level 2, number 0 and no further text.
#ifndef VINTUTIL_TESTS_REPORT_CAPTURE_H
#define VINTUTIL_TESTS_REPORT_CAPTURE_H

#include <stdio.h>

#include <string>
#include <utility>
#include <vector>

#include <afx.h>
#include <gtest/gtest.h>
#include <varnoerr.h>

using ReportPair = std::pair<unsigned int, unsigned int>;

class ReportCapture {
 public:
  static constexpr const char* kTitle = "Settings test";

  ReportCapture() {
    active_ = this;
    previous_ = VarnoErrorSetHandler(&Receive);
    AfxSetAppStringTable(kStrings, sizeof kStrings / sizeof kStrings[0]);
  }
  ~ReportCapture() {
    AfxSetAppStringTable(NULL, 0);
    VarnoErrorSetHandler(previous_);
    active_ = nullptr;
  }

  const std::vector<std::string>& messages() const { return messages_; }
  void clear() { messages_.clear(); }

  // The (failure kind, context) pair of each report; (0, 0) for a report
  // made with the error-reporting library's own texts.
  std::vector<ReportPair> pairs() const {
    std::vector<ReportPair> result;
    for (const std::string& message : messages_) {
      unsigned int kind = 0, context = 0;
      if (sscanf(message.c_str(), "%u %u", &kind, &context) != 2) kind = context = 0;
      result.emplace_back(kind, context);
    }
    return result;
  }

  // Message uNumber of the error-reporting library with its argument.
  static std::string LibraryMessage(unsigned int uNumber, const std::string& text) {
    CString strFormat, strMessage;
    LoadVarnoErrorString(uNumber, strFormat);
    strMessage.Format(strFormat, text.c_str());
    return static_cast<LPCSTR>(strMessage);
  }

 private:
  static void Receive(const CString& strTitle, const CString& strMessage, unsigned int uNumber,
                      EVarnoErrorLevel eLevel, const CString& strFurther) {
    EXPECT_STREQ(strTitle, kTitle) << strMessage;
    EXPECT_EQ(eLevel, 2) << strMessage;
    EXPECT_EQ(uNumber, 0u) << strMessage;
    EXPECT_STREQ(strFurther, "") << strMessage;
    if (active_ != nullptr) active_->messages_.push_back(static_cast<LPCSTR>(strMessage));
  }

  static constexpr AFX_STRING_RESOURCE kStrings[] = {
      {10189, "10189 %s"}, {10190, "10190 %s"}, {10191, "10191 %s"}, {10472, "10472 %s"},
      {10643, kTitle},     {10192, "10192"},    {10193, "10193"},    {10194, "10194"},
      {10212, "10212"},    {10279, "10279"},    {10282, "10282"},    {10283, "10283"},
      {10291, "10291"},    {10292, "10292"},    {10293, "10293"},    {10471, "10471"},
  };

  static inline ReportCapture* active_ = nullptr;
  std::vector<std::string> messages_;
  VarnoErrorHandler previous_ = nullptr;
};

#endif
