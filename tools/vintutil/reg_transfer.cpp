// reg export and reg import: keys to and from .reg files, in the argument
// order of reg.exe.

#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>

#include "cli_common.h"
#include "commands.h"
#include "key_path.h"
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
  bool force = false;
};

int RunExport(const ExportOptions& o) {
  const auto path = ParseKeyPath(o.key);
  if (!path) return Fail("unknown root in '" + o.key + "': use HKLM\\... or HKCU\\...");
  RegFile file;
  file.format = o.format == "regedit4" ? RegFileFormat::kRegedit4 : RegFileFormat::kUnicode;
  {
    Progress progress("Reading " + path->Full(), 0, "keys");
    const LONG rc = ReadTree(*path, file.keys, [&](size_t keys) { progress.Update(keys); });
    if (rc != ERROR_SUCCESS) return Fail(path->Full() + ": " + RegistryErrorText(rc));
  }
  return WriteRegFileTo(file, o.file, o.force);
}

int RunImport(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return Fail("cannot read " + fileName);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return Fail("cannot read " + fileName);

  const RegFileParseResult parsed = ParseRegFile(bytes);
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
  e->add_flag("--force,-f", exp->force, "overwrite an existing file without asking (/y)");
  e->callback([exp, &status] { status = RunExport(*exp); });

  auto file = std::make_shared<std::string>();
  auto* i = reg.add_subcommand(
      "import",
      "Apply a .reg file (both formats); a malformed file is refused whole, and each hive "
      "is changed completely or not at all");
  i->add_option("FILE", *file, "the .reg file to apply")->required();
  i->callback([file, &status] { status = RunImport(*file); });
}
