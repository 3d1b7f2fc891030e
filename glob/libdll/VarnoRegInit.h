// CVarnoRegInit: the suite's settings store. Each operation reads or writes
// one setting (or a small group) in the registry: it opens the key it needs,
// reads or writes, and closes the key again before it returns, on every
// path. Failures are reported through the suite's error-reporting library
// and turned into the operation's failure value; nothing is thrown.
//
// The store never creates a key; CAdminRegInit does. Settings lie under
// HKEY_LOCAL_MACHINE below "SOFTWARE\TORVALE\VARNO4\"; only the generic text
// access ending in CurrentUser (and the interface-file operations built on
// it) uses HKEY_CURRENT_USER.
//
// Texts longer than a buffer can hold are refused, never cut, except by the
// two print setters, which cut by design: a setter given a text that does
// not fit its staging buffer writes nothing, reports the failure as a failed
// write of that value (where the value's writes are reported at all) and
// returns -1.
//
// One object serves one thread at a time: the operations share the key
// handles and scratch buffers below.
#ifndef VARNO_REG_INIT_H
#define VARNO_REG_INIT_H

#include <afx.h>
#include <windows.h>

#include "RegistryLayout.h"
#include "VarnoStrings.h"
#include "vintutil_export.h"

// The interface parameters that have typed accessors:
// X(accessor name, value name, getter argument, setter argument).
// 16-bit numbers are stored as "%hu" text, the baud rate as "%lu" text.
#define VARNO_SCHNITT_PARAMETERS(X)                                          \
  X(DevLinkAdr, VARNO_VAL_DEVLINKADR, unsigned short&, unsigned short)       \
  X(DevVDAdr, VARNO_VAL_DEVVDADR, unsigned short&, unsigned short)           \
  X(ApiVDAdr, VARNO_VAL_APIVDADR, unsigned short&, unsigned short)           \
  X(TakeParFrom, VARNO_VAL_TAKEPARFROM, unsigned short&, unsigned short)     \
  X(ComPort, VARNO_VAL_COMPORT, unsigned short&, unsigned short)             \
  X(Baudrate, VARNO_VAL_BAUDRATE, unsigned long&, unsigned long)             \
  X(UartFrame, VARNO_VAL_UARTFRAME, unsigned short&, unsigned short)         \
  X(SerialTimeout, VARNO_VAL_SERIALTIMEOUT, unsigned short&, unsigned short) \
  X(IECTimeout, VARNO_VAL_IECTIMEOUT, unsigned short&, unsigned short)       \
  X(IECRetry, VARNO_VAL_IECRETRY, unsigned short&, unsigned short)           \
  X(Class2Period, VARNO_VAL_CLASS2PERIOD, unsigned short&, unsigned short)   \
  X(Class1Period, VARNO_VAL_CLASS1PERIOD, unsigned short&, unsigned short)   \
  X(DeviceName, VARNO_VAL_FMSAPPENTRYPOINT, CString&, CString&)              \
  X(VFDName, VARNO_VAL_FMSVFDNAME, CString&, CString&)                       \
  X(PortParam, VARNO_VAL_FMSPORTPARAM, unsigned short&, unsigned short)      \
  X(UPF1WIndex, VARNO_VAL_FMSUPF1WINDEX, unsigned short&, unsigned short)    \
  X(UPF1RIndex, VARNO_VAL_FMSUPF1RINDEX, unsigned short&, unsigned short)    \
  X(UPF2WIndex, VARNO_VAL_FMSUPF2WINDEX, unsigned short&, unsigned short)    \
  X(UPF2RIndex, VARNO_VAL_FMSUPF2RINDEX, unsigned short&, unsigned short)    \
  X(UPF1Len, VARNO_VAL_FMSUPF1LEN, unsigned short&, unsigned short)          \
  X(UPF2Len, VARNO_VAL_FMSUPF2LEN, unsigned short&, unsigned short)          \
  X(MReadyIndex, VARNO_VAL_FMSMREADYINDEX, unsigned short&, unsigned short)

class VINTUTIL_API CVarnoRegInit {
 public:
  // Handles and numbers 0, type REG_SZ, an empty (all-zero) text buffer, and
  // the title loaded from string resource IDS_REG_TITEL.
  CVarnoRegInit();
  // Copy and assignment take every member over, the whole text buffer
  // included.
  CVarnoRegInit(const CVarnoRegInit& other);
  CVarnoRegInit& operator=(const CVarnoRegInit& other);
  // No key is open between calls, so nothing is closed.
  ~CVarnoRegInit();

  // -------------------------------------------------------------------------
  // Generic key access: any text (REG_SZ, 256-byte buffer: 255 characters at
  // most) or number (REG_DWORD) under a key path the caller names. 0 on
  // success, -1 on failure; failures are reported with the error-reporting
  // library's messages 100 (key path), 101 and 102 (key path "\" value
  // name). Out-arguments are written only on success.
  long GetStringKey(CString& strKeyPath, CString& strValueName, CString& strValue);
  long GetStringKeyCurrentUser(CString& strKeyPath, CString& strValueName, CString& strValue);
  // Writes the whole 256-byte buffer (the text, zero-filled after it). A
  // text of more than 255 characters is refused before the key is opened:
  // report 102, -1, nothing written.
  long SetStringKey(CString& strKeyPath, CString& strValueName, CString& strValue);
  long SetStringKeyCurrentUser(CString& strKeyPath, CString& strValueName, CString& strValue);
  // Reports only when bReport is non-zero. A stored value shorter than 4
  // bytes fills the low bytes of a zeroed number.
  long GetDWordKey(CString& strKeyPath, CString& strValueName, unsigned long& dwValue, int bReport);
  // Writes the low 32 bits of dwValue.
  long SetDWordKey(CString& strKeyPath, CString& strValueName, unsigned long dwValue, int bReport);
  long GetUserInfoCompany(CString& strValue);
  long GetUserInfoName(CString& strValue);
  long GetVarnoBasePath(CString& strValue);

  // -------------------------------------------------------------------------
  // Plant tools. Starts "ssdraw.exe /reg" and then "ssshow.exe /reg" from the
  // folder in "SSTOOLS", hidden and without waiting; a folder with blanks is
  // quoted. 0 once the folder was read, whether or not the programs start. A
  // folder that cannot be used on this system (PlantToolFolder.h) starts
  // nothing: one report (IDS_REG_UNBRAUCHBAR, IDS_REG_SSTOOLS) and -1.
  long SetBasicRegStructAnlProjAnlVisu();
  // The interface file, per user: read from the configuration tool's key,
  // written to both tools' keys (the second only when the first succeeded).
  long GetSchnittstellendateiPfadUndName(CString& strPfad);
  long SetSchnittstellendateiPfadUndName(CString& strPfad);

  // -------------------------------------------------------------------------
  // Fault records ("STOERSCHRIEB"). Codes are 4-byte REG_BINARY values;
  // getters return 0 or an empty text on failure.
  unsigned long GetStoerDatenformat();
  long SetStoerDatenformat(int nFormat);
  unsigned long GetStoerDatenArt();
  long SetStoerDatenArt(int nArt);
  CString GetStoerProgrammName();
  // At most 255 characters.
  long SetStoerProgrammName(CString strProgramm);
  CString GetComtradeViewerPath();
  // Fills an empty "GRAFPROG" from the "Favis" directory, else from the
  // COMTRADE viewer's directory. Always 0.
  long CheckStoerProgrammName();

  // -------------------------------------------------------------------------
  // Interface parameters ("SCHNITTSTELLEN"), by name. Only a section that
  // cannot be opened is reported; a missing value, or one that cannot be
  // written, just gives -1. Numbers are read as sscanf's "%hu" and "%lu" do
  // on Windows: white space, an optional sign and digits, accumulated
  // modulo 2^32 and for "%hu" cut to 16 bits ("70000" gives 4464, "-1"
  // 65535); a text that is no number gives 0 with result 0. A text setter
  // refuses texts of more than 1255 characters (-1, no report).
  long GetSchnittPar(const CString& strValueName, unsigned short& wValue);
  long GetSchnittPar(const CString& strValueName, unsigned long& dwValue);
  long GetSchnittPar(const CString& strValueName, CString& strValue);
  long SetSchnittPar(const CString& strValueName, unsigned short wValue);
  // Writes the low 32 bits of dwValue.
  long SetSchnittPar(const CString& strValueName, unsigned long dwValue);
  long SetSchnittPar(const CString& strValueName, CString& strValue);

  // The typed accessors: one call of the by-name operation each.
#define VARNO_DECLARE_SCHNITT_ACCESSORS(Name, ValueName, GetArg, SetArg) \
  long GetSchnitt##Name(GetArg value);                                   \
  long SetSchnitt##Name(SetArg value);
  VARNO_SCHNITT_PARAMETERS(VARNO_DECLARE_SCHNITT_ACCESSORS)
#undef VARNO_DECLARE_SCHNITT_ACCESSORS

  // -------------------------------------------------------------------------
  // Options ("OPTIONEN"). Truth values are the texts "TRUE" and "FALSE"; only
  // exactly "TRUE" reads as 1.
  int GetAutoSave();
  long SetAutoSave(int bAutoSave);
  int GetUmrechnungPrimaer();
  long SetUmrechnungPrimaer(int bUmrechnung);
  unsigned long GetParameterLevel();
  long SetParameterLevel(int nLevel);
  // "%d, %d, %d, %d", parsed as sscanf does: the options matched are
  // stored in order, the others keep their values; 0 once the text was read.
  long GetMatrixOptions(int* pnOption1, int* pnOption2, int* pnOption3, int* pnOption4);
  long SetMatrixOptions(int nOption1, int nOption2, int nOption3, int nOption4);
  // Print texts are stored without interpretation; their failed reads, and
  // a failed write of "ZEBPRINTSETTINGS", are not reported.
  CString GetZEBPrintSettings();
  // Writes the first 1255 characters at most.
  long SetZEBPrintSettings(const CString& strSettings);
  // Reads up to the 9999 characters that SetPrintOptions stores.
  CString GetPrintOptions();
  // Writes the first 9999 characters at most. A failed write is reported
  // with the error-reporting library's write message (102) and the text
  // options key path "\PRINTOPTIONS".
  long SetPrintOptions(CString strOptions);

  // -------------------------------------------------------------------------
  // Tool program paths ("PROGRAMME"): texts of at most 1255 characters.
  // "DISPLAYEDITOR" is read without a report.
  CString GetDisplayEditorPathAndName();
  long SetDisplayEditorPathAndName(CString strPfad);
  CString GetCFCPathAndName();
  long SetCFCPathAndName(CString strPfad);
  CString GetGraphicToolPath();
  long SetGraphicToolPath(CString strPfad);
  // Presence tests, never reported: 1 when the chart editor's key can be
  // opened for reading; 1 when "DISPLAYEDITOR" holds 1 to 255 characters.
  int GetCfcProg();
  int GetBildEditorProg();

  // -------------------------------------------------------------------------
  // Test-set export header ("VEDORIR").
  void InitRegStruct(SRioHeader& rio);
  // 0 when the section opened (single failed writes are reported and
  // skipped; an "ImpCorr" of more than 1255 characters counts as one), -1
  // when it did not.
  int SetRioHeaderStruct(SRioHeader& rio);
  // 1 when the section opened (single failed reads are reported and
  // skipped, their members keep what they held), -1 when it did not.
  int GetRioHeaderStruct(SRioHeader& rio);

 protected:
  HKEY m_hKeySchnittstellen;  // interface parameters, during one call
  HKEY m_hKeyOptionen;        // options, during one call
  HKEY m_hKeyProgramme;       // tool paths, during one call
  HKEY m_hKeyVedorir;         // test-set export header, during one call
  DWORD m_dwWert;             // a 4-byte number read
  char m_szWert[1256];        // a text read or written: 1255 characters and the zero
  DWORD m_dwTyp;              // registry value type of the last query
  DWORD m_dwGroesse;          // buffer capacity before a query, bytes stored after it
  CString m_strTitel;         // title of reports with the library's messages

 private:
  // Reports failure kind uFormatId for setting uKontextId (host resources).
  void FehlerMeldung(unsigned int uFormatId, unsigned int uKontextId);
  // Reports the error-reporting library's message uFehlerId with strText.
  void FehlerMeldung(unsigned int uFehlerId, CString& strText);

  // Where a setting lies and how its failures are reported: the key path
  // under hRoot, the value name, and the contexts of a failed open and of a
  // failed read or write. A context is a host string resource, reported with
  // the failure kind IDS_REG_OEFFNEN, IDS_REG_LESEN or IDS_REG_SCHREIBEN;
  // VARNO_NO_REPORT keeps the failure silent; VARNO_REPORT_PATH reports the
  // error-reporting library's message 100, 101 or 102 with the key path (and
  // "\" value name).
  struct SSetting {
    HKEY hRoot;
    CString strKeyPath;
    CString strValueName;
    unsigned int uOpenKontext;
    unsigned int uValueKontext;
  };
  // A value of a section under HKEY_LOCAL_MACHINE.
  static SSetting Section(LPCSTR pszSection, LPCSTR pszValue, unsigned int uOpenKontext,
                          unsigned int uValueKontext);

  // How a setting's open and query (or write) went.
  enum ESetting { SETTING_DONE, SETTING_NO_KEY, SETTING_NO_VALUE };
  enum EFailure { FAILED_OPEN, FAILED_READ, FAILED_WRITE };
  // Reports a failure as the setting's context for it says.
  void ReportFailure(const SSetting& setting, EFailure eFailure);
  // Opens the setting's key with samAccess into hKey; reports a failure.
  bool OpenSetting(HKEY& hKey, const SSetting& setting, REGSAM samAccess);
  // The one way to a setting's value: opens its key into hKey; with
  // KEY_QUERY_VALUE queries the value into pData (dwTyp and dwSize prepared
  // by the caller, set by the query), with KEY_SET_VALUE stores dwSize bytes
  // of pData as dwTyp; closes the key, then reports a failure.
  ESetting AccessSetting(HKEY& hKey, const SSetting& setting, REGSAM samAccess, void* pData,
                         DWORD& dwTyp, DWORD& dwSize);
  // Stages pszText in pStage (cbStage bytes, its size into dwSize) and
  // writes it as REG_SZ; a text that does not fit is reported as a failed
  // write.
  long SetTextSetting(HKEY& hKey, const SSetting& setting, LPCSTR pszText, char* pStage,
                      size_t cbStage, DWORD& dwSize);
  // Reads a text into m_szWert.
  bool QueryTextMember(HKEY& hKey, const SSetting& setting, CString& strText);
  // Reads a text into a 256-byte buffer of the call, through a key of the call.
  CString QueryTextLocal(const SSetting& setting);
  long GetStringKeyUnder(HKEY hRoot, CString& strKeyPath, CString& strValueName, CString& strValue);
  long SetStringKeyUnder(HKEY hRoot, CString& strKeyPath, CString& strValueName, CString& strValue);
  int GetTruthValue(LPCSTR pszValue, unsigned int uKontext);
  long SetTruthValue(LPCSTR pszValue, unsigned int uKontext, int bValue);
  long SetCodeValue(LPCSTR pszValue, unsigned int uKontext, int nCode);
  unsigned long GetCodeValue(LPCSTR pszValue, unsigned int uKontext);
  // Interface parameters: reads a value's text into m_szWert / writes
  // pszText from m_szWert.
  long QuerySchnittPar(const CString& strValueName);
  long SetSchnittParText(const CString& strValueName, LPCSTR pszText);
};

#endif
