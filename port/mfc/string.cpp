// CString: 8-bit text with value semantics.
//
// The object is one pointer wide. The pointer addresses the characters; a
// block header in front of them holds the length and the capacity. Every
// string owns its block (no sharing between copies), except that all empty
// strings point at one static, read-only empty block until they are written.
#include <afx.h>

#include <assert.h>
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <new>

namespace {

struct StringHeader {
  int nDataLength;   // characters in use, not counting the terminator
  int nAllocLength;  // characters that fit, not counting the terminator
  char* data() { return reinterpret_cast<char*>(this + 1); }
};

// The shared empty block: length 0, capacity 0, terminator in place.
struct EmptyBlock {
  StringHeader header;
  char terminator;
};
EmptyBlock emptyBlock = {{0, 0}, '\0'};

StringHeader* headerOf(LPCSTR pch) {
  return reinterpret_cast<StringHeader*>(const_cast<char*>(pch)) - 1;
}

LPSTR emptyData() { return emptyBlock.header.data(); }

LPSTR allocateData(int nCapacity) {
  assert(nCapacity >= 0);
  void* block = malloc(sizeof(StringHeader) + static_cast<size_t>(nCapacity) + 1);
  if (block == nullptr) throw std::bad_alloc();
  StringHeader* header = static_cast<StringHeader*>(block);
  header->nDataLength = 0;
  header->nAllocLength = nCapacity;
  header->data()[0] = '\0';
  return header->data();
}

void releaseData(LPSTR pch) {
  if (pch != emptyData()) free(headerOf(pch));
}

int lengthOf(LPCSTR lpsz) { return lpsz == nullptr ? 0 : static_cast<int>(strlen(lpsz)); }

// Replaces the content of the buffer `data` with nLength characters from pch
// (which may point into that buffer).
void assignChars(LPSTR& data, LPCSTR pch, int nLength) {
  if (nLength == 0) {
    releaseData(data);
    data = emptyData();
    return;
  }
  LPSTR fresh = allocateData(nLength);
  memcpy(fresh, pch, static_cast<size_t>(nLength));
  fresh[nLength] = '\0';
  headerOf(fresh)->nDataLength = nLength;
  releaseData(data);
  data = fresh;
}

// Appends nLength characters from pch (which may point into the buffer).
void appendChars(LPSTR& data, LPCSTR pch, int nLength) {
  if (nLength == 0) return;
  StringHeader* header = headerOf(data);
  int nOld = header->nDataLength;
  int nNew = nOld + nLength;
  if (nNew > header->nAllocLength) {
    // Grow geometrically so that repeated appends stay linear.
    LPSTR fresh = allocateData(nNew + nNew / 2);
    memcpy(fresh, data, static_cast<size_t>(nOld));
    memcpy(fresh + nOld, pch, static_cast<size_t>(nLength));
    releaseData(data);
    data = fresh;
  } else {
    memmove(data + nOld, pch, static_cast<size_t>(nLength));
  }
  data[nNew] = '\0';
  headerOf(data)->nDataLength = nNew;
}

}  // namespace

// --- Construction and assignment ---------------------------------------------

CString::CString() : m_pchData(emptyData()) {}

CString::CString(const CString& stringSrc) : m_pchData(emptyData()) {
  assignChars(m_pchData, stringSrc.m_pchData, stringSrc.GetLength());
}

CString::CString(LPCSTR lpsz) : m_pchData(emptyData()) {
  assignChars(m_pchData, lpsz, lengthOf(lpsz));
}

CString::CString(LPCSTR lpch, int nLength) : m_pchData(emptyData()) {
  if (lpch != nullptr && nLength > 0) assignChars(m_pchData, lpch, nLength);
}

CString::CString(char ch, int nRepeat) : m_pchData(emptyData()) {
  if (nRepeat <= 0) return;
  m_pchData = allocateData(nRepeat);
  memset(m_pchData, ch, static_cast<size_t>(nRepeat));
  m_pchData[nRepeat] = '\0';
  headerOf(m_pchData)->nDataLength = nRepeat;
}

CString::~CString() { releaseData(m_pchData); }

const CString& CString::operator=(const CString& stringSrc) {
  if (this != &stringSrc) assignChars(m_pchData, stringSrc.m_pchData, stringSrc.GetLength());
  return *this;
}

const CString& CString::operator=(LPCSTR lpsz) {
  assignChars(m_pchData, lpsz, lengthOf(lpsz));
  return *this;
}

const CString& CString::operator=(char ch) {
  assignChars(m_pchData, &ch, 1);
  return *this;
}

// --- Concatenation -----------------------------------------------------------

const CString& CString::operator+=(const CString& string) {
  appendChars(m_pchData, string.m_pchData, string.GetLength());
  return *this;
}

const CString& CString::operator+=(LPCSTR lpsz) {
  appendChars(m_pchData, lpsz, lengthOf(lpsz));
  return *this;
}

const CString& CString::operator+=(char ch) {
  appendChars(m_pchData, &ch, 1);
  return *this;
}

namespace {

// The two texts joined, in one allocation.
CString concatenate(LPCSTR pch1, int nLength1, LPCSTR pch2, int nLength2) {
  CString result;
  if (nLength1 + nLength2 == 0) return result;
  LPSTR buffer = result.GetBuffer(nLength1 + nLength2);
  if (nLength1 > 0) memcpy(buffer, pch1, static_cast<size_t>(nLength1));
  if (nLength2 > 0) memcpy(buffer + nLength1, pch2, static_cast<size_t>(nLength2));
  result.ReleaseBuffer(nLength1 + nLength2);
  return result;
}

}  // namespace

CString AFXAPI operator+(const CString& string1, const CString& string2) {
  return concatenate(string1, string1.GetLength(), string2, string2.GetLength());
}

CString AFXAPI operator+(const CString& string, LPCSTR lpsz) {
  return concatenate(string, string.GetLength(), lpsz, lengthOf(lpsz));
}

CString AFXAPI operator+(LPCSTR lpsz, const CString& string) {
  return concatenate(lpsz, lengthOf(lpsz), string, string.GetLength());
}

CString AFXAPI operator+(const CString& string, char ch) {
  return concatenate(string, string.GetLength(), &ch, 1);
}

CString AFXAPI operator+(char ch, const CString& string) {
  return concatenate(&ch, 1, string, string.GetLength());
}

// --- Access ------------------------------------------------------------------

int CString::GetLength() const { return headerOf(m_pchData)->nDataLength; }

BOOL CString::IsEmpty() const { return GetLength() == 0; }

void CString::Empty() {
  releaseData(m_pchData);
  m_pchData = emptyData();
}

char CString::GetAt(int nIndex) const {
  assert(nIndex >= 0 && nIndex < GetLength());
  return m_pchData[nIndex];
}

char CString::operator[](int nIndex) const { return GetAt(nIndex); }

void CString::SetAt(int nIndex, char ch) {
  assert(nIndex >= 0 && nIndex < GetLength());
  m_pchData[nIndex] = ch;
}

CString::operator LPCSTR() const { return m_pchData; }

// --- Comparison --------------------------------------------------------------

int CString::Compare(LPCSTR lpsz) const { return strcmp(m_pchData, lpsz); }

int CString::CompareNoCase(LPCSTR lpsz) const {
  const unsigned char* a = reinterpret_cast<const unsigned char*>(m_pchData);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(lpsz);
  for (;; ++a, ++b) {
    int ca = tolower(*a);
    int cb = tolower(*b);
    if (ca != cb || ca == 0) return ca - cb;
  }
}

bool AFXAPI operator==(const CString& s1, const CString& s2) { return s1.Compare(s2) == 0; }
bool AFXAPI operator==(const CString& s1, LPCSTR s2) { return s1.Compare(s2) == 0; }
bool AFXAPI operator==(LPCSTR s1, const CString& s2) { return s2.Compare(s1) == 0; }
bool AFXAPI operator!=(const CString& s1, const CString& s2) { return s1.Compare(s2) != 0; }
bool AFXAPI operator!=(const CString& s1, LPCSTR s2) { return s1.Compare(s2) != 0; }
bool AFXAPI operator!=(LPCSTR s1, const CString& s2) { return s2.Compare(s1) != 0; }
bool AFXAPI operator<(const CString& s1, const CString& s2) { return s1.Compare(s2) < 0; }
bool AFXAPI operator<(const CString& s1, LPCSTR s2) { return s1.Compare(s2) < 0; }
bool AFXAPI operator<(LPCSTR s1, const CString& s2) { return s2.Compare(s1) > 0; }
bool AFXAPI operator>(const CString& s1, const CString& s2) { return s1.Compare(s2) > 0; }
bool AFXAPI operator<=(const CString& s1, const CString& s2) { return s1.Compare(s2) <= 0; }
bool AFXAPI operator>=(const CString& s1, const CString& s2) { return s1.Compare(s2) >= 0; }

// --- Extraction --------------------------------------------------------------

// Out-of-range arguments are clamped to the string, as MFC does.
CString CString::Mid(int nFirst) const { return Mid(nFirst, GetLength()); }

CString CString::Mid(int nFirst, int nCount) const {
  int nLength = GetLength();
  if (nFirst < 0) nFirst = 0;
  if (nFirst > nLength) nFirst = nLength;
  if (nCount < 0) nCount = 0;
  if (nCount > nLength - nFirst) nCount = nLength - nFirst;
  return CString(m_pchData + nFirst, nCount);
}

CString CString::Left(int nCount) const { return Mid(0, nCount); }

CString CString::Right(int nCount) const {
  int nLength = GetLength();
  if (nCount < 0) nCount = 0;
  if (nCount > nLength) nCount = nLength;
  return Mid(nLength - nCount, nCount);
}

// --- Case and blanks ---------------------------------------------------------

void CString::MakeUpper() {
  for (char* p = m_pchData; *p != '\0'; ++p)
    *p = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
}

void CString::MakeLower() {
  for (char* p = m_pchData; *p != '\0'; ++p)
    *p = static_cast<char>(tolower(static_cast<unsigned char>(*p)));
}

void CString::TrimLeft() {
  const char* p = m_pchData;
  while (*p != '\0' && isspace(static_cast<unsigned char>(*p))) ++p;
  if (p != m_pchData) assignChars(m_pchData, p, GetLength() - static_cast<int>(p - m_pchData));
}

void CString::TrimRight() {
  int nLength = GetLength();
  while (nLength > 0 && isspace(static_cast<unsigned char>(m_pchData[nLength - 1]))) --nLength;
  if (nLength != GetLength()) assignChars(m_pchData, m_pchData, nLength);
}

// --- Searching and replacing -------------------------------------------------

int CString::Find(char ch) const {
  const char* p = strchr(m_pchData, ch);
  return p == nullptr || ch == '\0' ? -1 : static_cast<int>(p - m_pchData);
}

int CString::Find(LPCSTR lpszSub) const {
  const char* p = strstr(m_pchData, lpszSub);
  return p == nullptr ? -1 : static_cast<int>(p - m_pchData);
}

int CString::ReverseFind(char ch) const {
  const char* p = strrchr(m_pchData, ch);
  return p == nullptr || ch == '\0' ? -1 : static_cast<int>(p - m_pchData);
}

int CString::Replace(char chOld, char chNew) {
  int nCount = 0;
  for (char* p = m_pchData; *p != '\0'; ++p) {
    if (*p == chOld) {
      *p = chNew;
      ++nCount;
    }
  }
  return nCount;
}

int CString::Replace(LPCSTR lpszOld, LPCSTR lpszNew) {
  int nOld = lengthOf(lpszOld);
  if (nOld == 0) return 0;
  int nNew = lengthOf(lpszNew);
  CString result;
  int nCount = 0;
  const char* p = m_pchData;
  for (const char* hit; (hit = strstr(p, lpszOld)) != nullptr; p = hit + nOld) {
    appendChars(result.m_pchData, p, static_cast<int>(hit - p));
    appendChars(result.m_pchData, lpszNew, nNew);
    ++nCount;
  }
  if (nCount > 0) {
    appendChars(result.m_pchData, p, lengthOf(p));
    *this = result;
  }
  return nCount;
}

// --- Formatting --------------------------------------------------------------

void CString::Format(LPCSTR lpszFormat, ...) {
  va_list argList;
  va_start(argList, lpszFormat);
  FormatV(lpszFormat, argList);
  va_end(argList);
}

// Formats into a fresh buffer first, so an argument may be this string's own
// text.
void CString::FormatV(LPCSTR lpszFormat, va_list argList) {
  va_list measureList;
  va_copy(measureList, argList);
  int nLength = vsnprintf(nullptr, 0, lpszFormat, measureList);
  va_end(measureList);
  if (nLength <= 0) {
    Empty();
    return;
  }
  LPSTR fresh = allocateData(nLength);
  vsnprintf(fresh, static_cast<size_t>(nLength) + 1, lpszFormat, argList);
  headerOf(fresh)->nDataLength = nLength;
  releaseData(m_pchData);
  m_pchData = fresh;
}

// --- Buffer access -----------------------------------------------------------

LPSTR CString::GetBuffer(int nMinBufLength) {
  if (nMinBufLength < 0) nMinBufLength = 0;
  StringHeader* header = headerOf(m_pchData);
  if (m_pchData == emptyData() || nMinBufLength > header->nAllocLength) {
    int nLength = header->nDataLength;
    LPSTR fresh = allocateData(nMinBufLength > nLength ? nMinBufLength : nLength);
    memcpy(fresh, m_pchData, static_cast<size_t>(nLength) + 1);
    headerOf(fresh)->nDataLength = nLength;
    releaseData(m_pchData);
    m_pchData = fresh;
  }
  return m_pchData;
}

void CString::ReleaseBuffer(int nNewLength) {
  if (m_pchData == emptyData()) return;
  StringHeader* header = headerOf(m_pchData);
  if (nNewLength < 0)
    nNewLength = static_cast<int>(strnlen(m_pchData, static_cast<size_t>(header->nAllocLength)));
  assert(nNewLength <= header->nAllocLength);
  header->nDataLength = nNewLength;
  m_pchData[nNewLength] = '\0';
}

LPSTR CString::GetBufferSetLength(int nNewLength) {
  GetBuffer(nNewLength);
  ReleaseBuffer(nNewLength < 0 ? 0 : nNewLength);
  return m_pchData;
}
