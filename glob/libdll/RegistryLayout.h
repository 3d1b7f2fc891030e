// What the settings store (CVarnoRegInit) and the administrative writer
// (CAdminRegInit) share: the message identifiers of their reports and the
// report itself, the section keys, the staging of texts, and the test-set
// export header record SRioHeader with the layout of its values.
#ifndef VARNO_REGISTRY_LAYOUT_H
#define VARNO_REGISTRY_LAYOUT_H

#include <stddef.h>

#include <afx.h>
#include <windows.h>

#include "vintutil_export.h"

// ---------------------------------------------------------------------------
// String resources of the host application that reports use. A failure kind
// is a format with one string argument; a context names the setting and is
// that argument.
enum : unsigned int {
  IDS_REG_OEFFNEN = 10189,      // failure kind: a key cannot be opened (or created)
  IDS_REG_SCHREIBEN = 10190,    // failure kind: a value cannot be written
  IDS_REG_LESEN = 10191,        // failure kind: a value cannot be read
  IDS_REG_UNBRAUCHBAR = 10472,  // failure kind: a value read cannot be used on this system
  IDS_REG_TITEL = 10643,        // title of every report

  // Contexts.
  IDS_REG_FORMAT = 10192,          // sections STOERSCHRIEB, SCHNITTSTELLEN, OPTIONEN; FORMAT
  IDS_REG_DART = 10193,            // DART, FAVIS_MODE_D3, the VEDORIR values
  IDS_REG_GRAFPROG = 10194,        // GRAFPROG, COMTRADEVIEWER, writing GRAFIKTOOLS
  IDS_REG_AUTOSAVE = 10212,        // AUTOSAVE, MATRIX
  IDS_REG_DISPLAYEDITOR = 10279,   // writing DISPLAYEDITOR
  IDS_REG_PROGRAMME = 10282,       // section PROGRAMME; reading GRAFIKTOOLS
  IDS_REG_CFC = 10283,             // CFC
  IDS_REG_VEDORIR = 10291,         // section VEDORIR
  IDS_REG_UMRECHNUNGPRIM = 10292,  // UMRECHNUNGPRIM
  IDS_REG_PARAMETERLEVEL = 10293,  // PARAMETERLEVEL
  IDS_REG_SSTOOLS = 10471,         // reading SSTOOLS
};

// The level of every report of the settings store and the writer.
inline constexpr int VARNO_REPORT_LEVEL = 2;

// In place of a context: the failure is not reported.
inline constexpr unsigned int VARNO_NO_REPORT = 0;

// In place of a context, for the settings store: the failure is reported with
// the error-reporting library's message and the key path, as the generic key
// access reports it.
inline constexpr unsigned int VARNO_REPORT_PATH = ~0u;

// Reports a failure: loads format uFormatId and context uKontextId from the
// host's resource chain, formats the message with the context as the
// format's one argument, loads the title (IDS_REG_TITEL) and hands title,
// message, 0, level 2 and an empty text to VarnoError. Unknown resources are
// empty texts; the report is made all the same.
void ReportRegistryFailure(unsigned int uFormatId, unsigned int uKontextId);

// The key path of a section: the base path followed directly by its name.
CString SectionKeyPath(LPCSTR pszSection);

// Copies pszText with its terminating zero into the staging buffer pStage of
// cbStage bytes and sets dwSize to its length plus one. A text that does not
// fit is refused: false, and neither buffer nor size is changed.
bool StageText(LPCSTR pszText, char* pStage, size_t cbStage, DWORD& dwSize);

// The text held in a buffer that a registry read of cbData bytes filled: up
// to its first zero, and never beyond the bytes read.
CString TextOfBuffer(const char* pBuffer, DWORD cbData);

// Writes the 4 bytes of a 32-bit integer as REG_BINARY.
LONG SetBinaryInt(HKEY hKey, LPCSTR pszValue, int nValue);

// Stages pszText as StageText does and writes it as REG_SZ through hKey.
// ERROR_INSUFFICIENT_BUFFER (nothing written) when it does not fit.
LONG SetStagedText(HKEY hKey, LPCSTR pszValue, LPCSTR pszText, char* pStage, size_t cbStage,
                   DWORD& dwSize);

// Stored text forms: interface parameters as "%hu" and "%lu" (the low 32
// bits), the matrix options as four "%d".
CString FormatUnsigned16(unsigned short wValue);
CString FormatUnsigned32(unsigned long dwValue);
VINTUTIL_API CString FormatMatrix(int nOption1, int nOption2, int nOption3, int nOption4);

// What the administrative writer gives the sections it creates, beside the
// test-set export header's defaults below. Truth values are ints, as the
// setters take them.
inline constexpr int VARNO_DEFAULT_FORMAT = 0;
inline constexpr int VARNO_DEFAULT_DART = 0;
inline constexpr int VARNO_FAVIS_D3 = 1;  // "FAVIS_FORMAT_D3" and "FAVIS_MODE_D3", on every write
inline constexpr int VARNO_DEFAULT_AUTOSAVE = 0;
inline constexpr int VARNO_DEFAULT_PARAMETERLEVEL = 2;
inline constexpr int VARNO_DEFAULT_UMRECHNUNGPRIM = 0;
// "MATRIX", rewritten by every construction of the writer.
inline constexpr int VARNO_DEFAULT_MATRIX[4] = {4, 0, 1, 1};

// ---------------------------------------------------------------------------
// SRioHeader: the header of the data prepared for test equipment. Its layout
// is shared with the suite's other modules, so members, order and widths
// must not change. The constructor leaves the numbers uninitialised;
// InitRegStruct of either class gives them their defaults.
struct VINTUTIL_API SRioHeader {
  CString strText1;  // used by other modules of the suite, not by this library
  CString strText2;  // ditto
  CString strText3;  // ditto
  CString strImpCorr;
  CString strCurrGround;
  double dRatingV;
  double dRatingI;
  double dRatingFreq;
  double dMaxV;
  double dMaxI;
  double dI;
  double dIE;
  double dTolT1;
  double dTolT2;
  double dTolZ1;
  double dTolZ2;
  double dLineAngle;
  double dRERL;
  double dXEXL;
  unsigned char abReserved[16];  // used by other modules of the suite, not by this library
  double dKS1;
  double dKS2;
  double dZS1;
  double dZS2;
  double dTime0Max;
};

// Whose defaults a record receives: the two differ in "TOL-T2" only.
enum ERioDefaults { RIO_DEFAULTS_STORE, RIO_DEFAULTS_ADMIN };

// One number of the record: its registry value (REG_BINARY, the 8 bytes of
// the double as they lie in memory), its member and both defaults.
struct SRioNumber {
  LPCSTR pszValueName;
  double SRioHeader::*pMember;
  double dStoreDefault;
  double dAdminDefault;
};

// The nineteen numbers in the order in which they are written.
inline constexpr size_t RIO_NUMBER_COUNT = 19;
VINTUTIL_API extern const SRioNumber g_aRioNumbers[RIO_NUMBER_COUNT];

// The 21 values of the section: the nineteen numbers, then "ImpCorr" and
// "CurrGround" (always written as "LINE").
inline constexpr size_t RIO_VALUE_COUNT = RIO_NUMBER_COUNT + 2;

// Gives the nineteen numbers and the two texts their defaults; the leading
// texts and the reserved bytes are left alone.
VINTUTIL_API void FillRioDefaults(SRioHeader& rio, ERioDefaults eDefaults);

// Writes value nIndex (0 .. RIO_VALUE_COUNT-1, in write order) of rio through
// hKey. Texts are staged in pStage (cbStage bytes) with their size in
// dwSize. Returns the registry's result, or ERROR_INSUFFICIENT_BUFFER when
// "ImpCorr" does not fit the stage (then nothing is written).
LONG WriteRioValue(HKEY hKey, const SRioHeader& rio, size_t nIndex, char* pStage, size_t cbStage,
                   DWORD& dwSize);

// Reads value nIndex (0 .. RIO_VALUE_COUNT-1, in read order, where "RERL" and
// "XEXL" come before "KS1") through hKey into rio, with dwTyp and dwSize as
// the query's type and size fields; texts are read into pStage (cbStage
// bytes). A member whose value cannot be read keeps what it held. A stored
// number shorter than 8 bytes fills the low bytes of a zeroed double.
LONG ReadRioValue(HKEY hKey, SRioHeader& rio, size_t nIndex, char* pStage, size_t cbStage,
                  DWORD& dwTyp, DWORD& dwSize);

#endif
