#include "cli_common.h"

#include <iostream>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

// Whether somebody can answer on standard input. On Windows a console is
// asked for its mode: the C runtime's isatty says yes for any character
// device, NUL included.
#ifdef _WIN32
bool StandardInputIsTerminal() {
  DWORD mode;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}
#else
bool StandardInputIsTerminal() { return isatty(STDIN_FILENO) != 0; }
#endif

}  // namespace

int Fail(const std::string& reason) {
  std::cerr << "vintutil: " << reason << "\n";
  return kExitFailure;
}

std::string Confirm(const std::string& question, bool force) {
  if (force) return "";
  if (!StandardInputIsTerminal()) {
    return "standard input is not a terminal, so this cannot be confirmed: add /f (--force)";
  }
  for (;;) {
    std::cout << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return "no answer";
    if (answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes") return "";
    if (answer == "n" || answer == "N" || answer == "no" || answer == "No")
      return "the answer was no";
  }
}
