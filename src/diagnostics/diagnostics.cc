#include "diagnostics/diagnostics.h"

#include <string>

#include "platform/ov_file_io.h"
#include "platform/ov_util.h"

namespace partsc {

const std::array<const char*, kMessageCount> MessageTable = {
    " ",
    "APG List Write Error",
    "APG Name is Nothing",
    "Common data already defined",
    "Common size name too long (cut)",
    "Data Write Error",
    "Header Write Error",
    "Illegal File Delete It",
    "Illegal param defination",
    "Illegal parts defination",
    "Illegal spec defination",
    "Input File Open Error",
    "Keyword $$END not found",
    "Macro Name Nothing",
    "Macro Value Nothing",
    "Memory Allocate Error",
    "Not Parts Input File",
    "Not Parts Set Input File",
    "Parameter Char Over (cut)",
    "Parts apg list already defined",
    "Parts List Write Error",
    "Parts name already defined",
    "Parts Set name already defined",
    "Parts name not found",
    "Parts Set name not found",
    "Parts name too long (cut)",
    "Parts Set name too long (cut)",
    "Parts spec already defined",
    "Parts Set spec allredy defined",
    "Parts title too long (cut)",
    "Parts Set title too long (cut)",
    "Parts No. Nothing",
    "Parts No. isn't Constant",
    "Same Apg Name Define",
    "Size list Write Error",
    "Size title too long (cut)",
    "Size member too many",
    "Size name multiple define",
    "Size name not found",
    "Size name too long (cut)",
    "Title string too long",
    "Unknown View Keyword (Skip)",
    "Unknown View Name (Skip)",
    "View Data Write Error",
    "View Define Not Closed(not define)",
    "View Max Count Over (Skip)",
    "View Name Nothing (Skip)",
    "View Name Too Long (Cut)",
    "View Not Exist",
    "Unknown Common Keyword (Skip)",
    "Unknown Size Keyword (Skip)",
};

const std::array<ViewName, kViewCount> ViewNameTable = {{
    {"$TOP", 4},
    {"$BOTTOM", 7},
    {"$FRONT", 6},
    {"$BACK", 5},
    {"$LEFT", 5},
    {"$RIGHT", 6},
}};

namespace {

// The one error log of the process, created by the first reporter call.
OvFileIO& ErrorLog() {
  static OvFileIO log;
  return log;
}

}  // namespace

bool ErrorLogIsOpen() {
  return ErrorLog().IsOpen();
}

std::string ErrorLogFailure() {
  return ErrorLog().ErrorText();
}

std::string ErrorLogName(std::string_view controlPath) {
  const size_t slash = controlPath.rfind('/');
  std::string name(slash == std::string_view::npos ? controlPath : controlPath.substr(slash + 1));
  name += ".LOG";
  return name;
}

void ReportDiagnostic(int mode, const char* severity, std::string_view text, int lineNumber,
                      std::string_view extra) {
  OvFileIO& log = ErrorLog();
  if (mode == kDiagOpenLog) {
    log.Fclose();
    log.Fopen(ErrorLogName(text), "a");
    return;
  }
  if (mode == kDiagCloseLog) {
    log.Fclose();
    return;
  }
  if (mode < kDiagInputSection || mode > kDiagBare || !log.IsOpen()) {
    return;
  }
  // Texts go in as arguments, never as formats; they may hold '%'.
  const std::string message(text);
  if (mode == kDiagInputSection) {
    log.Fprintf("Input File [%s]\n", message.c_str());
    return;
  }
  if (mode == kDiagWithLine) {
    log.Fprintf("\t*** %s *** %s[%d]\n", severity, message.c_str(), lineNumber);
    dbgprint(kConsoleEcho, "\t*** %s *** %s[%d]\n", severity, message.c_str(), lineNumber);
    return;
  }
  if (mode == kDiagWithExtra) {
    const std::string extraText(extra);
    log.Fprintf("\t*** %s *** %s[%s]\n", severity, message.c_str(), extraText.c_str());
    dbgprint(kConsoleEcho, "\t*** %s *** %s[%s]\n", severity, message.c_str(), extraText.c_str());
    return;
  }
  log.Fprintf("\t*** %s *** %s\n", severity, message.c_str());
  dbgprint(kConsoleEcho, "\t*** %s *** %s\n", severity, message.c_str());
}

}  // namespace partsc
