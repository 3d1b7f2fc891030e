// reg.exe's switches, accepted beside the long options: they are rewritten
// to their long forms, as the reg command they follow reads them, before
// the command line is parsed.
#ifndef VINTUTIL_CLI_REG_SWITCHES_H
#define VINTUTIL_CLI_REG_SWITCHES_H

#include <string>
#include <vector>

// The arguments (without the program name) with every reg.exe switch
// replaced by its long option: /v /ve /s /se /f /k /d /c /e /t of reg query,
// /v /ve /t /s /d /f of reg add, /v /ve /va /f of reg delete, /v /ve /f /y
// elsewhere, and /? everywhere. A word that is the argument of an option
// (the NAME after /v, the DATA after /d, ...) is left as it is, so that data
// such as "/f" or "/usr/bin" passes unchanged.
std::vector<std::string> TranslateRegSwitches(const std::vector<std::string>& args);

#endif
