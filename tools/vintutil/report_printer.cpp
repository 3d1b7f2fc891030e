// Every report of the library, printed on standard error as one line.
#include <varnoerr.h>

#include <cstdio>

#include "host_resources.h"

namespace {

int g_reportCount = 0;

void PrintReport(const CString& strTitle, const CString& strMessage, unsigned int /*uNumber*/,
                 EVarnoErrorLevel /*eLevel*/, const CString& strFurther) {
  ++g_reportCount;
  std::fprintf(stderr, "%s: %s%s%s\n", static_cast<LPCSTR>(strTitle),
               static_cast<LPCSTR>(strMessage), strFurther.IsEmpty() ? "" : " ",
               static_cast<LPCSTR>(strFurther));
}

}  // namespace

void InstallReportPrinter() { VarnoErrorSetHandler(PrintReport); }

int ReportCount() { return g_reportCount; }
