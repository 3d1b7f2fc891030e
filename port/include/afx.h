// The subset of MFC 4.2 that vintutil uses: CString, CTime, CObject with its
// run-time class information, and the extension-module machinery reduced to
// what it means here, a chain of string tables searched by
// CString::LoadString.
//
// Built on every platform (on Windows too, where MFC itself is not used), so
// names and signatures are MFC's and the classes behave as MFC's do.
#ifndef VINTUTIL_PORT_AFX_H
#define VINTUTIL_PORT_AFX_H

#include <stdarg.h>
#include <time.h>
#include <windows.h>

// The SDK's GetCurrentTime() macro would rename CTime::GetCurrentTime; MFC
// removes it the same way.
#ifdef GetCurrentTime
#undef GetCurrentTime
#endif

#ifdef VINTUTIL_BUILDING_MFC
#ifdef _WIN32
#define AFX_CORE_API __declspec(dllexport)
#else
#define AFX_CORE_API __attribute__((visibility("default")))
#endif
#else
#ifdef _WIN32
#define AFX_CORE_API __declspec(dllimport)
#else
#define AFX_CORE_API
#endif
#endif

// Exported classes of an extension library: AFX_EXT_CLASS marks them.
// A library defines VINTUTIL_BUILDING_<NAME> and uses its own macro built on
// these two.
#ifdef _WIN32
#define AFX_CLASS_EXPORT __declspec(dllexport)
#define AFX_CLASS_IMPORT __declspec(dllimport)
#else
#define AFX_CLASS_EXPORT __attribute__((visibility("default")))
#define AFX_CLASS_IMPORT
#endif

#define AFXAPI
#define AFX_DATA

// ---------------------------------------------------------------------------
// CString: 8-bit text with value semantics. One pointer wide, as in MFC: the
// pointer addresses the characters, preceded by a block header that holds
// length and capacity. The buffer is always zero-terminated.
class AFX_CORE_API CString {
 public:
  CString();
  CString(const CString& stringSrc);
  CString(LPCSTR lpsz);
  CString(LPCSTR lpch, int nLength);
  CString(char ch, int nRepeat = 1);
  ~CString();

  const CString& operator=(const CString& stringSrc);
  const CString& operator=(LPCSTR lpsz);
  const CString& operator=(char ch);

  const CString& operator+=(const CString& string);
  const CString& operator+=(LPCSTR lpsz);
  const CString& operator+=(char ch);

  friend AFX_CORE_API CString AFXAPI operator+(const CString& string1, const CString& string2);
  friend AFX_CORE_API CString AFXAPI operator+(const CString& string, LPCSTR lpsz);
  friend AFX_CORE_API CString AFXAPI operator+(LPCSTR lpsz, const CString& string);
  friend AFX_CORE_API CString AFXAPI operator+(const CString& string, char ch);
  friend AFX_CORE_API CString AFXAPI operator+(char ch, const CString& string);

  int GetLength() const;
  BOOL IsEmpty() const;
  void Empty();
  char GetAt(int nIndex) const;
  char operator[](int nIndex) const;
  void SetAt(int nIndex, char ch);
  operator LPCSTR() const;

  // Byte-wise comparison as strcmp; CompareNoCase as stricmp.
  int Compare(LPCSTR lpsz) const;
  int CompareNoCase(LPCSTR lpsz) const;

  CString Mid(int nFirst) const;
  CString Mid(int nFirst, int nCount) const;
  CString Left(int nCount) const;
  CString Right(int nCount) const;

  void MakeUpper();
  void MakeLower();
  void TrimLeft();
  void TrimRight();

  int Find(char ch) const;
  int Find(LPCSTR lpszSub) const;
  int ReverseFind(char ch) const;
  int Replace(char chOld, char chNew);
  int Replace(LPCSTR lpszOld, LPCSTR lpszNew);

  // printf semantics. A CString argument of %s is passed as (LPCSTR)str: the
  // compiler passes class objects through '...' by reference, not as MFC's
  // compiler did. An argument may be this string itself.
  void Format(LPCSTR lpszFormat, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  void FormatV(LPCSTR lpszFormat, va_list argList);

  // Loads string resource nID from the resource chain (the host application
  // first, then the extension modules). An unknown id yields the empty text
  // and FALSE.
  BOOL LoadString(UINT nID);

  // Direct access to the buffer: GetBuffer makes room for at least
  // nMinBufLength characters plus the terminator; ReleaseBuffer sets the
  // length (-1: up to the first zero).
  LPSTR GetBuffer(int nMinBufLength);
  void ReleaseBuffer(int nNewLength = -1);
  LPSTR GetBufferSetLength(int nNewLength);

 private:
  LPSTR m_pchData;
};

AFX_CORE_API bool AFXAPI operator==(const CString& s1, const CString& s2);
AFX_CORE_API bool AFXAPI operator==(const CString& s1, LPCSTR s2);
AFX_CORE_API bool AFXAPI operator==(LPCSTR s1, const CString& s2);
AFX_CORE_API bool AFXAPI operator!=(const CString& s1, const CString& s2);
AFX_CORE_API bool AFXAPI operator!=(const CString& s1, LPCSTR s2);
AFX_CORE_API bool AFXAPI operator!=(LPCSTR s1, const CString& s2);
AFX_CORE_API bool AFXAPI operator<(const CString& s1, const CString& s2);
AFX_CORE_API bool AFXAPI operator<(const CString& s1, LPCSTR s2);
AFX_CORE_API bool AFXAPI operator<(LPCSTR s1, const CString& s2);
AFX_CORE_API bool AFXAPI operator>(const CString& s1, const CString& s2);
AFX_CORE_API bool AFXAPI operator<=(const CString& s1, const CString& s2);
AFX_CORE_API bool AFXAPI operator>=(const CString& s1, const CString& s2);

// ---------------------------------------------------------------------------
// CTime: a point in time as seconds since 1970-01-01 UTC.
class AFX_CORE_API CTime {
 public:
  static CTime PASCAL GetCurrentTime();

  CTime();
  CTime(time_t time);
  // Local time; nDST < 0 lets the C library decide daylight saving time.
  CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST = -1);

  // The local-time parts; into *ptm when given, else into a buffer of the
  // calling thread. NULL when the time cannot be converted.
  struct tm* GetLocalTm(struct tm* ptm = NULL) const;
  struct tm* GetGmtTm(struct tm* ptm = NULL) const;
  time_t GetTime() const;
  int GetYear() const;
  int GetMonth() const;
  int GetDay() const;
  int GetHour() const;
  int GetMinute() const;
  int GetSecond() const;
  int GetDayOfWeek() const;

  bool operator==(CTime time) const;
  bool operator!=(CTime time) const;
  bool operator<(CTime time) const;

 private:
  time_t m_time;
};

// ---------------------------------------------------------------------------
// CObject and its run-time class information (dynamic type identification).
class CObject;
class CArchive;
class CDumpContext;

struct AFX_CORE_API CRuntimeClass {
  LPCSTR m_lpszClassName;
  int m_nObjectSize;
  UINT m_wSchema;  // 0xFFFF: not serialisable
  CObject*(PASCAL* m_pfnCreateObject)();
  CRuntimeClass*(PASCAL* m_pfnGetBaseClass)();
  CRuntimeClass* m_pNextClass;

  // NULL when the class has no creation function.
  CObject* CreateObject();
  BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
};

class AFX_CORE_API CObject {
 public:
  virtual CRuntimeClass* GetRuntimeClass() const;
  virtual ~CObject();
  virtual void Serialize(CArchive& ar);
  virtual void AssertValid() const;
  virtual void Dump(CDumpContext& dc) const;

  BOOL IsKindOf(const CRuntimeClass* pClass) const;
  BOOL IsSerializable() const;

  static CRuntimeClass classCObject;
  static CRuntimeClass* PASCAL GetThisClass();
  static CRuntimeClass* PASCAL _GetBaseClass();  // NULL: CObject is the root

 protected:
  CObject();

 private:
  CObject(const CObject& objectSrc);
  void operator=(const CObject& objectSrc);
};

#define RUNTIME_CLASS(class_name) (class_name::GetThisClass())

#define DECLARE_DYNAMIC(class_name)             \
 protected:                                     \
  static CRuntimeClass* PASCAL _GetBaseClass(); \
                                                \
 public:                                        \
  static CRuntimeClass class##class_name;       \
  static CRuntimeClass* PASCAL GetThisClass();  \
  virtual CRuntimeClass* GetRuntimeClass() const;

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                            \
  CRuntimeClass* PASCAL class_name::_GetBaseClass() { return RUNTIME_CLASS(base_class_name); }    \
  CRuntimeClass class_name::class##class_name = {#class_name, sizeof(class class_name),   0xFFFF, \
                                                 NULL,        &class_name::_GetBaseClass, NULL};  \
  CRuntimeClass* PASCAL class_name::GetThisClass() { return &class_name::class##class_name; }     \
  CRuntimeClass* class_name::GetRuntimeClass() const { return &class_name::class##class_name; }

// ---------------------------------------------------------------------------
// String resources and extension modules.

// One entry of a module's string table.
struct AFX_STRING_RESOURCE {
  UINT nID;
  LPCSTR lpszText;
};

// Registers the host application's string table, searched first by
// CString::LoadString. The table must outlive its registration; NULL
// unregisters it. Returns the table registered before.
AFX_CORE_API const AFX_STRING_RESOURCE* AFXAPI
AfxSetAppStringTable(const AFX_STRING_RESOURCE* pTable, int nCount);

// The record of an extension module: its instance and, where it has one, its
// own string table (set before AfxInitExtensionModule).
struct AFX_EXTENSION_MODULE {
  BOOL bInitialized;
  HMODULE hModule;
  HMODULE hResource;
  const AFX_STRING_RESOURCE* pStringTable;
  int nStringCount;
};

AFX_CORE_API BOOL AFXAPI AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule);

// Joins an extension module to the resource chain, after the host and after
// the modules that joined before it. Lives as long as the process.
class AFX_CORE_API CDynLinkLibrary : public CObject {
 public:
  explicit CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem = FALSE);
  virtual ~CDynLinkLibrary();

  HMODULE m_hModule;
  HMODULE m_hResource;
  BOOL m_bSystem;
  const AFX_STRING_RESOURCE* m_pStringTable;
  int m_nStringCount;
  CDynLinkLibrary* m_pNextDLL;
};

#endif /* VINTUTIL_PORT_AFX_H */
