// The settings store: frame, generic key access, plant tools, fault records,
// interface parameters, options, tool paths and the test-set export header.
#include "VarnoRegInit.h"

#include <string.h>

#include <varnoerr.h>

namespace {

bool IsScanSpace(char ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

// One integer conversion as sscanf's "%u"/"%d" make it with the Windows C
// runtime: white space skipped, an optional sign, at least one decimal
// digit; digits accumulate modulo 2^32 and a minus sign negates modulo 2^32.
// Advances pszText past the number; false (nothing taken) when there is no
// digit.
bool ScanNumber32(LPCSTR& pszText, DWORD& dwValue) {
  LPCSTR p = pszText;
  while (IsScanSpace(*p)) ++p;
  const bool bNegative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (*p < '0' || *p > '9') return false;
  DWORD dwNumber = 0;
  for (; *p >= '0' && *p <= '9'; ++p) dwNumber = dwNumber * 10u + static_cast<DWORD>(*p - '0');
  dwValue = bNegative ? 0u - dwNumber : dwNumber;
  pszText = p;
  return true;
}

// "%lu" into a number that starts as 0: a text that is no number gives 0.
DWORD ScanUnsigned32(LPCSTR pszText) {
  DWORD dwValue = 0;
  ScanNumber32(pszText, dwValue);
  return dwValue;
}

// "%d, %d, %d, %d": each comma must follow its number directly, the blank
// after it matches any white space or none. Stores the numbers matched, in
// order, and stops at the first mismatch.
void ScanMatrix(LPCSTR pszText, int* apnOptions[4]) {
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (*pszText != ',') return;
      ++pszText;
      while (IsScanSpace(*pszText)) ++pszText;
    }
    DWORD dwValue = 0;
    if (!ScanNumber32(pszText, dwValue)) return;
    *apnOptions[i] = static_cast<int>(dwValue);
  }
}

// Copies at most cbBuffer - 1 bytes of pszText and the terminating zero into
// pBuffer; returns the bytes to store.
DWORD CutText(LPCSTR pszText, char* pBuffer, size_t cbBuffer) {
  const size_t nLength = strnlen(pszText, cbBuffer - 1);
  memcpy(pBuffer, pszText, nLength);
  pBuffer[nLength] = '\0';
  return static_cast<DWORD>(nLength + 1);
}

// Starts a plant tool hidden, with " /reg". A program path with blanks is
// quoted so that it is not split at them.
void StartPlantTool(const CString& strFolder, LPCSTR pszProgramFile) {
  CString strProgram = strFolder + pszProgramFile;
  if (strProgram.Find(' ') >= 0) strProgram = '"' + strProgram + '"';
  WinExec(strProgram + VARNO_OPT_REG, SW_HIDE);
}

void CloseKey(HKEY& hKey) {
  RegCloseKey(hKey);
  hKey = 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Frame.

CVarnoRegInit::CVarnoRegInit()
    : m_hKeySchnittstellen(0),
      m_hKeyOptionen(0),
      m_hKeyProgramme(0),
      m_hKeyVedorir(0),
      m_dwWert(0),
      m_szWert(),
      m_dwTyp(REG_SZ),
      m_dwGroesse(0) {
  m_strTitel.LoadString(IDS_REG_TITEL);
}

CVarnoRegInit::CVarnoRegInit(const CVarnoRegInit& other) = default;

CVarnoRegInit& CVarnoRegInit::operator=(const CVarnoRegInit& other) = default;

CVarnoRegInit::~CVarnoRegInit() = default;

void CVarnoRegInit::FehlerMeldung(unsigned int uFormatId, unsigned int uKontextId) {
  ReportRegistryFailure(uFormatId, uKontextId);
}

void CVarnoRegInit::FehlerMeldung(unsigned int uFehlerId, CString& strText) {
  CString strFormat;
  LoadVarnoErrorString(uFehlerId, strFormat);
  CString strMessage;
  strMessage.Format(strFormat, static_cast<LPCSTR>(strText));
  VarnoError(m_strTitel, strMessage, 0, static_cast<EVarnoErrorLevel>(VARNO_REPORT_LEVEL),
             CString());
}

bool CVarnoRegInit::OpenSection(HKEY& hKey, LPCSTR pszSection, REGSAM samAccess,
                                unsigned int uOpenKontext) {
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SectionKeyPath(pszSection), 0, samAccess, &hKey) ==
      ERROR_SUCCESS) {
    return true;
  }
  FehlerMeldung(IDS_REG_OEFFNEN, uOpenKontext);
  return false;
}

CVarnoRegInit::ESetting CVarnoRegInit::QuerySetting(HKEY& hKey, LPCSTR pszSection, LPCSTR pszValue,
                                                    unsigned int uOpenKontext,
                                                    unsigned int uValueKontext, void* pData,
                                                    DWORD& dwTyp, DWORD& dwSize) {
  if (!OpenSection(hKey, pszSection, KEY_QUERY_VALUE, uOpenKontext)) return SETTING_NO_KEY;
  const LONG lResult =
      RegQueryValueExA(hKey, pszValue, NULL, &dwTyp, static_cast<BYTE*>(pData), &dwSize);
  CloseKey(hKey);
  if (lResult == ERROR_SUCCESS) return SETTING_DONE;
  if (uValueKontext != VARNO_NO_REPORT) FehlerMeldung(IDS_REG_LESEN, uValueKontext);
  return SETTING_NO_VALUE;
}

CVarnoRegInit::ESetting CVarnoRegInit::SetSetting(HKEY& hKey, LPCSTR pszSection, LPCSTR pszValue,
                                                  unsigned int uOpenKontext,
                                                  unsigned int uValueKontext, DWORD dwTyp,
                                                  const void* pData, DWORD dwSize) {
  if (!OpenSection(hKey, pszSection, KEY_SET_VALUE, uOpenKontext)) return SETTING_NO_KEY;
  const LONG lResult =
      RegSetValueExA(hKey, pszValue, 0, dwTyp, static_cast<const BYTE*>(pData), dwSize);
  CloseKey(hKey);
  if (lResult == ERROR_SUCCESS) return SETTING_DONE;
  if (uValueKontext != VARNO_NO_REPORT) FehlerMeldung(IDS_REG_SCHREIBEN, uValueKontext);
  return SETTING_NO_VALUE;
}

long CVarnoRegInit::SetTextSetting(HKEY& hKey, LPCSTR pszSection, LPCSTR pszValue,
                                   unsigned int uOpenKontext, unsigned int uValueKontext,
                                   LPCSTR pszText, char* pStage, size_t cbStage, DWORD& dwSize) {
  if (!StageText(pszText, pStage, cbStage, dwSize)) {
    if (uValueKontext != VARNO_NO_REPORT) FehlerMeldung(IDS_REG_SCHREIBEN, uValueKontext);
    return -1;
  }
  return SetSetting(hKey, pszSection, pszValue, uOpenKontext, uValueKontext, REG_SZ, pStage,
                    dwSize) == SETTING_DONE
             ? 0
             : -1;
}

bool CVarnoRegInit::QueryTextMember(HKEY& hKey, LPCSTR pszSection, LPCSTR pszValue,
                                    unsigned int uOpenKontext, unsigned int uValueKontext,
                                    CString& strText) {
  m_dwTyp = REG_SZ;
  m_dwGroesse = sizeof m_szWert;
  if (QuerySetting(hKey, pszSection, pszValue, uOpenKontext, uValueKontext, m_szWert, m_dwTyp,
                   m_dwGroesse) != SETTING_DONE) {
    return false;
  }
  strText = TextOfBuffer(m_szWert, m_dwGroesse);
  return true;
}

CString CVarnoRegInit::QueryTextLocal(LPCSTR pszSection, LPCSTR pszValue, unsigned int uKontext) {
  CString strResult;
  char szBuffer[256];
  DWORD dwTyp = REG_SZ;
  DWORD dwSize = sizeof szBuffer;
  HKEY hKey = 0;
  if (QuerySetting(hKey, pszSection, pszValue, uKontext, uKontext, szBuffer, dwTyp, dwSize) ==
      SETTING_DONE) {
    strResult = TextOfBuffer(szBuffer, dwSize);
  }
  return strResult;
}

// ---------------------------------------------------------------------------
// Generic key access.

long CVarnoRegInit::QueryGeneric(HKEY hRoot, CString& strKeyPath, CString& strValueName,
                                 void* pData, DWORD& dwSize, DWORD dwTyp, int bReport) {
  HKEY hKey = 0;
  if (RegOpenKeyExA(hRoot, strKeyPath, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS) {
    if (bReport) FehlerMeldung(VARNOERR_MSG_KEY_OPEN, strKeyPath);
    return -1;
  }
  long lResult = 0;
  if (RegQueryValueExA(hKey, strValueName, NULL, &dwTyp, static_cast<BYTE*>(pData), &dwSize) !=
      ERROR_SUCCESS) {
    lResult = -1;
    if (bReport) {
      CString strText = strKeyPath + "\\" + strValueName;
      FehlerMeldung(VARNOERR_MSG_VALUE_READ, strText);
    }
  }
  RegCloseKey(hKey);
  return lResult;
}

long CVarnoRegInit::SetGeneric(HKEY hRoot, CString& strKeyPath, CString& strValueName, DWORD dwTyp,
                               const void* pData, DWORD dwSize, int bReport) {
  HKEY hKey = 0;
  if (RegOpenKeyExA(hRoot, strKeyPath, 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS) {
    if (bReport) FehlerMeldung(VARNOERR_MSG_KEY_OPEN, strKeyPath);
    return -1;
  }
  long lResult = 0;
  if (RegSetValueExA(hKey, strValueName, 0, dwTyp, static_cast<const BYTE*>(pData), dwSize) !=
      ERROR_SUCCESS) {
    lResult = -1;
    if (bReport) {
      CString strText = strKeyPath + "\\" + strValueName;
      FehlerMeldung(VARNOERR_MSG_VALUE_WRITE, strText);
    }
  }
  RegCloseKey(hKey);
  return lResult;
}

long CVarnoRegInit::GetStringKeyUnder(HKEY hRoot, CString& strKeyPath, CString& strValueName,
                                      CString& strValue) {
  char szBuffer[256];
  DWORD dwSize = sizeof szBuffer;
  if (QueryGeneric(hRoot, strKeyPath, strValueName, szBuffer, dwSize, REG_SZ, TRUE) != 0) {
    return -1;
  }
  strValue = TextOfBuffer(szBuffer, dwSize);
  return 0;
}

long CVarnoRegInit::SetStringKeyUnder(HKEY hRoot, CString& strKeyPath, CString& strValueName,
                                      CString& strValue) {
  char szBuffer[256] = {};
  DWORD dwLength = 0;
  if (!StageText(strValue, szBuffer, sizeof szBuffer, dwLength)) {
    CString strText = strKeyPath + "\\" + strValueName;
    FehlerMeldung(VARNOERR_MSG_VALUE_WRITE, strText);
    return -1;
  }
  // The whole buffer is stored, whatever the length of the text.
  return SetGeneric(hRoot, strKeyPath, strValueName, REG_SZ, szBuffer, sizeof szBuffer, TRUE);
}

long CVarnoRegInit::GetStringKey(CString& strKeyPath, CString& strValueName, CString& strValue) {
  return GetStringKeyUnder(HKEY_LOCAL_MACHINE, strKeyPath, strValueName, strValue);
}

long CVarnoRegInit::GetStringKeyCurrentUser(CString& strKeyPath, CString& strValueName,
                                            CString& strValue) {
  return GetStringKeyUnder(HKEY_CURRENT_USER, strKeyPath, strValueName, strValue);
}

long CVarnoRegInit::SetStringKey(CString& strKeyPath, CString& strValueName, CString& strValue) {
  return SetStringKeyUnder(HKEY_LOCAL_MACHINE, strKeyPath, strValueName, strValue);
}

long CVarnoRegInit::SetStringKeyCurrentUser(CString& strKeyPath, CString& strValueName,
                                            CString& strValue) {
  return SetStringKeyUnder(HKEY_CURRENT_USER, strKeyPath, strValueName, strValue);
}

long CVarnoRegInit::GetDWordKey(CString& strKeyPath, CString& strValueName, unsigned long& dwValue,
                                int bReport) {
  DWORD dwNumber = 0;
  DWORD dwSize = sizeof dwNumber;
  if (QueryGeneric(HKEY_LOCAL_MACHINE, strKeyPath, strValueName, &dwNumber, dwSize, REG_DWORD,
                   bReport) != 0) {
    return -1;
  }
  dwValue = dwNumber;
  return 0;
}

long CVarnoRegInit::SetDWordKey(CString& strKeyPath, CString& strValueName, unsigned long dwValue,
                                int bReport) {
  const DWORD dwNumber = static_cast<DWORD>(dwValue);
  return SetGeneric(HKEY_LOCAL_MACHINE, strKeyPath, strValueName, REG_DWORD, &dwNumber,
                    sizeof dwNumber, bReport);
}

long CVarnoRegInit::GetUserInfoCompany(CString& strValue) {
  CString strKeyPath = SectionKeyPath(VARNO_SEC_USERINFO);
  CString strValueName = VARNO_VAL_COMPANY;
  return GetStringKey(strKeyPath, strValueName, strValue);
}

long CVarnoRegInit::GetUserInfoName(CString& strValue) {
  CString strKeyPath = SectionKeyPath(VARNO_SEC_USERINFO);
  CString strValueName = VARNO_VAL_NAME;
  return GetStringKey(strKeyPath, strValueName, strValue);
}

long CVarnoRegInit::GetVarnoBasePath(CString& strValue) {
  CString strKeyPath = SectionKeyPath(VARNO_SEC_PROGRAMME);
  CString strValueName = VARNO_VAL_VARNO;
  return GetStringKey(strKeyPath, strValueName, strValue);
}

// ---------------------------------------------------------------------------
// Plant tools.

long CVarnoRegInit::SetBasicRegStructAnlProjAnlVisu() {
  char szFolder[256];
  DWORD dwTyp = REG_SZ;
  DWORD dwSize = sizeof szFolder;
  HKEY hKey = 0;
  if (QuerySetting(hKey, VARNO_SEC_PROGRAMME, VARNO_VAL_SSTOOLS, IDS_REG_PROGRAMME, IDS_REG_SSTOOLS,
                   szFolder, dwTyp, dwSize) != SETTING_DONE) {
    return -1;
  }
  const CString strFolder = TextOfBuffer(szFolder, dwSize);
  StartPlantTool(strFolder, VARNO_FILE_ANLPROJ);
  StartPlantTool(strFolder, VARNO_FILE_ANLVISU);
  return 0;
}

long CVarnoRegInit::GetSchnittstellendateiPfadUndName(CString& strPfad) {
  CString strKeyPath = VARNO_REG_ANLPROJ_SETTINGS;
  CString strValueName = VARNO_VAL_PARAFILE;
  return GetStringKeyCurrentUser(strKeyPath, strValueName, strPfad);
}

long CVarnoRegInit::SetSchnittstellendateiPfadUndName(CString& strPfad) {
  CString strValueName = VARNO_VAL_PARAFILE;
  CString strProjKey = VARNO_REG_ANLPROJ_SETTINGS;
  if (SetStringKeyCurrentUser(strProjKey, strValueName, strPfad) != 0) return -1;
  CString strVisuKey = VARNO_REG_ANLVISU_SETTINGS;
  return SetStringKeyCurrentUser(strVisuKey, strValueName, strPfad);
}

// ---------------------------------------------------------------------------
// Fault records: keys and buffers of the call.

unsigned long CVarnoRegInit::GetCodeValue(LPCSTR pszValue, unsigned int uKontext) {
  DWORD dwCode = 0;
  DWORD dwTyp = REG_BINARY;
  DWORD dwSize = sizeof dwCode;
  HKEY hKey = 0;
  return QuerySetting(hKey, VARNO_SEC_STOERSCHRIEB, pszValue, IDS_REG_FORMAT, uKontext, &dwCode,
                      dwTyp, dwSize) == SETTING_DONE
             ? dwCode
             : 0;
}

long CVarnoRegInit::SetCodeValue(LPCSTR pszValue, unsigned int uKontext, int nCode) {
  HKEY hKey = 0;
  return SetSetting(hKey, VARNO_SEC_STOERSCHRIEB, pszValue, IDS_REG_FORMAT, uKontext, REG_BINARY,
                    &nCode, sizeof nCode) == SETTING_DONE
             ? 0
             : -1;
}

unsigned long CVarnoRegInit::GetStoerDatenformat() {
  return GetCodeValue(VARNO_VAL_FORMAT, IDS_REG_FORMAT);
}

long CVarnoRegInit::SetStoerDatenformat(int nFormat) {
  return SetCodeValue(VARNO_VAL_FORMAT, IDS_REG_FORMAT, nFormat);
}

unsigned long CVarnoRegInit::GetStoerDatenArt() {
  return GetCodeValue(VARNO_VAL_DART, IDS_REG_DART);
}

long CVarnoRegInit::SetStoerDatenArt(int nArt) {
  return SetCodeValue(VARNO_VAL_DART, IDS_REG_DART, nArt);
}

CString CVarnoRegInit::GetStoerProgrammName() {
  return QueryTextLocal(VARNO_SEC_STOERSCHRIEB, VARNO_VAL_GRAFPROG, IDS_REG_GRAFPROG);
}

long CVarnoRegInit::SetStoerProgrammName(CString strProgramm) {
  char szBuffer[256];
  DWORD dwSize = 0;
  HKEY hKey = 0;
  return SetTextSetting(hKey, VARNO_SEC_STOERSCHRIEB, VARNO_VAL_GRAFPROG, IDS_REG_GRAFPROG,
                        IDS_REG_GRAFPROG, strProgramm, szBuffer, sizeof szBuffer, dwSize);
}

CString CVarnoRegInit::GetComtradeViewerPath() {
  return QueryTextLocal(VARNO_SEC_PROGRAMME, VARNO_VAL_COMTRADEVIEWER, IDS_REG_GRAFPROG);
}

long CVarnoRegInit::CheckStoerProgrammName() {
  if (!GetStoerProgrammName().IsEmpty()) return 0;
  HKEY hKey = 0;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SectionKeyPath(VARNO_SEC_PROGRAMME), 0, KEY_QUERY_VALUE,
                    &hKey) != ERROR_SUCCESS) {
    return 0;
  }
  char szFavis[256];
  DWORD dwTyp = REG_SZ;
  DWORD dwSize = sizeof szFavis;
  CString strFavis;
  if (RegQueryValueExA(hKey, VARNO_VAL_FAVIS, NULL, &dwTyp, reinterpret_cast<BYTE*>(szFavis),
                       &dwSize) == ERROR_SUCCESS) {
    strFavis = TextOfBuffer(szFavis, dwSize);
  }
  if (!strFavis.IsEmpty()) {
    SetStoerProgrammName(strFavis + VARNO_FILE_FAVIS);
  } else {
    const CString strComtrade = GetComtradeViewerPath();
    if (!strComtrade.IsEmpty()) SetStoerProgrammName(strComtrade + VARNO_FILE_COMTRADEVIEW);
  }
  RegCloseKey(hKey);
  return 0;
}

// ---------------------------------------------------------------------------
// Interface parameters: m_hKeySchnittstellen and the store's buffers.

long CVarnoRegInit::QuerySchnittPar(const CString& strValueName) {
  CString strIgnored;
  return QueryTextMember(m_hKeySchnittstellen, VARNO_SEC_SCHNITTSTELLEN, strValueName,
                         IDS_REG_FORMAT, VARNO_NO_REPORT, strIgnored)
             ? 0
             : -1;
}

long CVarnoRegInit::SetSchnittParText(const CString& strValueName, LPCSTR pszText) {
  return SetTextSetting(m_hKeySchnittstellen, VARNO_SEC_SCHNITTSTELLEN, strValueName,
                        IDS_REG_FORMAT, VARNO_NO_REPORT, pszText, m_szWert, sizeof m_szWert,
                        m_dwGroesse);
}

long CVarnoRegInit::GetSchnittPar(const CString& strValueName, unsigned short& wValue) {
  if (QuerySchnittPar(strValueName) != 0) return -1;
  wValue = static_cast<unsigned short>(ScanUnsigned32(TextOfBuffer(m_szWert, m_dwGroesse)));
  return 0;
}

long CVarnoRegInit::GetSchnittPar(const CString& strValueName, unsigned long& dwValue) {
  if (QuerySchnittPar(strValueName) != 0) return -1;
  dwValue = ScanUnsigned32(TextOfBuffer(m_szWert, m_dwGroesse));
  return 0;
}

long CVarnoRegInit::GetSchnittPar(const CString& strValueName, CString& strValue) {
  if (QuerySchnittPar(strValueName) != 0) return -1;
  strValue = TextOfBuffer(m_szWert, m_dwGroesse);
  return 0;
}

long CVarnoRegInit::SetSchnittPar(const CString& strValueName, unsigned short wValue) {
  return SetSchnittParText(strValueName, FormatUnsigned16(wValue));
}

long CVarnoRegInit::SetSchnittPar(const CString& strValueName, unsigned long dwValue) {
  return SetSchnittParText(strValueName, FormatUnsigned32(dwValue));
}

long CVarnoRegInit::SetSchnittPar(const CString& strValueName, CString& strValue) {
  return SetSchnittParText(strValueName, strValue);
}

#define VARNO_DEFINE_SCHNITT_ACCESSORS(Name, ValueName, GetArg, SetArg)                          \
  long CVarnoRegInit::GetSchnitt##Name(GetArg value) { return GetSchnittPar(ValueName, value); } \
  long CVarnoRegInit::SetSchnitt##Name(SetArg value) { return SetSchnittPar(ValueName, value); }
VARNO_SCHNITT_PARAMETERS(VARNO_DEFINE_SCHNITT_ACCESSORS)
#undef VARNO_DEFINE_SCHNITT_ACCESSORS

// ---------------------------------------------------------------------------
// Options: m_hKeyOptionen and the store's buffers, except the print setters.

int CVarnoRegInit::GetTruthValue(LPCSTR pszValue, unsigned int uKontext) {
  CString strText;
  if (!QueryTextMember(m_hKeyOptionen, VARNO_SEC_OPTIONEN, pszValue, IDS_REG_FORMAT, uKontext,
                       strText)) {
    return 0;
  }
  return strText == VARNO_TEXT_TRUE ? 1 : 0;
}

long CVarnoRegInit::SetTruthValue(LPCSTR pszValue, unsigned int uKontext, int bValue) {
  return SetTextSetting(m_hKeyOptionen, VARNO_SEC_OPTIONEN, pszValue, IDS_REG_FORMAT, uKontext,
                        bValue ? VARNO_TEXT_TRUE : VARNO_TEXT_FALSE, m_szWert, sizeof m_szWert,
                        m_dwGroesse);
}

int CVarnoRegInit::GetAutoSave() { return GetTruthValue(VARNO_VAL_AUTOSAVE, IDS_REG_AUTOSAVE); }

long CVarnoRegInit::SetAutoSave(int bAutoSave) {
  return SetTruthValue(VARNO_VAL_AUTOSAVE, IDS_REG_AUTOSAVE, bAutoSave);
}

int CVarnoRegInit::GetUmrechnungPrimaer() {
  return GetTruthValue(VARNO_VAL_UMRECHNUNGPRIM, IDS_REG_UMRECHNUNGPRIM);
}

long CVarnoRegInit::SetUmrechnungPrimaer(int bUmrechnung) {
  return SetTruthValue(VARNO_VAL_UMRECHNUNGPRIM, IDS_REG_UMRECHNUNGPRIM, bUmrechnung);
}

unsigned long CVarnoRegInit::GetParameterLevel() {
  m_dwWert = 0;
  m_dwTyp = REG_BINARY;
  m_dwGroesse = sizeof m_dwWert;
  return QuerySetting(m_hKeyOptionen, VARNO_SEC_OPTIONEN, VARNO_VAL_PARAMETERLEVEL, IDS_REG_FORMAT,
                      IDS_REG_PARAMETERLEVEL, &m_dwWert, m_dwTyp, m_dwGroesse) == SETTING_DONE
             ? m_dwWert
             : 0;
}

long CVarnoRegInit::SetParameterLevel(int nLevel) {
  return SetSetting(m_hKeyOptionen, VARNO_SEC_OPTIONEN, VARNO_VAL_PARAMETERLEVEL, IDS_REG_FORMAT,
                    IDS_REG_PARAMETERLEVEL, REG_BINARY, &nLevel, sizeof nLevel) == SETTING_DONE
             ? 0
             : -1;
}

long CVarnoRegInit::GetMatrixOptions(int* pnOption1, int* pnOption2, int* pnOption3,
                                     int* pnOption4) {
  CString strText;
  if (!QueryTextMember(m_hKeyOptionen, VARNO_SEC_OPTIONEN, VARNO_VAL_MATRIX, IDS_REG_FORMAT,
                       IDS_REG_AUTOSAVE, strText)) {
    return -1;
  }
  int* apnOptions[4] = {pnOption1, pnOption2, pnOption3, pnOption4};
  ScanMatrix(strText, apnOptions);
  return 0;
}

long CVarnoRegInit::SetMatrixOptions(int nOption1, int nOption2, int nOption3, int nOption4) {
  return SetTextSetting(m_hKeyOptionen, VARNO_SEC_OPTIONEN, VARNO_VAL_MATRIX, IDS_REG_FORMAT,
                        IDS_REG_AUTOSAVE, FormatMatrix(nOption1, nOption2, nOption3, nOption4),
                        m_szWert, sizeof m_szWert, m_dwGroesse);
}

CString CVarnoRegInit::GetZEBPrintSettings() {
  CString strResult;
  QueryTextMember(m_hKeyOptionen, VARNO_SEC_OPTIONEN, VARNO_VAL_ZEBPRINTSETTINGS, IDS_REG_FORMAT,
                  VARNO_NO_REPORT, strResult);
  return strResult;
}

long CVarnoRegInit::SetZEBPrintSettings(const CString& strSettings) {
  char szBuffer[1256];
  const DWORD dwSize = CutText(strSettings, szBuffer, sizeof szBuffer);
  HKEY hKey = 0;
  return SetSetting(hKey, VARNO_SEC_OPTIONEN, VARNO_VAL_ZEBPRINTSETTINGS, IDS_REG_FORMAT,
                    VARNO_NO_REPORT, REG_SZ, szBuffer, dwSize) == SETTING_DONE
             ? 0
             : -1;
}

CString CVarnoRegInit::GetPrintOptions() {
  CString strResult;
  char szBuffer[10000];
  m_dwTyp = REG_SZ;
  m_dwGroesse = sizeof szBuffer;
  if (QuerySetting(m_hKeyOptionen, VARNO_SEC_OPTIONEN, VARNO_VAL_PRINTOPTIONS, IDS_REG_FORMAT,
                   VARNO_NO_REPORT, szBuffer, m_dwTyp, m_dwGroesse) == SETTING_DONE) {
    strResult = TextOfBuffer(szBuffer, m_dwGroesse);
  }
  return strResult;
}

long CVarnoRegInit::SetPrintOptions(CString strOptions) {
  char szBuffer[10000];
  const DWORD dwSize = CutText(strOptions, szBuffer, sizeof szBuffer);
  HKEY hKey = 0;
  switch (SetSetting(hKey, VARNO_SEC_OPTIONEN, VARNO_VAL_PRINTOPTIONS, IDS_REG_FORMAT,
                     VARNO_NO_REPORT, REG_SZ, szBuffer, dwSize)) {
    case SETTING_DONE:
      return 0;
    case SETTING_NO_VALUE: {
      CString strText = SectionKeyPath(VARNO_SEC_OPTIONEN) + "\\" + VARNO_VAL_PRINTOPTIONS;
      FehlerMeldung(VARNOERR_MSG_VALUE_WRITE, strText);
      return -1;
    }
    case SETTING_NO_KEY:
      break;
  }
  return -1;
}

// ---------------------------------------------------------------------------
// Tool program paths: m_hKeyProgramme and the store's buffers, except the
// presence tests.

CString CVarnoRegInit::GetDisplayEditorPathAndName() {
  CString strResult;
  QueryTextMember(m_hKeyProgramme, VARNO_SEC_PROGRAMME, VARNO_VAL_DISPLAYEDITOR, IDS_REG_PROGRAMME,
                  VARNO_NO_REPORT, strResult);
  return strResult;
}

long CVarnoRegInit::SetDisplayEditorPathAndName(CString strPfad) {
  return SetTextSetting(m_hKeyProgramme, VARNO_SEC_PROGRAMME, VARNO_VAL_DISPLAYEDITOR,
                        IDS_REG_PROGRAMME, IDS_REG_DISPLAYEDITOR, strPfad, m_szWert,
                        sizeof m_szWert, m_dwGroesse);
}

CString CVarnoRegInit::GetCFCPathAndName() {
  CString strResult;
  QueryTextMember(m_hKeyProgramme, VARNO_SEC_PROGRAMME, VARNO_VAL_CFC, IDS_REG_PROGRAMME,
                  IDS_REG_CFC, strResult);
  return strResult;
}

long CVarnoRegInit::SetCFCPathAndName(CString strPfad) {
  return SetTextSetting(m_hKeyProgramme, VARNO_SEC_PROGRAMME, VARNO_VAL_CFC, IDS_REG_PROGRAMME,
                        IDS_REG_CFC, strPfad, m_szWert, sizeof m_szWert, m_dwGroesse);
}

CString CVarnoRegInit::GetGraphicToolPath() {
  CString strResult;
  QueryTextMember(m_hKeyProgramme, VARNO_SEC_PROGRAMME, VARNO_VAL_GRAFIKTOOLS, IDS_REG_PROGRAMME,
                  IDS_REG_PROGRAMME, strResult);
  return strResult;
}

long CVarnoRegInit::SetGraphicToolPath(CString strPfad) {
  return SetTextSetting(m_hKeyProgramme, VARNO_SEC_PROGRAMME, VARNO_VAL_GRAFIKTOOLS,
                        IDS_REG_PROGRAMME, IDS_REG_GRAFPROG, strPfad, m_szWert, sizeof m_szWert,
                        m_dwGroesse);
}

int CVarnoRegInit::GetCfcProg() {
  HKEY hKey = 0;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, VARNO_REG_CFC_EDITOR, 0, KEY_QUERY_VALUE, &hKey) !=
      ERROR_SUCCESS) {
    return 0;
  }
  RegCloseKey(hKey);
  return 1;
}

int CVarnoRegInit::GetBildEditorProg() {
  HKEY hKey = 0;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SectionKeyPath(VARNO_SEC_PROGRAMME), 0, KEY_QUERY_VALUE,
                    &hKey) != ERROR_SUCCESS) {
    return 0;
  }
  char szBuffer[256];
  DWORD dwTyp = REG_SZ;
  DWORD dwSize = sizeof szBuffer;
  int bPresent = 0;
  if (RegQueryValueExA(hKey, VARNO_VAL_DISPLAYEDITOR, NULL, &dwTyp,
                       reinterpret_cast<BYTE*>(szBuffer), &dwSize) == ERROR_SUCCESS &&
      !TextOfBuffer(szBuffer, dwSize).IsEmpty()) {
    bPresent = 1;
  }
  RegCloseKey(hKey);
  return bPresent;
}

// ---------------------------------------------------------------------------
// Test-set export header: m_hKeyVedorir and the store's buffers.

void CVarnoRegInit::InitRegStruct(SRioHeader& rio) { FillRioDefaults(rio, RIO_DEFAULTS_STORE); }

int CVarnoRegInit::SetRioHeaderStruct(SRioHeader& rio) {
  if (!OpenSection(m_hKeyVedorir, VARNO_SEC_VEDORIR, KEY_SET_VALUE, IDS_REG_VEDORIR)) return -1;
  for (size_t i = 0; i < RIO_VALUE_COUNT; ++i) {
    if (WriteRioValue(m_hKeyVedorir, rio, i, m_szWert, sizeof m_szWert, m_dwGroesse) !=
        ERROR_SUCCESS) {
      FehlerMeldung(IDS_REG_SCHREIBEN, IDS_REG_DART);
    }
  }
  CloseKey(m_hKeyVedorir);
  return 0;
}

int CVarnoRegInit::GetRioHeaderStruct(SRioHeader& rio) {
  m_dwTyp = REG_BINARY;
  m_dwGroesse = sizeof(double);
  if (!OpenSection(m_hKeyVedorir, VARNO_SEC_VEDORIR, KEY_QUERY_VALUE, IDS_REG_VEDORIR)) return -1;
  for (size_t i = 0; i < RIO_VALUE_COUNT; ++i) {
    if (ReadRioValue(m_hKeyVedorir, rio, i, m_szWert, sizeof m_szWert, m_dwTyp, m_dwGroesse) !=
        ERROR_SUCCESS) {
      FehlerMeldung(IDS_REG_LESEN, IDS_REG_DART);
    }
  }
  CloseKey(m_hKeyVedorir);
  return 1;
}
