// A private registry for one fuzzing process: a fresh directory of hives
// named by VINTUTIL_REGISTRY (in /dev/shm when there is one, for speed),
// removed again when the process exits.
#ifndef VINTUTIL_FUZZ_TEMP_REGISTRY_DIR_H
#define VINTUTIL_FUZZ_TEMP_REGISTRY_DIR_H

// Creates the directory and points the registry at it; call once, before
// the first registry call.
void UseTempRegistryDir();

#endif
