// CDatumUhrzeit: date and time texts after the user's regional settings.
//
// The settings are read through GetLocaleInfoA anew for every text built, in
// a fixed order, and compared whole with the texts "0", "1" and "2"; any
// other text (a failed query included) leaves the text unbuilt.
#include "DatumUhrzeit.h"

#include <windows.h>

#include "VarnoStrings.h"

namespace {

// Each setting is read into a buffer of this size.
const int kSettingBufferSize = 128;

// One regional setting of the current user; empty when the query fails, so a
// buffer the query left unset is never read.
CString ReadSetting(LCTYPE type) {
  char buffer[kSettingBufferSize];
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, kSettingBufferSize) == 0) {
    return CString();
  }
  return CString(buffer);
}

// "%02d" when the leading-zero setting is "1", else "%2d" (space-padded).
CString FormatWithLeadingZero(const CString& leadingZero, int value) {
  CString text;
  text.Format(leadingZero == "1" ? "%02d" : "%2d", value);
  return text;
}

// The year after the century setting: "1" four digits, where 0 to 89 mean
// 2000 to 2089 and 90 to 199 mean 1990 to 2099; otherwise the last two digits
// of a year of the 19th to 21st century.
CString FormatYear(const CString& century, int j) {
  CString text;
  if (century == "1") {
    if (j >= 90 && j < 200) j += 1900;
    if (j < 90) j += 2000;
    text.Format("%4d", j);
  } else {
    if (j >= 100) {
      if (j >= 2000) j -= 2000;
      if (j >= 1900) j -= 1900;
      if (j >= 100) j -= 100;
    }
    text.Format("%02d", j);
  }
  return text;
}

}  // namespace

CDatumUhrzeit::CDatumUhrzeit() {}

CDatumUhrzeit::CDatumUhrzeit(int j, int m, int t) { BildeDatum(j, m, t); }

CDatumUhrzeit::CDatumUhrzeit(int h, int min, int ms, int s) {
  if (ms >= 1000) {
    s += ms / 1000;
    ms %= 1000;
  }
  BildeUhrzeit(h, min, ms, s);
}

CDatumUhrzeit::CDatumUhrzeit(int h, int min, int ms, int j, int m, int t) {
  BildeDatum(j, m, t);
  BildeUhrzeit(h, min, ms % 1000, ms / 1000);
}

// A time that has no local-time parts leaves both texts empty.
CDatumUhrzeit::CDatumUhrzeit(CTime& zeit) {
  struct tm parts;
  if (zeit.GetLocalTm(&parts) == NULL) return;
  BildeDatum(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
  BildeUhrzeit(parts.tm_hour, parts.tm_min, 0, parts.tm_sec);
}

CDatumUhrzeit::CDatumUhrzeit(const CDatumUhrzeit& other)
    : m_strDatum(other.m_strDatum), m_strUhrzeit(other.m_strUhrzeit) {}

CDatumUhrzeit& CDatumUhrzeit::operator=(const CDatumUhrzeit& other) {
  m_strDatum = other.m_strDatum;
  m_strUhrzeit = other.m_strUhrzeit;
  return *this;
}

CDatumUhrzeit::~CDatumUhrzeit() {}

void CDatumUhrzeit::GetDatum(CString& str) { str = m_strDatum; }

void CDatumUhrzeit::GetUhrzeit(CString& str) { str = m_strUhrzeit; }

void CDatumUhrzeit::GetDatumUhrzeit(CString& str) { str = m_strDatum + " " + m_strUhrzeit; }

void CDatumUhrzeit::BildeDatum(int j, int m, int t) {
  const CString strJahr = FormatYear(ReadSetting(LOCALE_ICENTURY), j);
  const CString strMonat = FormatWithLeadingZero(ReadSetting(LOCALE_IMONLZERO), m);
  const CString strTag = FormatWithLeadingZero(ReadSetting(LOCALE_IDAYLZERO), t);
  const CString strTrenner = ReadSetting(LOCALE_SDATE);
  const CString strFolge = ReadSetting(LOCALE_IDATE);

  if (strFolge == "0") {
    m_strDatum = strMonat + strTrenner + strTag + strTrenner + strJahr;
  } else if (strFolge == "1") {
    m_strDatum = strTag + strTrenner + strMonat + strTrenner + strJahr;
  } else if (strFolge == "2") {
    m_strDatum = strJahr + strTrenner + strMonat + strTrenner + strTag;
  }
}

// On the 12-hour clock the hours are written as a reader expects them: the
// hours 13 and above lose 12 once and carry the afternoon designator
// (LOCALE_S2359); the hour 12 stays 12, also with the afternoon designator
// (12:30 is half past noon); the hour 0 is written 12 with the morning
// designator (LOCALE_S1159), as are the hours 1 to 11 and below 0 with their
// own number.
void CDatumUhrzeit::BildeUhrzeit(int h, int min, int ms, int s) {
  CString strMinute;
  CString strSekunde;
  CString strMillisekunde;
  strMinute.Format("%02d", min);
  strSekunde.Format("%02d", s);
  strMillisekunde.Format(".%03d", ms);

  const CString strTrenner = ReadSetting(LOCALE_STIME);
  const CString strUhr = ReadSetting(LOCALE_ITIME);
  const CString strFuehrendeNull = ReadSetting(LOCALE_ITLZERO);

  CString strKennung;
  if (strUhr == "0") {
    if (h >= 12) {
      if (h > 12) h -= 12;
      strKennung = ReadSetting(LOCALE_S2359);
    } else {
      if (h == 0) h = 12;
      strKennung = ReadSetting(LOCALE_S1159);
    }
  }

  CString strStunde;
  strStunde.Format(strFuehrendeNull == "0" ? "%2d" : "%02d", h);
  const CString strZeit =
      strStunde + strTrenner + strMinute + strTrenner + strSekunde + strMillisekunde;
  if (strUhr == "1") {
    m_strUhrzeit = strZeit;
  } else if (strUhr == "0") {
    m_strUhrzeit = strZeit + " " + strKennung;
  }
}
