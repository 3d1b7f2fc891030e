// reg.exe's switches (/v, /ve, /t, /d, /f, /s, /y), accepted beside the
// long options: they are rewritten to their long forms before the command
// line is parsed.
#ifndef VINTUTIL_CLI_REG_SWITCHES_H
#define VINTUTIL_CLI_REG_SWITCHES_H

#include <string>
#include <vector>

// The arguments (without the program name) with every reg.exe switch
// replaced by its long option. A word that is the argument of an option
// (the NAME after /v, the DATA after /d, ...) is left as it is, so that data
// such as "/f" or "/usr/bin" passes unchanged.
std::vector<std::string> TranslateRegSwitches(const std::vector<std::string>& args);

#endif
