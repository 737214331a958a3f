// The console of the real binary when standard output is a pipe: the prompt
// shows before the name is read, and progress lines, diagnostic echoes and
// fatal errors on standard error reach a shared console in the order written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

constexpr const char* kPrompt = "\n Parts Input Control File Name : ";

// partsc in `dir`, standard output and standard error on one pipe.
class Console {
 public:
  explicit Console(const std::string& dir) {
    int in[2];
    int out[2];
    if (pipe(in) != 0 || pipe(out) != 0) {
      throw std::runtime_error("pipe failed");
    }
    pid_ = fork();
    if (pid_ == 0) {
      if (dup2(in[0], 0) < 0 || dup2(out[1], 1) < 0 || dup2(out[1], 2) < 0 ||
          chdir(dir.c_str()) != 0) {
        _exit(127);
      }
      close(in[1]);
      close(out[0]);
      setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
      execl(PARTSC_BINARY, PARTSC_BINARY, static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toChild_ = in[1];
    fromChild_ = out[0];
  }

  ~Console() {
    if (toChild_ >= 0) {
      close(toChild_);
    }
    close(fromChild_);
    if (pid_ > 0) {
      waitpid(pid_, nullptr, 0);
    }
  }

  // Reads until the console shows `text` (true) or nothing more comes for
  // five seconds (false).
  bool WaitFor(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (seen_.find(text) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd ready{fromChild_, POLLIN, 0};
      if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
        return false;
      }
      char buffer[4096];
      const ssize_t got = read(fromChild_, buffer, sizeof buffer);
      if (got <= 0) {
        return seen_.find(text) != std::string::npos;
      }
      seen_.append(buffer, static_cast<size_t>(got));
    }
    return true;
  }

  void Type(const std::string& text) {
    ASSERT_EQ(write(toChild_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(toChild_);
    toChild_ = -1;
  }

  // Everything up to the end of the run, and the exit status.
  std::string Rest(int& status) {
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(fromChild_, buffer, sizeof buffer)) > 0) {
      seen_.append(buffer, static_cast<size_t>(got));
    }
    int wait = 0;
    waitpid(pid_, &wait, 0);
    pid_ = -1;
    status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    return seen_;
  }

 private:
  pid_t pid_ = -1;
  int toChild_ = -1;
  int fromChild_ = -1;
  std::string seen_;
};

TEST(ConsoleOrderTest, ThePromptShowsBeforeTheNameIsReadAndEveryLineKeepsItsPlace) {
  TempDir dir;
  WriteFile(dir.File("ONE.SRC"),
            "$$PARTS !one!\n$$APG\n$TOP !T1!\n$$SIZE \"S\"\ns <1,1>\"N\"\n$$END\n");
  // A parts name that is no plain file name: the open error goes to standard
  // error between the progress lines of its input.
  WriteFile(dir.File("TWO.SRC"), "$$PARTS !a/b!\n$$APG\n$TOP !T2!\n$$END\n");
  // A warning echoed on standard output, then the input's progress goes on.
  WriteFile(dir.File("THREE.SRC"),
            "$$PARTS !three!\n$$APG\n$TOP !T3!\n$$SIZE \"S\"\nbad line\n$$END\n");
  WriteFile(dir.File("LIB.CTL"), "ONE.SRC\nTWO.SRC\nTHREE.SRC\n");

  Console console(dir.path());
  ASSERT_TRUE(console.WaitFor(kPrompt)) << "the prompt did not show before the name was read";
  console.Type("LIB.CTL\n");
  int status = -1;
  const std::string text = console.Rest(status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(text, ReplaceAll(std::string(kPrompt) +
                                 "\n  Control file name\t\t$D/LIB.CTL\n"
                                 "\n  Input file name\t\t$D/ONE.SRC\n"
                                 "\tParts name\t\tone\n\tApg define start\n\tapg $TOP\t\tT1\n"
                                 "\tSize name\t\tS\n\tCount of size\t\t1\n"
                                 "  Out put file name\t\t$D/one.prt\n"
                                 "\n  Input file name\t\t$D/TWO.SRC\n"
                                 "\tParts name\t\ta/b\n\tApg define start\n\tapg $TOP\t\tT2\n"
                                 "\tCount of size\t\t0\n"
                                 "File $D/a/b.prt open error\n"
                                 "\n  Input file name\t\t$D/THREE.SRC\n"
                                 "\tParts name\t\tthree\n\tApg define start\n\tapg $TOP\t\tT3\n"
                                 "\tSize name\t\tS\n\tCount of size\t\t1\n"
                                 "  Out put file name\t\t$D/three.prt\n"
                                 "\t*** W *** Unknown Size Keyword (Skip)\n"
                                 // The summary comes last, on standard error.
                                 "partsc: summary: 2 sources compiled, 1 failed\n"
                                 "partsc: failed: TWO.SRC: File $D/a/b.prt open error: not a plain "
                                 "file name\n"
                                 "partsc:   left: no parts file was written\n",
                             "$D", dir.path()));
}

}  // namespace
}  // namespace partsc::testing
