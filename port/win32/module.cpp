// Modules.
//
// The only module this stand-in knows is KERNEL32 itself, that is, this
// library: GetModuleHandleA names it, GetProcAddress finds its functions by
// name, as a program looks up an optional Win32 function at run time.
#include <windows.h>

#include <string.h>
#include <strings.h>

extern "C" void* __dso_handle;

namespace {

// The handle of this library: an address inside it.
HMODULE thisModule() { return reinterpret_cast<HMODULE>(&__dso_handle); }

// Whether lpModuleName names KERNEL32: the file name after any folder,
// compared without regard to case, ".dll" assumed when it has no extension
// (and none when it ends in a dot), as Windows resolves module names.
bool namesKernel32(LPCSTR lpModuleName) {
  LPCSTR name = lpModuleName;
  for (LPCSTR p = lpModuleName; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/') name = p + 1;
  }
  return strcasecmp(name, "kernel32.dll") == 0 || strcasecmp(name, "kernel32") == 0 ||
         strcasecmp(name, "kernel32.") == 0;
}

// The functions offered for lookup by name (names are case-sensitive).
struct Export {
  LPCSTR name;
  FARPROC proc;
};

template <typename Function>
FARPROC asFarProc(Function* function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

const Export exports[] = {
    {"GetDiskFreeSpaceExA", asFarProc(&GetDiskFreeSpaceExA)},
    {"GetLastError", asFarProc(&GetLastError)},
    {"GetModuleHandleA", asFarProc(&GetModuleHandleA)},
    {"GetProcAddress", asFarProc(&GetProcAddress)},
    {"SetLastError", asFarProc(&SetLastError)},
    {"WinExec", asFarProc(&WinExec)},
};

}  // namespace

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  if (lpModuleName != nullptr && namesKernel32(lpModuleName)) return thisModule();
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (hModule != thisModule()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  // A value below 0x10000 is an ordinal; this module exports none.
  if (reinterpret_cast<ULONG_PTR>(lpProcName) > 0xFFFF) {
    for (const Export& entry : exports) {
      if (strcmp(entry.name, lpProcName) == 0) return entry.proc;
    }
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}
