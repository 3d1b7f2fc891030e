// A change history record as reg history and reg watch print it: one text
// line (time, user, program, change, key, value, old -> new) or one JSON
// object.
#ifndef VINTUTIL_CLI_HISTORY_FORMAT_H
#define VINTUTIL_CLI_HISTORY_FORMAT_H

#include <registry_history.h>

#include <string>

// How the unnamed value is shown.
constexpr const char kDefaultValueName[] = "(Default)";

// A record with the root of the hive it belongs to.
struct HiveRecord {
  HKEY root;
  registry_history::Record record;
};

// Changes of a key as a whole, without a value: key created or deleted,
// the past data of all its values forgotten.
bool IsKeyChange(const registry_history::Record& r);

// The full path of a key of the hive `root`.
std::string FullKey(HKEY root, const std::string& subkey);

// The text line, without its line end; control characters escaped.
std::string TextLine(const HiveRecord& h);
std::string JsonLine(const HiveRecord& h);

#endif
