#include "cli_common.h"

#include <unistd.h>

#include <iostream>

int Fail(const std::string& reason) {
  std::cerr << "vintutil: " << reason << "\n";
  return kExitFailure;
}

std::string Confirm(const std::string& question, bool force) {
  if (force) return "";
  if (!isatty(STDIN_FILENO)) {
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
