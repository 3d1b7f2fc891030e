// What an administrator is told when the machine hive may not be written:
// where it is and what to do. One implementation per platform.
#ifndef VINTUTIL_CLI_MACHINE_HIVE_ADVICE_H
#define VINTUTIL_CLI_MACHINE_HIVE_ADVICE_H

#include <string>

// "access is denied to ..." with the place of the machine hive and the ways
// to the right to write it, as one line without a final full stop.
std::string MachineHiveAccessDenied();

#endif
