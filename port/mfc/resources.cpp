// The resource chain: the host application's string table, then the string
// tables of the extension modules in the order they joined.
// CString::LoadString searches it.
#include <afx.h>

#include <mutex>

namespace {

// Guards the host table and the list of modules. Constant-initialised, so it
// is usable from load-time code of any library.
std::mutex chainMutex;

const AFX_STRING_RESOURCE* appTable = nullptr;
int appCount = 0;

CDynLinkLibrary* firstLibrary = nullptr;

// The text of nID in a table, or NULL.
LPCSTR findIn(const AFX_STRING_RESOURCE* pTable, int nCount, UINT nID) {
  for (int i = 0; i < nCount; ++i) {
    if (pTable[i].nID == nID) return pTable[i].lpszText;
  }
  return nullptr;
}

// The text of nID in the chain, or NULL. Caller holds chainMutex.
LPCSTR findInChain(UINT nID) {
  if (LPCSTR text = findIn(appTable, appCount, nID)) return text;
  for (CDynLinkLibrary* p = firstLibrary; p != nullptr; p = p->m_pNextDLL) {
    if (LPCSTR text = findIn(p->m_pStringTable, p->m_nStringCount, nID)) return text;
  }
  return nullptr;
}

}  // namespace

const AFX_STRING_RESOURCE* AFXAPI AfxSetAppStringTable(const AFX_STRING_RESOURCE* pTable,
                                                       int nCount) {
  std::lock_guard<std::mutex> lock(chainMutex);
  const AFX_STRING_RESOURCE* previous = appTable;
  appTable = pTable;
  appCount = pTable == nullptr ? 0 : nCount;
  return previous;
}

BOOL AFXAPI AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule) {
  if (!state.bInitialized) {
    state.hModule = hModule;
    state.hResource = hModule;
    state.bInitialized = TRUE;
  }
  return TRUE;
}

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem)
    : m_hModule(state.hModule),
      m_hResource(state.hResource),
      m_bSystem(bSystem),
      m_pStringTable(state.pStringTable),
      m_nStringCount(state.pStringTable == nullptr ? 0 : state.nStringCount),
      m_pNextDLL(nullptr) {
  std::lock_guard<std::mutex> lock(chainMutex);
  CDynLinkLibrary** link = &firstLibrary;
  while (*link != nullptr) link = &(*link)->m_pNextDLL;
  *link = this;
}

CDynLinkLibrary::~CDynLinkLibrary() {
  std::lock_guard<std::mutex> lock(chainMutex);
  for (CDynLinkLibrary** link = &firstLibrary; *link != nullptr; link = &(*link)->m_pNextDLL) {
    if (*link == this) {
      *link = m_pNextDLL;
      break;
    }
  }
}

BOOL CString::LoadString(UINT nID) {
  std::lock_guard<std::mutex> lock(chainMutex);
  LPCSTR text = findInChain(nID);
  *this = text == nullptr ? "" : text;
  return text != nullptr;
}
