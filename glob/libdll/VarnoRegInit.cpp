// The settings store: frame, generic key access, plant tools, fault records,
// interface parameters, options, tool paths and the test-set export header.
#include "VarnoRegInit.h"

#include <string.h>

#include <varnoerr.h>

#include "PlantToolFolder.h"

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

CVarnoRegInit::SSetting CVarnoRegInit::Section(LPCSTR pszSection, LPCSTR pszValue,
                                               unsigned int uOpenKontext,
                                               unsigned int uValueKontext) {
  return {HKEY_LOCAL_MACHINE, SectionKeyPath(pszSection), pszValue, uOpenKontext, uValueKontext};
}

void CVarnoRegInit::ReportFailure(const SSetting& setting, EFailure eFailure) {
  static const unsigned int kFormats[] = {IDS_REG_OEFFNEN, IDS_REG_LESEN, IDS_REG_SCHREIBEN};
  static const unsigned int kLibraryMessages[] = {VARNOERR_MSG_KEY_OPEN, VARNOERR_MSG_VALUE_READ,
                                                  VARNOERR_MSG_VALUE_WRITE};
  const unsigned int uKontext =
      eFailure == FAILED_OPEN ? setting.uOpenKontext : setting.uValueKontext;
  if (uKontext == VARNO_NO_REPORT) return;
  if (uKontext != VARNO_REPORT_PATH) {
    FehlerMeldung(kFormats[eFailure], uKontext);
    return;
  }
  CString strText = setting.strKeyPath;
  if (eFailure != FAILED_OPEN) strText += "\\" + setting.strValueName;
  FehlerMeldung(kLibraryMessages[eFailure], strText);
}

bool CVarnoRegInit::OpenSetting(HKEY& hKey, const SSetting& setting, REGSAM samAccess) {
  if (RegOpenKeyExA(setting.hRoot, setting.strKeyPath, 0, samAccess, &hKey) == ERROR_SUCCESS) {
    return true;
  }
  ReportFailure(setting, FAILED_OPEN);
  return false;
}

CVarnoRegInit::ESetting CVarnoRegInit::AccessSetting(HKEY& hKey, const SSetting& setting,
                                                     REGSAM samAccess, void* pData, DWORD& dwTyp,
                                                     DWORD& dwSize) {
  if (!OpenSetting(hKey, setting, samAccess)) return SETTING_NO_KEY;
  BYTE* const pBytes = static_cast<BYTE*>(pData);
  const bool bWrite = samAccess == KEY_SET_VALUE;
  const LONG lResult =
      bWrite ? RegSetValueExA(hKey, setting.strValueName, 0, dwTyp, pBytes, dwSize)
             : RegQueryValueExA(hKey, setting.strValueName, NULL, &dwTyp, pBytes, &dwSize);
  CloseKey(hKey);
  if (lResult == ERROR_SUCCESS) return SETTING_DONE;
  ReportFailure(setting, bWrite ? FAILED_WRITE : FAILED_READ);
  return SETTING_NO_VALUE;
}

long CVarnoRegInit::SetTextSetting(HKEY& hKey, const SSetting& setting, LPCSTR pszText,
                                   char* pStage, size_t cbStage, DWORD& dwSize) {
  if (!StageText(pszText, pStage, cbStage, dwSize)) {
    ReportFailure(setting, FAILED_WRITE);
    return -1;
  }
  DWORD dwTyp = REG_SZ;
  return AccessSetting(hKey, setting, KEY_SET_VALUE, pStage, dwTyp, dwSize) == SETTING_DONE ? 0
                                                                                            : -1;
}

bool CVarnoRegInit::QueryTextMember(HKEY& hKey, const SSetting& setting, CString& strText) {
  m_dwTyp = REG_SZ;
  m_dwGroesse = sizeof m_szWert;
  if (AccessSetting(hKey, setting, KEY_QUERY_VALUE, m_szWert, m_dwTyp, m_dwGroesse) !=
      SETTING_DONE) {
    return false;
  }
  strText = TextOfBuffer(m_szWert, m_dwGroesse);
  return true;
}

CString CVarnoRegInit::QueryTextLocal(const SSetting& setting) {
  CString strResult;
  char szBuffer[256];
  DWORD dwTyp = REG_SZ;
  DWORD dwSize = sizeof szBuffer;
  HKEY hKey = 0;
  if (AccessSetting(hKey, setting, KEY_QUERY_VALUE, szBuffer, dwTyp, dwSize) == SETTING_DONE) {
    strResult = TextOfBuffer(szBuffer, dwSize);
  }
  return strResult;
}

// ---------------------------------------------------------------------------
// Generic key access: keys and buffers of the call, reported with the key
// path.

long CVarnoRegInit::GetStringKeyUnder(HKEY hRoot, CString& strKeyPath, CString& strValueName,
                                      CString& strValue) {
  const SSetting setting = {hRoot, strKeyPath, strValueName, VARNO_REPORT_PATH, VARNO_REPORT_PATH};
  char szBuffer[256];
  DWORD dwTyp = REG_SZ;
  DWORD dwSize = sizeof szBuffer;
  HKEY hKey = 0;
  if (AccessSetting(hKey, setting, KEY_QUERY_VALUE, szBuffer, dwTyp, dwSize) != SETTING_DONE) {
    return -1;
  }
  strValue = TextOfBuffer(szBuffer, dwSize);
  return 0;
}

long CVarnoRegInit::SetStringKeyUnder(HKEY hRoot, CString& strKeyPath, CString& strValueName,
                                      CString& strValue) {
  const SSetting setting = {hRoot, strKeyPath, strValueName, VARNO_REPORT_PATH, VARNO_REPORT_PATH};
  char szBuffer[256] = {};
  DWORD dwLength = 0;
  if (!StageText(strValue, szBuffer, sizeof szBuffer, dwLength)) {
    ReportFailure(setting, FAILED_WRITE);
    return -1;
  }
  // The whole buffer is stored, whatever the length of the text.
  DWORD dwTyp = REG_SZ;
  DWORD dwSize = sizeof szBuffer;
  HKEY hKey = 0;
  return AccessSetting(hKey, setting, KEY_SET_VALUE, szBuffer, dwTyp, dwSize) == SETTING_DONE ? 0
                                                                                              : -1;
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
  const unsigned int uKontext = bReport ? VARNO_REPORT_PATH : VARNO_NO_REPORT;
  const SSetting setting = {HKEY_LOCAL_MACHINE, strKeyPath, strValueName, uKontext, uKontext};
  DWORD dwNumber = 0;
  DWORD dwTyp = REG_DWORD;
  DWORD dwSize = sizeof dwNumber;
  HKEY hKey = 0;
  if (AccessSetting(hKey, setting, KEY_QUERY_VALUE, &dwNumber, dwTyp, dwSize) != SETTING_DONE) {
    return -1;
  }
  dwValue = dwNumber;
  return 0;
}

long CVarnoRegInit::SetDWordKey(CString& strKeyPath, CString& strValueName, unsigned long dwValue,
                                int bReport) {
  const unsigned int uKontext = bReport ? VARNO_REPORT_PATH : VARNO_NO_REPORT;
  const SSetting setting = {HKEY_LOCAL_MACHINE, strKeyPath, strValueName, uKontext, uKontext};
  DWORD dwNumber = static_cast<DWORD>(dwValue);
  DWORD dwTyp = REG_DWORD;
  DWORD dwSize = sizeof dwNumber;
  HKEY hKey = 0;
  return AccessSetting(hKey, setting, KEY_SET_VALUE, &dwNumber, dwTyp, dwSize) == SETTING_DONE ? 0
                                                                                               : -1;
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
  if (AccessSetting(
          hKey, Section(VARNO_SEC_PROGRAMME, VARNO_VAL_SSTOOLS, IDS_REG_PROGRAMME, IDS_REG_SSTOOLS),
          KEY_QUERY_VALUE, szFolder, dwTyp, dwSize) != SETTING_DONE) {
    return -1;
  }
  const CString strFolder = TextOfBuffer(szFolder, dwSize);
  if (PlantToolFolderProblem(strFolder) != nullptr) {
    ReportRegistryFailure(IDS_REG_UNBRAUCHBAR, IDS_REG_SSTOOLS);
    return -1;
  }
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
  return AccessSetting(hKey, Section(VARNO_SEC_STOERSCHRIEB, pszValue, IDS_REG_FORMAT, uKontext),
                       KEY_QUERY_VALUE, &dwCode, dwTyp, dwSize) == SETTING_DONE
             ? dwCode
             : 0;
}

long CVarnoRegInit::SetCodeValue(LPCSTR pszValue, unsigned int uKontext, int nCode) {
  DWORD dwTyp = REG_BINARY;
  DWORD dwSize = sizeof nCode;
  HKEY hKey = 0;
  return AccessSetting(hKey, Section(VARNO_SEC_STOERSCHRIEB, pszValue, IDS_REG_FORMAT, uKontext),
                       KEY_SET_VALUE, &nCode, dwTyp, dwSize) == SETTING_DONE
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
  return QueryTextLocal(
      Section(VARNO_SEC_STOERSCHRIEB, VARNO_VAL_GRAFPROG, IDS_REG_GRAFPROG, IDS_REG_GRAFPROG));
}

long CVarnoRegInit::SetStoerProgrammName(CString strProgramm) {
  char szBuffer[256];
  DWORD dwSize = 0;
  HKEY hKey = 0;
  return SetTextSetting(
      hKey, Section(VARNO_SEC_STOERSCHRIEB, VARNO_VAL_GRAFPROG, IDS_REG_GRAFPROG, IDS_REG_GRAFPROG),
      strProgramm, szBuffer, sizeof szBuffer, dwSize);
}

CString CVarnoRegInit::GetComtradeViewerPath() {
  // Shares the context of the viewer program it stands in for, on purpose.
  return QueryTextLocal(
      Section(VARNO_SEC_PROGRAMME, VARNO_VAL_COMTRADEVIEWER, IDS_REG_GRAFPROG, IDS_REG_GRAFPROG));
}

long CVarnoRegInit::CheckStoerProgrammName() {
  if (!GetStoerProgrammName().IsEmpty()) return 0;
  // The viewers' directories are looked up silently: a missing one is no
  // failure, only a reason to try the next.
  char szFavis[256];
  DWORD dwTyp = REG_SZ;
  DWORD dwSize = sizeof szFavis;
  HKEY hKey = 0;
  const ESetting eFavis = AccessSetting(
      hKey, Section(VARNO_SEC_PROGRAMME, VARNO_VAL_FAVIS, VARNO_NO_REPORT, VARNO_NO_REPORT),
      KEY_QUERY_VALUE, szFavis, dwTyp, dwSize);
  if (eFavis == SETTING_NO_KEY) return 0;
  const CString strFavis = eFavis == SETTING_DONE ? TextOfBuffer(szFavis, dwSize) : CString();
  if (!strFavis.IsEmpty()) {
    SetStoerProgrammName(strFavis + VARNO_FILE_FAVIS);
  } else {
    const CString strComtrade = GetComtradeViewerPath();
    if (!strComtrade.IsEmpty()) SetStoerProgrammName(strComtrade + VARNO_FILE_COMTRADEVIEW);
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Interface parameters: m_hKeySchnittstellen and the store's buffers.

long CVarnoRegInit::QuerySchnittPar(const CString& strValueName) {
  CString strIgnored;
  return QueryTextMember(
             m_hKeySchnittstellen,
             Section(VARNO_SEC_SCHNITTSTELLEN, strValueName, IDS_REG_FORMAT, VARNO_NO_REPORT),
             strIgnored)
             ? 0
             : -1;
}

long CVarnoRegInit::SetSchnittParText(const CString& strValueName, LPCSTR pszText) {
  return SetTextSetting(
      m_hKeySchnittstellen,
      Section(VARNO_SEC_SCHNITTSTELLEN, strValueName, IDS_REG_FORMAT, VARNO_NO_REPORT), pszText,
      m_szWert, sizeof m_szWert, m_dwGroesse);
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
  if (!QueryTextMember(m_hKeyOptionen,
                       Section(VARNO_SEC_OPTIONEN, pszValue, IDS_REG_FORMAT, uKontext), strText)) {
    return 0;
  }
  return strText == VARNO_TEXT_TRUE ? 1 : 0;
}

long CVarnoRegInit::SetTruthValue(LPCSTR pszValue, unsigned int uKontext, int bValue) {
  return SetTextSetting(
      m_hKeyOptionen, Section(VARNO_SEC_OPTIONEN, pszValue, IDS_REG_FORMAT, uKontext),
      bValue ? VARNO_TEXT_TRUE : VARNO_TEXT_FALSE, m_szWert, sizeof m_szWert, m_dwGroesse);
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
  return AccessSetting(m_hKeyOptionen,
                       Section(VARNO_SEC_OPTIONEN, VARNO_VAL_PARAMETERLEVEL, IDS_REG_FORMAT,
                               IDS_REG_PARAMETERLEVEL),
                       KEY_QUERY_VALUE, &m_dwWert, m_dwTyp, m_dwGroesse) == SETTING_DONE
             ? m_dwWert
             : 0;
}

long CVarnoRegInit::SetParameterLevel(int nLevel) {
  DWORD dwTyp = REG_BINARY;
  DWORD dwSize = sizeof nLevel;
  return AccessSetting(m_hKeyOptionen,
                       Section(VARNO_SEC_OPTIONEN, VARNO_VAL_PARAMETERLEVEL, IDS_REG_FORMAT,
                               IDS_REG_PARAMETERLEVEL),
                       KEY_SET_VALUE, &nLevel, dwTyp, dwSize) == SETTING_DONE
             ? 0
             : -1;
}

long CVarnoRegInit::GetMatrixOptions(int* pnOption1, int* pnOption2, int* pnOption3,
                                     int* pnOption4) {
  CString strText;
  // Shares the auto-save option's context on purpose.
  if (!QueryTextMember(
          m_hKeyOptionen,
          Section(VARNO_SEC_OPTIONEN, VARNO_VAL_MATRIX, IDS_REG_FORMAT, IDS_REG_AUTOSAVE),
          strText)) {
    return -1;
  }
  int* apnOptions[4] = {pnOption1, pnOption2, pnOption3, pnOption4};
  ScanMatrix(strText, apnOptions);
  return 0;
}

long CVarnoRegInit::SetMatrixOptions(int nOption1, int nOption2, int nOption3, int nOption4) {
  return SetTextSetting(
      m_hKeyOptionen,
      Section(VARNO_SEC_OPTIONEN, VARNO_VAL_MATRIX, IDS_REG_FORMAT, IDS_REG_AUTOSAVE),
      FormatMatrix(nOption1, nOption2, nOption3, nOption4), m_szWert, sizeof m_szWert, m_dwGroesse);
}

CString CVarnoRegInit::GetZEBPrintSettings() {
  CString strResult;
  QueryTextMember(
      m_hKeyOptionen,
      Section(VARNO_SEC_OPTIONEN, VARNO_VAL_ZEBPRINTSETTINGS, IDS_REG_FORMAT, VARNO_NO_REPORT),
      strResult);
  return strResult;
}

long CVarnoRegInit::SetZEBPrintSettings(const CString& strSettings) {
  char szBuffer[1256];
  DWORD dwSize = CutText(strSettings, szBuffer, sizeof szBuffer);
  DWORD dwTyp = REG_SZ;
  HKEY hKey = 0;
  return AccessSetting(hKey,
                       Section(VARNO_SEC_OPTIONEN, VARNO_VAL_ZEBPRINTSETTINGS, IDS_REG_FORMAT,
                               VARNO_NO_REPORT),
                       KEY_SET_VALUE, szBuffer, dwTyp, dwSize) == SETTING_DONE
             ? 0
             : -1;
}

CString CVarnoRegInit::GetPrintOptions() {
  CString strResult;
  char szBuffer[10000];
  m_dwTyp = REG_SZ;
  m_dwGroesse = sizeof szBuffer;
  // Read silently; its failed write is reported (see SetPrintOptions).
  const SSetting setting =
      Section(VARNO_SEC_OPTIONEN, VARNO_VAL_PRINTOPTIONS, IDS_REG_FORMAT, VARNO_NO_REPORT);
  if (AccessSetting(m_hKeyOptionen, setting, KEY_QUERY_VALUE, szBuffer, m_dwTyp, m_dwGroesse) ==
      SETTING_DONE) {
    strResult = TextOfBuffer(szBuffer, m_dwGroesse);
  }
  return strResult;
}

long CVarnoRegInit::SetPrintOptions(CString strOptions) {
  char szBuffer[10000];
  DWORD dwSize = CutText(strOptions, szBuffer, sizeof szBuffer);
  DWORD dwTyp = REG_SZ;
  HKEY hKey = 0;
  // A failed write is reported with the library's message and the value's
  // path, as the generic key access reports it.
  const SSetting setting =
      Section(VARNO_SEC_OPTIONEN, VARNO_VAL_PRINTOPTIONS, IDS_REG_FORMAT, VARNO_REPORT_PATH);
  return AccessSetting(hKey, setting, KEY_SET_VALUE, szBuffer, dwTyp, dwSize) == SETTING_DONE ? 0
                                                                                              : -1;
}

// ---------------------------------------------------------------------------
// Tool program paths: m_hKeyProgramme and the store's buffers, except the
// presence tests.

CString CVarnoRegInit::GetDisplayEditorPathAndName() {
  CString strResult;
  QueryTextMember(
      m_hKeyProgramme,
      Section(VARNO_SEC_PROGRAMME, VARNO_VAL_DISPLAYEDITOR, IDS_REG_PROGRAMME, VARNO_NO_REPORT),
      strResult);
  return strResult;
}

long CVarnoRegInit::SetDisplayEditorPathAndName(CString strPfad) {
  return SetTextSetting(m_hKeyProgramme,
                        Section(VARNO_SEC_PROGRAMME, VARNO_VAL_DISPLAYEDITOR, IDS_REG_PROGRAMME,
                                IDS_REG_DISPLAYEDITOR),
                        strPfad, m_szWert, sizeof m_szWert, m_dwGroesse);
}

CString CVarnoRegInit::GetCFCPathAndName() {
  CString strResult;
  QueryTextMember(m_hKeyProgramme,
                  Section(VARNO_SEC_PROGRAMME, VARNO_VAL_CFC, IDS_REG_PROGRAMME, IDS_REG_CFC),
                  strResult);
  return strResult;
}

long CVarnoRegInit::SetCFCPathAndName(CString strPfad) {
  return SetTextSetting(m_hKeyProgramme,
                        Section(VARNO_SEC_PROGRAMME, VARNO_VAL_CFC, IDS_REG_PROGRAMME, IDS_REG_CFC),
                        strPfad, m_szWert, sizeof m_szWert, m_dwGroesse);
}

CString CVarnoRegInit::GetGraphicToolPath() {
  CString strResult;
  // A failed read shares the section's context on purpose.
  QueryTextMember(
      m_hKeyProgramme,
      Section(VARNO_SEC_PROGRAMME, VARNO_VAL_GRAFIKTOOLS, IDS_REG_PROGRAMME, IDS_REG_PROGRAMME),
      strResult);
  return strResult;
}

long CVarnoRegInit::SetGraphicToolPath(CString strPfad) {
  // A failed write shares the fault-record viewer's context on purpose.
  return SetTextSetting(
      m_hKeyProgramme,
      Section(VARNO_SEC_PROGRAMME, VARNO_VAL_GRAFIKTOOLS, IDS_REG_PROGRAMME, IDS_REG_GRAFPROG),
      strPfad, m_szWert, sizeof m_szWert, m_dwGroesse);
}

int CVarnoRegInit::GetCfcProg() {
  const SSetting editorKey = {HKEY_LOCAL_MACHINE, VARNO_REG_CFC_EDITOR, "", VARNO_NO_REPORT,
                              VARNO_NO_REPORT};
  HKEY hKey = 0;
  if (!OpenSetting(hKey, editorKey, KEY_QUERY_VALUE)) return 0;
  CloseKey(hKey);
  return 1;
}

int CVarnoRegInit::GetBildEditorProg() {
  char szBuffer[256];
  DWORD dwTyp = REG_SZ;
  DWORD dwSize = sizeof szBuffer;
  HKEY hKey = 0;
  return AccessSetting(hKey,
                       Section(VARNO_SEC_PROGRAMME, VARNO_VAL_DISPLAYEDITOR, VARNO_NO_REPORT,
                               VARNO_NO_REPORT),
                       KEY_QUERY_VALUE, szBuffer, dwTyp, dwSize) == SETTING_DONE &&
                 !TextOfBuffer(szBuffer, dwSize).IsEmpty()
             ? 1
             : 0;
}

// ---------------------------------------------------------------------------
// Test-set export header: m_hKeyVedorir and the store's buffers.

void CVarnoRegInit::InitRegStruct(SRioHeader& rio) { FillRioDefaults(rio, RIO_DEFAULTS_STORE); }

int CVarnoRegInit::SetRioHeaderStruct(SRioHeader& rio) {
  // The values share the fault-record data kind's context on purpose; the
  // section's own context is for opening it.
  const SSetting section = Section(VARNO_SEC_VEDORIR, "", IDS_REG_VEDORIR, IDS_REG_DART);
  if (!OpenSetting(m_hKeyVedorir, section, KEY_SET_VALUE)) return -1;
  for (size_t i = 0; i < RIO_VALUE_COUNT; ++i) {
    if (WriteRioValue(m_hKeyVedorir, rio, i, m_szWert, sizeof m_szWert, m_dwGroesse) !=
        ERROR_SUCCESS) {
      ReportFailure(section, FAILED_WRITE);
    }
  }
  CloseKey(m_hKeyVedorir);
  return 0;
}

int CVarnoRegInit::GetRioHeaderStruct(SRioHeader& rio) {
  m_dwTyp = REG_BINARY;
  m_dwGroesse = sizeof(double);
  const SSetting section = Section(VARNO_SEC_VEDORIR, "", IDS_REG_VEDORIR, IDS_REG_DART);
  if (!OpenSetting(m_hKeyVedorir, section, KEY_QUERY_VALUE)) return -1;
  for (size_t i = 0; i < RIO_VALUE_COUNT; ++i) {
    if (ReadRioValue(m_hKeyVedorir, rio, i, m_szWert, sizeof m_szWert, m_dwTyp, m_dwGroesse) !=
        ERROR_SUCCESS) {
      ReportFailure(section, FAILED_READ);
    }
  }
  CloseKey(m_hKeyVedorir);
  return 1;
}
