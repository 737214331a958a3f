#include "driver/check_run.h"

#include <string>
#include <vector>

#include "compiler/compile_passes.h"
#include "diagnostics/diagnostics.h"
#include "driver/control_file.h"
#include "driver/run_context.h"
#include "driver/run_driver.h"
#include "partsfile/parts_file.h"
#include "platform/ov_console.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_signals.h"
#include "platform/ov_util.h"

namespace partsc {

namespace {

// Compiles one source into memory, where its bytes stay; true when it
// compiled.
bool CheckSource(RunContext& run, const std::string& inputPath) {
  AnnounceSource(run, inputPath);
  MemoryPartsSink sink;
  PartsOutput output{run.classes, sink};
  CompileContext context = run.Compile();
  const int compiled = CompilePartsSource(context, LineSource{inputPath, {}}, output).code;
  run.diagnostics.EndInput();
  return compiled == kCompileOk;
}

// The sources named on the command line, each taken from the run's
// directory; a signal stops them before the next. Answers how many failed.
int CheckNamedSources(RunContext& run, const std::vector<std::string>& sources) {
  run.diagnostics.OpenErrorLogInMemory(sources.front());
  int failed = 0;
  std::string lastInput;
  for (const std::string& source : sources) {
    if (OvSignals::Caught() != 0) {
      ReportInterruption(run, "after compiling " + lastInput);
      break;
    }
    lastInput = OvFile::Resolve(run.directory, source);
    failed += CheckSource(run, lastInput) ? 0 : 1;
    dbgflush(run.console);
  }
  return failed;
}

// The sources of the control file. Answers kExitOk with how many failed in
// `failed`, or the status the run ends with when there is no control file.
int CheckControlFile(RunContext& run, int& failed) {
  std::string controlPath;
  if (const int status = TakeControlPath(run, controlPath); status != kExitOk) {
    return status;
  }
  run.diagnostics.OpenErrorLogInMemory(controlPath);
  OvFileIO control;
  if (!OpenControlFile(run, controlPath, control)) {
    return kExitStop;
  }
  WalkControlFile(run, controlPath, control,
                  [&run, &failed, &controlPath](const std::string& line, int lineNumber) {
                    const std::string inputPath = run.classes.ToFullPath(kClassInput, line);
                    run.diagnostics.SetInputOrigin(controlPath, lineNumber);
                    failed += CheckSource(run, inputPath) ? 0 : 1;
                    return inputPath;
                  });
  return kExitOk;
}

}  // namespace

int CheckSources(RunContext& run) {
  Diagnostics& diagnostics = run.diagnostics;
  const std::vector<std::string>& sources = run.session.Sources();
  int failed = 0;
  int status = kExitOk;
  if (sources.empty()) {
    status = CheckControlFile(run, failed);
  } else {
    failed = CheckNamedSources(run, sources);
  }
  diagnostics.CloseErrorLog();
  const bool outputFailed = StandardOutputFailed(run.console);
  if (OvSignals::Caught() != 0) {
    status = kExitSignal + OvSignals::Caught();
  } else if (status == kExitOk) {
    const bool warned = diagnostics.WarningsAreErrors() && diagnostics.WarningsReported() > 0;
    status = failed > 0 || warned || outputFailed ? kExitFailed : kExitOk;
  }
  const bool written = diagnostics.FinishSinks(status);
  return written || status != kExitOk ? status : kExitFailed;
}

}  // namespace partsc
