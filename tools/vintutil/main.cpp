// vintutil: the command-line host of the library, for administrators and
// for trying the library out.
#include <iostream>
#include <string>
#include <vector>

#include "cli_common.h"
#include "commands.h"
#include "host_resources.h"
#include "reg_switches.h"

int main(int argc, char** argv) {
  RegisterStringTable();
  InstallReportPrinter();

  CLI::App app(
      "vintutil: the suite's settings in the registry, their administrative defaults, "
      "and the library's date and disk utilities",
      "vintutil");
  app.require_subcommand(1);
  int status = kExitSuccess;

  AddSetupCommand(app, status);
  AddShowCommand(app, status);
  auto* reg = app.add_subcommand("reg",
                                 "Keys and values under HKLM and HKCU, in the manner of reg.exe; "
                                 "reg.exe's /v /ve /t /d /f /s /y are accepted too");
  reg->require_subcommand(1);
  AddRegAccessCommands(*reg, status);
  AddRegTransferCommands(*reg, status);
#ifndef _WIN32
  AddRegHistoryCommand(*reg, status);
#endif
  AddDateCommand(app, status);
  AddDfCommand(app, status);

  // CLI11 takes the arguments in reverse order.
  std::vector<std::string> args =
      TranslateRegSwitches(std::vector<std::string>(argv + 1, argv + argc));
  std::reverse(args.begin(), args.end());
  try {
    app.parse(args);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "vintutil: " << e.what() << " (see --help)\n";
    return kExitUsage;
  }
  return status;
}
