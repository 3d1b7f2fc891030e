// On Windows, HKEY_LOCAL_MACHINE is written by administrators.
#include "machine_hive_advice.h"

std::string MachineHiveAccessDenied() {
  return "access is denied to HKEY_LOCAL_MACHINE: run this from a command prompt started as "
         "administrator";
}
