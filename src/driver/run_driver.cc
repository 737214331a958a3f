#include "driver/run_driver.h"

#include <string>
#include <vector>

#include "compiler/compile_passes.h"
#include "diagnostics/diagnostics.h"
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
  Complain(name + ": cannot be written: " + reason);
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
bool CompileAndList(const std::string& line, OvFileIO& runLog) {
  const std::string inputPath = OvFile::ToFullPath(kClassInput, line, false, true);
  dbgprint(kConsoleProgress, "\n  Input file name\t\t%s\n", inputPath.c_str());
  std::string outputPath;
  if (CompilePartsSource(inputPath, outputPath) != 0) {
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
  ReportBare(kSeverityError, kMsgIllegalFileDelete);
  KeepPreviousFile(outputPath);
  return false;
}

// One input, from its compile to the listing or removal of its parts file,
// which is then let go for other runs.
bool ProcessInput(const std::string& line, OvFileIO& runLog) {
  const bool done = CompileAndList(line, runLog);
  ReleasePartsFile();
  return done;
}

// Walks the control file; true when any input failed.
bool WalkControlFile(OvFileIO& control, OvFileIO& runLog) {
  bool anyFailed = false;
  std::string line;
  while (control.Fgets(line, kControlBuffer)) {
    TrimLineEnd(line);
    if (line.empty() || line.front() == '/') {
      continue;
    }
    if (!ProcessInput(line, runLog)) {
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
    dbgprint(kConsoleFatal, "\n%s: no control file name: standard input ended\n",
             session.ProgramName().c_str());
    return kExitStop;
  }
  // The name as typed or given with -c, without the line end and blanks.
  OvStringUtil::TrimRight(name);
  if (name.empty()) {
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
    dbgprint(kConsoleFatal, "\t*** E *** Input Control File Open Error\n");
    CloseErrorLog();
    return kExitStop;
  }
  OvFileIO runLog;
  if (!runLog.Fopen(kRunLogName, "w")) {
    dbgprint(kConsoleFatal, "Log file TALVIREN.LOG open error\n");
    control.Fclose();
    CloseErrorLog();
    return kExitStop;
  }
  bool anyFailed = WalkControlFile(control, runLog);
  control.Fclose();
  runLog.Fclose();
  CloseErrorLog();
  anyFailed |= WriteFailureReported(kRunLogName, runLog.ErrorText());
  if (errorLogOpened) {
    anyFailed |= WriteFailureReported(ErrorLogName(controlPath), ErrorLogFailure());
  }
  return session.Strict() && anyFailed ? kExitFailed : kExitOk;
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
    dbgprint(kConsoleFatal, "Usage: %s -pORVA.SET\n",
             argc > 0 && argv[0] != nullptr ? argv[0] : "partsc");
    return kExitStop;
  }
  if (session.ExitRequested()) {
    return kExitOk;
  }
  if (!ChangeDirectories(session) || initfiles() != 0) {
    return kExitStop;
  }
  switch (session.Action()) {
    case OvAction::kList:
      return ListFiles(session.ListFiles());
    case OvAction::kDecompile:
      return Decompile(session.DecompileFile(), session.DecompileOutput());
    case OvAction::kCompile:
      break;
  }
  return CompileControlFile(session);
}

}  // namespace partsc
