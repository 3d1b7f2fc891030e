// Captures the reports of the error-reporting library for one test, and
// registers the tests' string table as the host application's: each
// failure kind is a format with one %s and each context text is its own
// number, so a report's message tells its (failure kind, context) pair.
#ifndef VINTUTIL_TESTS_REPORT_CAPTURE_H
#define VINTUTIL_TESTS_REPORT_CAPTURE_H

#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

#include <afx.h>
#include <gtest/gtest.h>
#include <varnoerr.h>

struct CapturedReport {
  std::string title;
  std::string message;
  unsigned int number;
  EVarnoErrorLevel level;
  std::string further;
};

using ReportPair = std::pair<unsigned int, unsigned int>;

class ReportCapture {
 public:
  static constexpr const char* kTitle = "Settings test";

  ReportCapture() {
    Active() = this;
    previous_ = VarnoErrorSetHandler(&Receive);
    AfxSetAppStringTable(kStrings, sizeof kStrings / sizeof kStrings[0]);
  }
  ~ReportCapture() {
    AfxSetAppStringTable(NULL, 0);
    VarnoErrorSetHandler(previous_);
    Active() = nullptr;
  }
  ReportCapture(const ReportCapture&) = delete;
  ReportCapture& operator=(const ReportCapture&) = delete;

  const std::vector<CapturedReport>& reports() const { return reports_; }
  void clear() { reports_.clear(); }

  // The (failure kind, context) pair of each report made from the host's
  // string resources; (0, 0) for a report whose message is not of that form.
  std::vector<ReportPair> pairs() const {
    std::vector<ReportPair> result;
    for (const CapturedReport& report : reports_) result.push_back(PairOf(report.message));
    return result;
  }

  // The messages of reports made with the error-reporting library's texts.
  std::vector<std::string> messages() const {
    std::vector<std::string> result;
    for (const CapturedReport& report : reports_) result.push_back(report.message);
    return result;
  }

  // Message uNumber of the error-reporting library with its argument.
  static std::string LibraryMessage(unsigned int uNumber, const std::string& text) {
    CString strFormat;
    LoadVarnoErrorString(uNumber, strFormat);
    CString strMessage;
    strMessage.Format(strFormat, text.c_str());
    return static_cast<LPCSTR>(strMessage);
  }

  // Every report has the title, level 2, number 0 and an empty further text.
  void ExpectStandardShape() const {
    for (const CapturedReport& report : reports_) {
      EXPECT_EQ(report.title, kTitle) << report.message;
      EXPECT_EQ(report.level, 2) << report.message;
      EXPECT_EQ(report.number, 0u) << report.message;
      EXPECT_EQ(report.further, "") << report.message;
    }
  }

 private:
  static ReportCapture*& Active() {
    static ReportCapture* active = nullptr;
    return active;
  }

  static void Receive(const CString& strTitle, const CString& strMessage, unsigned int uNumber,
                      EVarnoErrorLevel eLevel, const CString& strFurther) {
    if (Active() == nullptr) return;
    Active()->reports_.push_back({static_cast<LPCSTR>(strTitle), static_cast<LPCSTR>(strMessage),
                                  uNumber, eLevel, static_cast<LPCSTR>(strFurther)});
  }

  static ReportPair PairOf(const std::string& message) {
    static const std::pair<const char*, unsigned int> kinds[] = {
        {"open(", 10189}, {"write(", 10190}, {"read(", 10191}};
    for (const auto& kind : kinds) {
      const std::string prefix = kind.first;
      if (message.compare(0, prefix.size(), prefix) == 0 && message.back() == ')') {
        const std::string context =
            message.substr(prefix.size(), message.size() - prefix.size() - 1);
        return {kind.second, static_cast<unsigned int>(strtoul(context.c_str(), NULL, 10))};
      }
    }
    return {0, 0};
  }

  static constexpr AFX_STRING_RESOURCE kStrings[] = {
      {10189, "open(%s)"}, {10190, "write(%s)"}, {10191, "read(%s)"}, {10643, kTitle},
      {10192, "10192"},    {10193, "10193"},     {10194, "10194"},    {10212, "10212"},
      {10279, "10279"},    {10282, "10282"},     {10283, "10283"},    {10291, "10291"},
      {10292, "10292"},    {10293, "10293"},     {10471, "10471"},
  };

  std::vector<CapturedReport> reports_;
  VarnoErrorHandler previous_ = nullptr;
};

#endif
