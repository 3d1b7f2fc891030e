// vintutil: the command-line host of the library, for administrators and
// for trying the library out.
#include <string>
#include <vector>

#include "program.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

// The arguments in UTF-8, as the program takes all text (argv holds them in
// the ANSI code page, which loses what it cannot hold).
std::vector<std::string> Arguments(int, char**) {
  std::vector<std::string> args;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide != nullptr && i < count; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(static_cast<size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
    arg.resize(arg.size() - 1);
    args.push_back(std::move(arg));
  }
  LocalFree(wide);
  return args;
}
#else
std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}
#endif

int main(int argc, char** argv) { return RunProgram(Arguments(argc, argv)); }
