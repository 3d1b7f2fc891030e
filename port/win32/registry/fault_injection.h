// Test faults: the nth call of a kind, or the nth storage step of a kind,
// fails with a chosen code.
#ifndef VINTUTIL_REGISTRY_FAULT_INJECTION_H
#define VINTUTIL_REGISTRY_FAULT_INJECTION_H

#include <registry_diagnostics.h>

namespace vreg {

// Counts one call of `call`; returns the error of a fault due now, else
// ERROR_SUCCESS. Cheap when no fault is pending.
LONG takeFault(RegDiagCall call);
// The same for a storage step: the SQLite result code due now, else
// SQLITE_OK (0).
int takeStorageFault(RegDiagStorage step);

void addFault(RegDiagCall call, unsigned n, LONG error);
void addStorageFault(RegDiagStorage step, unsigned n, int sqliteResult);
void clearFaults();

}  // namespace vreg

#endif
