// CAdminRegInit: the administrative settings writer, as the suite's setup
// uses it. Its constructor opens the five settings sections with full
// access, creating those that cannot be opened, and writes their first
// values (or refreshes "FAVIS_FORMAT_D3", "FAVIS_MODE_D3" and "MATRIX" in
// sections that existed). The keys stay open in the members until the
// destructor closes them; the setters write through them.
//
// Failures are reported as the settings store reports them (title
// IDS_REG_TITEL, level 2). A setter whose section holds no key fails as a
// failed write does. Texts are staged in a 260-byte buffer: a text of more
// than 259 characters is refused as a failed write (its report, -1, nothing
// written).
//
// Copies own their keys: the copy constructor and the assignment open new
// handles to the source's keys (with full access), after the target has
// closed its own, so that every handle is closed exactly once, by the object
// that holds it. A key that cannot be opened again leaves the copy's handle
// empty.
#ifndef VARNO_ADMIN_REG_INIT_H
#define VARNO_ADMIN_REG_INIT_H

#include <afx.h>
#include <windows.h>

#include "RegistryLayout.h"
#include "vintutil_export.h"

class VINTUTIL_API CAdminRegInit {
 public:
  // Handles "STOERSCHRIEB", "SCHNITTSTELLEN", "OPTIONEN", "PROGRAMME" and
  // "VEDORIR" in this order; a section that can be neither opened nor
  // created is reported and ends the construction.
  CAdminRegInit();
  CAdminRegInit(const CAdminRegInit& other);
  CAdminRegInit& operator=(const CAdminRegInit& other);
  // Closes the open keys, "STOERSCHRIEB" first.
  ~CAdminRegInit();

  // "FORMAT" = nFormat, then "FAVIS_FORMAT_D3" = 1; -1 at the first failed
  // write, with one report.
  long SetStoerDatenformat(int nFormat);
  // "DART" = nArt, then "FAVIS_MODE_D3" = 1, as above.
  long SetStoerDatenArt(int nArt);
  long SetStoerProgrammName(CString strProgramm);
  // Interface parameters as "%hu", "%lu" (low 32 bits) or the text; a failed
  // write is not reported.
  long SetSchnittPar(const CString& strValueName, unsigned short wValue);
  long SetSchnittPar(const CString& strValueName, unsigned long dwValue);
  long SetSchnittPar(const CString& strValueName, CString& strValue);
  long SetAutoSave(int bAutoSave);
  long SetMatrixOptions(int nOption1, int nOption2, int nOption3, int nOption4);
  long SetUmrechnungPrimaer(int bUmrechnung);
  long SetParameterLevel(int nLevel);
  long SetDisplayEditorPathAndName(CString strPfad);
  long SetCFCPathAndName(CString strPfad);
  long SetGraphicToolPath(CString strPfad);
  // Writes the 21 values in the settings store's order and stops at the
  // first that cannot be written: one report, -1. 0 when all are written.
  int SetRioHeaderStruct(SRioHeader& rio);
  // The settings store's defaults, except "TOL-T2" = 0.1.
  void InitRegStruct(SRioHeader& rio);

 protected:
  HKEY m_hKeyStoerschrieb;    // "STOERSCHRIEB", open for the object's life
  HKEY m_hKeySchnittstellen;  // "SCHNITTSTELLEN"
  HKEY m_hKeyOptionen;        // "OPTIONEN"
  HKEY m_hKeyProgramme;       // "PROGRAMME"
  HKEY m_hKeyVedorir;         // "VEDORIR"
  char m_szWert[260];         // a text to be written: 259 characters and the zero
  DWORD m_dwGroesse;          // its size: length plus one

 private:
  // The sections in the order the constructor handles them.
  struct SSection;
  static const SSection s_aSections[5];

  void FehlerMeldung(unsigned int uFormatId, unsigned int uKontextId);

  // What each section receives from the constructor, created or existing.
  void FillStoerschrieb(bool bCreated);
  void FillOptionen(bool bCreated);
  void FillVedorir(bool bCreated);

  // Writes the code and then the flag value 1; reports once at the first
  // failure.
  long SetCodeAndFlag(LPCSTR pszCode, int nCode, LPCSTR pszFlag, unsigned int uKontext);
  // Stages and writes a REG_SZ text; reports a failure unless uKontext is
  // VARNO_NO_REPORT.
  long SetText(HKEY hKey, LPCSTR pszValue, LPCSTR pszText, unsigned int uKontext);
  // Reports (IDS_REG_SCHREIBEN, uKontext) when lResult is a failure.
  long Checked(LONG lResult, unsigned int uKontext);

  void CloseKeys();
  void DuplicateKeys(const CAdminRegInit& other);
};

#endif
