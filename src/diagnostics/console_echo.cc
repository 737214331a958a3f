#include "diagnostics/console_echo.h"

#include "diagnostics/diagnostics_record.h"

namespace partsc {

void ConsoleEcho::PrintPendingHeading() {
  if (heading_.empty()) {
    return;
  }
  dbgprint(console_, kConsoleEcho, "%s", heading_.c_str());
  heading_.clear();
}

void ConsoleEcho::Line(const std::string& line, bool afterStop) {
  if (!shown_) {
    return;
  }
  PrintPendingHeading();
  if (afterStop) {
    dbgprint(console_, kConsoleEcho, "%s (%s)\n", line.c_str(),
             std::string(kAfterStopNote).c_str());
    return;
  }
  dbgprint(console_, kConsoleEcho, "%s\n", line.c_str());
}

void ConsoleEcho::Fatal(std::string_view line) {
  if (!shown_) {
    return;
  }
  PrintPendingHeading();
  const std::string text(line);
  dbgprint(console_, kConsoleFatal, "%s", text.c_str());
}

void ConsoleEcho::Complain(const std::string& message) {
  if (shown_) {
    partsc::Complain(console_, message);
  }
}

}  // namespace partsc
