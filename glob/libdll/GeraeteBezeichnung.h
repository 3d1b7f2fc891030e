// CGeraeteBezeichnung: the designation of one protection device of a plant
// (plant, region and device name, type, firmware, operating mode, order
// number, parameter set version and editorial data), and its hierarchical
// name. A pure value holder: every text is stored and returned as given.
#ifndef GERAETEBEZEICHNUNG_H
#define GERAETEBEZEICHNUNG_H

#include "vintutil_export.h"

// Run-time class "CGeraeteBezeichnung", base CObject, not serialisable
// (schema 0xFFFF), no creation from the run-time class.
class VINTUTIL_API CGeraeteBezeichnung : public CObject {
  DECLARE_DYNAMIC(CGeraeteBezeichnung)

 public:
  CGeraeteBezeichnung();
  virtual ~CGeraeteBezeichnung();

  void SetAnlagenname(CString strWert);
  void SetRegionname(CString strWert);
  void SetGeraetename(CString strWert);
  void SetGeraetetyp(CString strWert);
  void SetFWVersion(CString strWert);
  void SetBetriebsart(CString strWert);
  void SetMLFB(CString strWert);
  void SetBearbeitername(CString strWert);
  void SetAutor(CString strWert);
  void SetErstellt(CString strWert);
  void SetKommentar(CString strWert);
  void SetZuletzt(CString strWert);
  void SetParSatzVersion(CString strWert);

  CString GetAnlagenname();
  CString GetRegionname();
  CString GetGeraetename();
  CString GetGeraetetyp();
  CString GetFWVersion();
  CString GetBetriebsart();
  CString GetMLFB();
  CString GetBearbeitername();
  CString GetAutor();
  CString GetErstellt();
  CString GetKommentar();
  CString GetZuletzt();
  CString GetParSatzVersion();

  // Region, "/", plant, "/", device; empty parts keep their separators and
  // a "/" inside a part is not escaped.
  CString GetHierarchicalName();

 private:
  CString m_strAnlagenname;     // plant the device stands in
  CString m_strRegionname;      // region the plant belongs to
  CString m_strGeraetename;     // device name
  CString m_strGeraetetyp;      // device type
  CString m_strFWVersion;       // firmware version
  CString m_strBetriebsart;     // operating mode
  CString m_strMLFB;            // MLFB order number
  CString m_strBearbeitername;  // who edits the device's data
  CString m_strAutor;           // author
  CString m_strErstellt;        // when the data was created
  CString m_strKommentar;       // comment
  CString m_strZuletzt;         // when the data was last changed
  CString m_strParSatzVersion;  // parameter set version
};

#endif
