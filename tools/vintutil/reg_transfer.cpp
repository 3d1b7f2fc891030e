// reg export and reg import: keys to and from .reg files, in the argument
// order of reg.exe.

#include <iostream>
#include <memory>

#include "cli_common.h"
#include "code_page.h"
#include "commands.h"
#include "input_file.h"
#include "key_path.h"
#include "output_file.h"
#include "progress.h"
#include "reg_apply.h"
#include "reg_file.h"
#include "reg_file_write.h"
#include "registry_tree.h"

namespace {

struct ExportOptions {
  std::string key;
  std::string file;
  std::string format = "unicode";
  unsigned codePage = kDefaultCodePage;
  bool force = false;
};

struct ImportOptions {
  std::string file;
  unsigned codePage = kDefaultCodePage;
};

// The --codepage option of export and import.
void AddCodePageOption(CLI::App& command, unsigned& codePage) {
  command
      .add_option("--codepage", codePage,
                  "the Windows code page of REGEDIT4 text (default 1252, Western European; "
                  "e.g. 1250 Central European, 1251 Cyrillic, 932 Japanese, 65001 UTF-8)")
      ->type_name("N")
      ->check([](const std::string& text) -> std::string {
        unsigned long number = 0;
        try {
          number = std::stoul(text);
        } catch (const std::exception&) {
          return "not a code page number: " + text;
        }
        return IsKnownCodePage(static_cast<unsigned>(number))
                   ? ""
                   : "code page " + text + " is not known to this system";
      });
}

int RunExport(const ExportOptions& o) {
  const auto path = ParseKeyPath(o.key);
  if (!path) return Fail("unknown root in '" + o.key + "': use HKLM\\... or HKCU\\...");
  RegFile file;
  file.format = o.format == "regedit4" ? RegFileFormat::kRegedit4 : RegFileFormat::kUnicode;
  file.codePage = o.codePage;
  {
    Progress progress("Reading " + path->Full(), 0, "keys");
    const LONG rc = ReadTree(*path, file.keys, [&](size_t keys) { progress.Update(keys); });
    if (rc != ERROR_SUCCESS) return Fail(path->Full() + ": " + RegistryErrorText(rc));
  }
  return WriteRegFileTo(file, o.file, o.force, HoldsPrivateData(path->root));
}

int RunImport(const ImportOptions& o) {
  const std::string& fileName = o.file;
  std::string bytes;
  const std::string unreadable = ReadInputFile(fileName, bytes);
  if (!unreadable.empty()) return Fail("cannot read " + fileName + ": " + unreadable);

  const RegFileParseResult parsed = ParseRegFile(bytes, o.codePage);
  if (!parsed.ok) {
    return Fail(fileName + ", line " + std::to_string(parsed.errorLine) + ": " + parsed.error +
                "; nothing was imported");
  }
  ApplyResult applied;
  {
    Progress progress("Importing " + fileName, ChangeCount(parsed.file), "changes");
    applied = ApplyRegFile(parsed.file, [&](size_t changes) { progress.Update(changes); });
  }
  for (const std::string& failure : applied.failures) Fail(fileName + ", " + failure);
  if (!applied.ok) return kExitFailure;
  std::cout << kDone << "\n";
  return kExitSuccess;
}

}  // namespace

void AddRegTransferCommands(CLI::App& reg, int& status) {
  auto exp = std::make_shared<ExportOptions>();
  auto* e = reg.add_subcommand("export", "Write a key and everything below it to a .reg file");
  e->add_option("KEY", exp->key, "HKLM\\path or HKCU\\path")->required();
  e->add_option("FILE", exp->file, "the .reg file to write")->required();
  e->add_option("--format", exp->format,
                "unicode: \"Windows Registry Editor Version 5.00\", UTF-16LE (default); "
                "regedit4: \"REGEDIT4\", 8-bit")
      ->check(CLI::IsMember({"unicode", "regedit4"}));
  AddCodePageOption(*e, exp->codePage);
  e->add_flag("--force,-f", exp->force, "overwrite an existing file without asking (/y)");
  e->callback([exp, &status] { status = RunExport(*exp); });

  auto imp = std::make_shared<ImportOptions>();
  auto* i = reg.add_subcommand(
      "import",
      "Apply a .reg file (both formats); a malformed file is refused whole, and each hive "
      "is changed completely or not at all");
  i->add_option("FILE", imp->file, "the .reg file to apply")->required();
  AddCodePageOption(*i, imp->codePage);
  i->callback([imp, &status] { status = RunImport(*imp); });
}
