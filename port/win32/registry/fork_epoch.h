// The number of fork()s between the process's start and now, as this
// process counts them: a hive compares it with the number it connected at,
// since connections inherited from the parent process must not be used (nor
// closed) in the child. Cheaper than getpid(), which is a system call.
#ifndef VINTUTIL_REGISTRY_FORK_EPOCH_H
#define VINTUTIL_REGISTRY_FORK_EPOCH_H

namespace vreg {

// Starts counting; call before the first forkEpoch() that matters.
void countForks();
unsigned forkEpoch();

}  // namespace vreg

#endif
