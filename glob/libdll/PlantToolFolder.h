// Whether the plant tools' folder (the "SSTOOLS" setting) may be used to
// start programs on this system. The folder is put in front of a program's
// file name and the line is started through WinExec, so a quote, a tab or a
// line break in it would start another program or add arguments. On POSIX
// systems the folder must also be an absolute path: a Windows path (a drive
// letter, backslashes) or a relative one would be looked for in the current
// folder or the search path, where another user may have planted a program
// under that name.
#ifndef VARNO_PLANT_TOOL_FOLDER_H
#define VARNO_PLANT_TOOL_FOLDER_H

#include "vintutil_export.h"

// Null when `pszFolder` may be used; else why not, as a short text ("it is a
// Windows path", ...).
VINTUTIL_API const char* PlantToolFolderProblem(const char* pszFolder);

#endif
