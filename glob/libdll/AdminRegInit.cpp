// The administrative settings writer.
#include "AdminRegInit.h"

#include <string.h>

#include "VarnoStrings.h"

struct CAdminRegInit::SSection {
  LPCSTR pszName;
  HKEY CAdminRegInit::*phKey;
  unsigned int uKontext;                          // reported when neither open nor create works
  void (CAdminRegInit::*pfnFill)(bool bCreated);  // NULL: nothing is written
};

const CAdminRegInit::SSection CAdminRegInit::s_aSections[5] = {
    {VARNO_SEC_STOERSCHRIEB, &CAdminRegInit::m_hKeyStoerschrieb, IDS_REG_FORMAT,
     &CAdminRegInit::FillStoerschrieb},
    {VARNO_SEC_SCHNITTSTELLEN, &CAdminRegInit::m_hKeySchnittstellen, IDS_REG_FORMAT, NULL},
    {VARNO_SEC_OPTIONEN, &CAdminRegInit::m_hKeyOptionen, IDS_REG_FORMAT,
     &CAdminRegInit::FillOptionen},
    {VARNO_SEC_PROGRAMME, &CAdminRegInit::m_hKeyProgramme, IDS_REG_PROGRAMME, NULL},
    {VARNO_SEC_VEDORIR, &CAdminRegInit::m_hKeyVedorir, IDS_REG_VEDORIR,
     &CAdminRegInit::FillVedorir},
};

CAdminRegInit::CAdminRegInit()
    : m_hKeyStoerschrieb(0),
      m_hKeySchnittstellen(0),
      m_hKeyOptionen(0),
      m_hKeyProgramme(0),
      m_hKeyVedorir(0),
      m_szWert(),
      m_dwGroesse(0) {
  for (const SSection& section : s_aSections) {
    HKEY& hKey = this->*section.phKey;
    const CString strKeyPath = SectionKeyPath(section.pszName);
    bool bCreated = false;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, strKeyPath, 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS) {
      hKey = 0;
      if (RegCreateKeyA(HKEY_LOCAL_MACHINE, strKeyPath, &hKey) != ERROR_SUCCESS) {
        hKey = 0;
        FehlerMeldung(IDS_REG_OEFFNEN, section.uKontext);
        return;
      }
      bCreated = true;
    }
    if (section.pfnFill != NULL) (this->*section.pfnFill)(bCreated);
  }
}

CAdminRegInit::CAdminRegInit(const CAdminRegInit& other)
    : m_hKeyStoerschrieb(0),
      m_hKeySchnittstellen(0),
      m_hKeyOptionen(0),
      m_hKeyProgramme(0),
      m_hKeyVedorir(0),
      m_szWert(),
      m_dwGroesse(other.m_dwGroesse) {
  memcpy(m_szWert, other.m_szWert, sizeof m_szWert);
  DuplicateKeys(other);
}

CAdminRegInit& CAdminRegInit::operator=(const CAdminRegInit& other) {
  if (this != &other) {
    CloseKeys();
    DuplicateKeys(other);
    memcpy(m_szWert, other.m_szWert, sizeof m_szWert);
    m_dwGroesse = other.m_dwGroesse;
  }
  return *this;
}

CAdminRegInit::~CAdminRegInit() { CloseKeys(); }

void CAdminRegInit::CloseKeys() {
  for (const SSection& section : s_aSections) {
    HKEY& hKey = this->*section.phKey;
    if (hKey != 0) RegCloseKey(hKey);
    hKey = 0;
  }
}

void CAdminRegInit::DuplicateKeys(const CAdminRegInit& other) {
  for (const SSection& section : s_aSections) {
    HKEY& hKey = this->*section.phKey;
    const HKEY hSource = other.*section.phKey;
    // An empty path opens a new handle to the source's own key.
    if (hSource == 0 || RegOpenKeyExA(hSource, "", 0, KEY_ALL_ACCESS, &hKey) != ERROR_SUCCESS) {
      hKey = 0;
    }
  }
}

void CAdminRegInit::FehlerMeldung(unsigned int uFormatId, unsigned int uKontextId) {
  ReportRegistryFailure(uFormatId, uKontextId);
}

// ---------------------------------------------------------------------------
// What the constructor writes.

void CAdminRegInit::FillStoerschrieb(bool bCreated) {
  if (bCreated) {
    SetStoerDatenformat(VARNO_DEFAULT_FORMAT);
    SetStoerDatenArt(VARNO_DEFAULT_DART);
    SetStoerProgrammName(CString());
    return;
  }
  Checked(SetBinaryInt(m_hKeyStoerschrieb, VARNO_VAL_FAVIS_FORMAT_D3, VARNO_FAVIS_D3),
          IDS_REG_FORMAT);
  Checked(SetBinaryInt(m_hKeyStoerschrieb, VARNO_VAL_FAVIS_MODE_D3, VARNO_FAVIS_D3), IDS_REG_DART);
}

void CAdminRegInit::FillOptionen(bool bCreated) {
  if (bCreated) {
    SetAutoSave(VARNO_DEFAULT_AUTOSAVE);
    SetParameterLevel(VARNO_DEFAULT_PARAMETERLEVEL);
    SetUmrechnungPrimaer(VARNO_DEFAULT_UMRECHNUNGPRIM);
  }
  // Rewritten by every construction.
  const int* pnMatrix = VARNO_DEFAULT_MATRIX;
  SetMatrixOptions(pnMatrix[0], pnMatrix[1], pnMatrix[2], pnMatrix[3]);
}

void CAdminRegInit::FillVedorir(bool bCreated) {
  if (!bCreated) return;
  SRioHeader rio;
  InitRegStruct(rio);
  SetRioHeaderStruct(rio);
}

// ---------------------------------------------------------------------------
// Setters.

long CAdminRegInit::Checked(LONG lResult, unsigned int uKontext) {
  if (lResult == ERROR_SUCCESS) return 0;
  if (uKontext != VARNO_NO_REPORT) FehlerMeldung(IDS_REG_SCHREIBEN, uKontext);
  return -1;
}

long CAdminRegInit::SetText(HKEY hKey, LPCSTR pszValue, LPCSTR pszText, unsigned int uKontext) {
  return Checked(SetStagedText(hKey, pszValue, pszText, m_szWert, sizeof m_szWert, m_dwGroesse),
                 uKontext);
}

long CAdminRegInit::SetCodeAndFlag(LPCSTR pszCode, int nCode, LPCSTR pszFlag,
                                   unsigned int uKontext) {
  LONG lResult = SetBinaryInt(m_hKeyStoerschrieb, pszCode, nCode);
  if (lResult == ERROR_SUCCESS) lResult = SetBinaryInt(m_hKeyStoerschrieb, pszFlag, VARNO_FAVIS_D3);
  return Checked(lResult, uKontext);
}

long CAdminRegInit::SetStoerDatenformat(int nFormat) {
  return SetCodeAndFlag(VARNO_VAL_FORMAT, nFormat, VARNO_VAL_FAVIS_FORMAT_D3, IDS_REG_FORMAT);
}

long CAdminRegInit::SetStoerDatenArt(int nArt) {
  return SetCodeAndFlag(VARNO_VAL_DART, nArt, VARNO_VAL_FAVIS_MODE_D3, IDS_REG_DART);
}

long CAdminRegInit::SetStoerProgrammName(CString strProgramm) {
  return SetText(m_hKeyStoerschrieb, VARNO_VAL_GRAFPROG, strProgramm, IDS_REG_GRAFPROG);
}

long CAdminRegInit::SetSchnittPar(const CString& strValueName, unsigned short wValue) {
  return SetText(m_hKeySchnittstellen, strValueName, FormatUnsigned16(wValue), VARNO_NO_REPORT);
}

long CAdminRegInit::SetSchnittPar(const CString& strValueName, unsigned long dwValue) {
  return SetText(m_hKeySchnittstellen, strValueName, FormatUnsigned32(dwValue), VARNO_NO_REPORT);
}

long CAdminRegInit::SetSchnittPar(const CString& strValueName, CString& strValue) {
  return SetText(m_hKeySchnittstellen, strValueName, strValue, VARNO_NO_REPORT);
}

long CAdminRegInit::SetAutoSave(int bAutoSave) {
  return SetText(m_hKeyOptionen, VARNO_VAL_AUTOSAVE, bAutoSave ? VARNO_TEXT_TRUE : VARNO_TEXT_FALSE,
                 IDS_REG_AUTOSAVE);
}

long CAdminRegInit::SetMatrixOptions(int nOption1, int nOption2, int nOption3, int nOption4) {
  return SetText(m_hKeyOptionen, VARNO_VAL_MATRIX,
                 FormatMatrix(nOption1, nOption2, nOption3, nOption4), IDS_REG_AUTOSAVE);
}

long CAdminRegInit::SetUmrechnungPrimaer(int bUmrechnung) {
  return SetText(m_hKeyOptionen, VARNO_VAL_UMRECHNUNGPRIM,
                 bUmrechnung ? VARNO_TEXT_TRUE : VARNO_TEXT_FALSE, IDS_REG_UMRECHNUNGPRIM);
}

long CAdminRegInit::SetParameterLevel(int nLevel) {
  return Checked(SetBinaryInt(m_hKeyOptionen, VARNO_VAL_PARAMETERLEVEL, nLevel),
                 IDS_REG_PARAMETERLEVEL);
}

long CAdminRegInit::SetDisplayEditorPathAndName(CString strPfad) {
  return SetText(m_hKeyProgramme, VARNO_VAL_DISPLAYEDITOR, strPfad, IDS_REG_DISPLAYEDITOR);
}

long CAdminRegInit::SetCFCPathAndName(CString strPfad) {
  return SetText(m_hKeyProgramme, VARNO_VAL_CFC, strPfad, IDS_REG_CFC);
}

long CAdminRegInit::SetGraphicToolPath(CString strPfad) {
  return SetText(m_hKeyProgramme, VARNO_VAL_GRAFIKTOOLS, strPfad, IDS_REG_GRAFPROG);
}

int CAdminRegInit::SetRioHeaderStruct(SRioHeader& rio) {
  for (size_t i = 0; i < RIO_VALUE_COUNT; ++i) {
    if (WriteRioValue(m_hKeyVedorir, rio, i, m_szWert, sizeof m_szWert, m_dwGroesse) !=
        ERROR_SUCCESS) {
      FehlerMeldung(IDS_REG_SCHREIBEN, IDS_REG_DART);
      return -1;
    }
  }
  return 0;
}

void CAdminRegInit::InitRegStruct(SRioHeader& rio) { FillRioDefaults(rio, RIO_DEFAULTS_ADMIN); }
