// The quota rule of the disk stand-in (GetDiskFreeSpaceExA), exposed so that
// tests can check it without a file system that has quotas switched on.
#ifndef VINTUTIL_PORT_DISK_QUOTA_H
#define VINTUTIL_PORT_DISK_QUOTA_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// The bytes a user may still write: the disk's bytes available to the user,
// cut to what the user's block quota leaves. Limits are in bytes, 0 meaning
// none; the tighter of the soft and the hard limit counts, because a user
// past the soft limit can write only until the grace period ends. A user at
// or over the limit has 0 bytes left.
WINBASEAPI ULONGLONG WINAPI DiskQuotaAvailable(ULONGLONG ullDiskAvailable, ULONGLONG ullSoftLimit,
                                               ULONGLONG ullHardLimit, ULONGLONG ullUsed);

#ifdef __cplusplus
}
#endif

#endif
