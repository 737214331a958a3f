// The error log of a run: the file the diagnostics of a control file are
// appended to, or a log kept in memory, in the classic line forms.
#pragma once

#include <string>
#include <string_view>

#include "diagnostics/catalogue.h"
#include "platform/ov_file_io.h"
#include "platform/ov_result.h"

namespace partsc {

// What came of the error log since it was last opened: every write and the
// close went through, another run held its lock longer than partsc waits,
// or an open, a write or the close failed.
enum class ErrorLogStatus { kOk, kLocked, kFailed };

class ErrorLog {
 public:
  // Opens `path` to append to, or a log in memory; a log still open is
  // closed first. A log that cannot be opened stays closed.
  void Open(const std::string& path);
  void OpenInMemory();
  void Close() { file_.Fclose(); }
  bool IsOpen() const { return file_.IsOpen(); }
  // Appends `line` and its end, when the log is open.
  void Write(std::string_view line);
  // What a log in memory holds.
  std::string Text() { return file_.MemoryText(); }
  // What came of the log since it was opened, with the system's reason
  // when the open, a write or the close failed.
  OvResult<ErrorLogStatus> State() const;

 private:
  OvFileIO file_;
};

// The name of the error log for a control file path: the part after the last
// "/" followed by ".LOG"; a path without "/" is taken whole.
std::string ErrorLogName(std::string_view controlPath);

// A line of the error log without its end: "\t*** W *** MESSAGE[LINE]",
// "...[EXTRA]" or "\t*** W *** MESSAGE", as the form of the message says.
std::string LogLineText(Form form, std::string_view severity, std::string_view message,
                        int lineNumber, std::string_view extra);

}  // namespace partsc
