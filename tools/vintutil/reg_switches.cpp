#include "reg_switches.h"

#include <strings.h>

#include <initializer_list>
#include <iterator>
#include <string_view>

namespace {

struct Switch {
  const char* windows;
  const char* option;
  bool takesArgument;
};

// A command's switches; a switch of several commands means what its
// command gives it (/d is the data of reg add, "data only" in reg query).
struct CommandSwitches {
  const char* command;  // nullptr: any other command
  std::initializer_list<Switch> switches;
};

const CommandSwitches kCommands[] = {
    {"query",
     {{"/v", "--value", true},
      {"/ve", "--default-value", false},
      {"/s", "--recursive", false},
      {"/se", "--separator", true},
      {"/f", "--find", true},
      {"/k", "--keys-only", false},
      {"/d", "--data-only", false},
      {"/c", "--case-sensitive", false},
      {"/e", "--exact", false},
      {"/t", "--type", true},
      {"/?", "--help", false}}},
    {"add",
     {{"/v", "--value", true},
      {"/ve", "--default-value", false},
      {"/t", "--type", true},
      {"/s", "--separator", true},
      {"/d", "--data", true},
      {"/f", "--force", false},
      {"/?", "--help", false}}},
    {"watch", {{"/s", "--recursive", false}, {"/?", "--help", false}}},
    {"delete",
     {{"/v", "--value", true},
      {"/ve", "--default-value", false},
      {"/va", "--all-values", false},
      {"/f", "--force", false},
      {"/?", "--help", false}}},
    {nullptr,
     {{"/v", "--value", true},
      {"/ve", "--default-value", false},
      {"/f", "--force", false},
      {"/y", "--force", false},
      {"/?", "--help", false}}},
};

// Long options of the program that take an argument.
const char* const kOptionsWithArgument[] = {
    "--value", "--type", "--data",   "--format",    "--locale",  "--since",     "--user",
    "--at",    "--find", "--export", "--set-limit", "--set-age", "--separator",
};

bool TakesArgument(std::string_view word) {
  for (const char* o : kOptionsWithArgument) {
    if (word == o) return true;
  }
  return false;
}

const CommandSwitches& SwitchesOf(std::string_view command) {
  for (const CommandSwitches& c : kCommands) {
    if (c.command == nullptr || command == c.command) return c;
  }
  return kCommands[std::size(kCommands) - 1];
}

const Switch* Find(const CommandSwitches& command, const std::string& word) {
  for (const Switch& s : command.switches) {
    if (strcasecmp(word.c_str(), s.windows) == 0) return &s;
  }
  return nullptr;
}

}  // namespace

std::vector<std::string> TranslateRegSwitches(const std::vector<std::string>& args) {
  std::vector<std::string> out;
  std::string_view command;
  bool argumentNext = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (argumentNext) {
      out.push_back(word);
      argumentNext = false;
      continue;
    }
    if (command.empty() && i > 0 && args[0] == "reg") command = word;
    const CommandSwitches& switches = SwitchesOf(command);
    const Switch* match = Find(switches, word);
    // reg query's /v without a name (the next word is a switch, or there is
    // none) searches value names only.
    if (match && command == "query" && std::string_view(match->windows) == "/v" &&
        (i + 1 == args.size() || Find(switches, args[i + 1]))) {
      out.push_back("--value-names-only");
      continue;
    }
    out.push_back(match ? match->option : word);
    argumentNext = match ? match->takesArgument : TakesArgument(word);
  }
  return out;
}
