// CKWString: CString with character translation.
#ifndef KWSTRING_H
#define KWSTRING_H

#include "vintutil_export.h"

class VINTUTIL_API CKWString : public CString {
 public:
  CKWString();
  CKWString(const char* lpsz);
  CKWString(const CString& str);
  CKWString(const CKWString& str);
  ~CKWString();

  const CKWString& operator=(const char* lpsz);
  const CKWString& operator=(const CString& str);
  CKWString& operator=(const CKWString& str);

  // In place, byte by byte: each character found in lpszFrom (its first
  // occurrence decides) becomes the character at the same position of
  // lpszTo, or is deleted where lpszTo (NULL: empty) is shorter; other
  // characters stay. Replacements are not translated again, so the string
  // never grows. lpszFrom must not be NULL.
  void Translate(const char* lpszFrom, const char* lpszTo);
};

#endif
