// Writing a .reg file to disk, for reg export and reg history --export.
#ifndef VINTUTIL_CLI_REG_FILE_WRITE_H
#define VINTUTIL_CLI_REG_FILE_WRITE_H

#include <string>

#include "reg_file.h"

// Writes `file` to `fileName` (through output_file.h: whole, never through
// a link; readable by its owner only when `privateFile`) and says so on
// standard output. Refuses names a .reg file cannot hold, and an existing
// file unless the user (or `force`) agrees to overwrite it. Returns the
// program's exit status.
int WriteRegFileTo(const RegFile& file, const std::string& fileName, bool force, bool privateFile);

#endif
