// The handlers a program installs let an interrupted read or write go on,
// so that a signal stops a run only where the run looks for it; only a wait
// that may block for long is interrupted.
#include "platform/ov_signals.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace partsc {
namespace {

bool Restarts(int signal) {
  struct sigaction action {};
  ::sigaction(signal, nullptr, &action);
  return (action.sa_flags & SA_RESTART) != 0;
}

// In a child, which may install handlers without touching this process:
// 0 when every handled signal restarts system calls, but during a wait.
int CheckHandlers() {
  OvSignals::Install();
  for (const int signal : {SIGHUP, SIGINT, SIGTERM}) {
    if (!Restarts(signal)) {
      return 1;
    }
    {
      const OvInterruptibleWait wait;
      if (Restarts(signal)) {
        return 2;
      }
    }
    if (!Restarts(signal)) {
      return 3;
    }
  }
  return 0;
}

TEST(OvSignalsTest, SystemCallsGoOnButForAnInterruptibleWait) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    _exit(CheckHandlers());
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace partsc
