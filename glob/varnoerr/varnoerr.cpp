// The suite's error-reporting library: its own message texts, and reports
// delivered to the installed handler or, with none, to standard error.
#include "varnoerr.h"

#include <stdio.h>

#include <atomic>

namespace {

struct Message {
  unsigned int uNumber;
  const char* pszFormat;  // one %s
};

const Message messages[] = {
    {VARNOERR_MSG_KEY_OPEN, "The registry key \"%s\" could not be opened."},
    {VARNOERR_MSG_VALUE_READ, "The registry value \"%s\" could not be read."},
    {VARNOERR_MSG_VALUE_WRITE, "The registry value \"%s\" could not be written."},
};

std::atomic<VarnoErrorHandler> installedHandler{nullptr};

// The report as one line: "title: message (level N)", line breaks inside
// the texts turned into blanks.
CString reportLine(const CString& strTitle, const CString& strMessage, EVarnoErrorLevel eLevel) {
  CString strLine;
  strLine.Format("%s: %s (level %d)", static_cast<LPCSTR>(strTitle),
                 static_cast<LPCSTR>(strMessage), static_cast<int>(eLevel));
  strLine.Replace('\n', ' ');
  strLine.Replace('\r', ' ');
  return strLine + '\n';
}

}  // namespace

long LoadVarnoErrorString(unsigned int uNumber, CString& strText) {
  for (const Message& message : messages) {
    if (message.uNumber == uNumber) {
      strText = message.pszFormat;
      return 0;
    }
  }
  strText.Empty();
  return -1;
}

long VarnoError(CString& strTitle, CString& strMessage, unsigned int uNumber,
                EVarnoErrorLevel eLevel, const CString& strFurther) {
  if (VarnoErrorHandler handler = installedHandler.load()) {
    handler(strTitle, strMessage, uNumber, eLevel, strFurther);
    return 0;
  }
  // One write, so reports of concurrent threads do not interleave.
  fputs(reportLine(strTitle, strMessage, eLevel), stderr);
  return 0;
}

VarnoErrorHandler VarnoErrorSetHandler(VarnoErrorHandler pfnHandler) {
  return installedHandler.exchange(pfnHandler);
}
