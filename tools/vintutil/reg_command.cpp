// reg query, reg add and reg delete: generic key and value access in the
// manner of reg.exe.
#include <strings.h>

#include <cctype>
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

// The value a command addresses: /v NAME (/v "" too names the default
// value), /ve, or none.
struct ValueChoice {
  std::string name;
  bool named = false;
  bool defaultValue = false;

  bool Given() const { return named || defaultValue; }
  std::string Name() const { return defaultValue ? "" : name; }
  std::string Display() const { return Name().empty() ? kDefaultValueName : name; }
};

CLI::Option* AddValueOptions(CLI::App& cmd, ValueChoice& value, const char* what) {
  auto* named =
      cmd.add_option("--value,-v", value.name,
                     std::string("name of the value ") + what + " (/v; \"\": the default)")
          ->type_name("NAME")
          ->each([&value](const std::string&) { value.named = true; });
  auto* unnamed = cmd.add_flag("--default-value", value.defaultValue,
                               std::string("the key's default (unnamed) value ") + what + " (/ve)")
                      ->excludes(named);
  named->excludes(unnamed);
  return named;
}

// A command line that cannot be carried out as written.
int UsageError(const std::string& reason) { return Fail(reason + " (see --help)"); }

// The key a command names. As reg.exe, a root is named without a trailing
// backslash, and a key with at most one.
std::optional<KeyPath> KeyArgument(const std::string& text, int& status) {
  auto path = ParseKeyPath(text);
  if (!path) {
    status = Fail("unknown root in '" + text + "': use HKLM\\... or HKCU\\...");
  } else if (text.back() == '\\' && path->subkey.empty()) {
    status = Fail("'" + text + "': a root key is named without a backslash after it");
    path.reset();
  } else if (text.size() > 2 && text.compare(text.size() - 2, 2, "\\\\") == 0) {
    status = Fail("'" + text + "': a key path ends in one backslash at most");
    path.reset();
  }
  return path;
}

void PrintValue(const RegFileValue& value, std::string_view separator) {
  std::cout << "    " << (value.name.empty() ? kDefaultValueName : value.name) << "    "
            << TypeName(value.type) << "    " << FormatData(value.type, value.data, separator)
            << "\n";
}

// Whether `text` matches `pattern`, in which * stands for any run of
// characters and ? for any one.
bool WildcardMatch(std::string_view pattern, std::string_view text, bool caseSensitive) {
  const auto same = [caseSensitive](char a, char b) {
    return caseSensitive ? a == b
                         : std::tolower(static_cast<unsigned char>(a)) ==
                               std::tolower(static_cast<unsigned char>(b));
  };
  size_t p = 0, t = 0, star = std::string_view::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], text[t]))) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// --- query -----------------------------------------------------------------

struct QueryOptions {
  std::string key;
  ValueChoice value;
  bool recursive = false;
  std::optional<std::string> find;
  bool keysOnly = false;
  bool dataOnly = false;
  bool valueNamesOnly = false;
  bool caseSensitive = false;
  bool exact = false;
  std::optional<std::string> type;
  std::optional<std::string> separator;

  std::string_view Separator() const { return separator ? *separator : kMultiSeparator; }
};

// What a query with /f, /t, or /v or /ve with /s looks for.
class Search {
 public:
  Search(const QueryOptions& o, std::optional<uint32_t> type) : o_(o), type_(type) {
    if (o.find) pattern_ = o.exact ? *o.find : "*" + *o.find + "*";
  }

  bool MatchesKeyName(const std::string& path) const {
    if (!o_.find || o_.dataOnly || o_.valueNamesOnly) return false;
    return Matches(path.substr(path.rfind('\\') + 1));
  }

  bool MatchesValue(const RegFileValue& value) const {
    if (type_ && value.type != *type_) return false;
    if (o_.value.Given()) return strcasecmp(value.name.c_str(), o_.value.Name().c_str()) == 0;
    if (!o_.find) return true;
    if (o_.keysOnly) return false;
    const bool byName = !o_.dataOnly && Matches(value.name);
    const bool byData =
        !o_.valueNamesOnly && Matches(FormatData(value.type, value.data, o_.Separator()));
    return byName || byData;
  }

 private:
  bool Matches(std::string_view text) const {
    return WildcardMatch(pattern_, text, o_.caseSensitive);
  }

  const QueryOptions& o_;
  std::optional<uint32_t> type_;
  std::string pattern_;
};

// The keys a query reads: the key itself with its values, then its whole
// subtree (/s) or its subkeys' paths alone.
LONG ReadQueriedKeys(const KeyPath& path, bool recursive, std::vector<RegFileKey>& keys) {
  if (recursive) return ReadTree(path, keys);
  KeyHandle key;
  LONG rc = key.Open(path, KEY_READ);
  if (rc != ERROR_SUCCESS) return rc;
  RegFileKey self;
  self.path = path.Full();
  std::vector<std::string> subkeys;
  if ((rc = ReadValues(key.get(), self.values)) != ERROR_SUCCESS ||
      (rc = ReadSubkeyNames(key.get(), subkeys)) != ERROR_SUCCESS) {
    return rc;
  }
  keys.push_back(std::move(self));
  for (const std::string& name : subkeys) {
    keys.emplace_back();
    keys.back().path = path.Child(name).Full();
  }
  return ERROR_SUCCESS;
}

// A search's matches, key by key, and the count reg.exe ends it with:
// exit status 0 with matches, 1 without.
int PrintSearch(const std::vector<RegFileKey>& keys, const Search& search,
                std::string_view separator) {
  size_t matches = 0;
  std::cout << "\n";
  for (size_t i = 0; i < keys.size(); ++i) {
    // The queried key's own name is not searched, only the names below it.
    const bool nameMatch = i > 0 && search.MatchesKeyName(keys[i].path);
    bool header = nameMatch;
    if (header) std::cout << keys[i].path << "\n";
    size_t values = 0;
    for (const RegFileValue& value : keys[i].values) {
      if (!search.MatchesValue(value)) continue;
      if (!header) std::cout << keys[i].path << "\n";
      header = true;
      PrintValue(value, separator);
      ++values;
    }
    if (values > 0) std::cout << "\n";
    matches += values + (nameMatch ? 1 : 0);
  }
  std::cout << "End of search: " << matches << " match(es) found.\n";
  return matches > 0 ? kExitSuccess : kExitFailure;
}

// A key's values, then its subkeys: their paths, or with /s their blocks.
// The queried key's header is left out when it has no values.
void PrintKeys(const std::vector<RegFileKey>& keys, bool recursive, std::string_view separator) {
  std::cout << "\n";
  for (size_t i = 0; i < keys.size(); ++i) {
    const RegFileKey& key = keys[i];
    if (i > 0 && !recursive) {
      std::cout << key.path << "\n";
      continue;
    }
    if (i == 0 && key.values.empty()) continue;
    std::cout << key.path << "\n";
    for (const RegFileValue& value : key.values) PrintValue(value, separator);
    std::cout << "\n";
  }
}

int PrintOneValue(const KeyPath& path, const QueryOptions& o) {
  KeyHandle key;
  LONG rc = key.Open(path, KEY_READ);
  if (rc != ERROR_SUCCESS) return Fail(path.Full() + ": " + RefusalReason(rc, path));
  RegFileValue value;
  rc = ReadValue(key.get(), o.value.Name(), value);
  // A default value that was never set shows as reg.exe shows it.
  if (rc == ERROR_FILE_NOT_FOUND && o.value.Name().empty()) {
    std::cout << "\n"
              << path.Full() << "\n    " << kDefaultValueName
              << "    REG_SZ    (value not set)\n\n";
    return kExitSuccess;
  }
  if (rc != ERROR_SUCCESS) {
    return Fail(path.Full() + ", value " + o.value.Display() + ": " + RegistryErrorText(rc));
  }
  std::cout << "\n" << path.Full() << "\n";
  PrintValue(value, o.Separator());
  std::cout << "\n";
  return kExitSuccess;
}

int RunQuery(const QueryOptions& o) {
  if (!o.find && (o.keysOnly || o.dataOnly || o.valueNamesOnly || o.caseSensitive || o.exact)) {
    return UsageError("/k, /d, /c, /e and /v without a name refine a search: give /f PATTERN");
  }
  if (o.find && o.value.Given()) {
    return UsageError("/f searches every value: give /v without a name to search value names");
  }
  if (o.separator && !IsSeparator(*o.separator)) {
    return UsageError("the separator (/se) is one character: '" + *o.separator + "'");
  }
  std::optional<uint32_t> type;
  if (o.type && !(type = ParseTypeName(*o.type)))
    return UsageError("unknown type '" + *o.type + "'");
  int status = kExitSuccess;
  const auto path = KeyArgument(o.key, status);
  if (!path) return status;

  const bool search = o.find || o.type || (o.recursive && o.value.Given());
  if (o.value.Given() && !search) return PrintOneValue(*path, o);
  std::vector<RegFileKey> keys;
  const LONG rc = ReadQueriedKeys(*path, o.recursive, keys);
  if (rc != ERROR_SUCCESS) return Fail(path->Full() + ": " + RefusalReason(rc, *path));
  if (search) return PrintSearch(keys, Search(o, type), o.Separator());
  PrintKeys(keys, o.recursive, o.Separator());
  return kExitSuccess;
}

// --- add -------------------------------------------------------------------

struct AddOptions {
  std::string key;
  ValueChoice value;
  std::string type = "REG_SZ";
  std::optional<std::string> data;
  std::optional<std::string> separator;
  bool force = false;
};

int RunAdd(const AddOptions& o) {
  if (o.separator && !IsSeparator(*o.separator)) {
    return UsageError("the separator (/s) is one character: '" + *o.separator + "'");
  }
  int status = kExitSuccess;
  const auto path = KeyArgument(o.key, status);
  if (!path) return status;
  for (const std::string& refusal :
       {InvalidName(path->subkey, "the key name"), InvalidName(o.value.Name(), "the value name"),
        InvalidText(o.data.value_or(""), "the data")}) {
    if (!refusal.empty()) return Fail(refusal);
  }
  const auto type = ParseTypeName(o.type);
  if (!type) return Fail("unknown type '" + o.type + "'");
  std::string error;
  const auto data = ParseData(*type, o.data, o.separator ? *o.separator : kMultiSeparator, &error);
  if (!data) return Fail(error);

  // Without /v or /ve the data goes to the default value, as with reg.exe.
  const std::string name = o.value.Name();
  KeyHandle key;
  LONG rc = key.Create(*path);
  if (rc != ERROR_SUCCESS) return Fail(path->Full() + ": " + RefusalReason(rc, *path));
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
  std::cout << kDone << "\n";
  return kExitSuccess;
}

// --- delete ----------------------------------------------------------------

struct DeleteOptions {
  std::string key;
  ValueChoice value;
  bool allValues = false;
  bool force = false;
};

int DeleteOneValue(const KeyPath& path, const DeleteOptions& o) {
  KeyHandle key;
  LONG rc = key.Open(path, KEY_QUERY_VALUE | KEY_SET_VALUE);
  RegFileValue existing;
  const std::string name = o.value.Name();
  if (rc == ERROR_SUCCESS) rc = ReadValue(key.get(), name, existing);
  if (rc != ERROR_SUCCESS) {
    return Fail(path.Full() + ", value " + o.value.Display() + ": " + RegistryErrorText(rc));
  }
  const std::string refusal =
      Confirm("Delete the registry value " + o.value.Display() + "?", o.force);
  if (!refusal.empty()) {
    return Fail(path.Full() + ", value " + o.value.Display() + " is kept: " + refusal);
  }
  rc = RegDeleteValueA(key.get(), name.c_str());
  if (rc != ERROR_SUCCESS) {
    return Fail(path.Full() + ", value " + o.value.Display() + ": " + RegistryErrorText(rc));
  }
  return kExitSuccess;
}

int DeleteAllValues(const KeyPath& path, bool force) {
  KeyHandle key;
  std::vector<RegFileValue> values;
  LONG rc = key.Open(path, KEY_QUERY_VALUE | KEY_SET_VALUE);
  if (rc == ERROR_SUCCESS) rc = ReadValues(key.get(), values);
  if (rc != ERROR_SUCCESS) return Fail(path.Full() + ": " + RegistryErrorText(rc));
  const std::string refusal =
      Confirm("Delete all values under the registry key " + path.Full() + "?", force);
  if (!refusal.empty()) return Fail(path.Full() + ": its values are kept: " + refusal);
  for (const RegFileValue& value : values) {
    rc = RegDeleteValueA(key.get(), value.name.c_str());
    if (rc != ERROR_SUCCESS) {
      const std::string shown = value.name.empty() ? kDefaultValueName : value.name;
      return Fail(path.Full() + ", value " + shown + ": " + RegistryErrorText(rc));
    }
  }
  return kExitSuccess;
}

int DeleteKey(const KeyPath& path, bool force) {
  if (path.subkey.empty()) return Fail("a root key cannot be deleted");
  if (!KeyExists(path)) return Fail(path.Full() + ": " + RegistryErrorText(ERROR_FILE_NOT_FOUND));
  const std::string refusal =
      Confirm("Permanently delete the registry key " + path.Full() + "?", force);
  if (!refusal.empty()) return Fail(path.Full() + " is kept: " + refusal);
  const LONG rc = DeleteTree(path);
  if (rc != ERROR_SUCCESS) return Fail(path.Full() + ": " + RegistryErrorText(rc));
  return kExitSuccess;
}

int RunDelete(const DeleteOptions& o) {
  int status = kExitSuccess;
  const auto path = KeyArgument(o.key, status);
  if (!path) return status;
  status = o.value.Given() ? DeleteOneValue(*path, o)
           : o.allValues   ? DeleteAllValues(*path, o.force)
                           : DeleteKey(*path, o.force);
  if (status == kExitSuccess) std::cout << kDone << "\n";
  return status;
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
  q->add_option("--find", query->find,
                "search key names, value names and data for PATTERN (* and ? are wildcards) (/f)")
      ->type_name("PATTERN");
  q->add_flag("--keys-only", query->keysOnly, "search key names only (/k)");
  q->add_flag("--data-only", query->dataOnly, "search data only (/d)");
  q->add_flag("--value-names-only", query->valueNamesOnly,
              "search value names only (/v without a name)");
  q->add_flag("--case-sensitive", query->caseSensitive, "search case-sensitively (/c)");
  q->add_flag("--exact", query->exact, "match whole names and data only (/e)");
  q->add_option("--type,-t", query->type, "only values of this type (/t)")->type_name("TYPE");
  q->add_option("--separator", query->separator,
                "show the texts of a REG_MULTI_SZ separated by this character (/se)")
      ->type_name("CHAR");
  q->callback([query, &status] { status = RunQuery(*query); });

  auto add = std::make_shared<AddOptions>();
  auto* a = reg.add_subcommand(
      "add", "Create a key and set a value (the default value without /v or /ve)");
  a->add_option("KEY", add->key, kKeyHelp)->required();
  AddValueOptions(*a, add->value, "to set");
  a->add_option("--type,-t", add->type,
                "REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD "
                "(decimal, or hexadecimal after 0x), REG_DWORD_BIG_ENDIAN, REG_BINARY "
                "(hex digits), REG_NONE (/t)")
      ->type_name("TYPE");
  a->add_option("--data,-d", add->data, "the data (/d)")->type_name("DATA");
  a->add_option("--separator", add->separator,
                "the character between the texts of a REG_MULTI_SZ; \\0 by default (/s)")
      ->type_name("CHAR");
  a->add_flag("--force,-f", add->force, "overwrite an existing value without asking (/f)");
  a->callback([add, &status] { status = RunAdd(*add); });

  auto del = std::make_shared<DeleteOptions>();
  auto* d = reg.add_subcommand("delete", "Delete a key with everything below it, or values");
  d->add_option("KEY", del->key, kKeyHelp)->required();
  auto* named = AddValueOptions(*d, del->value, "to delete");
  d->add_flag("--all-values", del->allValues, "every value of the key, not its subkeys (/va)")
      ->excludes(named)
      ->excludes("--default-value");
  d->add_flag("--force,-f", del->force, "delete without asking (/f)");
  d->callback([del, &status] { status = RunDelete(*del); });
}
