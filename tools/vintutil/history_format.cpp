#include "history_format.h"

#include "control_escape.h"
#include "history_time.h"
#include "key_path.h"
#include "value_format.h"

namespace rh = registry_history;

namespace {

const char* ChangeText(rh::Change change) {
  switch (change) {
    case rh::Change::KeyCreated:
      return "key created";
    case rh::Change::KeyDeleted:
      return "key deleted";
    case rh::Change::ValueSet:
      return "value set";
    case rh::Change::ValueDeleted:
      return "value deleted";
    case rh::Change::SettingsChanged:
      return "history settings changed";
    case rh::Change::PastDataForgotten:
      return "past data forgotten";
  }
  return "";
}

// Changes that name a value (or setting) but carry no data.
bool HasNoData(rh::Change change) { return change == rh::Change::PastDataForgotten; }

std::string ShownValue(const std::optional<rh::Value>& value) {
  if (!value) return "(absent)";
  if (value->forgotten) return TypeName(value->type) + " (forgotten)";
  return TypeName(value->type) + " " + FormatData(value->type, value->data);
}

// A served hive's change shows the role the server vouches for and the
// client's host; a hive file's the user who wrote it.
std::string ShownUser(const rh::Record& r) {
  if (!r.role.empty()) return r.role + "@" + r.host;
  return (r.user.empty() ? "" : r.user) + "(" + std::to_string(r.uid) + ")";
}

std::string JsonValue(const std::optional<rh::Value>& value) {
  if (!value) return "null";
  return "{\"type\":" + JsonString(TypeName(value->type)) + ",\"data\":" +
         (value->forgotten ? "null,\"forgotten\":true"
                           : JsonString(FormatData(value->type, value->data))) +
         "}";
}

}  // namespace

bool IsKeyChange(const rh::Record& r) {
  return r.change == rh::Change::KeyCreated || r.change == rh::Change::KeyDeleted ||
         (r.change == rh::Change::PastDataForgotten && r.allValues);
}

std::string FullKey(HKEY root, const std::string& subkey) { return KeyPath{root, subkey}.Full(); }

// Names, texts and the program's name with their control characters
// escaped, so that a change stays one line.
std::string TextLine(const HiveRecord& h) {
  const rh::Record& r = h.record;
  std::string line = FormatHistoryTime(r.time) + "  " + EscapeControls(ShownUser(r)) + "  " +
                     EscapeControls(r.program) + "[" + std::to_string(r.pid) + "]  " +
                     ChangeText(r.change) + "  " + EscapeControls(FullKey(h.root, r.key));
  if (!IsKeyChange(r)) line += "  " + EscapeControls(r.value.empty() ? kDefaultValueName : r.value);
  if (!IsKeyChange(r) && !HasNoData(r.change)) {
    line += "  " + EscapeControls(ShownValue(r.oldValue)) + " -> " +
            EscapeControls(ShownValue(r.newValue));
  }
  return line;
}

std::string JsonLine(const HiveRecord& h) {
  const rh::Record& r = h.record;
  const bool keyChange = IsKeyChange(r);
  return "{\"time\":" + JsonString(FormatHistoryTime(r.time)) +
         ",\"time_us\":" + std::to_string(r.time) + ",\"uid\":" + std::to_string(r.uid) +
         ",\"user\":" + JsonString(r.user) +
         (r.role.empty() ? ""
                         : ",\"role\":" + JsonString(r.role) + ",\"host\":" + JsonString(r.host)) +
         ",\"pid\":" + std::to_string(r.pid) + ",\"program\":" + JsonString(r.program) +
         ",\"change\":" + JsonString(ChangeText(r.change)) +
         ",\"key\":" + JsonString(FullKey(h.root, r.key)) +
         ",\"value\":" + (keyChange ? "null" : JsonString(r.value)) +
         ",\"old\":" + JsonValue(r.oldValue) + ",\"new\":" + JsonValue(r.newValue) + "}";
}
