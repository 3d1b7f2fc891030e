// The program's command line and the files it reads: any arguments, with
// any .reg file to import, run the program to an exit status of its own
// (0, failure or usage), never to a crash, a sanitizer finding or an
// exception that only the program's last-resort handler would catch (the
// target runs the program without it, so such an exception ends the run).
//
// Input: parts separated by zero bytes. The first part is the content of
// the file in.reg in the working directory; the others are the arguments
// (`reg import in.reg`, `reg add HKCU\A /v x /d y`, ...). The program runs
// in a private directory on a private registry, which is emptied after each
// run; an argument that names a path outside the working directory becomes
// in.reg, so no run writes elsewhere.
#include <stdio.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "program.h"
#include "registry_tree.h"
#include "temp_registry_dir.h"

namespace {

constexpr size_t kMaxArguments = 16;
constexpr const char* kInputFile = "in.reg";

// A path argument that could leave the working directory: reg.exe's
// switches (/v, /ve, /f) are the only slashes left alone.
bool LeavesWorkingDirectory(const std::string& arg) {
  if (arg.find('/', 1) != std::string::npos) return true;
  return !arg.empty() && arg[0] == '/' && arg.size() > 3;
}

// Subcommands that wait for something outside the run.
bool Waits(const std::string& arg) { return arg == "watch"; }

void EmptyRegistry() {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    KeyHandle key;
    std::vector<std::string> names;
    if (key.Open(KeyPath{root, ""}, KEY_READ) != ERROR_SUCCESS) continue;
    if (ReadSubkeyNames(key.get(), names) != ERROR_SUCCESS) continue;
    for (const std::string& name : names) DeleteTree(KeyPath{root, name});
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  UseTempRegistryDir();
  if (chdir(std::getenv("VINTUTIL_REGISTRY")) != 0) std::abort();
  // Nobody answers a question: standard input is not a terminal.
  if (!std::freopen("/dev/null", "r", stdin)) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t fileEnd = input.find('\0');
  if (fileEnd == std::string_view::npos) return 0;
  std::vector<std::string> args;
  for (size_t start = fileEnd + 1; start <= input.size() && args.size() < kMaxArguments;) {
    const size_t end = std::min(input.find('\0', start), input.size());
    args.emplace_back(input.substr(start, end - start));
    if (LeavesWorkingDirectory(args.back())) args.back() = kInputFile;
    if (Waits(args.back())) return 0;
    start = end + 1;
  }
  if (FILE* file = std::fopen(kInputFile, "wb")) {
    std::fwrite(input.data(), 1, fileEnd, file);
    std::fclose(file);
  }

  std::ostringstream output;
  std::streambuf* const oldOut = std::cout.rdbuf(output.rdbuf());
  std::streambuf* const oldErr = std::cerr.rdbuf(output.rdbuf());
  const int status = RunCommandLine(args);
  std::cout.rdbuf(oldOut);
  std::cerr.rdbuf(oldErr);
  EmptyRegistry();

  if (status < 0 || status > 2) {
    std::fprintf(stderr, "exit status %d\n", status);
    std::abort();
  }
  return 0;
}
