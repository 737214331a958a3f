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

}  // namespace

Diagnostics::Diagnostics(OvConsole& console, std::string directory)
    : console_(console), directory_(std::move(directory)), echo_(console) {}

void Diagnostics::OpenErrorLog(std::string_view controlPath, const std::string& logName) {
  const std::string name = logName.empty() ? ErrorLogName(controlPath) : logName;
  log_.Open(OvFile::Resolve(directory_, name));
  SetReportFile(controlPath);
}

void Diagnostics::OpenErrorLogInMemory(std::string_view file) {
  log_.OpenInMemory();
  SetReportFile(file);
}

void Diagnostics::BeginInput(std::string_view inputPath) {
  input_ = std::string(inputPath);
  router_.BeginInput(input_);
  inInput_ = true;
  stop_.reset();
  inputWarning_.reset();
  afterStop_ = false;
  SetReportFile(inputPath);
  log_.Write("Input File [" + file_ + "]");
}

void Diagnostics::EndInput() {
  router_.EndInput();
  inInput_ = false;
  origin_ = Origin{};
  echo_.ClearHeading();
}

int Diagnostics::FieldColumn(char field) const {
  const size_t at = field == 0 || !position_ ? std::string_view::npos : position_->text.find(field);
  if (at == std::string_view::npos) {
    return 0;
  }
  return position_->startColumn + static_cast<int>(at);
}

DiagnosticRecord Diagnostics::MakeRecord(DiagnosticId id, std::string_view message,
                                         int logLine) const {
  const CatalogueEntry& entry = CatalogueOf(id);
  DiagnosticRecord record;
  record.id = id;
  record.file = file_;
  record.source = input_;
  record.aboutOutput = fileIsOutput_;
  record.severity = ConsequenceSeverity(entry.consequence, entry.severity);
  record.message = std::string(message);
  record.logLine = logLine;
  record.afterStop = afterStop_;
  // -Werror makes every warning an error, as compilers do.
  if (warnings_.AreErrors() && record.severity == Severity::kWarning) {
    record.severity = Severity::kError;
  }
  if (logLine > 0 && position_ && position_->logLine == logLine) {
    record.line = position_->physicalLine;
    record.column = FieldColumn(entry.field);
    record.pieceColumn = position_->startColumn;
  }
  if (PointsAtOrigin(id) && !origin_.file.empty()) {
    record.file = origin_.file;
    record.line = origin_.line;
    record.column = 0;
    record.pieceColumn = 0;
  }
  return record;
}

void Diagnostics::Emit(const DiagnosticRecord& record) {
  // -Werror counts the warnings of the error log's letter.
  if (!record.afterStop && CatalogueOf(record.id).severity == Severity::kWarning) {
    ++warningsReported_;
    if (inInput_ && !inputWarning_) {
      inputWarning_ = record;
    }
  }
  if (!record.afterStop && !stop_ && CatalogueOf(record.id).consequence != Consequence::kGoesOn) {
    stop_ = record;
  }
  router_.Route(record);
}

void Diagnostics::WriteLogLine(const std::string& line) {
  if (!afterStop_) {
    log_.Write(line);
  }
  echo_.Line(line, afterStop_);
}

void Diagnostics::ReportDiagnostic(DiagnosticId id, int lineNumber, std::string_view argument) {
  Emit(LogDiagnostic(id, lineNumber, argument));
}

void Diagnostics::ReportRefusal(DiagnosticId id, int lineNumber, std::string_view cause,
                                char field) {
  DiagnosticRecord record = LogDiagnostic(id, lineNumber, {});
  record.reason = std::string(cause);
  record.column = FieldColumn(field);
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
    WriteLogLine(
        LogLineText(entry.form, SeverityLabel(entry.severity), message, lineNumber, extra));
  }
  // The record points at the line being read where the error log shows no
  // line of its own but the message is about it.
  int logLine = entry.form == Form::kLine ? lineNumber : 0;
  if (entry.form != Form::kLine && position_ &&
      (entry.form == Form::kExtra || AboutCurrentLine(id))) {
    logLine = position_->logLine;
  }
  DiagnosticRecord record = MakeRecord(id, message, logLine);
  if (entry.form != Form::kLine) {
    record.logLine = 0;
  }
  record.extra = std::string(extra);
  return record;
}

void Diagnostics::ReportFailure(DiagnosticId id, std::string_view reason) {
  DiagnosticRecord record = LogDiagnostic(id, 0, {});
  record.reason = std::string(reason);
  // Pointed at the control-file line, the record names the source itself.
  if (PointsAtOrigin(id) && !origin_.file.empty()) {
    record.reason = OvFile::RelativeTo(DisplayDirectory(), input_) + ": " + record.reason;
  }
  Emit(record);
}

void Diagnostics::ReportRunFailure(DiagnosticId id, std::string_view consoleLine,
                                   std::string_view message, std::string_view reason) {
  echo_.Fatal(consoleLine);
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
  log_.Write("\t*** E *** " + message);
  echo_.Complain("run" + message.substr(3));
  DiagnosticRecord record = MakeRecord(DiagnosticId::kInterrupted, message, 0);
  record.file.clear();
  Emit(record);
}

void Diagnostics::ReportWarning(Warning warning, std::string_view message, int index) {
  if (!WarningEnabled(warning)) {
    return;
  }
  const int logLine = position_ ? position_->logLine : 0;
  echo_.Line(LogLineText(logLine > 0 ? Form::kLine : Form::kBare, "W", message, logLine, {}),
             afterStop_);
  DiagnosticRecord record = MakeRecord(WarningId(warning), message, logLine);
  if (logLine > 0 && index >= 0) {
    record.column = position_->startColumn + index;
  }
  Emit(record);
}

void Diagnostics::SetFormat(DiagnosticsFormat format) {
  format_ = format;
  echo_.SetShown(format == DiagnosticsFormat::kClassic);
  if (format != DiagnosticsFormat::kClassic) {
    AddSink(MakeConsoleSink(console_, format, DisplayDirectory()));
  }
}

}  // namespace partsc
