#include "PlantToolFolder.h"

#include <ctype.h>
#include <string.h>

const char* PlantToolFolderProblem(const char* pszFolder) {
  if (strpbrk(pszFolder, "\"\t\r\n") != nullptr) return "it holds a quote, a tab or a line break";
#ifndef _WIN32
  const bool bDriveLetter =
      isalpha(static_cast<unsigned char>(pszFolder[0])) && pszFolder[1] == ':';
  if (bDriveLetter || strchr(pszFolder, '\\') != nullptr) return "it is a Windows path";
  if (pszFolder[0] != '/') return "it is not an absolute path";
#endif
  return nullptr;
}
