#include "driver/control_file.h"

#include <optional>
#include <utility>

#include "compiler/source_lint.h"
#include "compiler/source_pieces.h"
#include "diagnostics/diagnostics.h"
#include "driver/init_library.h"
#include "driver/run_context.h"
#include "driver/run_driver.h"
#include "platform/ov_console.h"
#include "platform/ov_escape.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_settings.h"
#include "platform/ov_signals.h"
#include "platform/ov_string_util.h"
#include "platform/ov_util.h"

namespace partsc {

namespace {

constexpr int kConsoleBuffer = 128;

// Asks for the control file name at the console. None when standard input
// ended before a name could be read.
std::optional<std::string> ReadControlName(OvConsole& console) {
  dbgprint(console, kConsoleProgress, "\n Parts Input Control File Name : ");
  std::string name;
  return console.In().Fgets(name, kConsoleBuffer) ? std::optional(std::move(name)) : std::nullopt;
}

// A comment line of the control file that is the absolute path of a file:
// meant as a source, it is not compiled.
void LintCommentLine(Diagnostics& diagnostics, const std::string& line) {
  if (diagnostics.WarningEnabled(Warning::kCommentNamesFile) && OvFile::IsFile(line)) {
    diagnostics.ReportWarning(Warning::kCommentNamesFile,
                              "Comment line " + line +
                                  " names an existing file, which is not "
                                  "compiled; name it relative to #PARTS:INP#",
                              0);
  }
}

// A run given no settings file whose control file has one beside it: said
// once on standard error, for without it the run has neither the library's
// directories nor its everyday mode. JSON lines stay JSON.
void NoteUnreadSettings(RunContext& run, const std::string& controlPath) {
  const size_t slash = controlPath.rfind('/');
  if (!run.options.settingsPath.empty() || slash == std::string::npos ||
      run.diagnostics.Format() == DiagnosticsFormat::kJson) {
    return;
  }
  const std::string settings = controlPath.substr(0, slash + 1) + kSettingsFileName;
  if (!OvFile::IsFile(settings)) {
    return;
  }
  const std::string& shownFrom = run.diagnostics.DisplayDirectory();
  const std::string shownControl = OvFile::RelativeTo(shownFrom, controlPath);
  const size_t shownSlash = shownControl.rfind('/');
  const std::string change = shownSlash == std::string::npos
                                 ? std::string()
                                 : "-C " + shownControl.substr(0, shownSlash) + " ";
  Complain(run.console,
           EscapeControls("note: the settings file " + OvFile::RelativeTo(shownFrom, settings) +
                          " beside " + shownControl + " was not read, as no -p named it; partsc " +
                          change + "-p" + kSettingsFileName + " -c " +
                          controlPath.substr(slash + 1) + " reads it"));
}

}  // namespace

void AnnounceSource(RunContext& run, const std::string& inputPath) {
  const std::string heading = "\n  Input file name\t\t" + inputPath + "\n";
  if (run.console.Quiet()) {
    run.diagnostics.SetPendingHeading(heading);
    return;
  }
  dbgprint(run.console, kConsoleProgress, "%s", heading.c_str());
}

void ReportInterruption(RunContext& run, const std::string& where) {
  run.diagnostics.ReportInterruption(OvSignals::Name(OvSignals::Caught()), where);
}

void ReportInterruptionAfter(RunContext& run, const std::string& lastInput) {
  ReportInterruption(
      run, lastInput.empty() ? "before the first source" : "after compiling " + lastInput);
}

ControlPath TakeControlPath(RunContext& run) {
  Diagnostics& diagnostics = run.diagnostics;
  const std::string& given = run.options.controlName;
  const std::optional<std::string> answer =
      given.empty() ? ReadControlName(run.console) : std::optional(given);
  const bool answered = answer.has_value();
  if (!answered && OvSignals::Caught() != 0) {
    ReportInterruption(run, "at the prompt");
    return {{}, kExitSignal + OvSignals::Caught()};
  }
  // The name as typed or given with -c, without the line end and blanks.
  std::string name = answer.value_or("");
  OvStringUtil::TrimRight(name);
  if (!answered || name.empty()) {
    // An ended input leaves the prompt's line open.
    const std::string why = answered ? "the answer is empty" : "standard input ended";
    const std::string line =
        std::string(answered ? "" : "\n") + "partsc: no control file name: " + why + "\n";
    diagnostics.ReportRunFailure(DiagnosticId::kNoControlName, line, "No control file name", why);
    return {{}, kExitStop};
  }
  ControlPath control{run.classes.ToFullPath(kClassControl, name), kExitOk};
  dbgprint(run.console, kConsoleProgress, "\n  Control file name\t\t%s\n", control.path.c_str());
  NoteUnreadSettings(run, control.path);
  return control;
}

bool OpenControlFile(RunContext& run, const std::string& controlPath, OvFileIO& control) {
  const std::optional<std::string_view> given = run.GivenText(controlPath);
  if (given ? control.FopenText(*given) : control.Fopen(controlPath, "r")) {
    return true;
  }
  Diagnostics& diagnostics = run.diagnostics;
  const std::string reason = control.ErrorText();
  diagnostics.ReportRunFailure(DiagnosticId::kControlOpen,
                               "\t*** E *** Input Control File Open Error\n",
                               "Input Control File Open Error", reason);
  if (diagnostics.Format() == DiagnosticsFormat::kClassic) {
    const std::string shown = OvFile::RelativeTo(diagnostics.DisplayDirectory(), controlPath);
    Complain(run.console, QuoteName(shown) + ": the control file cannot be opened: " + reason);
  }
  return false;
}

WalkResult WalkControlFile(RunContext& run, const std::string& controlPath, OvFileIO& control,
                           const std::function<TakenInput(const std::string&, int)>& input) {
  Diagnostics& diagnostics = run.diagnostics;
  LinePieces pieces;
  bool carriageReturnSeen = false;
  int lineNumber = 0;
  int named = 0;
  TakenInput lastInput;
  std::string line;
  // A signal, or a lock another held too long, ends the walk before the
  // next input.
  while (OvSignals::Caught() == 0 && lastInput.Ok() && control.Fgets(line, kLineBuffer)) {
    pieces.Take(line);
    TrimLineEnd(line);
    diagnostics.SetReportFile(controlPath);
    diagnostics.SetReportLine({++lineNumber, pieces.PhysicalLine(), pieces.StartColumn(), line});
    carriageReturnSeen = LintLineEnd(diagnostics, pieces, line, carriageReturnSeen);
    if (!line.empty() && line.front() == '/') {
      LintCommentLine(diagnostics, line);
    }
    diagnostics.ClearReportLine();
    if (line.empty() || line.front() == '/') {
      continue;
    }
    ++named;
    lastInput = input(line, pieces.PhysicalLine());
    dbgflush(run.console);
  }
  if (OvSignals::Caught() != 0) {
    ReportInterruptionAfter(run, lastInput.path);
  } else if (named == 0) {
    diagnostics.SetReportFile(controlPath);
    diagnostics.ReportWarning(Warning::kEmptyControl,
                              CatalogueOf(DiagnosticId::kEmptyControl).text);
  }
  return WalkResult(lastInput);
}

}  // namespace partsc
