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
  dbgprint(console_, kConsoleEcho, "%s\n", MessageWithReason(line, {}, afterStop).c_str());
}

void ConsoleEcho::Fatal(std::string_view line) {
  if (!shown_) {
    return;
  }
  PrintPendingHeading();
  dbgprint(console_, kConsoleFatal, "%.*s", static_cast<int>(line.size()), line.data());
}

void ConsoleEcho::Complain(const std::string& message) {
  if (shown_) {
    partsc::Complain(console_, message);
  }
}

}  // namespace partsc
