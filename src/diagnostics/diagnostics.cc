#include "diagnostics/diagnostics.h"

#include <string>
#include <utility>
#include <vector>

#include "diagnostics/sinks.h"
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

// The error log object of the process with what listens beside it: created
// by the first reporter call, the one owner of the diagnostics of a run.
struct Channel {
  OvFileIO log;
  DiagnosticsFormat format = DiagnosticsFormat::kClassic;
  std::vector<std::unique_ptr<DiagnosticSink>> sinks;
  std::string file;
  LinePosition position;
  bool hasPosition = false;
  std::array<bool, kWarningCount> enabled{};
  bool warningsAreErrors = false;
  int warnings = 0;
};

Channel& TheChannel() {
  static Channel channel;
  return channel;
}

// Recomputes the cached answers of WarningsWanted and ReportLineWanted after
// a setting they depend on changed.
void UpdateWanted() {
  const Channel& channel = TheChannel();
  diagnostics_state::recordsWanted =
      !channel.sinks.empty() || channel.format != DiagnosticsFormat::kClassic;
  bool anyWarning = false;
  for (const bool enabled : channel.enabled) {
    anyWarning = anyWarning || enabled;
  }
  diagnostics_state::warningsWanted = anyWarning;
}

bool EchoesOnConsole() {
  return TheChannel().format == DiagnosticsFormat::kClassic;
}

// The column of the first `field` delimiter on the line being read, or 0.
int FieldColumn(char field) {
  const Channel& channel = TheChannel();
  const size_t at = field == 0 ? std::string_view::npos : channel.position.text.find(field);
  if (at == std::string_view::npos) {
    return 0;
  }
  return channel.position.startColumn + static_cast<int>(at);
}

// A record about `logLine` of the file being read (0: about the file).
DiagnosticRecord MakeRecord(DiagnosticId id, std::string_view message, int logLine) {
  const Channel& channel = TheChannel();
  DiagnosticRecord record;
  record.id = id;
  record.file = channel.file;
  record.severity = CatalogueOf(id).severity;
  record.message = std::string(message);
  record.logLine = logLine;
  if (logLine > 0 && channel.hasPosition && channel.position.logLine == logLine) {
    record.line = channel.position.physicalLine;
    record.column = FieldColumn(CatalogueOf(id).field);
  }
  return record;
}

void Emit(const DiagnosticRecord& record) {
  if (record.severity == Severity::kWarning) {
    ++TheChannel().warnings;
  }
  for (const std::unique_ptr<DiagnosticSink>& sink : TheChannel().sinks) {
    sink->Emit(record);
  }
}

// The catalogue entry of a text reported through ReportDiagnostic.
DiagnosticId IdOfText(std::string_view text) {
  for (int i = 1; i < kMessageCount; ++i) {
    if (text == MessageTable[static_cast<size_t>(i)]) {
      return i;
    }
  }
  return kDiagViewAlreadyDefined;
}

// Mode 5 messages about the line being read rather than the whole file.
bool AboutCurrentLine(DiagnosticId id) {
  return id == kMsgUnknownSizeKeyword || id == kMsgMemoryAllocateError;
}

void EmitReported(int mode, const char* severity, std::string_view text, int lineNumber,
                  std::string_view extra) {
  const Channel& channel = TheChannel();
  const DiagnosticId id = IdOfText(text);
  int logLine = mode == kDiagWithLine ? lineNumber : 0;
  if (mode != kDiagWithLine && channel.hasPosition &&
      (mode == kDiagWithExtra || AboutCurrentLine(id))) {
    logLine = channel.position.logLine;
  }
  DiagnosticRecord record = MakeRecord(id, text, logLine);
  record.severity =
      std::string_view(severity) == kSeverityError ? Severity::kError : Severity::kWarning;
  if (mode != kDiagWithLine) {
    record.logLine = 0;
  }
  record.extra = std::string(extra);
  Emit(record);
}

}  // namespace

bool ErrorLogIsOpen() {
  return TheChannel().log.IsOpen();
}

std::string ErrorLogFailure() {
  return TheChannel().log.ErrorText();
}

std::string ErrorLogName(std::string_view controlPath) {
  const size_t slash = controlPath.rfind('/');
  std::string name(slash == std::string_view::npos ? controlPath : controlPath.substr(slash + 1));
  name += ".LOG";
  return name;
}

namespace {

// The error log line of modes 3 to 5 and its echo on the console.
void WriteLogLine(int mode, const char* severity, const std::string& message, int lineNumber,
                  std::string_view extra) {
  OvFileIO& log = TheChannel().log;
  const bool echo = EchoesOnConsole();
  if (mode == kDiagWithLine) {
    log.Fprintf("\t*** %s *** %s[%d]\n", severity, message.c_str(), lineNumber);
    if (echo) {
      dbgprint(kConsoleEcho, "\t*** %s *** %s[%d]\n", severity, message.c_str(), lineNumber);
    }
    return;
  }
  if (mode == kDiagWithExtra) {
    const std::string extraText(extra);
    log.Fprintf("\t*** %s *** %s[%s]\n", severity, message.c_str(), extraText.c_str());
    if (echo) {
      dbgprint(kConsoleEcho, "\t*** %s *** %s[%s]\n", severity, message.c_str(), extraText.c_str());
    }
    return;
  }
  log.Fprintf("\t*** %s *** %s\n", severity, message.c_str());
  if (echo) {
    dbgprint(kConsoleEcho, "\t*** %s *** %s\n", severity, message.c_str());
  }
}

}  // namespace

void ReportDiagnostic(int mode, const char* severity, std::string_view text, int lineNumber,
                      std::string_view extra) {
  Channel& channel = TheChannel();
  OvFileIO& log = channel.log;
  if (mode == kDiagOpenLog) {
    log.Fclose();
    log.Fopen(ErrorLogName(text), "a");
    channel.file = std::string(text);
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
    channel.file = message;
    return;
  }
  WriteLogLine(mode, severity, message, lineNumber, extra);
  EmitReported(mode, severity, text, lineNumber, extra);
}

void SetDiagnosticsFormat(DiagnosticsFormat format) {
  TheChannel().format = format;
  if (format != DiagnosticsFormat::kClassic) {
    AddDiagnosticSink(MakeConsoleSink(format));
  }
  UpdateWanted();
}

DiagnosticsFormat CurrentDiagnosticsFormat() {
  return TheChannel().format;
}

void AddDiagnosticSink(std::unique_ptr<DiagnosticSink> sink) {
  TheChannel().sinks.push_back(std::move(sink));
  UpdateWanted();
}

bool FinishDiagnostics() {
  bool written = true;
  for (const std::unique_ptr<DiagnosticSink>& sink : TheChannel().sinks) {
    written = sink->Finish() && written;
  }
  TheChannel().sinks.clear();
  UpdateWanted();
  return written;
}

void SetReportFile(std::string_view path) {
  TheChannel().file = std::string(path);
}

void SetReportLine(const LinePosition& position) {
  TheChannel().position = position;
  TheChannel().hasPosition = true;
}

void ClearReportLine() {
  TheChannel().position = LinePosition{};
  TheChannel().hasPosition = false;
}

void ReportFailure(Message message, std::string_view reason) {
  if (!TheChannel().log.IsOpen()) {
    return;
  }
  WriteLogLine(kDiagBare, kSeverityError, MessageTable[message], 0, {});
  DiagnosticRecord record = MakeRecord(message, MessageTable[message], 0);
  record.reason = std::string(reason);
  Emit(record);
}

void ReportRunFailure(DiagnosticId id, std::string_view consoleLine, std::string_view message,
                      std::string_view reason) {
  if (EchoesOnConsole()) {
    const std::string line(consoleLine);
    dbgprint(kConsoleFatal, "%s", line.c_str());
  }
  DiagnosticRecord record = MakeRecord(id, message, 0);
  record.reason = std::string(reason);
  Emit(record);
}

void EnableWarning(Warning warning, bool enabled) {
  TheChannel().enabled[static_cast<size_t>(warning)] = enabled;
  UpdateWanted();
}

bool ApplyWarningOption(std::string_view option) {
  const bool on = !option.starts_with("no-");
  const std::string_view name = on ? option : option.substr(3);
  Warning warning = Warning::kUnknownKeyword;
  if (name == "error") {
    TheChannel().warningsAreErrors = on;
  } else if (name == "all") {
    TheChannel().enabled.fill(on);
    UpdateWanted();
  } else if (FindWarning(name, warning)) {
    EnableWarning(warning, on);
  } else {
    return false;
  }
  return true;
}

bool WarningsAreErrors() {
  return TheChannel().warningsAreErrors;
}

bool WarningEnabled(Warning warning) {
  return TheChannel().enabled[static_cast<size_t>(warning)];
}

void ReportWarning(Warning warning, std::string_view message, int index) {
  Channel& channel = TheChannel();
  if (!WarningEnabled(warning) || !channel.log.IsOpen()) {
    return;
  }
  const int logLine = channel.hasPosition ? channel.position.logLine : 0;
  const std::string text(message);
  if (EchoesOnConsole() && logLine > 0) {
    dbgprint(kConsoleEcho, "\t*** W *** %s[%d]\n", text.c_str(), logLine);
  } else if (EchoesOnConsole()) {
    dbgprint(kConsoleEcho, "\t*** W *** %s\n", text.c_str());
  }
  DiagnosticRecord record = MakeRecord(WarningId(warning), message, logLine);
  if (logLine > 0 && index >= 0) {
    record.column = channel.position.startColumn + index;
  }
  Emit(record);
}

int WarningsReported() {
  return TheChannel().warnings;
}

void ResetDiagnostics() {
  Channel& channel = TheChannel();
  channel.format = DiagnosticsFormat::kClassic;
  channel.sinks.clear();
  channel.file.clear();
  ClearReportLine();
  channel.enabled.fill(false);
  channel.warningsAreErrors = false;
  channel.warnings = 0;
  UpdateWanted();
}

}  // namespace partsc
