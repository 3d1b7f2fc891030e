// What the rest of the registry tells RegNotifyChangeKeyValue's watches.
#ifndef VINTUTIL_REGISTRY_CHANGE_NOTIFICATION_H
#define VINTUTIL_REGISTRY_CHANGE_NOTIFICATION_H

#include <windows.h>

#include <string>

namespace vreg {

// A write of this process to the hive `hive` (its identity) has committed:
// the registrations it concerns signal now, before the write returns.
void changesCommitted(const std::string& hive);

// `handle` was closed: its registrations signal and end, as on Windows.
void keyHandleClosed(HKEY handle);

}  // namespace vreg

#endif
