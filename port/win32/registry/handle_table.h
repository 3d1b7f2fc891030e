// The process's open registry handles.
//
// An HKEY is opaque: a slot number and the slot's generation, so a closed or
// made-up handle is recognised (ERROR_INVALID_HANDLE) without dereferencing
// anything. The predefined roots are not in the table.
#ifndef VINTUTIL_REGISTRY_HANDLE_TABLE_H
#define VINTUTIL_REGISTRY_HANDLE_TABLE_H

#include <windows.h>

#include <memory>
#include <string>

#include "hive.h"

namespace vreg {

// What a handle refers to.
struct OpenKey {
  std::shared_ptr<Hive> hive;
  KeyId key = kRootKey;
  std::string path;   // full normalised path from the hive's root
  REGSAM access = 0;  // rights granted at open
};

// Resolves HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER to their hive's root (all
// rights: what the hive's file allows decides), other handles through the
// table. ERROR_NOT_SUPPORTED for the other predefined roots,
// ERROR_INVALID_HANDLE for anything else.
LONG resolveKey(HKEY handle, OpenKey* out);

// Whether `handle` is one of the predefined roots.
bool isPredefinedKey(HKEY handle);

HKEY addHandle(OpenKey key);
LONG closeHandle(HKEY handle);
long openHandleCount();

// Closes every handle and forgets the hives: the next call locates them anew.
void resetHandlesAndHives();

}  // namespace vreg

#endif
