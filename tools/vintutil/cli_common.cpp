#include "cli_common.h"

#include <iostream>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#ifdef _WIN32
bool IsTerminal(StandardStream stream) {
  DWORD mode;
  return GetConsoleMode(
             GetStdHandle(stream == StandardStream::kInput ? STD_INPUT_HANDLE : STD_ERROR_HANDLE),
             &mode) != 0;
}
#else
bool IsTerminal(StandardStream stream) {
  return isatty(stream == StandardStream::kInput ? STDIN_FILENO : STDERR_FILENO) != 0;
}
#endif

int Fail(const std::string& reason) {
  std::cerr << "vintutil: " << reason << "\n";
  return kExitFailure;
}

std::string Confirm(const std::string& question, bool force) {
  if (force) return "";
  if (!IsTerminal(StandardStream::kInput)) {
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
