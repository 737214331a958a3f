#include "driver/run_driver.h"

#include <set>
#include <string>
#include <vector>

#include "compiler/compile_passes.h"
#include "compiler/source_lint.h"
#include "diagnostics/diagnostics.h"
#include "diagnostics/line_pieces.h"
#include "diagnostics/sinks.h"
#include "driver/file_actions.h"
#include "listing/listing.h"
#include "partsfile/parts_file.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_session.h"
#include "platform/ov_settings.h"
#include "platform/ov_string_util.h"
#include "platform/ov_util.h"

namespace partsc {

namespace {

constexpr int kConsoleBuffer = 128;
constexpr int kControlBuffer = 80;
constexpr const char* kRunLogName = "TALVIREN.LOG";

void CloseErrorLog() {
  ReportDiagnostic(kDiagCloseLog, kSeverityNone, MessageTable[kMsgBlank], 0, {});
}

// Names a log that could not be written, with the system's `reason`, on
// standard error. True when there was one.
bool WriteFailureReported(const std::string& name, const std::string& reason) {
  if (reason.empty()) {
    return false;
  }
  ComplainNotWritten(name, reason);
  return true;
}

// Asks for the control file name at the console. False when standard input
// ended before a name could be read.
bool ReadControlName(std::string& name) {
  OvFileIO console;
  console.FopenStdin();
  dbgprint(kConsoleProgress, "\n Parts Input Control File Name : ");
  return console.Fgets(name, kConsoleBuffer);
}

// What the walk of a control file keeps from one input to the next.
struct Walk {
  OvFileIO& runLog;
  std::set<std::string> written;  // the parts files of this run
};

// A parts file written a second time in one run replaces the first.
void NoteWritten(Walk& walk, const std::string& outputPath) {
  if (outputPath.empty() || walk.written.insert(outputPath).second) {
    return;
  }
  ReportWarning(Warning::kPartsFileTwice, "Parts file " + outputPath +
                                              " written again in this run: the earlier one is "
                                              "now its backup");
}

// With --atomic, the new content of a parts file that failed goes, and the
// note says what is kept. Nothing without --atomic.
void KeepPreviousFile(const std::string& outputPath) {
  if (!DiscardPartsFile()) {
    return;
  }
  const bool previous = OvFile::Access(outputPath, kAccessExists) == 0;
  Complain(outputPath + (previous ? ": not replaced; the previous file and its backup are kept"
                                  : ": not written"));
}

// With --atomic, puts the new parts file in place; true when it is (and
// always without --atomic).
bool CommitNewFile(const std::string& outputPath) {
  std::string reason;
  if (CommitPartsFile(reason) == 0) {
    return true;
  }
  Complain(outputPath + ": not replaced: " + reason);
  return false;
}

// Compiles one input and lists the new parts file; a parts file that cannot
// be read back is removed. True when the input compiled and listed.
bool CompileAndList(const std::string& line, Walk& walk) {
  OvFileIO& runLog = walk.runLog;
  const std::string inputPath = OvFile::ToFullPath(kClassInput, line, false, true);
  dbgprint(kConsoleProgress, "\n  Input file name\t\t%s\n", inputPath.c_str());
  std::string outputPath;
  const int compiled = CompilePartsSource(inputPath, outputPath);
  NoteWritten(walk, outputPath);
  if (compiled != 0) {
    KeepPreviousFile(outputPath);
    return false;
  }
  if (ListPartsFile(outputPath, runLog) == 0) {
    return CommitNewFile(outputPath);
  }
  // The listing closes the file on every path; closing again is harmless and
  // makes sure nothing holds the file that is about to go.
  ClosePartsFile();
  const bool pending = PartsFilePending();
  if (!pending && OvFile::Access(outputPath, kAccessExists) == 0) {
    OvFile::Remove(outputPath);
  }
  SetReportFile(outputPath);
  ReportBare(kSeverityError, kMsgIllegalFileDelete);
  KeepPreviousFile(outputPath);
  return false;
}

// One input, from its compile to the listing or removal of its parts file,
// which is then let go for other runs.
bool ProcessInput(const std::string& line, Walk& walk) {
  const bool done = CompileAndList(line, walk);
  ReleasePartsFile();
  return done;
}

// Walks the control file; true when any input failed.
bool WalkControlFile(const std::string& controlPath, OvFileIO& control, OvFileIO& runLog) {
  bool anyFailed = false;
  Walk walk{runLog, {}};
  LinePieces pieces;
  bool carriageReturnSeen = false;
  int lineNumber = 0;
  std::string line;
  while (control.Fgets(line, kControlBuffer)) {
    pieces.Take(line);
    TrimLineEnd(line);
    SetReportFile(controlPath);
    SetReportLine({++lineNumber, pieces.PhysicalLine(), pieces.StartColumn(), line});
    LintLineEnd(pieces, line, carriageReturnSeen);
    ClearReportLine();
    if (line.empty() || line.front() == '/') {
      continue;
    }
    if (!ProcessInput(line, walk)) {
      anyFailed = true;
    }
    dbgflush();
  }
  return anyFailed;
}

// The run of a control file: named with -c, or asked for at the prompt.
int CompileControlFile(const OvSession& session) {
  std::string name = session.ControlName();
  if (name.empty() && !ReadControlName(name)) {
    const std::string line =
        "\n" + session.ProgramName() + ": no control file name: standard input ended\n";
    ReportRunFailure(kDiagNoControlName, line, "No control file name", "standard input ended");
    return kExitStop;
  }
  // The name as typed or given with -c, without the line end and blanks.
  OvStringUtil::TrimRight(name);
  if (name.empty()) {
    const std::string line =
        session.ProgramName() + ": no control file name: the answer is empty\n";
    ReportRunFailure(kDiagNoControlName, line, "No control file name", "the answer is empty");
    return kExitStop;
  }
  const std::string controlPath = OvFile::ToFullPath(kClassControl, name, false, true);
  dbgprint(kConsoleProgress, "\n  Control file name\t\t%s\n", controlPath.c_str());
  ReportDiagnostic(kDiagOpenLog, kSeverityNone, controlPath, 0, {});
  // An error log that cannot be opened is not reported; one that was opened
  // and could not be written is.
  const bool errorLogOpened = ErrorLogIsOpen();

  OvFileIO control;
  if (!control.Fopen(controlPath, "r")) {
    ReportRunFailure(kDiagControlOpen, "\t*** E *** Input Control File Open Error\n",
                     "Input Control File Open Error", LastSystemError());
    CloseErrorLog();
    return kExitStop;
  }
  OvFileIO runLog;
  if (!runLog.Fopen(kRunLogName, "w")) {
    ReportRunFailure(kDiagRunLogOpen, "Log file TALVIREN.LOG open error\n",
                     "Log file TALVIREN.LOG open error", LastSystemError());
    control.Fclose();
    CloseErrorLog();
    return kExitStop;
  }
  bool anyFailed = WalkControlFile(controlPath, control, runLog);
  control.Fclose();
  runLog.Fclose();
  CloseErrorLog();
  anyFailed |= WriteFailureReported(kRunLogName, runLog.ErrorText());
  if (errorLogOpened) {
    anyFailed |= WriteFailureReported(ErrorLogName(controlPath), ErrorLogFailure());
  }
  const bool warningsFail = WarningsAreErrors() && WarningsReported() > 0;
  return (session.Strict() && anyFailed) || warningsFail ? kExitFailed : kExitOk;
}

// The diagnostics options of the command line; false with `problem` set when
// a -W option names no warning.
bool SetUpDiagnostics(const OvSession& session, std::string& problem) {
  const std::string& format = session.DiagnosticsFormat();
  if (format == "gnu") {
    SetDiagnosticsFormat(DiagnosticsFormat::kGnu);
  } else if (format == "json") {
    SetDiagnosticsFormat(DiagnosticsFormat::kJson);
  }
  if (!session.SarifPath().empty()) {
    AddDiagnosticSink(MakeSarifSink(session.SarifPath()));
  }
  for (const std::string& option : session.WarningOptions()) {
    if (!ApplyWarningOption(option)) {
      problem = "unknown warning option '-W" + option + "'";
      return false;
    }
  }
  return true;
}

// A refused command line: what is wrong and where help is, in the words of
// GNU programs, around the usage line.
int RefuseCommandLine(int argc, char** argv, const std::string& problem) {
  const std::string program = argc > 0 && argv[0] != nullptr ? argv[0] : "partsc";
  const std::string shortName = program.substr(program.rfind('/') + 1);
  if (!problem.empty()) {
    dbgprint(kConsoleFatal, "%s: %s\n", shortName.c_str(), problem.c_str());
  }
  dbgprint(kConsoleFatal, "Usage: %s -pORVA.SET\n", program.c_str());
  dbgprint(kConsoleFatal, "Try '%s --help' for more information.\n", shortName.c_str());
  return kExitStop;
}

// The compile of a control file with the diagnostics the command line asked
// for; a SARIF log that cannot be written fails the run.
int CompileWithDiagnostics(const OvSession& session) {
  const int status = CompileControlFile(session);
  const bool written = FinishDiagnostics();
  return written || status != kExitOk ? status : kExitFailed;
}

// Changes into the directories named with -C, in turn. False after one
// complaint.
bool ChangeDirectories(const OvSession& session) {
  for (const std::string& directory : session.Directories()) {
    std::string reason;
    if (!OvFile::ChangeDirectory(directory, reason)) {
      Complain(directory + ": cannot change to the directory: " + reason);
      return false;
    }
  }
  return true;
}

}  // namespace

int RunPartsc(int argc, char** argv) {
  OvSession& session = OvSession::GetInstance();
  if (!session.ParseCommandLine(argc, argv)) {
    return RefuseCommandLine(argc, argv, session.Refusal());
  }
  if (session.ExitRequested()) {
    return kExitOk;
  }
  if (!ChangeDirectories(session)) {
    return kExitStop;
  }
  std::string problem;
  if (!SetUpDiagnostics(session, problem)) {
    return RefuseCommandLine(argc, argv, problem);
  }
  if (initfiles() != 0) {
    return kExitStop;
  }
  switch (session.Action()) {
    case OvAction::kList:
      return ListFiles(session.ListFiles());
    case OvAction::kDecompile:
      return Decompile(session.DecompileFile(), session.DecompileOutput());
    case OvAction::kExplain:
      return ExplainDiagnostic(session.ExplainName());
    case OvAction::kCompile:
      break;
  }
  return CompileWithDiagnostics(session);
}

}  // namespace partsc
