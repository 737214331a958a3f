#include "driver/run_driver.h"

#include <algorithm>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compiler/compile_passes.h"
#include "diagnostics/diagnostics.h"
#include "diagnostics/sinks.h"
#include "driver/control_file.h"
#include "driver/file_actions.h"
#include "driver/init_library.h"
#include "driver/option_table.h"
#include "driver/run_context.h"
#include "driver/run_summary.h"
#include "listing/listing.h"
#include "lsp/run_server.h"
#include "partsfile/parts_file.h"
#include "platform/ov_console.h"
#include "platform/ov_escape.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_lock.h"
#include "platform/ov_pipe.h"
#include "platform/ov_signals.h"
#include "platform/ov_util.h"
#include "storage/file_sinks.h"
#include "storage/whole_file.h"

namespace partsc {

namespace {

constexpr const char* kRunLogName = "TALVIREN.LOG";

// Names an output that could not be written, with the system's `reason`,
// on standard error, and in the summary of a compile run when there is one.
// True when there was one.
bool WriteFailureReported(OvConsole& console, const std::string& name, const std::string& reason,
                          RunSummary* summary = nullptr) {
  if (reason.empty()) {
    return false;
  }
  ComplainNotWritten(console, name, reason);
  if (summary != nullptr) {
    summary->notWritten.push_back(name + ": " + reason);
  }
  return true;
}

// Hands what standard output holds to the system and names a failure to
// write it, as GNU programs do. True when there was one.
bool StandardOutputFailed(OvConsole& console, RunSummary* summary = nullptr) {
  console.Out().Fflush();
  return WriteFailureReported(console, "standard output", console.Out().ErrorText(), summary);
}

// A note on standard error about an input or its parts file. JSON lines
// stay JSON: there the summary's object says the same.
void Note(RunContext& run, const std::string& note) {
  if (!note.empty() && run.diagnostics.Format() != DiagnosticsFormat::kJson) {
    Complain(run.console, note);
  }
}

// What the walk of a control file keeps from one input to the next, and
// what it found.
struct Walk {
  RunContext& run;
  OvFileIO& runLog;
  RunSummary& summary;
  std::string controlPath;  // empty for sources named on the command line
  // --check: every output is held in memory, and nothing is said of files
  // the run does not write.
  bool inMemory = false;
  std::set<std::string> written;  // the parts files of this run
  // With --atomic, the parts files that wait to be put in place, and the
  // input of each by its path.
  PendingReplacements pending;
  std::map<std::string, std::string> waitingInputs;
};

// A path as the run shows it: relative to where partsc was started when it
// lies below it.
std::string Shown(const RunContext& run, const std::string& path) {
  return OvFile::RelativeTo(run.diagnostics.DisplayDirectory(), path);
}

// What became of one input: whether it compiled and listed (and, with
// --atomic, was put in place), what stopped it and what it left, and the note
// for standard error.
struct InputOutcome {
  bool done = false;
  WalkResult walk;  // kLocked: the run stops after this input
  std::string outputPath;
  SourceFailure failure;
  std::string note;
};

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

// With --atomic, the parts file `path` that was not put in place: the
// failure says whether a previous file is there, and its backup with it.
// True when it is.
bool KeptPrevious(const RunContext& run, const std::string& path, SourceFailure& failure) {
  if (!OvFile::Access(path).Ok()) {
    failure.left = LeftOnDisk::kNotWritten;
    return false;
  }
  failure.left = LeftOnDisk::kPreviousKept;
  if (OvFile::Access(BackupPath(path)).Ok()) {
    failure.backup = Shown(run, BackupPath(path));
  }
  return true;
}

// With --atomic, the new content of a parts file that failed goes, and the
// outcome says what is kept. Nothing without --atomic.
void KeepPreviousFile(const RunContext& run, PartsFileSink& sink, InputOutcome& outcome) {
  if (!sink.Discard()) {
    return;
  }
  SourceFailure& failure = outcome.failure;
  const std::string reason = PlaceText(failure) + ": " + failure.message;
  if (!KeptPrevious(run, outcome.outputPath, failure)) {
    outcome.note = QuoteName(outcome.outputPath) + ": not written: " + reason;
    return;
  }
  outcome.note = QuoteName(outcome.outputPath) + ": not replaced: " + reason +
                 (failure.backup.empty() ? "; the previous file is kept"
                                         : "; the previous file and its backup are kept");
}

// With --atomic, counts each parts file put in place as compiled, and names
// each that could not be put in place as a failure of its input.
void TakeReplacements(Walk& walk) {
  RunContext& run = walk.run;
  for (const PendingReplacements::Result& result : walk.pending.TakeResults()) {
    const std::string inputPath = walk.waitingInputs[result.path];
    walk.waitingInputs.erase(result.path);
    if (result.Ok()) {
      ++walk.summary.compiled;
      continue;
    }
    SourceFailure failure;
    failure.file = Shown(run, inputPath);
    failure.message = "the parts file could not be put in place: " + result.reason;
    failure.partsFile = Shown(run, result.path);
    KeptPrevious(run, result.path, failure);
    Note(run, QuoteName(result.path) + ": not replaced: " + result.reason);
    walk.summary.failures.push_back(std::move(failure));
  }
}

// The input failed on `record` (the diagnostic that stopped it, or under
// -Werror its first warning, the message after `prefix`): where, as the
// summary and the notes show it (the place of the diagnostic when it is
// about the source or the control file, else the source), why, and with a
// parts file on the disk what it left (`begun`), the backup this compile
// made and, with --atomic, what was kept.
void SetFailed(const Walk& walk, const std::string& inputPath, const DiagnosticRecord* record,
               std::string_view prefix, PartsFileSink* file, LeftOnDisk begun,
               InputOutcome& outcome) {
  const RunContext& run = walk.run;
  SourceFailure& failure = outcome.failure;
  failure.file = Shown(run, inputPath);
  failure.message =
      std::string(prefix) + (record == nullptr ? "the compile failed" : MessageWithReason(*record));
  if (record != nullptr && (record->file == inputPath || record->file == walk.controlPath)) {
    failure.file = Shown(run, record->file);
    failure.line = record->line;
  }
  if (file == nullptr) {
    return;
  }
  failure.left = outcome.outputPath.empty() ? LeftOnDisk::kNothing : begun;
  if (file->MadeBackup()) {
    failure.backup = Shown(run, BackupPath(file->WrittenPath()));
  }
  KeepPreviousFile(run, *file, outcome);
}

// Compiles one input into `sink` and lists the new parts file; a parts file
// that cannot be read back is removed. `file` is the sink when it writes a
// file, null when it holds the parts file in memory (--check).
InputOutcome CompileAndList(const std::string& inputPath, Walk& walk, PartsSink& sink,
                            PartsFileSink* file) {
  RunContext& run = walk.run;
  InputOutcome outcome;
  CompileContext context = run.Compile();
  PartsOutput output{run.classes, sink};
  CompileOutcome compile =
      CompilePartsSource(context, LineSource{inputPath, run.GivenText(inputPath)}, output);
  const CompileStatus compiled = compile.status;
  outcome.outputPath = std::move(compile.outputPath);
  const std::string& outputPath = outcome.outputPath;
  if (file != nullptr && file->LockHolder()) {
    outcome.walk = WalkResult::Failed(
        WalkStatus::kLocked, QuoteName(Shown(run, file->Path())) + ": locked by " +
                                 *file->LockHolder() + " for longer than the lock wait (" +
                                 std::to_string(LockWaitSeconds()) + " s): the run stops here");
  }
  NoteWritten(walk, outputPath);
  outcome.failure.partsFile = Shown(run, outputPath);
  if (compiled == CompileStatus::kInterrupted && file != nullptr && !file->Replaces() &&
      !outputPath.empty()) {
    outcome.note =
        QuoteName(outputPath) + ": incomplete: the run was interrupted while it was written";
  }
  if (compiled != CompileStatus::kOk) {
    SetFailed(walk, inputPath, run.diagnostics.StopRecord(), "", file, LeftOnDisk::kIncomplete,
              outcome);
    return outcome;
  }
  // The parts file just written is listed: the bytes held in memory, or the
  // file read back where the source was, which is compiled.
  const ListResult listed =
      file == nullptr
          ? ListFileBytes(run.diagnostics, static_cast<MemoryPartsSink&>(sink).Bytes(), outputPath,
                          walk.runLog)
          : ListPartsFile(run.diagnostics, outputPath, walk.runLog,
                          OvFile::Resolve(run.directory, file->WrittenPath()), run.sourceBytes);
  if (listed.Listed()) {
    // With -Werror a source that warned has failed, named by its first
    // warning: with --atomic its parts file is not put in place; without, the
    // file stays as written and the outcome says so.
    const DiagnosticRecord* warning = run.diagnostics.InputWarning();
    outcome.done = !run.diagnostics.WarningsAreErrors() || warning == nullptr;
    if (!outcome.done) {
      SetFailed(walk, inputPath, warning, "warnings are errors (-Werror): ", file,
                LeftOnDisk::kWrittenAnyway, outcome);
    }
    // A file that warned with --atomic is not put in place, so nothing changed.
    if (run.options.Given(OptionId::kChanges) && file != nullptr &&
        (outcome.done || !file->Replaces())) {
      // With --atomic the older file still stands in its place until the
      // new one is put there; else it is the backup, if Open made one.
      const std::string older = file->Replaces()
                                    ? (OvFile::Access(outputPath).Ok() ? outputPath : "")
                                : file->MadeBackup() ? BackupPath(outputPath)
                                                     : "";
      PrintChanges(run, outputPath, run.sourceBytes, older);
      dbgflush(run.console);
    }
    return outcome;
  }
  if (file != nullptr && !file->Replaces() && OvFile::Access(outputPath).Ok()) {
    OvFile::Remove(outputPath);
  }
  run.diagnostics.SetReportOutput(outputPath);
  run.diagnostics.ReportFailure(DiagnosticId::kIllegalFileDelete, Verdict(listed).reason);
  SetFailed(walk, inputPath, run.diagnostics.StopRecord(), "", file, LeftOnDisk::kRemoved, outcome);
  return outcome;
}

// One input, from its compile to the listing or removal of its parts file,
// which is then let go for other runs. With --atomic the parts file is
// written beside the older one and takes its place only when it listed.
// `inputPath` is named on line `lineNumber` of the control file. Counts
// what it gave, and answers the input's full path and whether the run goes on.
TakenInput TakeInput(Walk& walk, const std::string& inputPath, int lineNumber) {
  RunContext& run = walk.run;
  AnnounceSource(run, inputPath);
  if (run.extras.inputs != nullptr) {
    run.extras.inputs->push_back(inputPath);
  }
  if (!walk.controlPath.empty()) {
    run.diagnostics.SetInputOrigin(walk.controlPath, lineNumber);
  }
  InputOutcome outcome;
  if (walk.inMemory) {
    ProbingPartsSink sink;
    outcome = CompileAndList(inputPath, walk, sink, nullptr);
  } else if (run.options.atomic.value_or(false)) {
    auto sink = std::make_unique<ReplacingPartsFileSink>(walk.pending);
    outcome = CompileAndList(inputPath, walk, *sink, sink.get());
    // An earlier file of the same name was put in place as this one began.
    TakeReplacements(walk);
    if (outcome.done) {
      walk.waitingInputs[sink->Path()] = inputPath;
      walk.pending.Add(std::move(sink));
    }
  } else {
    PartsFileSink sink;
    outcome = CompileAndList(inputPath, walk, sink, &sink);
    sink.Release();
  }
  run.diagnostics.EndInput();
  Note(run, outcome.note);
  if (!outcome.done) {
    walk.summary.failures.push_back(std::move(outcome.failure));
  } else if (!run.options.atomic.value_or(false) || walk.inMemory) {
    // With --atomic a file counts once it is in place (TakeReplacements).
    ++walk.summary.compiled;
  }
  // A batch of waiting files may have been put in place.
  TakeReplacements(walk);
  return {std::move(outcome.walk), inputPath};
}

// The exit status of a run that walked its control file to the end. With
// --strict, and with -Werror (an error is never weaker than a warning), a
// run fails when an input failed, when it compiled nothing, or when an
// output could not be written; with -Werror also when it warned.
int WalkedRunStatus(const RunContext& run, const Walk& walk, bool outputFailed) {
  const Diagnostics& diagnostics = run.diagnostics;
  // A check exists to fail a hook: it ends as the same run under --strict.
  const bool strict =
      run.options.strict.value_or(false) || diagnostics.WarningsAreErrors() || walk.inMemory;
  const RunSummary& summary = walk.summary;
  const bool failed = !summary.failures.empty() || summary.compiled == 0 || outputFailed;
  const bool warned = diagnostics.WarningsAreErrors() && diagnostics.WarningsReported() > 0;
  return (strict && failed) || warned ? kExitFailed : kExitOk;
}

// The sources named on the command line (--check), each taken from the
// run's directory; a signal stops them before the next. Held in memory,
// their parts files meet no lock.
void WalkNamedSources(Walk& walk, const std::vector<std::string>& sources) {
  RunContext& run = walk.run;
  std::string lastInput;
  for (const std::string& source : sources) {
    if (OvSignals::Caught() != 0) {
      ReportInterruptionAfter(run, lastInput);
      return;
    }
    lastInput = TakeInput(walk, OvFile::Resolve(run.directory, source), 0).path;
    dbgflush(run.console);
  }
}

// Opens the error log `name`: the file of the control file's name (or the
// one named with --error-log), or with --check one in memory. False when the
// file cannot be opened, which is named at once.
bool OpenErrorLog(RunContext& run, RunSummary& summary, const std::string& controlPath,
                  const std::string& name, bool inMemory) {
  Diagnostics& diagnostics = run.diagnostics;
  // With --check the log is held in memory where the file could be opened.
  const OvFileResult probe =
      inMemory ? OvFile::ProbeCreate(OvFile::Resolve(run.directory, name)) : OvFileResult{};
  if (inMemory && probe.Ok()) {
    diagnostics.OpenErrorLogInMemory(controlPath);
  } else if (!inMemory) {
    diagnostics.OpenErrorLog(controlPath, run.options.errorLogPath);
  }
  if (diagnostics.ErrorLogIsOpen()) {
    return true;
  }
  const std::string reason = inMemory ? probe.reason : diagnostics.ErrorLogState().reason;
  Complain(run.console, QuoteName(name) + ": cannot be opened: " + reason);
  summary.notWritten.push_back(name + ": " + reason);
  return false;
}

// The run of a control file (named with -c, or asked for at the prompt), or
// with --check of the sources named on the command line. With --check every
// output is held in memory: the run log, the error log, each parts file,
// which is listed from memory.
int CompileControlFile(RunContext& run, RunSummary& summary) {
  Diagnostics& diagnostics = run.diagnostics;
  const bool inMemory = run.options.action == ActionId::kCheck;
  const std::vector<std::string>& sources = run.options.sources;
  const bool named = inMemory && !sources.empty();
  const ControlPath taken = named ? ControlPath{} : TakeControlPath(run);
  if (taken.status != kExitOk) {
    return taken.status;
  }
  const std::string& controlPath = taken.path;
  const std::string logOf = named ? OvFile::Resolve(run.directory, sources.front()) : controlPath;
  const std::string& errorLogGiven = run.options.errorLogPath;
  const std::string errorLogName = errorLogGiven.empty() ? ErrorLogName(logOf) : errorLogGiven;
  const bool errorLogOpened = OpenErrorLog(run, summary, logOf, errorLogName, inMemory);
  // Another run writes the error log: this one waited as long as it may,
  // and stops.
  if (!errorLogOpened && diagnostics.ErrorLogState().status == ErrorLogStatus::kLocked) {
    return kExitLocked;
  }
  OvFileIO control;
  if (!named && !OpenControlFile(run, controlPath, control)) {
    diagnostics.CloseErrorLog();
    return kExitStop;
  }
  OvFileIO runLog;
  const std::string runLogName =
      run.options.runLogPath.empty() ? kRunLogName : run.options.runLogPath;
  const std::string runLogPath = OvFile::Resolve(run.directory, runLogName);
  // With --check the log is held in memory where the file could be opened.
  const OvFileResult probe = inMemory ? OvFile::ProbeCreate(runLogPath) : OvFileResult{};
  const bool runLogOpened =
      inMemory ? probe.Ok() && runLog.FopenMemory() : runLog.Fopen(runLogPath, "w");
  if (!runLogOpened) {
    const std::string reason = !probe.Ok() ? probe.reason : runLog.ErrorText();
    const std::string text = "Log file " + runLogName + " open error";
    diagnostics.ReportRunFailure(DiagnosticId::kRunLogOpen, text + "\n", text, reason);
    // The classic line gives no reason: standard error does.
    if (diagnostics.Format() == DiagnosticsFormat::kClassic) {
      Complain(run.console, QuoteName(runLogName) + ": the run log cannot be opened: " + reason);
    }
    control.Fclose();
    diagnostics.CloseErrorLog();
    return runLog.Error() == kRefusedLocked ? kExitLocked : kExitStop;
  }
  Walk walk{run, runLog, summary, controlPath, inMemory, {}, {}, {}};
  WalkResult walked;
  if (named) {
    WalkNamedSources(walk, sources);
  } else {
    walked = WalkControlFile(run, controlPath, control, [&walk](const std::string& line, int at) {
      return TakeInput(walk, walk.run.classes.ToFullPath(kClassInput, line), at);
    });
  }
  // The files that compiled and listed take their names, also after a
  // signal.
  walk.pending.Finish();
  TakeReplacements(walk);
  // A signal that came while they did is told in the error log too.
  if (OvSignals::Caught() != 0) {
    ReportInterruption(run, "at the end of the run");
  }
  control.Fclose();
  runLog.Fclose();
  diagnostics.CloseErrorLog();
  bool outputFailed = !errorLogOpened;
  outputFailed |= WriteFailureReported(run.console, runLogName, runLog.ErrorText(), &summary);
  if (errorLogOpened) {
    outputFailed |= WriteFailureReported(run.console, errorLogName,
                                         diagnostics.ErrorLogState().reason, &summary);
  }
  outputFailed |= StandardOutputFailed(run.console, &summary);
  if (OvSignals::Caught() != 0) {
    ReportInterruption(run, "at the end of the run");
    return kExitSignal + OvSignals::Caught();
  }
  if (!walked.Ok()) {
    Complain(run.console, walked.reason);
    return kExitLocked;
  }
  return WalkedRunStatus(run, walk, outputFailed);
}

// The SARIF log asked for; null when none was. Its URIs are relative to the
// directory named with --sarif-base (from the run's directory) or in the
// settings file, else to the one partsc was started in.
std::unique_ptr<DiagnosticSink> SarifSink(const RunContext& run) {
  const std::string sarif = run.options.SarifPath();
  if (sarif.empty()) {
    return nullptr;
  }
  const std::string& named = run.options.sarifBase;
  return MakeSarifSink(
      run.console, sarif, run.directory,
      named.empty() ? run.diagnostics.DisplayDirectory() : OvFile::Resolve(run.directory, named),
      ReplaceWholeFile);
}

// The diagnostics of the run: the settings file's everyday mode first, then
// the command line, which wins. False after one complaint about a warning
// the settings file names that does not exist.
bool SetUpDiagnostics(RunContext& run) {
  const RunOptions& options = run.options;
  Diagnostics& diagnostics = run.diagnostics;
  if (options.settingsWerror) {
    diagnostics.ApplyWarningOption(*options.settingsWerror ? "error" : "no-error");
  }
  for (const auto& [option, where] : options.settingsWarnings) {
    if (!diagnostics.ApplyWarningOption(option)) {
      Complain(run.console, where + "unknown warning \"" + option + "\"");
      return false;
    }
  }
  for (const std::string& option : options.warningOptions) {
    diagnostics.ApplyWarningOption(option);
  }
  const std::string& format = options.diagnosticsFormat;
  if (format == "gnu") {
    diagnostics.SetFormat(DiagnosticsFormat::kGnu);
  } else if (format == "json") {
    diagnostics.SetFormat(DiagnosticsFormat::kJson);
  }
  if (std::unique_ptr<DiagnosticSink> sarif = SarifSink(run); sarif != nullptr) {
    diagnostics.AddSink(std::move(sarif));
  }
  if (run.extras.sink != nullptr) {
    diagnostics.AddSink(*run.extras.sink);
  }
  return true;
}

// A compile or check that stopped before it began still writes the SARIF
// log it was asked for, with the problems as its tool's notifications.
int StopBeforeRun(RunContext& run) {
  const ActionId action = run.options.action;
  std::unique_ptr<DiagnosticSink> sarif = SarifSink(run);
  if (sarif != nullptr && (action == ActionId::kCompile || action == ActionId::kCheck)) {
    sarif->Finish(kExitStop);
  }
  return kExitStop;
}

// A refused command line: what is wrong and where help is, in the words of
// GNU programs, around the usage line every refusal prints; after it, the
// form of the action the command line was meant for.
int RefuseCommandLine(OvConsole& console, int argc, char** argv, const std::string& problem,
                      ActionId action = ActionId::kCompile) {
  const std::string program = argc > 0 && argv[0] != nullptr ? argv[0] : "partsc";
  const std::string shortName = program.substr(program.rfind('/') + 1);
  if (!problem.empty()) {
    Complain(console, problem);
  }
  dbgprint(console, kConsoleFatal, "Usage: %s -pORVA.SET\n", program.c_str());
  if (action != ActionId::kCompile) {
    const std::string form = UsageLines("   or: ", program, UsageFormOf(action));
    dbgprint(console, kConsoleFatal, "%s", form.c_str());
  }
  dbgprint(console, kConsoleFatal, "Try '%s --help' for more information.\n", shortName.c_str());
  return kExitStop;
}

// The compile of a control file with the diagnostics the command line asked
// for; a SARIF log that cannot be written fails the run.
int CompileWithDiagnostics(RunContext& run) {
  RunSummary summary;
  run.diagnostics.WantLines();
  const int status = CompileControlFile(run, summary);
  // The SARIF log tells the status the run ends with when the log itself
  // is written.
  const bool completed = status == kExitOk || status == kExitFailed;
  run.diagnostics.SetRunOutcome(status & 0xff, completed, summary.notWritten);
  const std::vector<std::string> failures = run.diagnostics.FinishSinks(status);
  summary.notWritten.insert(summary.notWritten.end(), failures.begin(), failures.end());
  // --check leaves nothing on disk to sum up.
  if (run.options.action != ActionId::kCheck) {
    summary.Print(run.console, run.diagnostics.Format() == DiagnosticsFormat::kJson);
  }
  return failures.empty() || status != kExitOk ? status : kExitFailed;
}

// The run's directory: `directory` with the directories named with -C
// taken in turn, each from the one before. None after one complaint.
std::optional<std::string> ChangeDirectories(OvConsole& console, const RunOptions& options,
                                             std::string directory) {
  for (const std::string& named : options.directories) {
    OvEntered entered = OvFile::ChangeDirectory(directory, named);
    if (!entered.Ok()) {
      Complain(console, named + ": cannot change to the directory: " + entered.reason);
      return std::nullopt;
    }
    directory = std::move(entered.directory);
  }
  return directory;
}

// --lsp: the language server on standard input and output. A settings file
// with a problem does not stop it: each document's diagnostics name it.
int ServeLanguage(RunContext& run) {
  lsp::ServerOptions options;
  options.settingsPath = run.options.settingsPath;
  options.directory = run.directory;
  options.checkLibrary = CheckLibraryRun;
  options.readSettings = RunOptions::ReadCompileSettings;
  OvPipe pipe = OvPipe::Standard();
  return lsp::RunLanguageServer(pipe, std::move(options));
}

// The action the command line asks for, once the settings are read.
int RunAction(RunContext& run) {
  const RunOptions& options = run.options;
  switch (options.action) {
    case ActionId::kList:
      return ListFiles(run, options.listFiles);
    case ActionId::kDecompile:
      return Decompile(run, options.decompileFile, options.output);
    case ActionId::kFromJson:
      return FromJson(run, options.fromJsonFile, options.output);
    case ActionId::kDiff:
      return Diff(run, options.listFiles);
    case ActionId::kExplain:
      return ExplainDiagnostic(run.console, options.explainName);
    case ActionId::kInit:
      return InitLibrary(run, options.initDirectory);
    case ActionId::kCompile:
    case ActionId::kCheck:
    case ActionId::kLsp:
      break;
  }
  return CompileWithDiagnostics(run);
}

int RunActions(RunContext& run, int argc, char** argv) {
  if (run.options.action == ActionId::kLsp) {
    return ServeLanguage(run);
  }
  for (const std::string& option : run.options.warningOptions) {
    if (!IsWarningOption(option)) {
      return RefuseCommandLine(run.console, argc, argv,
                               "unknown warning option '-W" + option + "'");
    }
  }
  if (const auto problem = run.options.ReadSettings(run.directory, run.classes)) {
    Complain(run.console, *problem);
    return StopBeforeRun(run);
  }
  if (!SetUpDiagnostics(run)) {
    return StopBeforeRun(run);
  }
  // The settings file may have made the run quiet.
  run.console.SetQuiet(run.options.quiet.value_or(false));
  const RunOptions& options = run.options;
  // --diff calls a failure trouble, as diff(1) does.
  const int failed = options.action == ActionId::kDiff ? kExitDiffTrouble : kExitFailed;
  int status = failed;
  try {
    status = RunAction(run);
  } catch (const std::bad_alloc&) {
    // What the action held is freed on the way out; it wrote nothing yet,
    // or what it wrote is named as any other failed output.
    Complain(run.console, "out of memory");
  }
  // A compile or a check reported its end itself.
  if (options.action == ActionId::kCheck || options.action == ActionId::kCompile) {
    return status;
  }
  if (OvSignals::Caught() != 0) {
    ReportInterruption(run, "");
    return kExitSignal + OvSignals::Caught();
  }
  // An action whose output did not reach standard output failed.
  return StandardOutputFailed(run.console) ? failed : status;
}

}  // namespace

// The language server's check of a library: the run of --check on its
// control file, every output in memory, the editor's texts in place of their
// files.
void CheckLibraryRun(const lsp::LibraryRun& request, DiagnosticSink& sink,
                     std::vector<std::string>& inputs) {
  std::vector<std::string> words = {"partsc", "--check", "-q", "-c", request.controlPath};
  if (!request.settingsPath.empty()) {
    words.push_back("-p" + request.settingsPath);
  }
  for (const std::string& warning : request.warnings) {
    words.push_back("-W" + warning);
  }
  std::vector<char*> argv(words.size() + 1, nullptr);
  std::ranges::transform(words, argv.begin(), [](std::string& word) { return word.data(); });
  OvConsole console(OvConsole::InMemory{});
  RunExtras extras{request.texts, &sink, &inputs};
  RunPartsc(static_cast<int>(words.size()), argv.data(), console, request.directory, extras);
}

int RunPartsc(int argc, char** argv, OvConsole& console, const std::string& startDirectory,
              const RunExtras& extras) {
  RunOptions options;
  if (const ParsedCommandLine parsed = options.Parse(argc, argv, console); !parsed.Ok()) {
    return RefuseCommandLine(console, argc, argv, parsed.result.reason, parsed.action);
  }
  if (options.ExitRequested()) {
    return StandardOutputFailed(console) ? kExitFailed : kExitOk;
  }
  console.SetQuiet(options.quiet.value_or(false));
  const std::string started = startDirectory.empty() ? OvFile::CurrentDirectory() : startDirectory;
  std::optional<std::string> directory = ChangeDirectories(console, options, started);
  if (!directory) {
    return kExitStop;
  }
  const auto run =
      std::make_unique<RunContext>(console, std::move(options), std::move(*directory), extras);
  run->diagnostics.SetDisplayDirectory(started);
  return RunActions(*run, argc, argv);
}

}  // namespace partsc
