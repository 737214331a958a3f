#include "driver/run_driver.h"

#include <string>

#include "compiler/compile_passes.h"
#include "driver/diagnostics.h"
#include "driver/line_end.h"
#include "listing/listing.h"
#include "partsfile/parts_writer.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_session.h"
#include "platform/ov_string_util.h"
#include "platform/ov_util.h"

namespace partsc {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitStop = -1;
constexpr int kConsoleBuffer = 128;
constexpr int kControlBuffer = 80;
constexpr const char* kRunLogName = "TALVIREN.LOG";

void CloseErrorLog() {
  ReportDiagnostic(kDiagCloseLog, kSeverityNone, MessageTable[0], 0, {});
}

// Asks for the control file name at the console. False when standard input
// ended before a name could be read.
bool ReadControlName(std::string& name) {
  OvFileIO console;
  console.FopenStdin();
  dbgprint(2, "\n Parts Input Control File Name : ");
  if (!console.Fgets(name, kConsoleBuffer)) {
    return false;
  }
  OvStringUtil::TrimRight(name);
  return true;
}

// Compiles one input and lists the new parts file; a parts file that cannot
// be read back is removed.
void ProcessInput(const std::string& line, OvFileIO& runLog) {
  const std::string inputPath = OvFile::ToFullPath(kClassInput, line, false, true);
  dbgprint(2, "\n  Input file name\t\t%s\n", inputPath.c_str());
  std::string outputPath;
  if (CompilePartsSource(inputPath, outputPath) != 0) {
    return;
  }
  if (ListPartsFile(outputPath, runLog) == 0) {
    return;
  }
  // The listing closes the file on every path; closing again is harmless and
  // makes sure nothing holds the file that is about to go.
  ClosePartsFile();
  if (OvFile::Access(outputPath, 0) == 0) {
    OvFile::Remove(outputPath);
  }
  ReportBare(kSeverityError, kMsgIllegalFileDelete);
}

void WalkControlFile(OvFileIO& control, OvFileIO& runLog) {
  std::string line;
  while (control.Fgets(line, kControlBuffer)) {
    TrimLineEnd(line);
    if (line.empty() || line.front() == '/') {
      continue;
    }
    ProcessInput(line, runLog);
  }
}

}  // namespace

int RunPartsc(int argc, char** argv) {
  OvSession& session = OvSession::GetInstance();
  if (!session.ParseCommandLine(argc, argv)) {
    dbgprint(4, "Usage: %s -pORVA.SET\n", argc > 0 && argv[0] != nullptr ? argv[0] : "partsc");
    return kExitStop;
  }
  if (session.ExitRequested()) {
    return kExitOk;
  }
  if (initfiles() != 0) {
    return kExitStop;
  }
  std::string name;
  if (!ReadControlName(name)) {
    dbgprint(4, "\n%s: no control file name: standard input ended\n",
             session.ProgramName().c_str());
    return kExitStop;
  }
  if (name.empty()) {
    return kExitStop;
  }
  const std::string controlPath = OvFile::ToFullPath(kClassControl, name, false, true);
  dbgprint(2, "\n  Control file name\t\t%s\n", controlPath.c_str());
  ReportDiagnostic(kDiagOpenLog, kSeverityNone, controlPath, 0, {});

  OvFileIO control;
  if (!control.Fopen(controlPath, "r")) {
    dbgprint(4, "\t*** E *** Input Control File Open Error\n");
    CloseErrorLog();
    return kExitStop;
  }
  OvFileIO runLog;
  if (!runLog.Fopen(kRunLogName, "w")) {
    dbgprint(4, "Log file TALVIREN.LOG open error\n");
    control.Fclose();
    CloseErrorLog();
    return kExitStop;
  }
  WalkControlFile(control, runLog);
  control.Fclose();
  runLog.Fclose();
  CloseErrorLog();
  return kExitOk;
}

}  // namespace partsc
