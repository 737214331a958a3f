#include "platform/ov_signals.h"

#include <signal.h>

#include <array>
#include <atomic>
#include <cstdio>

namespace partsc {
namespace {

constexpr std::array<int, 3> kSignals = {SIGHUP, SIGINT, SIGTERM};

// What the process's signals have done: set by the handler, read by runs.
std::atomic<int> caught{0};
std::atomic<bool> installed{false};
static_assert(std::atomic<int>::is_always_lock_free, "a handler may only touch lock-free atomics");

void Note(int signal) {
  if (caught.load() != 0) {
    // A second signal: the default action, at once.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    return;
  }
  caught.store(signal);
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
    ::sigaction(signal, &action, nullptr);
  }
}

}  // namespace

void OvSignals::Install() {
  SetHandlers(true);
  installed.store(true);
}

int OvSignals::Caught() {
  return caught.load(std::memory_order_relaxed);
}

const char* OvSignals::Name(int signal) {
  switch (signal) {
    case SIGHUP:
      return "SIGHUP";
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    default:
      return "a signal";
  }
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
