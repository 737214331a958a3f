#include "platform/ov_console.h"

#include <cstdarg>

#include "platform/ov_escape.h"

namespace partsc {

OvConsole::OvConsole() {
  in_.FopenStdin();
  out_.FopenStandard(stdout);
  err_.FopenStandard(stderr);
}

OvConsole::OvConsole(InMemory memory) {
  in_.FopenText(memory.input);
  out_.FopenMemory();
  err_.FopenMemory();
}

void dbgprint(OvConsole& console, int level, const char* format, ...) {
  if (level == kConsoleProgress && console.Quiet()) {
    return;
  }
  va_list args;
  va_start(args, format);
  if (level == kConsoleFatal) {
    // What standard output holds comes first, so the console keeps the order.
    console.Out().Fflush();
    console.Err().Vfprintf(format, args);
    console.Err().Fflush();
  } else {
    console.Out().Vfprintf(format, args);
  }
  va_end(args);
}

void dbgprintData(OvConsole& console, std::string_view line) {
  console.Out().Fflush();
  console.Err().FwriteData(line);
  console.Err().FwriteData("\n");
  console.Err().Fflush();
}

void dbgflush(OvConsole& console) {
  console.Out().Fflush();
}

void Complain(OvConsole& console, const std::string& problem) {
  // One line, whatever a name or text in it holds.
  const std::string line = EscapeControls(problem);
  dbgprint(console, kConsoleFatal, "partsc: %s\n", line.c_str());
  console.NoteComplaint(line);
}

void ComplainNotWritten(OvConsole& console, const std::string& file, const std::string& reason) {
  Complain(console, file + ": cannot be written: " + reason);
}

}  // namespace partsc
