#include "program.h"

#include <algorithm>
#include <exception>
#include <iostream>
#include <new>

#include "cli_common.h"
#include "commands.h"
#include "host_resources.h"
#include "reg_switches.h"

int RunCommandLine(const std::vector<std::string>& arguments) {
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
                                 "reg.exe's switches (/v /ve /va /t /s /se /d /f /k /c /e /y) are "
                                 "accepted too");
  reg->require_subcommand(1);
  AddRegAccessCommands(*reg, status);
  AddRegTransferCommands(*reg, status);
#ifndef _WIN32
  AddRegHistoryCommand(*reg, status);
  AddRegWatchCommand(*reg, status);
#endif
  AddDateCommand(app, status);
  AddDfCommand(app, status);
#ifndef _WIN32
  AddServerCommand(app, status);
  AddStatusCommand(app, status);
#endif

  // CLI11 takes the arguments in reverse order.
  std::vector<std::string> args = TranslateRegSwitches(arguments);
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

int RunProgram(const std::vector<std::string>& args) {
  try {
    return RunCommandLine(args);
  } catch (const std::bad_alloc&) {
    return Fail("out of memory");
  } catch (const std::exception& e) {
    return Fail(std::string("internal error: ") + e.what());
  } catch (...) {
    return Fail("internal error");
  }
}
