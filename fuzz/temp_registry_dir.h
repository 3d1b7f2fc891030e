// A private registry for one fuzzing process: a fresh directory of hives
// named by VINTUTIL_REGISTRY, in $TMPDIR or else in /dev/shm (for speed)
// when there is one, removed again when the process exits normally (a
// crash leaves it: scripts/fuzz points TMPDIR into its own scratch space).
#ifndef VINTUTIL_FUZZ_TEMP_REGISTRY_DIR_H
#define VINTUTIL_FUZZ_TEMP_REGISTRY_DIR_H

// Creates the directory and points the registry at it; call once, before
// the first registry call.
void UseTempRegistryDir();

#endif
