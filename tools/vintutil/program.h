// The program `vintutil` as a function: its command line in, its exit status
// out. main() hands it the arguments; tests and the fuzz target call it
// directly.
#ifndef VINTUTIL_CLI_PROGRAM_H
#define VINTUTIL_CLI_PROGRAM_H

#include <string>
#include <vector>

// Runs the program with `args` (UTF-8, the program's name not included).
// Nothing escapes it: a fault that ends in an exception is reported as one
// line on standard error and gives kExitFailure.
int RunProgram(const std::vector<std::string>& args);

// RunProgram without its last resort: an exception that reaches it is a
// fault, and the fuzz target lets it end the run.
int RunCommandLine(const std::vector<std::string>& args);

#endif
