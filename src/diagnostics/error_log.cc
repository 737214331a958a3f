#include "diagnostics/error_log.h"

namespace partsc {

void ErrorLog::Open(const std::string& path) {
  file_.Fclose();
  file_.Fopen(path, "a");
}

void ErrorLog::OpenInMemory() {
  file_.Fclose();
  file_.FopenMemory();
}

void ErrorLog::Write(std::string_view line) {
  if (!file_.IsOpen()) {
    return;
  }
  // Texts go in as arguments, never as formats; they may hold '%'.
  const std::string text(line);
  file_.Fprintf("%s\n", text.c_str());
}

std::string ErrorLogName(std::string_view controlPath) {
  const size_t slash = controlPath.rfind('/');
  std::string name(slash == std::string_view::npos ? controlPath : controlPath.substr(slash + 1));
  name += ".LOG";
  return name;
}

std::string LogLineText(Form form, std::string_view severity, std::string_view message,
                        int lineNumber, std::string_view extra) {
  std::string line = "\t*** ";
  line.append(severity).append(" *** ").append(message);
  if (form == Form::kLine) {
    line.append("[").append(std::to_string(lineNumber)).append("]");
  } else if (form == Form::kExtra) {
    line.append("[").append(extra).append("]");
  }
  return line;
}

}  // namespace partsc
