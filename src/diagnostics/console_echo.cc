#include "diagnostics/console_echo.h"

#include "diagnostics/diagnostics_record.h"

namespace partsc {

void ConsoleEcho::Line(const std::string& line, bool afterStop) {
  Print(kConsoleEcho, MessageWithReason(line, {}, afterStop), "\n");
}

void ConsoleEcho::Print(int level, std::string_view text, const char* end) {
  if (!shown_) {
    return;
  }
  if (!heading_.empty()) {
    dbgprint(console_, kConsoleEcho, "%s", heading_.c_str());
    heading_.clear();
  }
  dbgprint(console_, level, "%.*s%s", static_cast<int>(text.size()), text.data(), end);
}

void ConsoleEcho::Complain(const std::string& message) {
  if (shown_) {
    partsc::Complain(console_, message);
  }
}

}  // namespace partsc
