// A change history record as reg history and reg watch print it: one text
// line (time, user, program, change, key, value, old -> new) or one JSON
// object.
#ifndef VINTUTIL_CLI_HISTORY_FORMAT_H
#define VINTUTIL_CLI_HISTORY_FORMAT_H

#include <registry_history.h>

#include <string>

// A record with the root of the hive it belongs to.
struct HiveRecord {
  HKEY root;
  registry_history::Record record;
};

bool IsKeyChange(registry_history::Change change);

// The full path of a key of the hive `root`.
std::string FullKey(HKEY root, const std::string& subkey);

// The text line, without its line end; control characters escaped.
std::string TextLine(const HiveRecord& h);
std::string JsonLine(const HiveRecord& h);

#endif
