// Reading a whole input file, for reg import: only a regular file is read,
// and a file that cannot be read gives the system's reason.
#ifndef VINTUTIL_CLI_INPUT_FILE_H
#define VINTUTIL_CLI_INPUT_FILE_H

#include <string>

// Reads the file at `path` (UTF-8) into `bytes`. Empty on success; otherwise
// why not, as the system words it ("No such file or directory", "Is a
// directory", "Permission denied"), or that it is not a regular file (a
// FIFO or a device, whose reading could wait forever or never end).
std::string ReadInputFile(const std::string& path, std::string& bytes);

#endif
