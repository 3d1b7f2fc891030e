// The library's entry point: joins libvintutil to the host application's
// chain of class and resource lookup when a process loads it.
#include <afx.h>
#include <windows.h>

namespace {

// The library has no string table of its own: the texts it loads belong to
// the host application.
AFX_EXTENSION_MODULE g_vintutilModule = {FALSE, NULL, NULL, NULL, 0};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID /*lpReserved*/) {
  if (dwReason == DLL_PROCESS_ATTACH) {
    AfxInitExtensionModule(g_vintutilModule, hInstance);
    // Joins the resource chain for the life of the process: never deleted.
    new CDynLinkLibrary(g_vintutilModule);
  }
  return TRUE;
}
