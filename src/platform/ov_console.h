// The console of one run: its standard input, output and error, and
// dbgprint, which writes to it by level.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ov_file_io.h"

namespace partsc {

// Levels of dbgprint.
inline constexpr int kConsoleProgress = 2;
inline constexpr int kConsoleEcho = 3;
inline constexpr int kConsoleFatal = 4;

class OvConsole {
 public:
  // The process's standard input, output and error.
  OvConsole();
  // A console in memory: standard input gives `input`, and what the run
  // writes to standard output and error is kept for OutText and ErrText.
  struct InMemory {
    std::string_view input;
  };
  explicit OvConsole(InMemory memory);
  OvConsole(const OvConsole&) = delete;
  OvConsole& operator=(const OvConsole&) = delete;

  OvFileIO& In() { return in_; }
  // Standard output and error each escape the control characters of what
  // they write when they are a terminal (OvFileIO::FopenStandard); a console
  // in memory is none.
  OvFileIO& Out() { return out_; }
  OvFileIO& Err() { return err_; }
  // What a console in memory was given on standard output and error so far.
  std::string OutText() { return out_.MemoryText(); }
  std::string ErrText() { return err_.MemoryText(); }

  // -q: no progress lines (level 2).
  void SetQuiet(bool quiet) { quiet_ = quiet; }
  bool Quiet() const { return quiet_; }

  // The problems Complain wrote, in order: a log written for another
  // program names them again.
  void NoteComplaint(std::string problem) { complaints_.push_back(std::move(problem)); }
  const std::vector<std::string>& Complaints() const { return complaints_; }

 private:
  OvFileIO in_;
  OvFileIO out_;
  OvFileIO err_;
  bool quiet_ = false;
  std::vector<std::string> complaints_;
};

// Console output by level: 2 progress lines (standard output; nothing while
// the console is quiet), 3 diagnostic echoes (standard output, never
// silenced), 4 fatal errors (standard error). Standard output is buffered as
// the C library does it (line by line on a terminal, in blocks into a file or
// a pipe) and flushed before a fatal error is written, before standard input
// is read and at exit, so the console shows everything in the order written.
void dbgprint(OvConsole& console, int level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
// One line of a document for another program (a JSON line) on standard
// error, in order with standard output as level 4 keeps it; its bytes are
// written as they stand, on a terminal too.
void dbgprintData(OvConsole& console, std::string_view line);
// Sends what the console holds on its way now; the driver calls it after each
// input, so that a run piped into another program shows its progress source
// by source.
void dbgflush(OvConsole& console);

// One line on standard error: "partsc: " and the problem, whatever name the
// program was started by; its control characters (a line feed in a name)
// are shown as "\xHH", so that it stays one line.
void Complain(OvConsole& console, const std::string& problem);
// The same for an output that could not be written: "FILE: cannot be
// written: REASON".
void ComplainNotWritten(OvConsole& console, const std::string& file, const std::string& reason);

}  // namespace partsc
