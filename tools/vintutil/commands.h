// The command families of the program. Each adds its subcommands to the
// command line; their callbacks store the exit status in `status`.
#ifndef VINTUTIL_CLI_COMMANDS_H
#define VINTUTIL_CLI_COMMANDS_H

#include <CLI/CLI.hpp>

// reg query, reg add, reg delete (under the `reg` subcommand).
void AddRegAccessCommands(CLI::App& reg, int& status);
// reg export, reg import (under the `reg` subcommand).
void AddRegTransferCommands(CLI::App& reg, int& status);
// reg history (under the `reg` subcommand); the registry stand-in's only.
void AddRegHistoryCommand(CLI::App& reg, int& status);
// reg watch (under the `reg` subcommand): on the stand-in's history too.
void AddRegWatchCommand(CLI::App& reg, int& status);
void AddSetupCommand(CLI::App& app, int& status);
void AddShowCommand(CLI::App& app, int& status);
void AddDateCommand(CLI::App& app, int& status);
void AddDfCommand(CLI::App& app, int& status);
// server init and status: the machine hive's server, where the hives live.
void AddServerCommand(CLI::App& app, int& status);
void AddStatusCommand(CLI::App& app, int& status);

#endif
