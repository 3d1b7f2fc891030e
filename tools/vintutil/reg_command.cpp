// reg query, reg add and reg delete: generic key and value access in the
// manner of reg.exe.
#include <strings.h>

#include <iostream>
#include <memory>
#include <optional>

#include "cli_common.h"
#include "command_line_text.h"
#include "commands.h"
#include "key_path.h"
#include "refusal_reason.h"
#include "registry_tree.h"
#include "value_format.h"

namespace {

constexpr const char* kDefaultValueName = "(Default)";

// The value a command addresses: /v NAME, /ve, or none (the key itself).
struct ValueChoice {
  std::string name;
  bool defaultValue = false;

  bool Given() const { return defaultValue || !name.empty(); }
  std::string Display() const { return defaultValue ? kDefaultValueName : name; }
};

void AddValueOptions(CLI::App& cmd, ValueChoice& value, const char* what) {
  auto* named = cmd.add_option("--value,-v", value.name, std::string("name of the value ") + what)
                    ->type_name("NAME");
  cmd.add_flag("--default-value", value.defaultValue,
               std::string("the key's default (unnamed) value ") + what + " (/ve)")
      ->excludes(named);
}

std::optional<KeyPath> KeyArgument(const std::string& text, int& status) {
  auto path = ParseKeyPath(text);
  if (!path) status = Fail("unknown root in '" + text + "': use HKLM\\... or HKCU\\...");
  return path;
}

void PrintValue(const RegFileValue& value) {
  std::cout << "    " << (value.name.empty() ? kDefaultValueName : value.name) << "    "
            << TypeName(value.type) << "    " << FormatData(value.type, value.data) << "\n";
}

// --- query -----------------------------------------------------------------

struct QueryOptions {
  std::string key;
  ValueChoice value;
  bool recursive = false;
};

bool Matches(const RegFileValue& value, const ValueChoice& choice) {
  if (!choice.Given()) return true;
  if (choice.defaultValue) return value.name.empty();
  return strcasecmp(value.name.c_str(), choice.name.c_str()) == 0;
}

int RunQuery(const QueryOptions& o) {
  int status = kExitSuccess;
  const auto path = KeyArgument(o.key, status);
  if (!path) return status;

  if (o.recursive) {
    std::vector<RegFileKey> keys;
    const LONG rc = ReadTree(*path, keys);
    if (rc != ERROR_SUCCESS) return Fail(path->Full() + ": " + RegistryErrorText(rc));
    size_t matches = 0;
    for (const RegFileKey& key : keys) {
      bool header = false;
      for (const RegFileValue& value : key.values) {
        if (!Matches(value, o.value)) continue;
        if (!header) std::cout << "\n" << key.path << "\n";
        header = true;
        PrintValue(value);
        ++matches;
      }
      if (!header && !o.value.Given()) std::cout << "\n" << key.path << "\n";
    }
    std::cout << "\nEnd of search: " << matches << " match(es) found.\n";
    return matches == 0 && o.value.Given() ? kExitFailure : kExitSuccess;
  }

  KeyHandle key;
  LONG rc = key.Open(*path, KEY_READ);
  if (rc != ERROR_SUCCESS) return Fail(path->Full() + ": " + RefusalReason(rc, *path));
  if (o.value.Given()) {
    RegFileValue value;
    rc = ReadValue(key.get(), o.value.defaultValue ? "" : o.value.name, value);
    if (rc != ERROR_SUCCESS) {
      return Fail(path->Full() + ", value " + o.value.Display() + ": " + RegistryErrorText(rc));
    }
    std::cout << "\n" << path->Full() << "\n";
    PrintValue(value);
    std::cout << "\n";
    return kExitSuccess;
  }
  std::vector<RegFileValue> values;
  std::vector<std::string> subkeys;
  if ((rc = ReadValues(key.get(), values)) != ERROR_SUCCESS ||
      (rc = ReadSubkeyNames(key.get(), subkeys)) != ERROR_SUCCESS) {
    return Fail(path->Full() + ": " + RegistryErrorText(rc));
  }
  std::cout << "\n" << path->Full() << "\n";
  for (const RegFileValue& value : values) PrintValue(value);
  std::cout << "\n";
  for (const std::string& name : subkeys) std::cout << path->Child(name).Full() << "\n";
  return kExitSuccess;
}

// --- add -------------------------------------------------------------------

struct AddOptions {
  std::string key;
  ValueChoice value;
  std::string type = "REG_SZ";
  std::optional<std::string> data;
  bool force = false;
};

int RunAdd(const AddOptions& o) {
  int status = kExitSuccess;
  const auto path = KeyArgument(o.key, status);
  if (!path) return status;
  if (path->subkey.empty()) return Fail("a root key cannot be changed: name a key below it");
  for (const std::string& refusal :
       {InvalidName(path->subkey, "the key name"), InvalidName(o.value.name, "the value name"),
        InvalidText(o.data.value_or(""), "the data")}) {
    if (!refusal.empty()) return Fail(refusal);
  }
  const auto type = ParseTypeName(o.type);
  if (!type) return Fail("unknown type '" + o.type + "'");
  std::string error;
  const auto data = ParseData(*type, o.data.value_or(""), &error);
  if (!data) return Fail(error);
  if (!o.value.Given() && o.data) return Fail("data needs a value: give /v NAME or /ve");

  KeyHandle key;
  LONG rc = key.Create(*path);
  if (rc != ERROR_SUCCESS) return Fail(path->Full() + ": " + RefusalReason(rc, *path));
  if (o.value.Given()) {
    const std::string name = o.value.defaultValue ? "" : o.value.name;
    RegFileValue existing;
    if (ReadValue(key.get(), name, existing) == ERROR_SUCCESS) {
      const std::string refusal =
          Confirm("Value " + o.value.Display() + " exists, overwrite?", o.force);
      if (!refusal.empty()) {
        return Fail(path->Full() + ", value " + o.value.Display() +
                    " exists and is kept: " + refusal);
      }
    }
    rc = SetValueBytes(key.get(), name, *type, *data);
    if (rc != ERROR_SUCCESS) {
      return Fail(path->Full() + ", value " + o.value.Display() + ": " +
                  RefusalReason(rc, *path, &name, data->size()));
    }
  }
  std::cout << kDone << "\n";
  return kExitSuccess;
}

// --- delete ----------------------------------------------------------------

struct DeleteOptions {
  std::string key;
  ValueChoice value;
  bool force = false;
};

int RunDelete(const DeleteOptions& o) {
  int status = kExitSuccess;
  const auto path = KeyArgument(o.key, status);
  if (!path) return status;
  if (path->subkey.empty()) return Fail("a root key cannot be deleted");

  if (o.value.Given()) {
    KeyHandle key;
    LONG rc = key.Open(*path, KEY_QUERY_VALUE | KEY_SET_VALUE);
    RegFileValue existing;
    const std::string name = o.value.defaultValue ? "" : o.value.name;
    if (rc == ERROR_SUCCESS) rc = ReadValue(key.get(), name, existing);
    if (rc != ERROR_SUCCESS) {
      return Fail(path->Full() + ", value " + o.value.Display() + ": " + RegistryErrorText(rc));
    }
    const std::string refusal =
        Confirm("Delete the registry value " + o.value.Display() + "?", o.force);
    if (!refusal.empty()) {
      return Fail(path->Full() + ", value " + o.value.Display() + " is kept: " + refusal);
    }
    rc = RegDeleteValueA(key.get(), name.c_str());
    if (rc != ERROR_SUCCESS) {
      return Fail(path->Full() + ", value " + o.value.Display() + ": " + RegistryErrorText(rc));
    }
  } else {
    if (!KeyExists(*path))
      return Fail(path->Full() + ": " + RegistryErrorText(ERROR_FILE_NOT_FOUND));
    const std::string refusal =
        Confirm("Permanently delete the registry key " + path->Full() + "?", o.force);
    if (!refusal.empty()) return Fail(path->Full() + " is kept: " + refusal);
    const LONG rc = DeleteTree(*path);
    if (rc != ERROR_SUCCESS) return Fail(path->Full() + ": " + RegistryErrorText(rc));
  }
  std::cout << kDone << "\n";
  return kExitSuccess;
}

constexpr const char* kKeyHelp =
    "HKLM\\path or HKCU\\path (also HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER)";

}  // namespace

void AddRegAccessCommands(CLI::App& reg, int& status) {
  auto query = std::make_shared<QueryOptions>();
  auto* q = reg.add_subcommand("query", "Show a key's values and subkeys, or one value");
  q->add_option("KEY", query->key, kKeyHelp)->required();
  AddValueOptions(*q, query->value, "to show");
  q->add_flag("--recursive,-s", query->recursive, "all keys below too (/s)");
  q->callback([query, &status] { status = RunQuery(*query); });

  auto add = std::make_shared<AddOptions>();
  auto* a = reg.add_subcommand("add", "Create a key, or set a value (creating its key)");
  a->add_option("KEY", add->key, kKeyHelp)->required();
  AddValueOptions(*a, add->value, "to set");
  a->add_option("--type,-t", add->type,
                "REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ (texts separated by \\0), "
                "REG_DWORD, REG_QWORD, REG_BINARY (hex digits), REG_NONE (/t)")
      ->type_name("TYPE");
  a->add_option("--data,-d", add->data, "the data (/d)")->type_name("DATA");
  a->add_flag("--force,-f", add->force, "overwrite an existing value without asking (/f)");
  a->callback([add, &status] { status = RunAdd(*add); });

  auto del = std::make_shared<DeleteOptions>();
  auto* d = reg.add_subcommand("delete", "Delete a key with everything below it, or one value");
  d->add_option("KEY", del->key, kKeyHelp)->required();
  AddValueOptions(*d, del->value, "to delete");
  d->add_flag("--force,-f", del->force, "delete without asking (/f)");
  d->callback([del, &status] { status = RunDelete(*del); });
}
