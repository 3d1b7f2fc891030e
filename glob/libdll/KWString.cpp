// CKWString: CString with character translation.
#include "KWString.h"

#include <string.h>

CKWString::CKWString() {}

CKWString::CKWString(const char* lpsz) : CString(lpsz) {}

CKWString::CKWString(const CString& str) : CString(str) {}

CKWString::CKWString(const CKWString& str) : CString(str) {}

CKWString::~CKWString() {}

const CKWString& CKWString::operator=(const char* lpsz) {
  CString::operator=(lpsz);
  return *this;
}

const CKWString& CKWString::operator=(const CString& str) {
  CString::operator=(str);
  return *this;
}

CKWString& CKWString::operator=(const CKWString& str) {
  CString::operator=(str);
  return *this;
}

void CKWString::Translate(const char* lpszFrom, const char* lpszTo) {
  size_t nTo = lpszTo == NULL ? 0 : strlen(lpszTo);
  size_t nFrom = strlen(lpszFrom);
  char* buffer = GetBuffer(GetLength());
  char* write = buffer;
  for (const char* read = buffer; *read != '\0'; ++read) {
    const char* found = static_cast<const char*>(memchr(lpszFrom, *read, nFrom));
    if (found == NULL) {
      *write++ = *read;
    } else if (static_cast<size_t>(found - lpszFrom) < nTo) {
      *write++ = lpszTo[found - lpszFrom];
    }
  }
  ReleaseBuffer(static_cast<int>(write - buffer));
}
