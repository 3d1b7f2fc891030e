// What every command of the program shares: exit statuses, the one-line
// failure on standard error, and the confirmation question.
#ifndef VINTUTIL_CLI_CLI_COMMON_H
#define VINTUTIL_CLI_CLI_COMMON_H

#include <string>

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;  // the command could not do its work
constexpr int kExitUsage = 1;    // the command line is wrong (reg.exe exits 1 too)

// What a command that changed or wrote something says, as reg.exe does.
constexpr const char* kDone = "The operation completed successfully.";

// Writes "vintutil: <reason>" on standard error; returns kExitFailure.
int Fail(const std::string& reason);

enum class StandardStream { kInput, kError };

// Whether `stream` is a terminal someone is at (on Windows: a console; the C
// runtime's isatty says yes for any character device, NUL included).
bool IsTerminal(StandardStream stream);

// Asks `question` (Yes/No) on the terminal, unless `force` answers it.
// Empty when the answer is yes; otherwise why not: the answer was no, or
// standard input is not a terminal, so nobody can answer and --force (/f)
// is needed.
std::string Confirm(const std::string& question, bool force);

#endif
