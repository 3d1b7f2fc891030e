// CGeraeteBezeichnung: designation record of a protection device.
#include "GeraeteBezeichnung.h"

IMPLEMENT_DYNAMIC(CGeraeteBezeichnung, CObject)

CGeraeteBezeichnung::CGeraeteBezeichnung() {}

CGeraeteBezeichnung::~CGeraeteBezeichnung() {}

// Each member has a setter that takes the text by value and a getter that
// returns a copy.
#define GERAETEBEZEICHNUNG_FIELD(Name)                                            \
  void CGeraeteBezeichnung::Set##Name(CString strWert) { m_str##Name = strWert; } \
  CString CGeraeteBezeichnung::Get##Name() { return m_str##Name; }

GERAETEBEZEICHNUNG_FIELD(Anlagenname)
GERAETEBEZEICHNUNG_FIELD(Regionname)
GERAETEBEZEICHNUNG_FIELD(Geraetename)
GERAETEBEZEICHNUNG_FIELD(Geraetetyp)
GERAETEBEZEICHNUNG_FIELD(FWVersion)
GERAETEBEZEICHNUNG_FIELD(Betriebsart)
GERAETEBEZEICHNUNG_FIELD(MLFB)
GERAETEBEZEICHNUNG_FIELD(Bearbeitername)
GERAETEBEZEICHNUNG_FIELD(Autor)
GERAETEBEZEICHNUNG_FIELD(Erstellt)
GERAETEBEZEICHNUNG_FIELD(Kommentar)
GERAETEBEZEICHNUNG_FIELD(Zuletzt)
GERAETEBEZEICHNUNG_FIELD(ParSatzVersion)

#undef GERAETEBEZEICHNUNG_FIELD

CString CGeraeteBezeichnung::GetHierarchicalName() {
  return m_strRegionname + "/" + m_strAnlagenname + "/" + m_strGeraetename;
}
