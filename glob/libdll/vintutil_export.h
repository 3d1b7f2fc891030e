// Marks the classes that libvintutil exports.
#ifndef VINTUTIL_EXPORT_H
#define VINTUTIL_EXPORT_H

#include <afx.h>

#ifdef VINTUTIL_BUILDING_LIBDLL
#define VINTUTIL_API AFX_CLASS_EXPORT
#else
#define VINTUTIL_API AFX_CLASS_IMPORT
#endif

#endif
