// vintutil show: every setting of the suite that the library knows, by
// section, with its stored value and the default the administrative writer
// gives it. A setting stored with another type or size than the suite
// stores it with is marked, and so is a plant tools folder that cannot be
// used on this system.
#include <PlantToolFolder.h>
#include <RegistryLayout.h>
#include <VarnoStrings.h>

#include <algorithm>
#include <iomanip>
#include <iostream>
#include <memory>

#include "cli_common.h"
#include "commands.h"
#include "control_escape.h"
#include "registry_tree.h"
#include "value_format.h"

namespace {

// How a setting is stored: kFolder is a text naming a folder programs are
// started from.
enum class Kind { kText, kFolder, kNumber4, kDouble8 };

struct Setting {
  std::string name;
  Kind kind;
  std::string writerDefault;  // empty: the writer gives none
};

struct Section {
  HKEY root;
  std::string path;
  std::vector<Setting> settings;
};

std::string Quoted(const char* text) { return std::string("\"") + text + "\""; }

std::string TruthDefault(int bValue) { return Quoted(bValue ? VARNO_TEXT_TRUE : VARNO_TEXT_FALSE); }

std::string MatrixDefault() {
  const int* m = VARNO_DEFAULT_MATRIX;
  return Quoted(FormatMatrix(m[0], m[1], m[2], m[3]));
}

std::vector<Setting> TextSettings(std::initializer_list<const char*> names) {
  std::vector<Setting> settings;
  for (const char* name : names) settings.push_back({name, Kind::kText, ""});
  return settings;
}

// The test-set export header: names and defaults from the library's table.
std::vector<Setting> RioSettings() {
  SRioHeader rio;
  FillRioDefaults(rio, RIO_DEFAULTS_ADMIN);
  std::vector<Setting> settings;
  for (const SRioNumber& n : g_aRioNumbers) {
    settings.push_back({n.pszValueName, Kind::kDouble8, FormatDouble(n.dAdminDefault)});
  }
  settings.push_back({VARNO_VAL_IMPCORR, Kind::kText, Quoted(rio.strImpCorr)});
  settings.push_back({VARNO_VAL_CURRGROUND, Kind::kText, Quoted(VARNO_TEXT_LINE)});
  return settings;
}

std::string SectionPath(const char* section) { return std::string(VARNO_REG_BASEPATH) + section; }

std::vector<Section> KnownSettings() {
  return {
      {HKEY_LOCAL_MACHINE,
       SectionPath(VARNO_SEC_STOERSCHRIEB),
       {{VARNO_VAL_FORMAT, Kind::kNumber4, std::to_string(VARNO_DEFAULT_FORMAT)},
        {VARNO_VAL_FAVIS_FORMAT_D3, Kind::kNumber4, std::to_string(VARNO_FAVIS_D3)},
        {VARNO_VAL_DART, Kind::kNumber4, std::to_string(VARNO_DEFAULT_DART)},
        {VARNO_VAL_FAVIS_MODE_D3, Kind::kNumber4, std::to_string(VARNO_FAVIS_D3)},
        {VARNO_VAL_GRAFPROG, Kind::kText, Quoted("")}}},
      {HKEY_LOCAL_MACHINE, SectionPath(VARNO_SEC_SCHNITTSTELLEN),
       TextSettings({VARNO_VAL_DEVLINKADR,       VARNO_VAL_DEVVDADR,      VARNO_VAL_APIVDADR,
                     VARNO_VAL_TAKEPARFROM,      VARNO_VAL_COMPORT,       VARNO_VAL_BAUDRATE,
                     VARNO_VAL_UARTFRAME,        VARNO_VAL_SERIALTIMEOUT, VARNO_VAL_IECTIMEOUT,
                     VARNO_VAL_IECRETRY,         VARNO_VAL_CLASS2PERIOD,  VARNO_VAL_CLASS1PERIOD,
                     VARNO_VAL_FMSAPPENTRYPOINT, VARNO_VAL_FMSVFDNAME,    VARNO_VAL_FMSPORTPARAM,
                     VARNO_VAL_FMSUPF1WINDEX,    VARNO_VAL_FMSUPF1RINDEX, VARNO_VAL_FMSUPF2WINDEX,
                     VARNO_VAL_FMSUPF2RINDEX,    VARNO_VAL_FMSUPF1LEN,    VARNO_VAL_FMSUPF2LEN,
                     VARNO_VAL_FMSMREADYINDEX,   VARNO_VAL_T103VDADR,     VARNO_VAL_CASCVDADR,
                     VARNO_VAL_DEVMIRRVDADR,     VARNO_VAL_CASCMIRRVDADR})},
      {HKEY_LOCAL_MACHINE,
       SectionPath(VARNO_SEC_OPTIONEN),
       {{VARNO_VAL_AUTOSAVE, Kind::kText, TruthDefault(VARNO_DEFAULT_AUTOSAVE)},
        {VARNO_VAL_PARAMETERLEVEL, Kind::kNumber4, std::to_string(VARNO_DEFAULT_PARAMETERLEVEL)},
        {VARNO_VAL_UMRECHNUNGPRIM, Kind::kText, TruthDefault(VARNO_DEFAULT_UMRECHNUNGPRIM)},
        {VARNO_VAL_MATRIX, Kind::kText, MatrixDefault()},
        {VARNO_VAL_ZEBPRINTSETTINGS, Kind::kText, ""},
        {VARNO_VAL_PRINTOPTIONS, Kind::kText, ""}}},
      {HKEY_LOCAL_MACHINE, SectionPath(VARNO_SEC_PROGRAMME),
       [] {
         std::vector<Setting> settings =
             TextSettings({VARNO_VAL_DISPLAYEDITOR, VARNO_VAL_CFC, VARNO_VAL_GRAFIKTOOLS,
                           VARNO_VAL_FAVIS, VARNO_VAL_COMTRADEVIEWER, VARNO_VAL_VARNO});
         settings.push_back({VARNO_VAL_SSTOOLS, Kind::kFolder, ""});
         return settings;
       }()},
      {HKEY_LOCAL_MACHINE, SectionPath(VARNO_SEC_VEDORIR), RioSettings()},
      {HKEY_LOCAL_MACHINE, SectionPath(VARNO_SEC_USERINFO),
       TextSettings({VARNO_VAL_COMPANY, VARNO_VAL_NAME})},
      {HKEY_CURRENT_USER, VARNO_REG_ANLPROJ_SETTINGS, TextSettings({VARNO_VAL_PARAFILE})},
      {HKEY_CURRENT_USER, VARNO_REG_ANLVISU_SETTINGS, TextSettings({VARNO_VAL_PARAFILE})},
  };
}

bool IsText(Kind kind) { return kind == Kind::kText || kind == Kind::kFolder; }

const char* KindTypeName(Kind kind) { return IsText(kind) ? "REG_SZ" : "REG_BINARY"; }

// How the suite stores a setting of this kind, as the mark of a setting
// stored otherwise says it.
std::string KindStorage(Kind kind) {
  switch (kind) {
    case Kind::kText:
    case Kind::kFolder:
      return "REG_SZ";
    case Kind::kNumber4:
      return "REG_BINARY of 4 bytes";
    case Kind::kDouble8:
      return "REG_BINARY of 8 bytes";
  }
  return "";
}

bool StoredAsKind(Kind kind, const RegFileValue& stored) {
  switch (kind) {
    case Kind::kText:
    case Kind::kFolder:
      return stored.type == REG_SZ;
    case Kind::kNumber4:
      return stored.type == REG_BINARY && stored.data.size() == 4;
    case Kind::kDouble8:
      return stored.type == REG_BINARY && stored.data.size() == 8;
  }
  return false;
}

// One row of the output.
struct Row {
  std::string name;
  std::string type;
  bool set = false;
  std::string value;
  bool valueIsNumber = false;
  std::string writerDefault;
  bool defaultIsNumber = false;
  std::string expected;  // how the suite stores it, when it is stored otherwise
  std::string unusable;  // why a folder cannot be used on this system
};

// Why the stored folder cannot be used to start programs here, or "".
std::string FolderProblem(const RegFileValue& stored) {
  const std::string text(stored.data.begin(),
                         std::find(stored.data.begin(), stored.data.end(), '\0'));
  const char* problem = PlantToolFolderProblem(text.c_str());
  return problem ? problem : "";
}

struct SectionRows {
  std::string key;
  bool exists = false;
  std::vector<Row> rows;
};

std::vector<SectionRows> Collect() {
  std::vector<SectionRows> out;
  for (const Section& section : KnownSettings()) {
    const KeyPath path{section.root, section.path};
    SectionRows rows{path.Full(), false, {}};
    KeyHandle key;
    rows.exists = key.Open(path, KEY_QUERY_VALUE) == ERROR_SUCCESS;
    for (const Setting& setting : section.settings) {
      Row row{setting.name,          KindTypeName(setting.kind), false, "", false,
              setting.writerDefault, !IsText(setting.kind),      "",    ""};
      RegFileValue stored;
      if (rows.exists && ReadValue(key.get(), setting.name, stored) == ERROR_SUCCESS) {
        row.set = true;
        row.type = TypeName(stored.type);
        row.value = FormatDecoded(stored.type, stored.data);
        row.valueIsNumber = DecodesAsNumber(stored.type, stored.data);
        if (!StoredAsKind(setting.kind, stored)) {
          row.expected = KindStorage(setting.kind);
        } else if (setting.kind == Kind::kFolder) {
          row.unusable = FolderProblem(stored);
        }
      }
      rows.rows.push_back(row);
    }
    out.push_back(std::move(rows));
  }
  return out;
}

void PrintTable(const std::vector<SectionRows>& sections) {
  for (const SectionRows& section : sections) {
    std::cout << section.key << (section.exists ? "" : "  (key missing)") << "\n";
    size_t nameWidth = 4;
    for (const Row& row : section.rows) nameWidth = std::max(nameWidth, row.name.size());
    std::cout << "  " << std::left << std::setw(static_cast<int>(nameWidth)) << "NAME"
              << "  " << std::setw(10) << "TYPE"
              << "  " << std::setw(28) << "VALUE"
              << "  DEFAULT\n";
    for (const Row& row : section.rows) {
      std::cout << "  " << std::setw(static_cast<int>(nameWidth)) << row.name << "  "
                << std::setw(10) << row.type << "  " << std::setw(28)
                << (row.set ? EscapeControls(row.value) : "unset") << "  "
                << (row.writerDefault.empty() ? "-" : row.writerDefault);
      if (!row.expected.empty())
        std::cout << "  (wrong type: the suite stores " << row.expected << ")";
      if (!row.unusable.empty())
        std::cout << "  (not usable on this system: " << row.unusable << ")";
      std::cout << "\n";
    }
    std::cout << "\n";
  }
}

// A decoded value or default as JSON: numbers stay numbers, texts (shown
// in quotes) and hex data become JSON strings.
std::string JsonValue(const std::string& shown, bool isNumber) {
  if (isNumber) return shown;
  if (shown.size() >= 2 && shown.front() == '"' && shown.back() == '"') {
    return JsonString(shown.substr(1, shown.size() - 2));
  }
  return JsonString(shown);
}

void PrintJson(const std::vector<SectionRows>& sections) {
  std::cout << "{\"sections\": [";
  for (size_t s = 0; s < sections.size(); ++s) {
    const SectionRows& section = sections[s];
    std::cout << (s ? "," : "") << "\n  {\"key\": " << JsonString(section.key)
              << ", \"exists\": " << (section.exists ? "true" : "false") << ", \"values\": [";
    for (size_t r = 0; r < section.rows.size(); ++r) {
      const Row& row = section.rows[r];
      std::cout << (r ? "," : "") << "\n    {\"name\": " << JsonString(row.name)
                << ", \"type\": " << JsonString(row.type)
                << ", \"set\": " << (row.set ? "true" : "false")
                << ", \"value\": " << (row.set ? JsonValue(row.value, row.valueIsNumber) : "null")
                << ", \"default\": "
                << (row.writerDefault.empty() ? "null"
                                              : JsonValue(row.writerDefault, row.defaultIsNumber));
      if (!row.expected.empty()) std::cout << ", \"expected\": " << JsonString(row.expected);
      if (!row.unusable.empty()) std::cout << ", \"unusable\": " << JsonString(row.unusable);
      std::cout << "}";
    }
    std::cout << "]}";
  }
  std::cout << "\n]}\n";
}

}  // namespace

void AddShowCommand(CLI::App& app, int& status) {
  auto format = std::make_shared<std::string>("table");
  auto* show = app.add_subcommand(
      "show",
      "List every suite setting by section: stored value (or unset) and the default "
      "that setup writes; a setting stored with another type than the suite's is marked, "
      "control characters in texts are shown as ^J, ^I, ...");
  show->add_option("--format", *format, "table (default) or json")
      ->check(CLI::IsMember({"table", "json"}));
  show->callback([format, &status] {
    const auto sections = Collect();
    if (*format == "json") {
      PrintJson(sections);
    } else {
      PrintTable(sections);
    }
    status = kExitSuccess;
  });
}
