// Calls the library's DllMain when the shared object is loaded and unloaded,
// as the Windows loader does. Compiled into each library that has one.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved);
extern "C" void* __dso_handle;

namespace {

// The instance handle of this shared object: an address inside it.
HINSTANCE thisModule() { return reinterpret_cast<HINSTANCE>(&__dso_handle); }

__attribute__((constructor)) void attachProcess() {
  DllMain(thisModule(), DLL_PROCESS_ATTACH, nullptr);
}

__attribute__((destructor)) void detachProcess() {
  DllMain(thisModule(), DLL_PROCESS_DETACH, nullptr);
}

}  // namespace
