#include "run_cli.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace {

// The whole content of a temporary file, which is then closed.
std::string Drain(FILE* file) {
  std::string text;
  rewind(file);
  for (int c; (c = getc(file)) != EOF;) text += static_cast<char>(c);
  fclose(file);
  return text;
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& args) {
  std::vector<char*> argv{const_cast<char*>(VINTUTIL_CLI_PATH)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // Output goes to temporary files, so a full pipe can never stall the child.
  FILE* out = tmpfile();
  FILE* err = tmpfile();
  if (out == nullptr || err == nullptr) throw std::runtime_error("tmpfile failed");
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    dup2(fileno(out), STDOUT_FILENO);
    dup2(fileno(err), STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  CliRun run;
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  run.out = Drain(out);
  run.err = Drain(err);
  return run;
}
