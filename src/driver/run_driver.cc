#include "driver/run_driver.h"

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "compiler/compile_passes.h"
#include "compiler/source_lint.h"
#include "diagnostics/diagnostics.h"
#include "diagnostics/line_pieces.h"
#include "diagnostics/sinks.h"
#include "driver/file_actions.h"
#include "driver/run_context.h"
#include "listing/listing.h"
#include "lsp/run_server.h"
#include "partsfile/parts_file.h"
#include "platform/ov_console.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_pipe.h"
#include "platform/ov_session.h"
#include "platform/ov_settings.h"
#include "platform/ov_signals.h"
#include "platform/ov_string_util.h"
#include "platform/ov_util.h"

namespace partsc {

namespace {

constexpr int kConsoleBuffer = 128;
constexpr int kControlBuffer = 80;
constexpr const char* kRunLogName = "TALVIREN.LOG";

// Names a log that could not be written, with the system's `reason`, on
// standard error. True when there was one.
bool WriteFailureReported(OvConsole& console, const std::string& name, const std::string& reason) {
  if (reason.empty()) {
    return false;
  }
  ComplainNotWritten(console, name, reason);
  return true;
}

// Hands what standard output holds to the system and names a failure to
// write it, as GNU programs do. True when there was one.
bool StandardOutputFailed(OvConsole& console) {
  console.Out().Fflush();
  return WriteFailureReported(console, "standard output", console.Out().ErrorText());
}

// Reports the signal that ends the run, at the place `where` says.
void ReportInterruption(RunContext& run, const std::string& where) {
  run.diagnostics.ReportInterruption(OvSignals::Name(OvSignals::Caught()), where);
}

// Asks for the control file name at the console. False when standard input
// ended before a name could be read.
bool ReadControlName(OvConsole& console, std::string& name) {
  dbgprint(console, kConsoleProgress, "\n Parts Input Control File Name : ");
  return console.In().Fgets(name, kConsoleBuffer);
}

// What the walk of a control file keeps from one input to the next, and
// what it found.
struct Walk {
  RunContext& run;
  OvFileIO& runLog;
  std::set<std::string> written;  // the parts files of this run
  int named = 0;                  // inputs the control file named
  int compiled = 0;               // inputs that compiled and listed
  bool anyFailed = false;         // an input failed, or its parts file was not put in place
  std::string lastInput;          // the full path of the input begun last
  // With --atomic, the parts files that wait to be put in place.
  PendingReplacements pending;
};

// With --atomic, names each parts file that could not be put in place.
void ReportNotReplaced(Walk& walk) {
  for (const PendingReplacements::Failure& failure : walk.pending.TakeFailures()) {
    Complain(walk.run.console, failure.path + ": not replaced: " + failure.reason);
    walk.anyFailed = true;
  }
}

// A parts file written a second time in one run replaces the first.
void NoteWritten(Walk& walk, const std::string& outputPath) {
  if (outputPath.empty() || walk.written.insert(outputPath).second) {
    return;
  }
  walk.run.diagnostics.ReportWarning(Warning::kPartsFileTwice,
                                     "Parts file " + outputPath +
                                         " written again in this run: the earlier one is "
                                         "now its backup");
}

// With --atomic, the new content of a parts file that failed goes, and the
// note says what is kept. Nothing without --atomic.
void KeepPreviousFile(RunContext& run, PartsFileSink& sink, const std::string& outputPath) {
  if (!sink.Discard()) {
    return;
  }
  const bool previous = OvFile::Access(outputPath, kAccessExists) == 0;
  Complain(run.console,
           outputPath + (previous ? ": not replaced; the previous file and its backup are kept"
                                  : ": not written"));
}

// Compiles one input into `sink` and lists the new parts file; a parts file
// that cannot be read back is removed. True when the input compiled and
// listed.
bool CompileAndList(const std::string& line, Walk& walk, PartsFileSink& sink) {
  RunContext& run = walk.run;
  const std::string inputPath = run.classes.ToFullPath(kClassInput, line);
  dbgprint(run.console, kConsoleProgress, "\n  Input file name\t\t%s\n", inputPath.c_str());
  std::string outputPath;
  CompileContext context = run.Compile();
  PartsOutput output{run.classes, sink};
  const int compiled = CompilePartsSource(context, LineSource{inputPath, {}}, output, outputPath);
  walk.lastInput = inputPath;
  NoteWritten(walk, outputPath);
  if (compiled == kCompileInterrupted && !sink.Replaces() && !outputPath.empty()) {
    Complain(run.console,
             outputPath + ": incomplete: the run was interrupted while it was written");
    return false;
  }
  if (compiled != 0) {
    KeepPreviousFile(run, sink, outputPath);
    return false;
  }
  const ListResult listed = ListPartsFile(run.diagnostics, outputPath, walk.runLog,
                                          OvFile::Resolve(run.directory, sink.WrittenPath()));
  if (listed.code == 0) {
    return true;
  }
  if (!sink.Replaces() && OvFile::Access(outputPath, kAccessExists) == 0) {
    OvFile::Remove(outputPath);
  }
  run.diagnostics.SetReportFile(outputPath);
  run.diagnostics.ReportDiagnostic(DiagnosticId::kIllegalFileDelete);
  KeepPreviousFile(run, sink, outputPath);
  return false;
}

// One input, from its compile to the listing or removal of its parts file,
// which is then let go for other runs. With --atomic the parts file is
// written beside the older one and takes its place only when it listed.
bool ProcessInput(const std::string& line, Walk& walk) {
  if (!walk.run.session.Atomic()) {
    PartsFileSink sink;
    const bool done = CompileAndList(line, walk, sink);
    sink.Release();
    return done;
  }
  auto sink = std::make_unique<ReplacingPartsFileSink>(walk.pending);
  const bool done = CompileAndList(line, walk, *sink);
  if (done) {
    walk.pending.Add(std::move(sink));
  } else {
    sink->Release();
  }
  ReportNotReplaced(walk);
  return done;
}

// Walks the control file, input by input, into `walk`.
void WalkControlFile(Walk& walk, const std::string& controlPath, OvFileIO& control) {
  RunContext& run = walk.run;
  Diagnostics& diagnostics = run.diagnostics;
  LinePieces pieces;
  bool carriageReturnSeen = false;
  int lineNumber = 0;
  std::string line;
  // A signal ends the walk before the next input.
  while (OvSignals::Caught() == 0 && control.Fgets(line, kControlBuffer)) {
    pieces.Take(line);
    TrimLineEnd(line);
    diagnostics.SetReportFile(controlPath);
    diagnostics.SetReportLine({++lineNumber, pieces.PhysicalLine(), pieces.StartColumn(), line});
    LintLineEnd(diagnostics, pieces, line, carriageReturnSeen);
    diagnostics.ClearReportLine();
    if (line.empty() || line.front() == '/') {
      continue;
    }
    ++walk.named;
    if (ProcessInput(line, walk)) {
      ++walk.compiled;
    } else {
      walk.anyFailed = true;
    }
    dbgflush(run.console);
  }
  // The files that compiled and listed take their names, also after a
  // signal.
  walk.pending.Finish();
  ReportNotReplaced(walk);
  if (OvSignals::Caught() != 0) {
    ReportInterruption(run, walk.lastInput.empty() ? "before the first source"
                                                   : "after compiling " + walk.lastInput);
    return;
  }
  if (walk.named == 0) {
    diagnostics.SetReportFile(controlPath);
    diagnostics.ReportWarning(Warning::kEmptyControl,
                              CatalogueOf(DiagnosticId::kEmptyControl).text);
  }
}

// The exit status of a run that walked its control file to the end. With
// --strict, and with -Werror (an error is never weaker than a warning), a
// run fails when an input failed, when it compiled nothing, or when an
// output could not be written; with -Werror also when it warned.
int WalkedRunStatus(const RunContext& run, const Walk& walk, bool outputFailed) {
  const Diagnostics& diagnostics = run.diagnostics;
  const bool strict = run.session.Strict() || diagnostics.WarningsAreErrors();
  const bool failed = walk.anyFailed || walk.compiled == 0 || outputFailed;
  const bool warned = diagnostics.WarningsAreErrors() && diagnostics.WarningsReported() > 0;
  return (strict && failed) || warned ? kExitFailed : kExitOk;
}

// The run of a control file: named with -c, or asked for at the prompt.
int CompileControlFile(RunContext& run) {
  const OvSession& session = run.session;
  Diagnostics& diagnostics = run.diagnostics;
  std::string name = session.ControlName();
  const bool answered = !name.empty() || ReadControlName(run.console, name);
  if (!answered && OvSignals::Caught() != 0) {
    ReportInterruption(run, "at the prompt");
    return kExitSignal + OvSignals::Caught();
  }
  if (!answered) {
    const std::string line = "\npartsc: no control file name: standard input ended\n";
    diagnostics.ReportRunFailure(DiagnosticId::kNoControlName, line, "No control file name",
                                 "standard input ended");
    return kExitStop;
  }
  // The name as typed or given with -c, without the line end and blanks.
  OvStringUtil::TrimRight(name);
  if (name.empty()) {
    const std::string line = "partsc: no control file name: the answer is empty\n";
    diagnostics.ReportRunFailure(DiagnosticId::kNoControlName, line, "No control file name",
                                 "the answer is empty");
    return kExitStop;
  }
  const std::string controlPath = run.classes.ToFullPath(kClassControl, name);
  dbgprint(run.console, kConsoleProgress, "\n  Control file name\t\t%s\n", controlPath.c_str());
  diagnostics.OpenErrorLog(controlPath);
  // An error log that cannot be opened is named at once; one that was opened
  // and could not be written at the end.
  const bool errorLogOpened = diagnostics.ErrorLogIsOpen();
  if (!errorLogOpened) {
    Complain(run.console,
             ErrorLogName(controlPath) + ": cannot be opened: " + diagnostics.ErrorLogFailure());
  }

  OvFileIO control;
  if (!control.Fopen(controlPath, "r")) {
    diagnostics.ReportRunFailure(DiagnosticId::kControlOpen,
                                 "\t*** E *** Input Control File Open Error\n",
                                 "Input Control File Open Error", LastSystemError());
    diagnostics.CloseErrorLog();
    return kExitStop;
  }
  OvFileIO runLog;
  if (!runLog.Fopen(OvFile::Resolve(run.directory, kRunLogName), "w")) {
    diagnostics.ReportRunFailure(DiagnosticId::kRunLogOpen, "Log file TALVIREN.LOG open error\n",
                                 "Log file TALVIREN.LOG open error", LastSystemError());
    control.Fclose();
    diagnostics.CloseErrorLog();
    return kExitStop;
  }
  Walk walk{run, runLog, {}, 0, 0, false, {}, {}};
  WalkControlFile(walk, controlPath, control);
  control.Fclose();
  runLog.Fclose();
  diagnostics.CloseErrorLog();
  bool outputFailed = !errorLogOpened;
  outputFailed |= WriteFailureReported(run.console, kRunLogName, runLog.ErrorText());
  if (errorLogOpened) {
    outputFailed |=
        WriteFailureReported(run.console, ErrorLogName(controlPath), diagnostics.ErrorLogFailure());
  }
  outputFailed |= StandardOutputFailed(run.console);
  if (OvSignals::Caught() != 0) {
    ReportInterruption(run, "at the end of the run");
    return kExitSignal + OvSignals::Caught();
  }
  return WalkedRunStatus(run, walk, outputFailed);
}

// The diagnostics options of the command line; false with `problem` set when
// a -W option names no warning.
bool SetUpDiagnostics(RunContext& run, std::string& problem) {
  const OvSession& session = run.session;
  Diagnostics& diagnostics = run.diagnostics;
  const std::string& format = session.DiagnosticsFormat();
  if (format == "gnu") {
    diagnostics.SetFormat(DiagnosticsFormat::kGnu);
  } else if (format == "json") {
    diagnostics.SetFormat(DiagnosticsFormat::kJson);
  }
  if (!session.SarifPath().empty()) {
    diagnostics.AddSink(MakeSarifSink(run.console, session.SarifPath(), run.directory));
  }
  for (const std::string& option : session.WarningOptions()) {
    if (!diagnostics.ApplyWarningOption(option)) {
      problem = "unknown warning option '-W" + option + "'";
      return false;
    }
  }
  return true;
}

// A refused command line: what is wrong and where help is, in the words of
// GNU programs, around the usage line.
int RefuseCommandLine(OvConsole& console, int argc, char** argv, const std::string& problem) {
  const std::string program = argc > 0 && argv[0] != nullptr ? argv[0] : "partsc";
  const std::string shortName = program.substr(program.rfind('/') + 1);
  if (!problem.empty()) {
    Complain(console, problem);
  }
  dbgprint(console, kConsoleFatal, "Usage: %s -pORVA.SET\n", program.c_str());
  dbgprint(console, kConsoleFatal, "Try '%s --help' for more information.\n", shortName.c_str());
  return kExitStop;
}

// The compile of a control file with the diagnostics the command line asked
// for; a SARIF log that cannot be written fails the run.
int CompileWithDiagnostics(RunContext& run) {
  const int status = CompileControlFile(run);
  const bool written = run.diagnostics.FinishSinks();
  return written || status != kExitOk ? status : kExitFailed;
}

// Takes the directories named with -C in turn, each from the one before,
// into `directory`. False after one complaint.
bool ChangeDirectories(OvConsole& console, const OvSession& session, std::string& directory) {
  for (const std::string& named : session.Directories()) {
    std::string reason;
    if (!OvFile::ChangeDirectory(directory, named, directory, reason)) {
      Complain(console, named + ": cannot change to the directory: " + reason);
      return false;
    }
  }
  return true;
}

// --lsp: the language server on standard input and output. A settings file
// with a problem does not stop it: each document's diagnostics name it.
int ServeLanguage(RunContext& run) {
  lsp::ServerOptions options;
  options.settingsPath = run.session.SettingsPath();
  options.directory = run.directory;
  OvPipe pipe = OvPipe::Standard();
  return lsp::RunLanguageServer(pipe, std::move(options));
}

int RunActions(RunContext& run, int argc, char** argv) {
  if (run.session.Action() == OvAction::kLsp) {
    return ServeLanguage(run);
  }
  std::string problem;
  if (!SetUpDiagnostics(run, problem)) {
    return RefuseCommandLine(run.console, argc, argv, problem);
  }
  if (initfiles(run.console, run.session, run.directory, run.classes) != 0) {
    return kExitStop;
  }
  const OvSession& session = run.session;
  int status = kExitOk;
  switch (session.Action()) {
    case OvAction::kList:
      status = ListFiles(run, session.ListFiles());
      break;
    case OvAction::kDecompile:
      status = Decompile(run, session.DecompileFile(), session.DecompileOutput());
      break;
    case OvAction::kExplain:
      status = ExplainDiagnostic(run.console, session.ExplainName());
      break;
    case OvAction::kCompile:
    case OvAction::kLsp:
      return CompileWithDiagnostics(run);
  }
  if (OvSignals::Caught() != 0) {
    ReportInterruption(run, "");
    return kExitSignal + OvSignals::Caught();
  }
  // An action whose output did not reach standard output failed.
  return StandardOutputFailed(run.console) ? kExitFailed : status;
}

}  // namespace

int RunPartsc(int argc, char** argv, OvConsole& console, const std::string& startDirectory) {
  OvSession session;
  if (!session.ParseCommandLine(argc, argv, console)) {
    return RefuseCommandLine(console, argc, argv, session.Refusal());
  }
  if (session.ExitRequested()) {
    return StandardOutputFailed(console) ? kExitFailed : kExitOk;
  }
  console.SetQuiet(session.Quiet());
  std::string directory = startDirectory.empty() ? OvFile::CurrentDirectory() : startDirectory;
  if (!ChangeDirectories(console, session, directory)) {
    return kExitStop;
  }
  const auto run = std::make_unique<RunContext>(console, std::move(session), std::move(directory));
  return RunActions(*run, argc, argv);
}

}  // namespace partsc
