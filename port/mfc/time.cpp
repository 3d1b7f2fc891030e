// CTime: a point in time as seconds since 1970-01-01 UTC, with its parts in
// local time and in UTC.
#include <afx.h>

#include <string.h>

namespace {

// Conversions of the C library, thread-safe on each platform.
struct tm* toLocal(const time_t* t, struct tm* out) {
#ifdef _WIN32
  return localtime_s(out, t) == 0 ? out : nullptr;
#else
  return localtime_r(t, out);
#endif
}

struct tm* toUtc(const time_t* t, struct tm* out) {
#ifdef _WIN32
  return gmtime_s(out, t) == 0 ? out : nullptr;
#else
  return gmtime_r(t, out);
#endif
}

// Fills *ptm, or the calling thread's buffer when ptm is NULL.
struct tm* convert(struct tm* (*conversion)(const time_t*, struct tm*), time_t t, struct tm* ptm) {
  thread_local struct tm threadBuffer;
  return conversion(&t, ptm != nullptr ? ptm : &threadBuffer);
}

// The local-time parts, or all zeros when the time cannot be converted.
struct tm localParts(time_t t) {
  struct tm parts;
  if (toLocal(&t, &parts) == nullptr) memset(&parts, 0, sizeof parts);
  return parts;
}

}  // namespace

CTime PASCAL CTime::GetCurrentTime() { return CTime(time(nullptr)); }

CTime::CTime() : m_time(0) {}

CTime::CTime(time_t time) : m_time(time) {}

CTime::CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST) {
  struct tm parts;
  memset(&parts, 0, sizeof parts);
  parts.tm_year = nYear - 1900;
  parts.tm_mon = nMonth - 1;
  parts.tm_mday = nDay;
  parts.tm_hour = nHour;
  parts.tm_min = nMin;
  parts.tm_sec = nSec;
  parts.tm_isdst = nDST;
  m_time = mktime(&parts);
}

struct tm* CTime::GetLocalTm(struct tm* ptm) const {
  return convert(toLocal, m_time, ptm);
}

struct tm* CTime::GetGmtTm(struct tm* ptm) const {
  return convert(toUtc, m_time, ptm);
}

time_t CTime::GetTime() const { return m_time; }

int CTime::GetYear() const { return localParts(m_time).tm_year + 1900; }
int CTime::GetMonth() const { return localParts(m_time).tm_mon + 1; }
int CTime::GetDay() const { return localParts(m_time).tm_mday; }
int CTime::GetHour() const { return localParts(m_time).tm_hour; }
int CTime::GetMinute() const { return localParts(m_time).tm_min; }
int CTime::GetSecond() const { return localParts(m_time).tm_sec; }
int CTime::GetDayOfWeek() const { return localParts(m_time).tm_wday + 1; }

bool CTime::operator==(CTime time) const { return m_time == time.m_time; }
bool CTime::operator!=(CTime time) const { return m_time != time.m_time; }
bool CTime::operator<(CTime time) const { return m_time < time.m_time; }
