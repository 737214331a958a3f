#include "driver/run_driver.h"

#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
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
#include "storage/file_sinks.h"
#include "platform/ov_console.h"
#include "platform/ov_escape.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_lock.h"
#include "platform/ov_pipe.h"
#include "platform/ov_signals.h"
#include "platform/ov_util.h"

namespace partsc {

namespace {

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

// The same for an output of a compile run, which its summary names again.
bool WriteFailureReported(OvConsole& console, RunSummary& summary, const std::string& name,
                          const std::string& reason) {
  if (!WriteFailureReported(console, name, reason)) {
    return false;
  }
  summary.AddOutputNotWritten(name + ": " + reason);
  return true;
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
  int compiled = 0;               // inputs that compiled and listed
  bool anyFailed = false;         // an input failed, or its parts file was not put in place
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
  std::string outputPath;
  SourceFailure failure;
  std::string note;
  // Who held the lock of the parts file `lockedPath` when the wait for it
  // ran out.
  std::string lockHolder;
  std::string lockedPath;
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

// Where the input failed and the diagnostic that failed it, as the summary
// and the notes show them: the place of the diagnostic when it is about the
// source or the control file, else the source.
void SetFailure(const RunContext& run, const std::string& inputPath, const std::string& controlPath,
                const DiagnosticRecord* record, SourceFailure& failure) {
  failure.file = Shown(run, inputPath);
  if (record == nullptr) {
    failure.message = "the compile failed";
    return;
  }
  failure.message =
      record->reason.empty() ? record->message : record->message + ": " + record->reason;
  if (record->file == inputPath || record->file == controlPath) {
    failure.file = Shown(run, record->file);
    failure.line = record->line;
  }
}

// Where the input stopped and the message that stopped it.
void SetStop(const RunContext& run, const std::string& inputPath, const std::string& controlPath,
             SourceFailure& failure) {
  SetFailure(run, inputPath, controlPath, run.diagnostics.StopRecord(), failure);
}

// With --atomic, a parts file that was not put in place: the outcome says
// whether a previous file is there, and its backup with it. True when it is.
bool KeptPrevious(const RunContext& run, InputOutcome& outcome) {
  const std::string& path = outcome.outputPath;
  if (OvFile::Access(path, kAccessExists) != 0) {
    outcome.failure.left = LeftOnDisk::kNotWritten;
    return false;
  }
  outcome.failure.left = LeftOnDisk::kPreviousKept;
  if (OvFile::Access(BackupPath(path), kAccessExists) == 0) {
    outcome.failure.backup = Shown(run, BackupPath(path));
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
  if (!KeptPrevious(run, outcome)) {
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
    if (result.placed) {
      walk.summary.AddCompiled();
      continue;
    }
    InputOutcome outcome;
    outcome.outputPath = result.path;
    outcome.failure.file = Shown(run, inputPath);
    outcome.failure.message = "the parts file could not be put in place: " + result.reason;
    outcome.failure.partsFile = Shown(run, result.path);
    KeptPrevious(run, outcome);
    // JSON lines stay JSON: there the summary's object says the same.
    if (run.diagnostics.Format() != DiagnosticsFormat::kJson) {
      Complain(run.console, QuoteName(result.path) + ": not replaced: " + result.reason);
    }
    walk.summary.AddFailure(std::move(outcome.failure));
    walk.anyFailed = true;
    --walk.compiled;
  }
}

// What a source that failed in default mode left: nothing, or its parts
// file incomplete or removed, and the backup this compile made.
void SetLeftInPlace(const RunContext& run, const PartsFileSink& sink, LeftOnDisk begun,
                    InputOutcome& outcome) {
  outcome.failure.left = outcome.outputPath.empty() ? LeftOnDisk::kNothing : begun;
  if (sink.MadeBackup()) {
    outcome.failure.backup = Shown(run, BackupPath(sink.WrittenPath()));
  }
}

// With -Werror a source that compiled and listed but warned has failed,
// named by its first warning: with --atomic its parts file is not put in
// place; without, the file stays as written and the outcome says so. `file`
// is null when the parts file is held in memory. False when it did not
// warn, or warnings are no errors.
bool FailedByWarning(const std::string& inputPath, const Walk& walk, PartsFileSink* file,
                     InputOutcome& outcome) {
  const RunContext& run = walk.run;
  const DiagnosticRecord* warning = run.diagnostics.InputWarning();
  if (!run.diagnostics.WarningsAreErrors() || warning == nullptr) {
    return false;
  }
  SourceFailure& failure = outcome.failure;
  SetFailure(run, inputPath, walk.controlPath, warning, failure);
  failure.message = "warnings are errors (-Werror): " + failure.message;
  if (file == nullptr) {
    return true;
  }
  failure.left = LeftOnDisk::kWrittenAnyway;
  if (file->MadeBackup()) {
    failure.backup = Shown(run, BackupPath(file->WrittenPath()));
  }
  KeepPreviousFile(run, *file, outcome);
  return true;
}

// Compiles one input into `sink` and lists the new parts file; a parts file
// that cannot be read back is removed. `file` is the sink when it writes a
// file, null when it holds the parts file in memory (--check).
// Lists the parts file just written: the bytes held in memory, or the file
// read back where the source was, which is compiled.
ListResult ListWritten(Walk& walk, PartsSink& sink, PartsFileSink* file,
                       const std::string& outputPath) {
  RunContext& run = walk.run;
  if (file == nullptr) {
    return ListFileBytes(run.diagnostics, static_cast<MemoryPartsSink&>(sink).Bytes(), outputPath,
                         walk.runLog);
  }
  return ListPartsFile(run.diagnostics, outputPath, walk.runLog,
                       OvFile::Resolve(run.directory, file->WrittenPath()), run.sourceBytes);
}

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
  if (file != nullptr && !file->LockHolder().empty()) {
    outcome.lockHolder = file->LockHolder();
    outcome.lockedPath = file->Path();
  }
  NoteWritten(walk, outputPath);
  outcome.failure.partsFile = Shown(run, outputPath);
  if (compiled == CompileStatus::kInterrupted && file != nullptr && !file->Replaces() &&
      !outputPath.empty()) {
    outcome.note =
        QuoteName(outputPath) + ": incomplete: the run was interrupted while it was written";
    SetStop(run, inputPath, walk.controlPath, outcome.failure);
    SetLeftInPlace(run, *file, LeftOnDisk::kIncomplete, outcome);
    return outcome;
  }
  if (compiled != CompileStatus::kOk) {
    SetStop(run, inputPath, walk.controlPath, outcome.failure);
    if (file != nullptr) {
      SetLeftInPlace(run, *file, LeftOnDisk::kIncomplete, outcome);
      KeepPreviousFile(run, *file, outcome);
    }
    return outcome;
  }
  const ListResult listed = ListWritten(walk, sink, file, outputPath);
  if (listed.Listed()) {
    outcome.done = !FailedByWarning(inputPath, walk, file, outcome);
    // A file that warned with --atomic is not put in place, so nothing changed.
    if (run.options.Changes() && file != nullptr && (outcome.done || !file->Replaces())) {
      // With --atomic the older file still stands in its place until the
      // new one is put there; else it is the backup, if Open made one.
      std::string older;
      if (file->Replaces() && OvFile::Access(outputPath, kAccessExists) == 0) {
        older = outputPath;
      } else if (!file->Replaces() && file->MadeBackup()) {
        older = BackupPath(outputPath);
      }
      PrintChanges(run, outputPath, OvFile::Resolve(run.directory, file->WrittenPath()), older);
      dbgflush(run.console);
    }
    return outcome;
  }
  if (file != nullptr && !file->Replaces() && OvFile::Access(outputPath, kAccessExists) == 0) {
    OvFile::Remove(outputPath);
  }
  run.diagnostics.SetReportOutput(outputPath);
  run.diagnostics.ReportFailure(DiagnosticId::kIllegalFileDelete, UnreadableReason(listed));
  SetStop(run, inputPath, walk.controlPath, outcome.failure);
  if (file != nullptr) {
    SetLeftInPlace(run, *file, LeftOnDisk::kRemoved, outcome);
    KeepPreviousFile(run, *file, outcome);
  }
  return outcome;
}

// One input, from its compile to the listing or removal of its parts file,
// which is then let go for other runs. With --atomic the parts file is
// written beside the older one and takes its place only when it listed.
// `inputPath` is named on line `lineNumber` of the control file. True when
// it compiled and listed.
bool ProcessInput(const std::string& inputPath, int lineNumber, Walk& walk) {
  RunContext& run = walk.run;
  AnnounceSource(run, inputPath);
  if (run.extras != nullptr && run.extras->inputs != nullptr) {
    run.extras->inputs->push_back(inputPath);
  }
  if (!walk.controlPath.empty()) {
    run.diagnostics.SetInputOrigin(walk.controlPath, lineNumber);
  }
  InputOutcome outcome;
  if (walk.inMemory) {
    ProbingPartsSink sink;
    outcome = CompileAndList(inputPath, walk, sink, nullptr);
  } else if (run.options.Atomic()) {
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
  if (!outcome.lockHolder.empty()) {
    run.stopReason = QuoteName(Shown(run, outcome.lockedPath)) + ": locked by " +
                     outcome.lockHolder +
                     " for longer than the lock wait (" + std::to_string(LockWaitSeconds()) +
                     " s): the run stops here";
  }
  // JSON lines stay JSON: there the summary's object says the same.
  if (!outcome.note.empty() && run.diagnostics.Format() != DiagnosticsFormat::kJson) {
    Complain(run.console, outcome.note);
  }
  if (!outcome.done) {
    walk.summary.AddFailure(std::move(outcome.failure));
  } else if (!run.options.Atomic() || walk.inMemory) {
    walk.summary.AddCompiled();
  }
  // A batch of waiting files may have been put in place.
  TakeReplacements(walk);
  return outcome.done;
}

// The exit status of a run that walked its control file to the end. With
// --strict, and with -Werror (an error is never weaker than a warning), a
// run fails when an input failed, when it compiled nothing, or when an
// output could not be written; with -Werror also when it warned.
int WalkedRunStatus(const RunContext& run, const Walk& walk, bool outputFailed) {
  const Diagnostics& diagnostics = run.diagnostics;
  // A check exists to fail a hook: it ends as the same run under --strict.
  const bool strict = run.options.Strict() || diagnostics.WarningsAreErrors() || walk.inMemory;
  const bool failed = walk.anyFailed || walk.compiled == 0 || outputFailed;
  const bool warned = diagnostics.WarningsAreErrors() && diagnostics.WarningsReported() > 0;
  return (strict && failed) || warned ? kExitFailed : kExitOk;
}

// Compiles and lists one input of the walk, counting what it gave; answers
// the input's full path.
std::string TakeInput(Walk& walk, const std::string& inputPath, int lineNumber) {
  if (ProcessInput(inputPath, lineNumber, walk)) {
    ++walk.compiled;
  } else {
    walk.anyFailed = true;
  }
  return inputPath;
}

// The sources named on the command line (--check), each taken from the
// run's directory; a signal stops them before the next.
void WalkNamedSources(Walk& walk, const std::vector<std::string>& sources) {
  RunContext& run = walk.run;
  std::string lastInput;
  for (const std::string& source : sources) {
    if (OvSignals::Caught() != 0) {
      ReportInterruption(
          run, lastInput.empty() ? "before the first source" : "after compiling " + lastInput);
      return;
    }
    lastInput = TakeInput(walk, OvFile::Resolve(run.directory, source), 0);
    dbgflush(run.console);
  }
}

// Opens the error log: the file of the control file's name (or the one
// named with --error-log), or with --check one in memory. False when the
// file cannot be opened, which is named at once.
bool OpenErrorLog(RunContext& run, RunSummary& summary, const std::string& controlPath,
                  bool inMemory) {
  Diagnostics& diagnostics = run.diagnostics;
  const std::string& errorLogGiven = run.options.ErrorLogPath();
  const std::string name = errorLogGiven.empty() ? ErrorLogName(controlPath) : errorLogGiven;
  // With --check the log is held in memory where the file could be opened.
  const int probe = inMemory ? OvFile::ProbeCreate(OvFile::Resolve(run.directory, name)) : 0;
  if (inMemory && probe == 0) {
    diagnostics.OpenErrorLogInMemory(controlPath);
  } else if (!inMemory) {
    diagnostics.OpenErrorLog(controlPath, errorLogGiven);
  }
  if (diagnostics.ErrorLogIsOpen()) {
    return true;
  }
  const std::string reason = inMemory ? SystemErrorText(probe) : diagnostics.ErrorLogFailure();
  Complain(run.console, QuoteName(name) + ": cannot be opened: " + reason);
  summary.AddOutputNotWritten(name + ": " + reason);
  return false;
}

// The run of a control file (named with -c, or asked for at the prompt), or
// with --check of the sources named on the command line. With --check every
// output is held in memory: the run log, the error log, each parts file,
// which is listed from memory.
int CompileControlFile(RunContext& run, RunSummary& summary) {
  Diagnostics& diagnostics = run.diagnostics;
  const bool inMemory = run.options.Action() == ActionId::kCheck;
  const std::vector<std::string>& sources = run.options.Sources();
  const bool named = inMemory && !sources.empty();
  std::string controlPath;
  if (!named) {
    if (const int status = TakeControlPath(run, controlPath); status != kExitOk) {
      return status;
    }
  }
  const bool errorLogOpened = OpenErrorLog(
      run, summary, named ? OvFile::Resolve(run.directory, sources.front()) : controlPath,
      inMemory);
  // Another run writes the error log: this one waited as long as it may,
  // and stops.
  if (!errorLogOpened && diagnostics.ErrorLogError() == kRefusedLocked) {
    return kExitLocked;
  }
  OvFileIO control;
  if (!named && !OpenControlFile(run, controlPath, control)) {
    diagnostics.CloseErrorLog();
    return kExitStop;
  }
  OvFileIO runLog;
  const std::string runLogName =
      run.options.RunLogPath().empty() ? kRunLogName : run.options.RunLogPath();
  const std::string runLogPath = OvFile::Resolve(run.directory, runLogName);
  // With --check the log is held in memory where the file could be opened.
  const int probe = inMemory ? OvFile::ProbeCreate(runLogPath) : 0;
  const bool runLogOpened =
      inMemory ? probe == 0 && runLog.FopenMemory() : runLog.Fopen(runLogPath, "w");
  if (!runLogOpened) {
    const std::string reason = probe != 0 ? SystemErrorText(probe) : runLog.ErrorText();
    const std::string text = "Log file " + runLogName + " open error";
    diagnostics.ReportRunFailure(DiagnosticId::kRunLogOpen, text + "\n", text, reason);
    // The design's line gives no reason: standard error does.
    if (diagnostics.Format() == DiagnosticsFormat::kClassic) {
      Complain(run.console, QuoteName(runLogName) + ": the run log cannot be opened: " + reason);
    }
    if (runLog.Error() == kRefusedLocked) {
      control.Fclose();
      diagnostics.CloseErrorLog();
      return kExitLocked;
    }
    control.Fclose();
    diagnostics.CloseErrorLog();
    return kExitStop;
  }
  Walk walk{run, runLog, summary, controlPath, inMemory, {}, 0, false, {}, {}};
  if (named) {
    WalkNamedSources(walk, sources);
  } else {
    WalkControlFile(run, controlPath, control, [&walk](const std::string& line, int lineNumber) {
      return TakeInput(walk, walk.run.classes.ToFullPath(kClassInput, line), lineNumber);
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
  outputFailed |= WriteFailureReported(run.console, summary, runLogName, runLog.ErrorText());
  if (errorLogOpened) {
    const std::string& errorLogGiven = run.options.ErrorLogPath();
    const std::string name = errorLogGiven.empty() ? ErrorLogName(controlPath) : errorLogGiven;
    outputFailed |= WriteFailureReported(run.console, summary, name, diagnostics.ErrorLogFailure());
  }
  run.console.Out().Fflush();
  outputFailed |=
      WriteFailureReported(run.console, summary, "standard output", run.console.Out().ErrorText());
  if (OvSignals::Caught() != 0) {
    ReportInterruption(run, "at the end of the run");
    return kExitSignal + OvSignals::Caught();
  }
  if (!run.stopReason.empty()) {
    Complain(run.console, run.stopReason);
    return kExitLocked;
  }
  return WalkedRunStatus(run, walk, outputFailed);
}

// The -W options of the command line; false with `problem` set when one
// names no warning.
bool CheckWarningOptions(const RunOptions& options, std::string& problem) {
  for (const std::string& option : options.WarningOptions()) {
    if (!IsWarningOption(option)) {
      problem = "unknown warning option '-W" + option + "'";
      return false;
    }
  }
  return true;
}

// The directory the SARIF log's URIs are relative to: the one named with
// --sarif-base (from the run's directory) or in the settings file, else the
// one partsc was started in.
std::string SarifBase(const RunContext& run) {
  const std::string& named = run.options.SarifBase();
  return named.empty() ? run.diagnostics.DisplayDirectory() : OvFile::Resolve(run.directory, named);
}

// Hands each record on to a sink the run does not own.
class ForwardingSink : public DiagnosticSink {
 public:
  explicit ForwardingSink(DiagnosticSink& to) : to_(to) {}
  void Emit(const DiagnosticRecord& record) override { to_.Emit(record); }
  bool Finish(int exitStatus) override { return to_.Finish(exitStatus); }

 private:
  DiagnosticSink& to_;
};

// The diagnostics of the run: the settings file's everyday mode first, then
// the command line, which wins. False after one complaint about a warning
// the settings file names that does not exist.
bool SetUpDiagnostics(RunContext& run) {
  const RunOptions& options = run.options;
  const RunOptions::Policy& policy = options.SettingsPolicy();
  Diagnostics& diagnostics = run.diagnostics;
  if (policy.warningsAsErrors) {
    diagnostics.ApplyWarningOption(*policy.warningsAsErrors ? "error" : "no-error");
  }
  for (const auto& [option, where] : policy.warnings) {
    if (!diagnostics.ApplyWarningOption(option)) {
      Complain(run.console, where + "unknown warning \"" + option + "\"");
      return false;
    }
  }
  for (const std::string& option : options.WarningOptions()) {
    diagnostics.ApplyWarningOption(option);
  }
  const std::string& format = options.DiagnosticsFormat();
  if (format == "gnu") {
    diagnostics.SetFormat(DiagnosticsFormat::kGnu);
  } else if (format == "json") {
    diagnostics.SetFormat(DiagnosticsFormat::kJson);
  }
  const std::string sarif = options.SarifPath();
  if (!sarif.empty()) {
    diagnostics.AddSink(MakeSarifSink(run.console, sarif, run.directory, SarifBase(run)));
  }
  if (run.extras != nullptr && run.extras->sink != nullptr) {
    diagnostics.AddSink(std::make_unique<ForwardingSink>(*run.extras->sink));
  }
  return true;
}

// A compile or check that stopped before it began still writes the SARIF
// log it was asked for, with the problems as its tool's notifications.
int StopBeforeRun(RunContext& run) {
  const std::string sarif = run.options.SarifPath();
  const ActionId action = run.options.Action();
  if (!sarif.empty() && (action == ActionId::kCompile || action == ActionId::kCheck)) {
    MakeSarifSink(run.console, sarif, run.directory, SarifBase(run))->Finish(kExitStop);
  }
  return kExitStop;
}

// A refused command line: what is wrong and where help is, in the words of
// GNU programs, around the usage line every refusal prints; after it, the
// form of the action the command line was meant for.
int RefuseCommandLine(OvConsole& console, int argc, char** argv, const std::string& problem,
                      std::optional<ActionId> action = std::nullopt) {
  const std::string program = argc > 0 && argv[0] != nullptr ? argv[0] : "partsc";
  const std::string shortName = program.substr(program.rfind('/') + 1);
  if (!problem.empty()) {
    Complain(console, problem);
  }
  dbgprint(console, kConsoleFatal, "Usage: %s -pORVA.SET\n", program.c_str());
  if (action && *action != ActionId::kCompile) {
    const std::string form = UsageLines("   or: ", program, UsageFormOf(*action));
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
  run.diagnostics.SetRunOutcome(status & 0xff, completed, summary.OutputsNotWritten());
  const bool written = run.diagnostics.FinishSinks(status);
  for (const std::string& failure : run.diagnostics.SinkFailures()) {
    summary.AddOutputNotWritten(failure);
  }
  // --check leaves nothing on disk to sum up.
  if (run.options.Action() != ActionId::kCheck) {
    summary.Print(run.console, run.diagnostics.Format() == DiagnosticsFormat::kJson);
  }
  return written || status != kExitOk ? status : kExitFailed;
}

// Takes the directories named with -C in turn, each from the one before,
// into `directory`. False after one complaint.
bool ChangeDirectories(OvConsole& console, const RunOptions& options, std::string& directory) {
  for (const std::string& named : options.Directories()) {
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
  options.settingsPath = run.options.SettingsPath();
  options.directory = run.directory;
  options.checkLibrary = CheckLibraryRun;
  options.readSettings = RunOptions::ReadCompileSettings;
  OvPipe pipe = OvPipe::Standard();
  return lsp::RunLanguageServer(pipe, std::move(options));
}

// The action the command line asks for, once the settings are read.
int RunAction(RunContext& run) {
  const RunOptions& options = run.options;
  int status = kExitOk;
  switch (options.Action()) {
    case ActionId::kList:
      status = ListFiles(run, options.ListFiles());
      break;
    case ActionId::kDecompile:
      status = Decompile(run, options.DecompileFile(), options.DecompileOutput());
      break;
    case ActionId::kFromJson:
      status = FromJson(run, options.FromJsonFile(), options.DecompileOutput());
      break;
    case ActionId::kDiff:
      status = Diff(run, options.ListFiles());
      break;
    case ActionId::kExplain:
      status = ExplainDiagnostic(run.console, options.ExplainName());
      break;
    case ActionId::kInit:
      status = InitLibrary(run, options.InitDirectory());
      break;
    case ActionId::kCompile:
    case ActionId::kCheck:
    case ActionId::kLsp:
      return CompileWithDiagnostics(run);
  }
  return status;
}

int RunActions(RunContext& run, int argc, char** argv) {
  if (run.options.Action() == ActionId::kLsp) {
    return ServeLanguage(run);
  }
  std::string problem;
  if (!CheckWarningOptions(run.options, problem)) {
    return RefuseCommandLine(run.console, argc, argv, problem);
  }
  if (run.options.ReadSettings(run.console, run.directory, run.classes) != 0 ||
      !SetUpDiagnostics(run)) {
    return StopBeforeRun(run);
  }
  // The settings file may have made the run quiet.
  run.console.SetQuiet(run.options.Quiet());
  const RunOptions& options = run.options;
  int status = kExitOk;
  try {
    status = RunAction(run);
  } catch (const std::bad_alloc&) {
    // What the action held is freed on the way out; it wrote nothing yet,
    // or what it wrote is named as any other failed output.
    Complain(run.console, "out of memory");
    status = options.Action() == ActionId::kDiff ? kExitDiffTrouble : kExitFailed;
  }
  // A compile or a check reported its end itself.
  if (options.Action() == ActionId::kCheck || options.Action() == ActionId::kCompile) {
    return status;
  }
  if (OvSignals::Caught() != 0) {
    ReportInterruption(run, "");
    return kExitSignal + OvSignals::Caught();
  }
  // An action whose output did not reach standard output failed; --diff
  // calls that trouble, as diff(1) does.
  if (StandardOutputFailed(run.console)) {
    return options.Action() == ActionId::kDiff ? kExitDiffTrouble : kExitFailed;
  }
  return status;
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
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  OvConsole console(OvConsole::InMemory{});
  RunExtras extras{request.texts, &sink, &inputs};
  RunPartsc(static_cast<int>(words.size()), argv.data(), console, request.directory, extras);
}

bool StandardOutputFailed(OvConsole& console) {
  console.Out().Fflush();
  return WriteFailureReported(console, "standard output", console.Out().ErrorText());
}

int RunPartsc(int argc, char** argv, OvConsole& console, const std::string& startDirectory,
              const RunExtras& extras) {
  RunOptions options;
  if (!options.Parse(argc, argv, console)) {
    return RefuseCommandLine(console, argc, argv, options.Refusal(), options.RefusedAction());
  }
  if (options.ExitRequested()) {
    return StandardOutputFailed(console) ? kExitFailed : kExitOk;
  }
  console.SetQuiet(options.Quiet());
  const std::string started = startDirectory.empty() ? OvFile::CurrentDirectory() : startDirectory;
  std::string directory = started;
  if (!ChangeDirectories(console, options, directory)) {
    return kExitStop;
  }
  const auto run = std::make_unique<RunContext>(console, std::move(options), std::move(directory));
  run->diagnostics.SetDisplayDirectory(started);
  run->extras = &extras;
  return RunActions(*run, argc, argv);
}

}  // namespace partsc
