// The program's string table: the texts of the library's reports. A failure
// kind is a format whose one argument is the context, which names the
// setting concerned.
#include <afx.h>

#include <RegistryLayout.h>

#include "host_resources.h"

namespace {

const AFX_STRING_RESOURCE kStringTable[] = {
    {IDS_REG_OEFFNEN, "Cannot open the registry key of %s."},
    {IDS_REG_SCHREIBEN, "Cannot write %s to the registry."},
    {IDS_REG_LESEN, "Cannot read %s from the registry."},
    {IDS_REG_UNBRAUCHBAR,
     "Cannot use %s on this system: a folder must be an absolute path without quotes, tabs or "
     "line breaks."},
    {IDS_REG_FORMAT, "the fault-record format (sections STOERSCHRIEB, SCHNITTSTELLEN, OPTIONEN)"},
    {IDS_REG_DART, "the fault-record data kind or the test-set export header (VEDORIR)"},
    {IDS_REG_GRAFPROG, "the fault-record viewer program"},
    {IDS_REG_AUTOSAVE, "the automatic-save and matrix options"},
    {IDS_REG_DISPLAYEDITOR, "the display editor program"},
    {IDS_REG_PROGRAMME, "the tool program paths (section PROGRAMME)"},
    {IDS_REG_CFC, "the CFC chart editor program"},
    {IDS_REG_VEDORIR, "the test-set export header defaults (section VEDORIR)"},
    {IDS_REG_UMRECHNUNGPRIM, "the conversion to primary values"},
    {IDS_REG_PARAMETERLEVEL, "the parameter level"},
    {IDS_REG_SSTOOLS, "the plant tools folder"},
    {IDS_REG_TITEL, "vintutil settings"},
};

}  // namespace

void RegisterStringTable() {
  AfxSetAppStringTable(kStringTable, static_cast<int>(sizeof kStringTable / sizeof *kStringTable));
}
