// On a terminal, the control characters of names and quoted texts show
// escaped; to a pipe the same run gives its bytes as they are. The real
// binary runs with standard output and error on a pseudo-terminal (raw, so
// that its bytes arrive untranslated) or on a pipe.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

// Reads what `fd` holds until the child `pid` has ended and nothing more is
// there; the writing end stays open in this process, so nothing is lost.
std::string ReadUntilExit(int fd, pid_t pid, int& status) {
  std::string out;
  bool ended = false;
  for (;;) {
    pollfd wait{fd, POLLIN, 0};
    if (::poll(&wait, 1, ended ? 0 : 50) > 0) {
      char buffer[4096];
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got > 0) {
        out.append(buffer, static_cast<size_t>(got));
        continue;
      }
    }
    if (ended) {
      return out;
    }
    ended = ::waitpid(pid, &status, WNOHANG) == pid;
  }
}

// Runs partsc in `dir` with standard output and error both on a terminal or
// both on a pipe; answers what they showed.
std::string RunOn(bool terminal, const std::string& dir, const std::vector<std::string>& args) {
  int reading = -1;
  int writing = -1;
  if (terminal) {
    termios raw{};
    cfmakeraw(&raw);
    EXPECT_EQ(::openpty(&reading, &writing, nullptr, &raw, nullptr), 0);
  } else {
    int ends[2];
    EXPECT_EQ(::pipe(ends), 0);
    reading = ends[0];
    writing = ends[1];
  }
  std::vector<char*> argv{const_cast<char*>(PARTSC_BINARY)};
  for (const std::string& arg : args) {
    argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(writing, STDOUT_FILENO);
    ::dup2(writing, STDERR_FILENO);
    ::close(reading);
    if (::chdir(dir.c_str()) != 0) {
      ::_exit(126);
    }
    ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    ::execv(PARTSC_BINARY, argv.data());
    ::_exit(127);
  }
  int status = 0;
  const std::string out = ReadUntilExit(reading, pid, status);
  ::close(reading);
  ::close(writing);
  EXPECT_TRUE(WIFEXITED(status));
  return ReplaceAll(out, dir, "$DIR");
}

TEST(Terminal, ControlCharactersShowEscapedOnATerminalAndRawToAPipe) {
  struct Case {
    const char* label;
    std::vector<std::string> args;
    std::string piped;  // a line each run shows
    std::string shown;  // the same line on a terminal
    bool data = false;  // the whole run shows the same bytes on a terminal
  };
  const Case cases[] = {
      {"size title in a progress line",
       {"-c", "RUN.CTL"},
       "\tSize name\t\tt\x1b]0;pwned\x07\x7f\n",
       "\tSize name\t\tt\\x1b]0;pwned\\x07\\x7f\n"},
      {"file name in a progress line",
       {"-c", "RUN.CTL"},
       "  Input file name\t\t$DIR/m\x1b[2J\x7f.src\n",
       "  Input file name\t\t$DIR/m\\x1b[2J\\x7f.src\n"},
      // C1 controls: U+009B in UTF-8 text beside an "é" that stays, and the
      // byte 0x9B in a Latin-1 title beside an "é" that stays.
      {"C1 control in UTF-8",
       {"-c", "RUN.CTL"},
       "\tSize name\t\tu\xc3\xa9\xc2\x9bm\n",
       "\tSize name\t\tu\xc3\xa9\\xc2\\x9bm\n"},
      {"C1 control in Latin-1",
       {"-c", "RUN.CTL"},
       "\tSize name\t\tv\xe9\x9bm\n",
       "\tSize name\t\tv\xe9\\x9bm\n"},
      // JSON lines are data: their own escapes stay, and so does DEL.
      {"JSON line",
       {"-q", "--diagnostics-format=json", "-c", "RUN.CTL"},
       "\"reason\":\"m\\u001b[2J\x7f.src: No such file or directory\"}",
       "\"reason\":\"m\\u001b[2J\x7f.src: No such file or directory\"}",
       true},
  };
  TempDir dir;
  WriteFile(dir.File("RUN.CTL"), "x.src\nm\x1b[2J\x7f.src\n");
  WriteFile(dir.File("x.src"),
            "$$PARTS !x!\n$$APG\n$TOP !T!\n$$SIZE \"t\x1b]0;pwned\x07\x7f\" !S!\n"
            "$$SIZE \"u\xc3\xa9\xc2\x9bm\" !U!\n$$SIZE \"v\xe9\x9bm\" !V!\n$$END\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string piped = RunOn(false, dir.path(), c.args);
    const std::string shown = RunOn(true, dir.path(), c.args);
    EXPECT_NE(piped.find(c.piped), std::string::npos) << piped;
    EXPECT_NE(shown.find(c.shown), std::string::npos) << shown;
    if (c.data) {
      EXPECT_EQ(shown, piped);
      continue;
    }
    // Nothing else on the terminal holds a control character but the tab
    // and the line feed.
    EXPECT_EQ(shown.find_first_of("\x1b\x07\x7f\x9b\r"), std::string::npos) << shown;
  }
}

}  // namespace
}  // namespace partsc::testing
