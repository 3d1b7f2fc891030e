// Checks of the text a command line gives for the registry: it is stored as
// given, so it has to be valid UTF-8, and a name has to fit in a .reg file.
#ifndef VINTUTIL_CLI_COMMAND_LINE_TEXT_H
#define VINTUTIL_CLI_COMMAND_LINE_TEXT_H

#include <string>

// Why `text`, given as `what` ("the value name", "the data"), cannot be
// stored, or empty: it is not valid UTF-8 (text in another encoding, which
// would turn into other characters wherever it is shown or exported).
std::string InvalidText(const std::string& text, const std::string& what);

// As InvalidText, and a name with a line break is refused too: no .reg file
// could hold it, so it could never be exported.
std::string InvalidName(const std::string& name, const std::string& what);

#endif
