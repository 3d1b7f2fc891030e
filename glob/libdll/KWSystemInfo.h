// CKWSystemInfo: the free space of a disk, in mebibytes.
#ifndef KWSYSTEMINFO_H
#define KWSYSTEMINFO_H

#include "vintutil_export.h"

class VINTUTIL_API CKWSystemInfo {
 public:
  CKWSystemInfo() = default;
  CKWSystemInfo(const CKWSystemInfo&) = default;
  CKWSystemInfo& operator=(const CKWSystemInfo&);

  // Whole mebibytes available to the calling user on the volume that holds
  // the directory strPath, through KERNEL32's GetDiskFreeSpaceExA (looked up
  // on every call); -1 when that function is missing or fails.
  long GetDiskFreeSpaceA(CString strPath);
};

// The byte count as GetDiskFreeSpaceA returns it: shifted right by 20 bits,
// cut to the low 32 bits and read as a signed 32-bit number, on every
// platform (counts of 2^31 MiB and more come out wrapped).
VINTUTIL_API long KWMebibytesFromBytes(ULONGLONG ullBytes);

#endif
