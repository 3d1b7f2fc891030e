// What the program provides as the library's host: its string table (the
// failure kinds, contexts and title of the library's reports) and the
// printing of every report on standard error.
#ifndef VINTUTIL_CLI_HOST_RESOURCES_H
#define VINTUTIL_CLI_HOST_RESOURCES_H

// Registers the program's string table with the resource chain.
void RegisterStringTable();

// Installs the report handler: each report becomes one line on standard
// error, "<title>: <message>", and is counted.
void InstallReportPrinter();

// Number of reports printed since the program started.
int ReportCount();

#endif
