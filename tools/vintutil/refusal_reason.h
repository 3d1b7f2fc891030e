// The reason a command gives when the registry refuses a key or a value.
#ifndef VINTUTIL_CLI_REFUSAL_REASON_H
#define VINTUTIL_CLI_REFUSAL_REASON_H

#include <windows.h>

#include <string>

#include "key_path.h"

// For a name or data the registry refuses as not valid:
// which name or data, its length and the limit it breaks (a key name of
// more than 255 characters, a key more than 512 levels deep, a value name
// of more than 16,383 characters, data of more than 4 MiB), or that it
// breaks none. For any other code the system's text of RegistryErrorText.
// `valueName` is null when only the key was concerned; `dataSize` is the
// size of the data written, if any.
std::string RefusalReason(LONG error, const KeyPath& key, const std::string* valueName = nullptr,
                          size_t dataSize = 0);

#endif
