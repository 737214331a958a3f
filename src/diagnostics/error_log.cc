#include "diagnostics/error_log.h"

#include "platform/ov_util.h"

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
  file_.Fprintf("%.*s\n", static_cast<int>(line.size()), line.data());
}

OvResult<ErrorLogStatus> ErrorLog::State() const {
  const int error = file_.Error();
  const ErrorLogStatus status = error == 0                ? ErrorLogStatus::kOk
                                : error == kRefusedLocked ? ErrorLogStatus::kLocked
                                                          : ErrorLogStatus::kFailed;
  return {status, file_.ErrorText()};
}

std::string ErrorLogName(std::string_view controlPath) {
  const size_t slash = controlPath.rfind('/');
  return std::string(slash == std::string_view::npos ? controlPath
                                                     : controlPath.substr(slash + 1)) +
         ".LOG";
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
