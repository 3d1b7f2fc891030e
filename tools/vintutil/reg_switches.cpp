#include "reg_switches.h"

#include <strings.h>

#include <string_view>

namespace {

struct Switch {
  const char* windows;
  const char* option;
  bool takesArgument;
};

const Switch kSwitches[] = {
    {"/v", "--value", true},  {"/ve", "--default-value", false}, {"/t", "--type", true},
    {"/d", "--data", true},   {"/f", "--force", false},          {"/s", "--recursive", false},
    {"/y", "--force", false}, {"/?", "--help", false},
};

// Long options of the program that take an argument.
const char* const kOptionsWithArgument[] = {
    "--value", "--type", "--data",   "--format",    "--locale",  "--since",
    "--user",  "--at",   "--export", "--set-limit", "--set-age",
};

bool TakesArgument(std::string_view word) {
  for (const char* o : kOptionsWithArgument) {
    if (word == o) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> TranslateRegSwitches(const std::vector<std::string>& args) {
  std::vector<std::string> out;
  bool argumentNext = false;
  for (const std::string& word : args) {
    if (argumentNext) {
      out.push_back(word);
      argumentNext = false;
      continue;
    }
    const Switch* match = nullptr;
    for (const Switch& s : kSwitches) {
      if (strcasecmp(word.c_str(), s.windows) == 0) match = &s;
    }
    out.push_back(match ? match->option : word);
    argumentNext = match ? match->takesArgument : TakesArgument(word);
  }
  return out;
}
