// The test diagnostics of registry_diagnostics.h.
#include <registry_diagnostics.h>

#include "fault_injection.h"
#include "handle_table.h"
#include "hive.h"
#include "hive_trust.h"

#include <cstring>

extern "C" {

long WINAPI RegDiagOpenHandleCount(void) { return vreg::openHandleCount(); }

void WINAPI RegDiagFailNth(RegDiagCall call, unsigned n, LONG error) {
  vreg::addFault(call, n, error);
}

void WINAPI RegDiagFailStorageNth(RegDiagStorage step, unsigned n, int sqliteResult) {
  vreg::addStorageFault(step, n, sqliteResult);
}

void WINAPI RegDiagClearFaults(void) { vreg::clearFaults(); }

void WINAPI RegDiagSetLockTimeout(DWORD milliseconds) {
  vreg::Hive::setLockTimeout(int(milliseconds > 0x7fffffff ? 0x7fffffff : milliseconds));
}

void WINAPI RegDiagReset(void) { vreg::resetHandlesAndHives(); }

DWORD WINAPI RegDiagLastRefusal(char* text, DWORD size) {
  const std::string reason = vreg::lastRefusal();
  if (text && size > 0) {
    const size_t copied = reason.size() < size ? reason.size() : size - 1;
    memcpy(text, reason.data(), copied);
    text[copied] = '\0';
  }
  return DWORD(reason.size());
}

}  // extern "C"
