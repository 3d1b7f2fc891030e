// CDatumUhrzeit: one point in time held as a date text and a time text,
// built once, at construction, after the current user's regional settings.
#ifndef VINTUTIL_DATUMUHRZEIT_H
#define VINTUTIL_DATUMUHRZEIT_H

#include "vintutil_export.h"

class VINTUTIL_API CDatumUhrzeit {
 public:
  // Both texts empty; the current time is not taken.
  CDatumUhrzeit();
  // A date only: year, month, day.
  CDatumUhrzeit(int j, int m, int t);
  // A time only: hour, minute, millisecond, second. Whole seconds in `ms`
  // (1000 or more) are moved to `s` first.
  CDatumUhrzeit(int h, int min, int ms, int s);
  // Date and time; `ms` counts the milliseconds within the minute and gives
  // the seconds too (ms / 1000) and the milliseconds (ms % 1000).
  CDatumUhrzeit(int h, int min, int ms, int j, int m, int t);
  // The local-time parts of `zeit`, millisecond 0.
  CDatumUhrzeit(CTime& zeit);
  CDatumUhrzeit(const CDatumUhrzeit& other);
  CDatumUhrzeit& operator=(const CDatumUhrzeit& other);
  ~CDatumUhrzeit();

  void GetDatum(CString& str);
  void GetUhrzeit(CString& str);
  // The date text, one space and the time text; the space is there also when
  // a text is empty.
  void GetDatumUhrzeit(CString& str);

 private:
  void BildeDatum(int j, int m, int t);
  void BildeUhrzeit(int h, int min, int ms, int s);

  CString m_strDatum;
  CString m_strUhrzeit;
};

#endif
