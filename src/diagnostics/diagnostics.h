// Diagnostics: the error log of a run with what listens beside it.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "diagnostics/catalogue.h"
#include "diagnostics/console_echo.h"
#include "diagnostics/diagnostics_record.h"
#include "diagnostics/error_log.h"
#include "diagnostics/record_router.h"
#include "diagnostics/warning_set.h"
#include "platform/ov_console.h"

namespace partsc {

// How diagnostics show on the console: the error-log lines echoed on standard
// output (the default), or one record a line on standard error instead.
enum class DiagnosticsFormat { kClassic, kGnu, kJson };

// The line being read: the number the error log counts (pieces of at most
// 79 characters), the line in the file, and the column of the piece's first
// character. `text` stays valid until the next line is read.
struct LinePosition {
  int logLine = 0;
  int physicalLine = 0;
  int startColumn = 1;
  std::string_view text;
};

// The diagnostics of one run: what each report becomes in the error log
// (ErrorLog), on the console (ConsoleEcho) and as a record for the sinks
// (RecordRouter), with the warnings that are on (WarningSet) and what the
// diagnostics point at.
class Diagnostics {
 public:
  // `directory` is the run's current directory: the error log is made there,
  // and the structured formats show the paths below it relative to it.
  Diagnostics(OvConsole& console, std::string directory);
  Diagnostics(const Diagnostics&) = delete;
  Diagnostics& operator=(const Diagnostics&) = delete;

  // The directory the structured formats show paths relative to: the one
  // partsc was started in, also after -C. The run's directory until set.
  void SetDisplayDirectory(std::string directory) { displayDirectory_ = std::move(directory); }
  const std::string& DisplayDirectory() const {
    return displayDirectory_.empty() ? directory_ : displayDirectory_;
  }

  // Opens the error log of a control file, appended to: `logName` (taken
  // from the run's directory), or when it is empty the part of the control
  // file's path after the last "/" followed by ".LOG". A log still open is
  // closed first. A log that cannot be opened is not reported.
  void OpenErrorLog(std::string_view controlPath, const std::string& logName = {});
  // An error log kept in memory, for a compile that writes no file: what it
  // is given shows in ErrorLogText. Diagnostics then point at `file`.
  void OpenErrorLogInMemory(std::string_view file);
  std::string ErrorLogText() { return log_.Text(); }
  void CloseErrorLog() { log_.Close(); }
  // Starts the section of one input: "Input File [%s]" with its path.
  // From here to EndInput the records of the input are held back, and
  // EndInput hands them to the sinks in the order of their lines.
  void BeginInput(std::string_view inputPath);
  void EndInput();
  // The control-file line that named the input: a source that cannot be
  // opened, or whose parts file is written twice, is pointed at there. Set
  // before BeginInput; EndInput forgets it.
  void SetInputOrigin(std::string_view file, int line) { origin_ = {std::string(file), line}; }
  // The first diagnostic of the input after which its compile stopped or
  // its parts file was not written; null when there was none.
  const DiagnosticRecord* StopRecord() const { return stop_ ? &*stop_ : nullptr; }
  // From here to the next BeginInput, what is reported was found after the
  // compile stopped: its records say so, it goes to no error log, and it
  // counts for no warning; the console shows it with that note.
  void BeginAfterStop() { afterStop_ = true; }
  // The first warning of the input (by the error log's letter, as -Werror
  // counts them); null when there was none.
  const DiagnosticRecord* InputWarning() const { return inputWarning_ ? &*inputWarning_ : nullptr; }
  // -q: `heading` (the input's progress line) is printed on the console
  // before the first diagnostic echoed there, and only then.
  void SetPendingHeading(std::string heading) { echo_.SetPendingHeading(std::move(heading)); }

  // Reports a diagnostic to the error log and, the same line, to the console,
  // in the form its catalogue entry gives: with `lineNumber`, with `argument`
  // as the extra text, or bare; `argument` also fills a made text ("$TOP
  // already defined"). While no error log is open nothing is written at all,
  // console included.
  void ReportDiagnostic(DiagnosticId id, int lineNumber = 0, std::string_view argument = {});
  // The same, for a line refused for one of several causes: the error log
  // and the console show the line as ReportDiagnostic does; the record also
  // names `cause` ("param name of 8 characters, at most 6") as its reason
  // and points at the field `field` opens ('\0': at the line).
  void ReportRefusal(DiagnosticId id, int lineNumber, std::string_view cause, char field);
  // A bare message with the system's reason for a failed open or write.
  void ReportFailure(DiagnosticId id, std::string_view reason);
  // A failure of the whole run (the control file, the run log, a parts file
  // that cannot be opened): its fixed console line at level 4 in the classic
  // format, a record otherwise.
  void ReportRunFailure(DiagnosticId id, std::string_view consoleLine, std::string_view message,
                        std::string_view reason);
  // The run was ended by the signal named `signalName` (SIGTERM) at the
  // place `where` says ("while compiling PATH, after line 12"): a line in the
  // error log, one on standard error (a record in the GNU and JSON formats),
  // and a record for the sinks. Only the first call of a run reports.
  void ReportInterruption(std::string_view signalName, std::string_view where);
  // Reports an enabled warning about the line being read (`index`: the
  // character it is about, or -1), or about the file when no line is being
  // read. In the classic format it shows on the console only, as a "W" line.
  void ReportWarning(Warning warning, std::string_view message, int index = -1);

  // Structured output: the format of the console, and sinks beside it (the
  // console's own sink is made here).
  void SetFormat(DiagnosticsFormat format);
  DiagnosticsFormat Format() const { return format_; }
  void AddSink(std::unique_ptr<DiagnosticSink> sink) { router_.AddSink(std::move(sink)); }
  void AddSink(DiagnosticSink& sink) { router_.AddSink(sink); }
  // Ends every sink, telling it the run's exit status, and drops them; what
  // they could not write ("FILE: REASON"), empty when all was written.
  std::vector<std::string> FinishSinks(int exitStatus) { return router_.Finish(exitStatus); }
  // Tells every sink how the run ends, before FinishSinks.
  void SetRunOutcome(int exitCode, bool completed, const std::vector<std::string>& notWritten) {
    router_.SetOutcome(exitCode, completed, notWritten);
  }

  // Warnings for silent changes: off until enabled.
  bool WarningEnabled(Warning warning) const { return warnings_.Enabled(warning); }
  // One -W option without its "-W": "all", "error", "NAME" or "no-NAME"
  // (also "no-all", "no-error"); false for a name that is no warning.
  bool ApplyWarningOption(std::string_view option) { return warnings_.Apply(option); }
  // -Werror: a run that reported any warning ends with 1, a source that
  // reported one failed, and the structured formats call each an error.
  bool WarningsAreErrors() const { return warnings_.AreErrors(); }
  // Warnings of any kind reported since the run began.
  int WarningsReported() const { return warningsReported_; }

  // Whether any warning is on: the line checks of the compile are skipped
  // otherwise.
  bool WarningsWanted() const { return warnings_.AnyEnabled(); }
  // Whether the line being read matters: a record names it, a warning may
  // point at it, or the summary of the run names it.
  bool ReportLineWanted() const {
    return router_.HasSinks() || format_ != DiagnosticsFormat::kClassic || WarningsWanted() ||
           linesWanted_;
  }
  // Asks that every diagnostic know its line, as the summary of a run needs.
  void WantLines() { linesWanted_ = true; }

  // What diagnostics point at: the file (OpenErrorLog and BeginInput set it
  // too) and the line being read.
  void SetReportFile(std::string_view path) {
    file_ = std::string(path);
    fileIsOutput_ = false;
  }
  // The same for a file the run writes: its records say so (aboutOutput).
  void SetReportOutput(std::string_view path) {
    file_ = std::string(path);
    fileIsOutput_ = true;
  }
  void SetReportLine(const LinePosition& position) { position_ = position; }
  void ClearReportLine() { position_.reset(); }

  // Whether the error log is open now.
  bool ErrorLogIsOpen() const { return log_.IsOpen(); }
  // What came of the error log since it was last opened: kOk, kLocked when
  // another run held it longer than partsc waits, or kFailed with the
  // system's reason for a failed open, write or close.
  OvResult<ErrorLogStatus> ErrorLogState() const { return log_.State(); }

 private:
  // Writes a line of the error log (none after the compile stopped) and
  // echoes it.
  void WriteLogLine(const std::string& line);
  int FieldColumn(char field) const;
  DiagnosticRecord MakeRecord(DiagnosticId id, std::string_view message, int logLine) const;
  // Writes the log line of a diagnostic and makes its record.
  DiagnosticRecord LogDiagnostic(DiagnosticId id, int lineNumber, std::string_view argument);
  // Notes what the record tells of the input (its stop, its first warning)
  // and routes it.
  void Emit(const DiagnosticRecord& record);

  OvConsole& console_;
  std::string directory_;
  std::string displayDirectory_;
  ErrorLog log_;
  ConsoleEcho echo_;
  RecordRouter router_;
  WarningSet warnings_;
  DiagnosticsFormat format_ = DiagnosticsFormat::kClassic;
  std::string file_;
  bool fileIsOutput_ = false;             // file_ is one the run writes
  std::optional<LinePosition> position_;  // the line being read
  int warningsReported_ = 0;
  bool interrupted_ = false;
  bool linesWanted_ = false;  // WantLines
  struct Origin {
    std::string file;
    int line = 0;
  };
  Origin origin_;
  std::optional<DiagnosticRecord> stop_;
  std::optional<DiagnosticRecord> inputWarning_;
  std::string input_;       // the input since BeginInput
  bool inInput_ = false;    // between BeginInput and EndInput
  bool afterStop_ = false;  // the input's compile has stopped
};

}  // namespace partsc
