// CKWSystemInfo: the free space of a disk, in mebibytes.
#include "KWSystemInfo.h"

namespace {

typedef BOOL(WINAPI* GetDiskFreeSpaceExFunction)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                                 PULARGE_INTEGER);

}  // namespace

CKWSystemInfo& CKWSystemInfo::operator=(const CKWSystemInfo&) { return *this; }

long KWMebibytesFromBytes(ULONGLONG ullBytes) {
  return static_cast<long>(static_cast<LONG>(static_cast<DWORD>(ullBytes >> 20)));
}

long CKWSystemInfo::GetDiskFreeSpaceA(CString strPath) {
  long lResult = -1;
  HMODULE hKernel = GetModuleHandleA("Kernel32.dll");
  FARPROC pfnProc = hKernel == NULL ? NULL : GetProcAddress(hKernel, "GetDiskFreeSpaceExA");
  if (pfnProc == NULL) return lResult;
  // Through a function pointer without parameters, so the compiler accepts
  // the cast between unrelated function types.
  GetDiskFreeSpaceExFunction pfnGetDiskFreeSpaceEx =
      reinterpret_cast<GetDiskFreeSpaceExFunction>(reinterpret_cast<void (*)()>(pfnProc));
  ULARGE_INTEGER freeBytesAvailable, totalBytes, totalFreeBytes;
  if (pfnGetDiskFreeSpaceEx(strPath, &freeBytesAvailable, &totalBytes, &totalFreeBytes)) {
    lResult = KWMebibytesFromBytes(freeBytesAvailable.QuadPart);
  }
  return lResult;
}
