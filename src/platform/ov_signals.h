// The signals that end a run early but cleanly: SIGHUP, SIGINT and SIGTERM,
// and SIGPIPE (standard output's reader went) and SIGXFSZ (a write reached
// the file-size limit), whose write fails as any other that cannot be done.
// A handler only notes the signal; the run looks at it at its safe points (a
// line of a source read, a source begun, a lock or the console waited for),
// removes or names what it was writing, says where it stopped and ends with
// 128 + the signal. A second SIGHUP, SIGINT or SIGTERM ends the process at
// once.
#pragma once

namespace partsc {

class OvSignals {
 public:
  // Installs the handlers. The program's main does; a run inside another
  // program (a library call, a test) leaves the signals to it. A signal
  // that is ignored when the process starts (nohup; a parent that ignores
  // SIGXFSZ, so that a write beyond the file-size limit fails as on a full
  // disk) stays ignored.
  static void Install();
  // The signal caught since Install, or 0. Signals are delivered to the
  // process, so this is the one state that all runs of the process share.
  static int Caught();
  // "SIGTERM", "SIGINT", "SIGHUP", "SIGPIPE", "SIGXFSZ"; "a signal" for any
  // other.
  static const char* Name(int signal);
  // Opens /dev/null on each of the standard descriptors (input, output,
  // error) that is closed, so that no file the process opens takes its
  // number. The program's main does it before anything else.
  static void OpenStandardDescriptors();
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
