// Stored names and texts shown one to a line: a control character in a key
// name, value name or text would break the line, or steer the terminal.
#ifndef VINTUTIL_CLI_CONTROL_ESCAPE_H
#define VINTUTIL_CLI_CONTROL_ESCAPE_H

#include <string>
#include <string_view>

// `text` with each control character (U+0000 to U+001F and DEL) in caret
// notation, as cat -v and terminals show them: ^J for a line feed, ^I for a
// tab, ^[ for escape, ^? for DEL. Other bytes stay as they are.
std::string EscapeControls(std::string_view text);

#endif
