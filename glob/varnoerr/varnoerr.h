// The suite's error-reporting library: message texts by number and the
// report call through which every module of the suite reports a failure.
#ifndef VARNOERR_H
#define VARNOERR_H

#include <afx.h>

#ifdef VINTUTIL_BUILDING_VARNOERR
#define VARNOERR_API AFX_CLASS_EXPORT
#else
#define VARNOERR_API AFX_CLASS_IMPORT
#endif

// How grave a report is.
enum EVarnoErrorLevel { VARNO_INFO = 0, VARNO_WARNING = 1, VARNO_ERROR = 2, VARNO_FATAL = 3 };

// Message numbers of this library's own texts; each is a format with one
// string argument.
enum {
  VARNOERR_MSG_KEY_OPEN = 100,     // a key cannot be opened: the key path
  VARNOERR_MSG_VALUE_READ = 101,   // a value cannot be read: key path\value name
  VARNOERR_MSG_VALUE_WRITE = 102,  // a value cannot be written: key path\value name
};

// Receives every report: title, message, number, level and further text.
typedef void (*VarnoErrorHandler)(const CString& strTitle, const CString& strMessage,
                                  unsigned int uNumber, EVarnoErrorLevel eLevel,
                                  const CString& strFurther);

// Fills strText with message uNumber of this library. Returns 0, or -1 (and
// an empty text) for an unknown number.
VARNOERR_API long LoadVarnoErrorString(unsigned int uNumber, CString& strText);

// Makes a report. It goes to the installed handler; with none installed it
// is written as one line on standard error. Returns 0.
VARNOERR_API long VarnoError(CString& strTitle, CString& strMessage, unsigned int uNumber,
                             EVarnoErrorLevel eLevel, const CString& strFurther);

// Installs the handler that receives every report (NULL: back to standard
// error) and returns the one installed before.
VARNOERR_API VarnoErrorHandler VarnoErrorSetHandler(VarnoErrorHandler pfnHandler);

#endif
