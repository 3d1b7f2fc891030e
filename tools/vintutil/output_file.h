// Files the program writes (reg export, reg history --export): written whole
// into a new temporary file in the target's folder, then renamed over the
// target, so that no reader sees half a file and nothing is ever written
// through a link someone planted at the target's name (a link there is
// replaced, not followed). One implementation per platform.
#ifndef VINTUTIL_CLI_OUTPUT_FILE_H
#define VINTUTIL_CLI_OUTPUT_FILE_H

#include <windows.h>

#include <string>

// Writes `bytes` to `path` as above; a `privateFile` is readable by its
// owner only (on POSIX systems: mode 0600 whatever the umask). "" on
// success, else why not (the target is then as it was).
std::string WriteOutputFile(const std::string& path, const std::string& bytes, bool privateFile);

// Whether what is read from `root` is private: HKEY_CURRENT_USER, or a hive
// whose file nobody but its owner may read.
bool HoldsPrivateData(HKEY root);

#endif
