#include "diagnostics/diagnostics.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "diagnostics/sinks.h"
#include "platform/ov_file.h"

namespace partsc {

namespace {

// Bare messages about the line being read rather than the whole file.
bool AboutCurrentLine(DiagnosticId id) {
  return id == DiagnosticId::kUnknownSizeKeyword || id == DiagnosticId::kMemoryAllocateError;
}

// Messages about a source as the control file names it: a record points at
// the control-file line that named the source.
bool PointsAtOrigin(DiagnosticId id) {
  return id == DiagnosticId::kInputFileOpenError || id == WarningId(Warning::kPartsFileTwice);
}

// Puts the records about `file` that have a line into the order of their
// lines, each in one of the places such records held; the others stay where
// they are.
void SortByLine(std::vector<DiagnosticRecord>& records, const std::string& file) {
  std::vector<size_t> places;
  std::vector<DiagnosticRecord> lined;
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].line > 0 && records[i].file == file) {
      places.push_back(i);
      lined.push_back(std::move(records[i]));
    }
  }
  std::stable_sort(
      lined.begin(), lined.end(),
      [](const DiagnosticRecord& a, const DiagnosticRecord& b) { return a.line < b.line; });
  for (size_t i = 0; i < places.size(); ++i) {
    records[places[i]] = std::move(lined[i]);
  }
}

}  // namespace

Diagnostics::Diagnostics(OvConsole& console, std::string directory)
    : console_(console), directory_(std::move(directory)) {}

std::string ErrorLogName(std::string_view controlPath) {
  const size_t slash = controlPath.rfind('/');
  std::string name(slash == std::string_view::npos ? controlPath : controlPath.substr(slash + 1));
  name += ".LOG";
  return name;
}

void Diagnostics::OpenErrorLog(std::string_view controlPath, const std::string& logName) {
  log_.Fclose();
  const std::string name = logName.empty() ? ErrorLogName(controlPath) : logName;
  log_.Fopen(OvFile::Resolve(directory_, name), "a");
  SetReportFile(controlPath);
}

void Diagnostics::OpenErrorLogInMemory(std::string_view file) {
  log_.Fclose();
  log_.FopenMemory();
  SetReportFile(file);
}

void Diagnostics::CloseErrorLog() {
  log_.Fclose();
}

void Diagnostics::BeginInput(std::string_view inputPath) {
  EndHolding();
  holding_ = true;
  input_ = std::string(inputPath);
  stop_.reset();
  inputWarning_.reset();
  SetReportFile(inputPath);
  if (!log_.IsOpen()) {
    return;
  }
  // Texts go in as arguments, never as formats; they may hold '%'.
  log_.Fprintf("Input File [%s]\n", file_.c_str());
}

void Diagnostics::EndHolding() {
  holding_ = false;
  SortByLine(held_, input_);
  for (const DiagnosticRecord& record : held_) {
    Deliver(record);
  }
  held_.clear();
}

void Diagnostics::EndInput() {
  EndHolding();
  origin_ = Origin{};
  heading_.clear();
}

void Diagnostics::SetInputOrigin(std::string_view file, int line) {
  origin_ = Origin{std::string(file), line};
}

void Diagnostics::PrintPendingHeading() {
  if (heading_.empty()) {
    return;
  }
  dbgprint(console_, kConsoleEcho, "%s", heading_.c_str());
  heading_.clear();
}

void Diagnostics::UpdateWanted() {
  recordsWanted_ = !sinks_.empty() || format_ != DiagnosticsFormat::kClassic;
  bool anyWarning = false;
  for (const bool enabled : enabled_) {
    anyWarning = anyWarning || enabled;
  }
  warningsWanted_ = anyWarning;
}

int Diagnostics::FieldColumn(char field) const {
  const size_t at = field == 0 ? std::string_view::npos : position_.text.find(field);
  if (at == std::string_view::npos) {
    return 0;
  }
  return position_.startColumn + static_cast<int>(at);
}

DiagnosticRecord Diagnostics::MakeRecord(DiagnosticId id, std::string_view message,
                                         int logLine) const {
  DiagnosticRecord record;
  record.id = id;
  record.file = file_;
  record.source = input_;
  record.aboutOutput = fileIsOutput_;
  record.severity = ConsequenceSeverity(CatalogueOf(id));
  // -Werror makes every warning an error, as compilers do.
  if (warningsAreErrors_ && record.severity == Severity::kWarning) {
    record.severity = Severity::kError;
  }
  record.message = std::string(message);
  record.logLine = logLine;
  if (logLine > 0 && hasPosition_ && position_.logLine == logLine) {
    record.line = position_.physicalLine;
    record.column = FieldColumn(CatalogueOf(id).field);
  }
  if (PointsAtOrigin(id) && !origin_.file.empty()) {
    record.file = origin_.file;
    record.line = origin_.line;
    record.column = 0;
  }
  return record;
}

void Diagnostics::Emit(const DiagnosticRecord& record) {
  // -Werror counts the warnings of the error log's letter.
  if (CatalogueOf(record.id).severity == Severity::kWarning) {
    ++warnings_;
    if (holding_ && !inputWarning_) {
      inputWarning_ = record;
    }
  }
  if (!stop_ && CatalogueOf(record.id).consequence != Consequence::kGoesOn) {
    stop_ = record;
  }
  if (holding_) {
    held_.push_back(record);
    return;
  }
  Deliver(record);
}

void Diagnostics::Deliver(const DiagnosticRecord& record) {
  for (const std::unique_ptr<DiagnosticSink>& sink : sinks_) {
    sink->Emit(record);
  }
}

void Diagnostics::WriteLogLine(Form form, std::string_view severity, const std::string& message,
                               int lineNumber, std::string_view extra) {
  const std::string label(severity);
  const bool echo = EchoesOnConsole();
  if (echo) {
    PrintPendingHeading();
  }
  if (form == Form::kLine) {
    log_.Fprintf("\t*** %s *** %s[%d]\n", label.c_str(), message.c_str(), lineNumber);
    if (echo) {
      dbgprint(console_, kConsoleEcho, "\t*** %s *** %s[%d]\n", label.c_str(), message.c_str(),
               lineNumber);
    }
    return;
  }
  if (form == Form::kExtra) {
    const std::string extraText(extra);
    log_.Fprintf("\t*** %s *** %s[%s]\n", label.c_str(), message.c_str(), extraText.c_str());
    if (echo) {
      dbgprint(console_, kConsoleEcho, "\t*** %s *** %s[%s]\n", label.c_str(), message.c_str(),
               extraText.c_str());
    }
    return;
  }
  log_.Fprintf("\t*** %s *** %s\n", label.c_str(), message.c_str());
  if (echo) {
    dbgprint(console_, kConsoleEcho, "\t*** %s *** %s\n", label.c_str(), message.c_str());
  }
}

void Diagnostics::ReportDiagnostic(DiagnosticId id, int lineNumber, std::string_view argument) {
  Emit(LogDiagnostic(id, lineNumber, argument));
}

void Diagnostics::ReportRefusal(DiagnosticId id, int lineNumber, std::string_view cause,
                                char field) {
  DiagnosticRecord record = LogDiagnostic(id, lineNumber, {});
  record.reason = std::string(cause);
  if (record.line > 0 && field != '\0') {
    record.column = FieldColumn(field);
  }
  Emit(record);
}

DiagnosticRecord Diagnostics::LogDiagnostic(DiagnosticId id, int lineNumber,
                                            std::string_view argument) {
  const CatalogueEntry& entry = CatalogueOf(id);
  const std::string message = MessageText(id, argument);
  const std::string_view extra = entry.form == Form::kExtra ? argument : std::string_view();
  // Without an error log the console shows nothing, as ever; the records
  // still go to the structured forms and count for -Werror.
  if (log_.IsOpen()) {
    WriteLogLine(entry.form, SeverityLabel(entry.severity), message, lineNumber, extra);
  }
  // The record points at the line being read where the error log shows no
  // line of its own but the message is about it.
  int logLine = entry.form == Form::kLine ? lineNumber : 0;
  if (entry.form != Form::kLine && hasPosition_ &&
      (entry.form == Form::kExtra || AboutCurrentLine(id))) {
    logLine = position_.logLine;
  }
  DiagnosticRecord record = MakeRecord(id, message, logLine);
  if (entry.form != Form::kLine) {
    record.logLine = 0;
  }
  record.extra = std::string(extra);
  return record;
}

void Diagnostics::ReportFailure(DiagnosticId id, std::string_view reason) {
  const std::string message(CatalogueOf(id).text);
  if (log_.IsOpen()) {
    WriteLogLine(Form::kBare, SeverityLabel(CatalogueOf(id).severity), message, 0, {});
  }
  DiagnosticRecord record = MakeRecord(id, message, 0);
  record.reason = std::string(reason);
  // Pointed at the control-file line, the record names the source itself.
  if (PointsAtOrigin(id) && !origin_.file.empty()) {
    record.reason = OvFile::RelativeTo(DisplayDirectory(), input_) + ": " + record.reason;
  }
  Emit(record);
}

void Diagnostics::ReportRunFailure(DiagnosticId id, std::string_view consoleLine,
                                   std::string_view message, std::string_view reason) {
  if (EchoesOnConsole()) {
    PrintPendingHeading();
    const std::string line(consoleLine);
    dbgprint(console_, kConsoleFatal, "%s", line.c_str());
  }
  DiagnosticRecord record = MakeRecord(id, message, 0);
  record.reason = std::string(reason);
  Emit(record);
}

void Diagnostics::ReportInterruption(std::string_view signalName, std::string_view where) {
  if (interrupted_) {
    return;
  }
  interrupted_ = true;
  std::string message = "Run interrupted by " + std::string(signalName);
  if (!where.empty()) {
    message.append(" ").append(where);
  }
  if (log_.IsOpen()) {
    log_.Fprintf("\t*** E *** %s\n", message.c_str());
  }
  if (EchoesOnConsole()) {
    Complain(console_, "run" + message.substr(3));
  }
  DiagnosticRecord record = MakeRecord(DiagnosticId::kInterrupted, message, 0);
  record.file.clear();
  Emit(record);
}

void Diagnostics::ReportWarning(Warning warning, std::string_view message, int index) {
  if (!WarningEnabled(warning)) {
    return;
  }
  const int logLine = hasPosition_ ? position_.logLine : 0;
  const std::string text(message);
  if (EchoesOnConsole()) {
    PrintPendingHeading();
  }
  if (EchoesOnConsole() && logLine > 0) {
    dbgprint(console_, kConsoleEcho, "\t*** W *** %s[%d]\n", text.c_str(), logLine);
  } else if (EchoesOnConsole()) {
    dbgprint(console_, kConsoleEcho, "\t*** W *** %s\n", text.c_str());
  }
  DiagnosticRecord record = MakeRecord(WarningId(warning), message, logLine);
  if (logLine > 0 && index >= 0) {
    record.column = position_.startColumn + index;
  }
  Emit(record);
}

void Diagnostics::SetFormat(DiagnosticsFormat format) {
  format_ = format;
  if (format != DiagnosticsFormat::kClassic) {
    AddSink(MakeConsoleSink(console_, format, DisplayDirectory()));
  }
  UpdateWanted();
}

void Diagnostics::AddSink(std::unique_ptr<DiagnosticSink> sink) {
  sinks_.push_back(std::move(sink));
  UpdateWanted();
}

bool Diagnostics::FinishSinks(int exitStatus) {
  EndHolding();
  bool written = true;
  for (const std::unique_ptr<DiagnosticSink>& sink : sinks_) {
    if (!sink->Finish(exitStatus)) {
      written = false;
      sinkFailures_.push_back(sink->Failure());
    }
  }
  sinks_.clear();
  UpdateWanted();
  return written;
}

void Diagnostics::EnableWarning(Warning warning, bool enabled) {
  enabled_[static_cast<size_t>(warning)] = enabled;
  UpdateWanted();
}

bool IsWarningOption(std::string_view option) {
  const std::string_view name = option.starts_with("no-") ? option.substr(3) : option;
  Warning warning = Warning::kUnknownKeyword;
  return name == "all" || name == "error" || FindWarning(name, warning);
}

bool Diagnostics::ApplyWarningOption(std::string_view option) {
  const bool on = !option.starts_with("no-");
  const std::string_view name = on ? option : option.substr(3);
  Warning warning = Warning::kUnknownKeyword;
  if (name == "error") {
    warningsAreErrors_ = on;
  } else if (name == "all") {
    enabled_.fill(on);
    UpdateWanted();
  } else if (FindWarning(name, warning)) {
    EnableWarning(warning, on);
  } else {
    return false;
  }
  return true;
}

}  // namespace partsc
