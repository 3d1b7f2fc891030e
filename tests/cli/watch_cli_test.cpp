// vintutil reg watch, end to end: the running command prints each change
// made by other processes as it happens, a line at a time through a pipe,
// without /s only the key's own, and ends when the key is deleted. POSIX
// only (the history is the registry stand-in's).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "run_cli.h"
#include "temp_registry.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// `vintutil reg watch ...` running, its output read line by line.
class Watch {
 public:
  explicit Watch(const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(VINTUTIL_CLI_PATH), const_cast<char*>("reg"),
                            const_cast<char*>("watch")};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) abort();
    err_ = tmpfile();
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      dup2(fileno(err_), STDERR_FILENO);
      close(out[0]);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    out_ = out[0];
  }
  ~Watch() {
    if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    close(out_);
    fclose(err_);
  }

  // The next line printed, waiting up to `ms` milliseconds for it.
  std::optional<std::string> nextLine(int ms = 5000) {
    for (;;) {
      const size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      pollfd p{out_, POLLIN, 0};
      char chunk[4096];
      if (poll(&p, 1, ms) != 1) return std::nullopt;
      const ssize_t got = read(out_, chunk, sizeof chunk);
      if (got <= 0) return std::nullopt;
      buffer_.append(chunk, size_t(got));
    }
  }

  // What the command wrote on standard error so far.
  std::string errors() {
    std::string text;
    rewind(err_);
    for (int c; (c = getc(err_)) != EOF;) text += char(c);
    return text;
  }

  // The exit status once the command ends by itself.
  int status() {
    int wstatus = 0;
    waitpid(pid_, &wstatus, 0);
    pid_ = -1;
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  FILE* err_ = nullptr;
  std::string buffer_;
};

// The watched key, under the root the registry's tests write under (the
// machine hive when it is served).
class CliWatch : public RegistryTest {
 protected:
  const std::string root_ = registry_.rootName();
  const std::string key_ = root_ + "\\Software\\Watched";
};

TEST_F(CliWatch, JsonLinesOfTheKeysOwnChangesUntilItIsDeleted) {
  RunOk({"reg", "add", key_, "/v", "before", "/d", "not shown"});
  Watch watch({key_, "--format", "json"});
  // The command is watching once a change reaches it.
  std::optional<std::string> line;
  for (int i = 0; !line && i < 50; ++i) {
    RunOk({"reg", "add", key_, "/v", "a", "/d", "one", "/f"});
    line = watch.nextLine(200);
  }
  ASSERT_TRUE(line) << watch.errors();
  EXPECT_THAT(*line, HasSubstr("\"change\":\"value set\",\"key\":\"" + root_ +
                               "\\\\Software\\\\Watched\",\"value\":\"a\""));
  EXPECT_THAT(*line, HasSubstr("\"new\":{\"type\":\"REG_SZ\",\"data\":\"one\"}}"));
  EXPECT_THAT(*line, Not(HasSubstr("before")));

  RunOk({"reg", "add", key_ + "\\Sub", "/v", "below", "/d", "x"});
  RunOk({"reg", "delete", key_, "/v", "a", "/f"});
  line = watch.nextLine();
  ASSERT_TRUE(line) << watch.errors();
  EXPECT_THAT(*line, HasSubstr("\"change\":\"key created\""));
  EXPECT_THAT(*line, HasSubstr("Watched\\\\Sub\",\"value\":null"));
  line = watch.nextLine();
  ASSERT_TRUE(line) << watch.errors();
  EXPECT_THAT(*line, HasSubstr("\"change\":\"value deleted\"")) << "the value below is not shown";
  EXPECT_THAT(*line, HasSubstr("\"old\":{\"type\":\"REG_SZ\",\"data\":\"one\"},\"new\":null}"));

  RunOk({"reg", "delete", key_, "/f"});
  std::string last;
  for (std::optional<std::string> l; (l = watch.nextLine());) last = *l;
  EXPECT_THAT(last, HasSubstr("\"change\":\"key deleted\",\"key\":\"" + root_ +
                              "\\\\Software\\\\Watched\""));
  EXPECT_EQ(1, watch.status());
  EXPECT_EQ("vintutil: " + key_ + ": the key was deleted\n", watch.errors());
}

TEST_F(CliWatch, WithSubkeysTextLinesAsRegHistoryPrintsThem) {
  RunOk({"reg", "add", key_ + "\\Sub"});
  Watch watch({key_, "/s"});
  std::optional<std::string> line;
  std::string set;
  for (int i = 0; !line && i < 50; ++i) {
    set = "text " + std::to_string(i);
    RunOk({"reg", "add", key_ + "\\Sub", "/v", "x", "/d", set, "/f"});
    line = watch.nextLine(200);
  }
  ASSERT_TRUE(line) << watch.errors();
  EXPECT_THAT(*line, HasSubstr("vintutil["));
  EXPECT_THAT(*line, HasSubstr("]  value set  " + key_ + "\\Sub  x  "));
  EXPECT_THAT(*line, HasSubstr(" -> REG_SZ " + set));
  const CliRun history = RunOk({"reg", "history", key_ + "\\Sub"});
  EXPECT_EQ(*line, history.out.substr(0, history.out.find('\n'))) << "as reg history prints it";
}

TEST_F(CliWatch, AMissingKeyOrRootIsRefused) {
  RunFails({"reg", "watch", key_}, key_);
  RunFails({"reg", "watch", "HKXX\\Software"}, "unknown root");
}

}  // namespace
