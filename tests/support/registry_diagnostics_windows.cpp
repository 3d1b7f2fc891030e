// The registry diagnostics of registry_diagnostics.h on Windows, for the
// tests. The real advapi32 has none, so this DLL places itself between the
// program's own modules and the registry: it rewrites the import address
// tables of the modules loaded from the program's folder (the test program,
// vintutil.dll, ...) so that their registry calls come here first. Handles
// that an open or create returns are counted until closed, and a pending
// fault makes its call fail without reaching the registry, as the Linux
// registry does it. Calls made inside Windows itself are not seen.
#include <windows.h>

#include <psapi.h>
// Built with _ADVAPI32_, as advapi32 itself is: WINADVAPI is then empty, and
// the diagnostics that this header declares with it are defined and exported
// here.
#include <registry_diagnostics.h>

#include <string.h>

#include <algorithm>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

// The faults pending and the calls counted since the first of them.
struct Fault {
  RegDiagCall call;
  unsigned long long due;
  LONG error;
};

std::mutex diagMutex;
std::vector<Fault> pending;                       // guarded by diagMutex
unsigned long long callCounts[REGDIAG_ENUM + 1];  // guarded by diagMutex
std::set<HKEY> openHandles;                       // guarded by diagMutex

// Counts one call of `call`: the error of a fault due now, else
// ERROR_SUCCESS.
LONG takeFault(RegDiagCall call) {
  std::lock_guard<std::mutex> lock(diagMutex);
  if (pending.empty()) return ERROR_SUCCESS;
  const unsigned long long count = ++callCounts[call];
  for (auto it = pending.begin(); it != pending.end(); ++it) {
    if (it->call == call && it->due == count) {
      const LONG error = it->error;
      pending.erase(it);
      return error;
    }
  }
  return ERROR_SUCCESS;
}

// Counts the handle an open or create returned; the predefined roots
// (HKEY_CLASSES_ROOT ...) are not handles of the process.
void countOpened(HKEY* result) {
  const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(*result);
  if (value < reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT) ||
      value > reinterpret_cast<ULONG_PTR>(HKEY_CURRENT_USER_LOCAL_SETTINGS)) {
    openHandles.insert(*result);
  }
}
template <typename Other>
void countOpened(Other) {}

// The hook of registry function `kReal`: fails with the fault due for
// `kCall`, or calls the function and counts the handle it returned, if any.
// This DLL's own imports are not rewritten: through them `kReal` reaches the
// registry.
template <RegDiagCall kCall, auto kReal>
struct Hooked;
template <RegDiagCall kCall, typename... Args, LSTATUS(WINAPI* kReal)(Args...)>
struct Hooked<kCall, kReal> {
  static LSTATUS WINAPI hook(Args... args) {
    if (LONG fault = takeFault(kCall)) return fault;
    const LSTATUS status = kReal(args...);
    if (status == ERROR_SUCCESS) {
      std::lock_guard<std::mutex> lock(diagMutex);
      (countOpened(args), ...);
    }
    return status;
  }
};

LSTATUS WINAPI closeKey(HKEY key) {
  const LSTATUS status = RegCloseKey(key);
  if (status == ERROR_SUCCESS) {
    std::lock_guard<std::mutex> lock(diagMutex);
    openHandles.erase(key);
  }
  return status;
}

struct Hook {
  const char* name;
  void* replacement;
};

#define HOOK(name, kind) \
  { #name, reinterpret_cast < void*>(&Hooked <kind, &::name>::hook) }

const Hook kHooks[] = {
    HOOK(RegOpenKeyExA, REGDIAG_OPEN),     HOOK(RegCreateKeyA, REGDIAG_CREATE),
    HOOK(RegCreateKeyExA, REGDIAG_CREATE), HOOK(RegQueryValueExA, REGDIAG_QUERY),
    HOOK(RegSetValueExA, REGDIAG_SET),     HOOK(RegDeleteValueA, REGDIAG_DELETE),
    HOOK(RegDeleteKeyA, REGDIAG_DELETE),   HOOK(RegEnumKeyExA, REGDIAG_ENUM),
    HOOK(RegEnumValueA, REGDIAG_ENUM),     {"RegCloseKey", reinterpret_cast<void*>(&closeKey)},
};

// Points the module's imports of the hooked functions, from whichever DLL,
// at the hooks.
void hookImports(HMODULE module) {
  BYTE* const base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return;
  for (auto* dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       dll->Name != 0; ++dll) {
    if (dll->OriginalFirstThunk == 0) continue;  // no names to go by
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
    auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      for (const Hook& hook : kHooks) {
        if (strcmp(reinterpret_cast<const char*>(byName->Name), hook.name) != 0) continue;
        DWORD protection;
        VirtualProtect(&addresses->u1.Function, sizeof addresses->u1.Function, PAGE_READWRITE,
                       &protection);
        addresses->u1.Function = reinterpret_cast<ULONG_PTR>(hook.replacement);
        VirtualProtect(&addresses->u1.Function, sizeof addresses->u1.Function, protection,
                       &protection);
      }
    }
  }
}

std::string folderOf(HMODULE module) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, sizeof path);
  const std::string file(path, length);
  return file.substr(0, file.find_last_of("\\/") + 1);
}

// Hooks the modules of the program's folder, this DLL excepted, once.
void installHooks() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    HMODULE self;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&installHooks), &self);
    const std::string programFolder = folderOf(GetModuleHandleA(NULL));
    HMODULE modules[256];
    DWORD bytes = 0;
    EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &bytes);
    for (DWORD i = 0; i < bytes / sizeof modules[0] && i < 256; ++i) {
      if (modules[i] != self && folderOf(modules[i]) == programFolder) hookImports(modules[i]);
    }
  });
}

}  // namespace

extern "C" {

__declspec(dllexport) long WINAPI RegDiagOpenHandleCount(void) {
  installHooks();
  std::lock_guard<std::mutex> lock(diagMutex);
  return static_cast<long>(openHandles.size());
}

__declspec(dllexport) void WINAPI RegDiagFailNth(RegDiagCall call, unsigned n, LONG error) {
  installHooks();
  if (call < REGDIAG_OPEN || call > REGDIAG_ENUM || n == 0) return;
  std::lock_guard<std::mutex> lock(diagMutex);
  // Calls are counted only while a fault is pending: the count restarts.
  if (pending.empty()) std::fill(std::begin(callCounts), std::end(callCounts), 0);
  pending.push_back({call, callCounts[call] + n, error});
}

__declspec(dllexport) void WINAPI RegDiagClearFaults(void) {
  installHooks();
  std::lock_guard<std::mutex> lock(diagMutex);
  pending.clear();
}

// The registry's lock and hive locations are Windows' own business here.
__declspec(dllexport) void WINAPI RegDiagSetLockTimeout(DWORD) { installHooks(); }

// Forgets the handles counted so far, as the Linux registry drops its
// handles.
__declspec(dllexport) void WINAPI RegDiagReset(void) {
  installHooks();
  std::lock_guard<std::mutex> lock(diagMutex);
  openHandles.clear();
}

}  // extern "C"
