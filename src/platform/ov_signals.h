// The signals that end a run early but cleanly: SIGHUP, SIGINT and SIGTERM.
// A handler only notes the signal; the run looks at it at its safe points (a
// line of a source read, a source begun, a lock or the console waited for),
// removes or names what it was writing, says where it stopped and ends with
// 128 + the signal. A second signal ends the process at once.
#pragma once

namespace partsc {

class OvSignals {
 public:
  // Installs the handlers. The program's main does; a run inside another
  // program (a library call, a test) leaves the signals to it.
  static void Install();
  // The signal caught since Install, or 0. Signals are delivered to the
  // process, so this is the one state that all runs of the process share.
  static int Caught();
  // "SIGTERM", "SIGINT", "SIGHUP"; "a signal" for any other.
  static const char* Name(int signal);
};

// While it lives, a caught signal interrupts a wait that may block for long
// (a lock held by another run, the console) instead of letting it go on;
// outside, interrupted system calls are restarted. Nothing without Install.
class OvInterruptibleWait {
 public:
  OvInterruptibleWait();
  ~OvInterruptibleWait();
  OvInterruptibleWait(const OvInterruptibleWait&) = delete;
  OvInterruptibleWait& operator=(const OvInterruptibleWait&) = delete;
};

}  // namespace partsc
