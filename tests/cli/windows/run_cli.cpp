// RunCli on Windows: vintutil.exe from the test program's own folder, started
// with CreateProcessW and its arguments in UTF-16, standard input from NUL, both output streams
// into temporary files (so a full pipe can never stall the child). The program ends its lines with
// "\r\n" there, as every console program does; the tests get them as "\n".
#include <windows.h>

#include <stdexcept>

#include "../run_cli.h"

namespace {

std::string ProgramPath() {
  char path[MAX_PATH];
  const std::string self(path, GetModuleFileNameA(NULL, path, sizeof path));
  return self.substr(0, self.find_last_of('\\') + 1) + "vintutil.exe";
}

// One argument of a command line, quoted so that the C runtime's parser
// gives it back unchanged: backslashes are doubled only before a quote.
std::string Quoted(const std::string& argument) {
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(2 * backslashes, '\\');
  return quoted + '"';
}

// An inheritable handle, deleted when the last handle to it closes.
HANDLE OpenInheritable(const std::string& path, DWORD access, DWORD disposition, DWORD flags) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
  HANDLE file =
      CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  &inherit, disposition, flags, NULL);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path);
  return file;
}

HANDLE TemporaryFile() {
  char folder[MAX_PATH], name[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  if (GetTempFileNameA(folder, "cli", 0, name) == 0)
    throw std::runtime_error("GetTempFileName failed");
  return OpenInheritable(name, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
}

std::string Drain(HANDLE file) {
  std::string text;
  char buffer[4096];
  DWORD n;
  SetFilePointer(file, 0, NULL, FILE_BEGIN);
  while (ReadFile(file, buffer, sizeof buffer, &n, NULL) && n > 0) text.append(buffer, n);
  CloseHandle(file);
  for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) text.erase(at, 1);
  return text;
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& args) {
  const std::string program = ProgramPath();
  std::string commandLine = Quoted(program);
  for (const std::string& a : args) commandLine += ' ' + Quoted(a);

  // The program reads its arguments as UTF-16 and takes them as UTF-8, as
  // the tests give them.
  std::wstring wide(commandLine.size() + 1, L'\0');
  wide.resize(MultiByteToWideChar(CP_UTF8, 0, commandLine.data(),
                                  static_cast<int>(commandLine.size()), wide.data(),
                                  static_cast<int>(wide.size())));

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = OpenInheritable("NUL", GENERIC_READ, OPEN_EXISTING, 0);
  startup.hStdOutput = TemporaryFile();
  startup.hStdError = TemporaryFile();
  PROCESS_INFORMATION process;
  CliRun run;
  if (CreateProcessW(NULL, wide.data(), NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status;
    if (GetExitCodeProcess(process.hProcess, &status)) run.status = static_cast<int>(status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(startup.hStdInput);
  run.out = Drain(startup.hStdOutput);
  run.err = Drain(startup.hStdError);
  return run;
}
