// The registry layout, the report and the test-set export header values that
// the settings store and the administrative writer share.
#include "RegistryLayout.h"

#include <string.h>

#include <varnoerr.h>

#include "VarnoStrings.h"

void ReportRegistryFailure(unsigned int uFormatId, unsigned int uKontextId) {
  CString strFormat;
  CString strKontext;
  strFormat.LoadString(uFormatId);
  strKontext.LoadString(uKontextId);
  CString strMessage;
  strMessage.Format(strFormat, static_cast<LPCSTR>(strKontext));
  CString strTitel;
  strTitel.LoadString(IDS_REG_TITEL);
  VarnoError(strTitel, strMessage, 0, static_cast<EVarnoErrorLevel>(VARNO_REPORT_LEVEL), CString());
}

CString SectionKeyPath(LPCSTR pszSection) { return CString(VARNO_REG_BASEPATH) + pszSection; }

bool StageText(LPCSTR pszText, char* pStage, size_t cbStage, DWORD& dwSize) {
  const size_t nLength = strlen(pszText);
  if (nLength >= cbStage) return false;
  memcpy(pStage, pszText, nLength + 1);
  dwSize = static_cast<DWORD>(nLength + 1);
  return true;
}

CString TextOfBuffer(const char* pBuffer, DWORD cbData) {
  return CString(pBuffer, static_cast<int>(strnlen(pBuffer, cbData)));
}

LONG SetBinaryInt(HKEY hKey, LPCSTR pszValue, int nValue) {
  return RegSetValueExA(hKey, pszValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&nValue),
                        sizeof nValue);
}

LONG SetStagedText(HKEY hKey, LPCSTR pszValue, LPCSTR pszText, char* pStage, size_t cbStage,
                   DWORD& dwSize) {
  if (!StageText(pszText, pStage, cbStage, dwSize)) return ERROR_INSUFFICIENT_BUFFER;
  return RegSetValueExA(hKey, pszValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(pStage), dwSize);
}

CString FormatUnsigned16(unsigned short wValue) {
  CString strText;
  strText.Format("%hu", wValue);
  return strText;
}

CString FormatUnsigned32(unsigned long dwValue) {
  CString strText;
  strText.Format("%lu", static_cast<unsigned long>(static_cast<DWORD>(dwValue)));
  return strText;
}

CString FormatMatrix(int nOption1, int nOption2, int nOption3, int nOption4) {
  CString strText;
  strText.Format("%d, %d, %d, %d", nOption1, nOption2, nOption3, nOption4);
  return strText;
}

// ---------------------------------------------------------------------------
// The test-set export header.

const SRioNumber g_aRioNumbers[RIO_NUMBER_COUNT] = {
    {VARNO_VAL_RATINGV, &SRioHeader::dRatingV, 100.0, 100.0},
    {VARNO_VAL_RATINGI, &SRioHeader::dRatingI, 1.0, 1.0},
    {VARNO_VAL_RATINGFREQ, &SRioHeader::dRatingFreq, 50.0, 50.0},
    {VARNO_VAL_MAXV, &SRioHeader::dMaxV, 120.0, 120.0},
    {VARNO_VAL_MAXI, &SRioHeader::dMaxI, 10.0, 10.0},
    {VARNO_VAL_I, &SRioHeader::dI, 1.8, 1.8},
    {VARNO_VAL_IE, &SRioHeader::dIE, 0.5, 0.5},
    {VARNO_VAL_TOL_T1, &SRioHeader::dTolT1, 1.0, 1.0},
    {VARNO_VAL_TOL_T2, &SRioHeader::dTolT2, 1.0, 0.1},
    {VARNO_VAL_TOL_Z1, &SRioHeader::dTolZ1, 5.0, 5.0},
    {VARNO_VAL_TOL_Z2, &SRioHeader::dTolZ2, 0.1, 0.1},
    {VARNO_VAL_KS1, &SRioHeader::dKS1, 1.0, 1.0},
    {VARNO_VAL_KS2, &SRioHeader::dKS2, 0.0, 0.0},
    {VARNO_VAL_ZS1, &SRioHeader::dZS1, 0.259, 0.259},
    {VARNO_VAL_ZS2, &SRioHeader::dZS2, 0.966, 0.966},
    {VARNO_VAL_RERL, &SRioHeader::dRERL, 1.0, 1.0},
    {VARNO_VAL_XEXL, &SRioHeader::dXEXL, 1.0, 1.0},
    {VARNO_VAL_TIME0MAX, &SRioHeader::dTime0Max, 0.1, 0.1},
    {VARNO_VAL_LINEANGLE, &SRioHeader::dLineAngle, 75.0, 75.0},
};

namespace {

// The read order, as positions in g_aRioNumbers: "RERL" and "XEXL" are read
// right after "TOL-Z2", where the write puts them after "ZS2".
const unsigned char kRioReadOrder[RIO_NUMBER_COUNT] = {0,  1,  2,  3,  4,  5,  6,  7,  8, 9,
                                                       10, 15, 16, 11, 12, 13, 14, 17, 18};

// Positions of the two texts among the 21 values, in both orders.
constexpr size_t kRioImpCorr = RIO_NUMBER_COUNT;
constexpr size_t kRioCurrGround = RIO_NUMBER_COUNT + 1;

LONG QueryText(HKEY hKey, LPCSTR pszValue, CString& strText, char* pStage, size_t cbStage,
               DWORD& dwTyp, DWORD& dwSize) {
  dwTyp = REG_SZ;
  dwSize = static_cast<DWORD>(cbStage);
  const LONG lResult =
      RegQueryValueExA(hKey, pszValue, NULL, &dwTyp, reinterpret_cast<BYTE*>(pStage), &dwSize);
  if (lResult == ERROR_SUCCESS) strText = TextOfBuffer(pStage, dwSize);
  return lResult;
}

}  // namespace

void FillRioDefaults(SRioHeader& rio, ERioDefaults eDefaults) {
  for (const SRioNumber& number : g_aRioNumbers) {
    rio.*number.pMember =
        eDefaults == RIO_DEFAULTS_ADMIN ? number.dAdminDefault : number.dStoreDefault;
  }
  rio.strImpCorr = VARNO_TEXT_FALSE;
  rio.strCurrGround = VARNO_TEXT_LINE;
}

LONG WriteRioValue(HKEY hKey, const SRioHeader& rio, size_t nIndex, char* pStage, size_t cbStage,
                   DWORD& dwSize) {
  if (nIndex == kRioImpCorr) {
    return SetStagedText(hKey, VARNO_VAL_IMPCORR, rio.strImpCorr, pStage, cbStage, dwSize);
  }
  if (nIndex == kRioCurrGround) {
    // Always "LINE", whatever the record holds.
    return SetStagedText(hKey, VARNO_VAL_CURRGROUND, VARNO_TEXT_LINE, pStage, cbStage, dwSize);
  }
  const SRioNumber& number = g_aRioNumbers[nIndex];
  BYTE abStage[sizeof(double)];
  memcpy(abStage, &(rio.*number.pMember), sizeof abStage);
  return RegSetValueExA(hKey, number.pszValueName, 0, REG_BINARY, abStage, sizeof abStage);
}

LONG ReadRioValue(HKEY hKey, SRioHeader& rio, size_t nIndex, char* pStage, size_t cbStage,
                  DWORD& dwTyp, DWORD& dwSize) {
  if (nIndex == kRioImpCorr) {
    return QueryText(hKey, VARNO_VAL_IMPCORR, rio.strImpCorr, pStage, cbStage, dwTyp, dwSize);
  }
  if (nIndex == kRioCurrGround) {
    return QueryText(hKey, VARNO_VAL_CURRGROUND, rio.strCurrGround, pStage, cbStage, dwTyp, dwSize);
  }
  const SRioNumber& number = g_aRioNumbers[kRioReadOrder[nIndex]];
  BYTE abStage[sizeof(double)] = {};
  dwTyp = REG_BINARY;
  dwSize = sizeof abStage;
  const LONG lResult = RegQueryValueExA(hKey, number.pszValueName, NULL, &dwTyp, abStage, &dwSize);
  if (lResult == ERROR_SUCCESS) memcpy(&(rio.*number.pMember), abStage, sizeof abStage);
  return lResult;
}
