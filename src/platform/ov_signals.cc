#include "platform/ov_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>

namespace partsc {
namespace {

constexpr std::array<int, 5> kSignals = {SIGHUP, SIGINT, SIGTERM, SIGPIPE, SIGXFSZ};

// What the process's signals have done: set by the handler, read by runs.
std::atomic<int> caught{0};
std::atomic<bool> installed{false};
static_assert(std::atomic<int>::is_always_lock_free, "a handler may only touch lock-free atomics");

// SIGPIPE and SIGXFSZ come again with every write that follows the first
// (to a reader that went, beyond the file-size limit): only the signals a
// user sends end the process when they come a second time.
bool SentByAUser(int signal) {
  return signal == SIGHUP || signal == SIGINT || signal == SIGTERM;
}

void Note(int signal) {
  int none = 0;
  if (caught.compare_exchange_strong(none, signal) || !SentByAUser(signal)) {
    return;
  }
  // A second signal: the default action, at once.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// The signals that were ignored when the process started (nohup, a parent
// that wants a failed write rather than SIGXFSZ): they stay ignored.
std::atomic<unsigned> ignoredAtStart{0};

bool IgnoredAtStart(int signal) {
  return (ignoredAtStart.load() & (1u << signal)) != 0;
}

// Sets the handler of every signal; `restart` lets interrupted system calls
// go on.
void SetHandlers(bool restart) {
  struct sigaction action {};
  action.sa_handler = Note;
  sigemptyset(&action.sa_mask);
  for (const int signal : kSignals) {
    sigaddset(&action.sa_mask, signal);
  }
  action.sa_flags = restart ? SA_RESTART : 0;
  for (const int signal : kSignals) {
    if (!IgnoredAtStart(signal)) {
      ::sigaction(signal, &action, nullptr);
    }
  }
}

}  // namespace

void OvSignals::Install() {
  unsigned ignored = 0;
  for (const int signal : kSignals) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
      ignored |= 1u << signal;
    }
  }
  ignoredAtStart.store(ignored);
  SetHandlers(true);
  installed.store(true);
}

int OvSignals::Caught() {
  return caught.load(std::memory_order_relaxed);
}

void OvSignals::OpenStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
      continue;
    }
    // The lowest free number: this one, as those below it are open.
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      ::close(opened);
    }
  }
}

const char* OvSignals::Name(int signal) {
  constexpr std::array<const char*, kSignals.size()> kNames = {"SIGHUP", "SIGINT", "SIGTERM",
                                                               "SIGPIPE", "SIGXFSZ"};
  const auto* found = std::find(kSignals.begin(), kSignals.end(), signal);
  return found == kSignals.end() ? "a signal"
                                 : kNames[static_cast<size_t>(found - kSignals.begin())];
}

OvInterruptibleWait::OvInterruptibleWait() {
  if (installed.load()) {
    SetHandlers(false);
  }
}

OvInterruptibleWait::~OvInterruptibleWait() {
  if (installed.load()) {
    SetHandlers(true);
  }
}

}  // namespace partsc
