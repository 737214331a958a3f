// The classic console of diagnostics: the error log's lines echoed at level
// 3, a run's fixed failure lines at level 4, and under -q the progress line
// of an input held back until its first diagnostic.
#pragma once

#include <string>
#include <string_view>

#include "platform/ov_console.h"

namespace partsc {

class ConsoleEcho {
 public:
  explicit ConsoleEcho(OvConsole& console) : console_(console) {}

  // Whether diagnostics show on the console (the classic format).
  void SetShown(bool shown) { shown_ = shown; }
  // -q: `heading` is printed before the first line echoed, and only then.
  void SetPendingHeading(std::string heading) { heading_ = std::move(heading); }
  void ClearHeading() { heading_.clear(); }
  // An error log line (without its end), with the note of a record found
  // after the compile stopped.
  void Line(const std::string& line, bool afterStop);
  // A run's fixed console line, its end included.
  void Fatal(std::string_view line) { Print(kConsoleFatal, line, ""); }
  // A message of partsc's own on standard error.
  void Complain(const std::string& message);

 private:
  // Prints `text` (up to a zero byte, as "%s" does) and `end` at `level`,
  // after the pending heading, when diagnostics show on the console.
  void Print(int level, std::string_view text, const char* end);

  OvConsole& console_;
  bool shown_ = true;
  std::string heading_;
};

}  // namespace partsc
