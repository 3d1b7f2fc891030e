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

// The predefined roots (HKEY_CLASSES_ROOT ...) are not handles of the
// process.
bool isPredefined(HKEY key) {
  const ULONG_PTR value = reinterpret_cast<ULONG_PTR>(key);
  return value >= reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT) &&
         value <= reinterpret_cast<ULONG_PTR>(HKEY_CURRENT_USER_LOCAL_SETTINGS);
}

LSTATUS countOpened(LSTATUS status, PHKEY result) {
  if (status == ERROR_SUCCESS && !isPredefined(*result)) {
    std::lock_guard<std::mutex> lock(diagMutex);
    openHandles.insert(*result);
  }
  return status;
}

// The hooked functions reach the registry through these.
#define REAL(name) real##name
#define DEFINE_REAL(name) decltype(&::name) REAL(name) = nullptr
DEFINE_REAL(RegOpenKeyExA);
DEFINE_REAL(RegCreateKeyA);
DEFINE_REAL(RegCreateKeyExA);
DEFINE_REAL(RegCloseKey);
DEFINE_REAL(RegQueryValueExA);
DEFINE_REAL(RegSetValueExA);
DEFINE_REAL(RegDeleteValueA);
DEFINE_REAL(RegDeleteKeyA);
DEFINE_REAL(RegEnumKeyExA);
DEFINE_REAL(RegEnumValueA);

LSTATUS WINAPI hookOpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM sam, PHKEY result) {
  if (LONG fault = takeFault(REGDIAG_OPEN)) return fault;
  return countOpened(REAL(RegOpenKeyExA)(key, subKey, options, sam, result), result);
}

LSTATUS WINAPI hookCreateKey(HKEY key, LPCSTR subKey, PHKEY result) {
  if (LONG fault = takeFault(REGDIAG_CREATE)) return fault;
  return countOpened(REAL(RegCreateKeyA)(key, subKey, result), result);
}

LSTATUS WINAPI hookCreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass,
                               DWORD options, REGSAM sam, const LPSECURITY_ATTRIBUTES security,
                               PHKEY result, LPDWORD disposition) {
  if (LONG fault = takeFault(REGDIAG_CREATE)) return fault;
  return countOpened(REAL(RegCreateKeyExA)(key, subKey, reserved, keyClass, options, sam, security,
                                           result, disposition),
                     result);
}

LSTATUS WINAPI hookCloseKey(HKEY key) {
  const LSTATUS status = REAL(RegCloseKey)(key);
  if (status == ERROR_SUCCESS) {
    std::lock_guard<std::mutex> lock(diagMutex);
    openHandles.erase(key);
  }
  return status;
}

LSTATUS WINAPI hookQueryValueEx(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                LPDWORD size) {
  if (LONG fault = takeFault(REGDIAG_QUERY)) return fault;
  return REAL(RegQueryValueExA)(key, name, reserved, type, data, size);
}

LSTATUS WINAPI hookSetValueEx(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD size) {
  if (LONG fault = takeFault(REGDIAG_SET)) return fault;
  return REAL(RegSetValueExA)(key, name, reserved, type, data, size);
}

LSTATUS WINAPI hookDeleteValue(HKEY key, LPCSTR name) {
  if (LONG fault = takeFault(REGDIAG_DELETE)) return fault;
  return REAL(RegDeleteValueA)(key, name);
}

LSTATUS WINAPI hookDeleteKey(HKEY key, LPCSTR subKey) {
  if (LONG fault = takeFault(REGDIAG_DELETE)) return fault;
  return REAL(RegDeleteKeyA)(key, subKey);
}

LSTATUS WINAPI hookEnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength,
                             LPDWORD reserved, LPSTR keyClass, LPDWORD classLength,
                             PFILETIME lastWrite) {
  if (LONG fault = takeFault(REGDIAG_ENUM)) return fault;
  return REAL(RegEnumKeyExA)(key, index, name, nameLength, reserved, keyClass, classLength,
                             lastWrite);
}

LSTATUS WINAPI hookEnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength,
                             LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (LONG fault = takeFault(REGDIAG_ENUM)) return fault;
  return REAL(RegEnumValueA)(key, index, name, nameLength, reserved, type, data, size);
}

struct Hook {
  const char* name;
  void* replacement;
  void** real;
};

#define HOOK(name, replacement) \
  { #name, reinterpret_cast < void*>(&replacement), reinterpret_cast < void**>(&REAL(name)) }

const Hook kHooks[] = {
    HOOK(RegOpenKeyExA, hookOpenKeyEx),       HOOK(RegCreateKeyA, hookCreateKey),
    HOOK(RegCreateKeyExA, hookCreateKeyEx),   HOOK(RegCloseKey, hookCloseKey),
    HOOK(RegQueryValueExA, hookQueryValueEx), HOOK(RegSetValueExA, hookSetValueEx),
    HOOK(RegDeleteValueA, hookDeleteValue),   HOOK(RegDeleteKeyA, hookDeleteKey),
    HOOK(RegEnumKeyExA, hookEnumKeyEx),       HOOK(RegEnumValueA, hookEnumValue),
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
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    for (const Hook& hook : kHooks)
      *hook.real = reinterpret_cast<void*>(GetProcAddress(advapi, hook.name));

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
