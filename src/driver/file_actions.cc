#include "driver/file_actions.h"

#include "decompiler/decompile.h"
#include "driver/run_context.h"
#include "driver/run_driver.h"
#include "listing/listing.h"
#include "platform/ov_console.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_signals.h"

namespace partsc {

int ListFiles(RunContext& run, const std::vector<std::string>& files) {
  OvFileIO& out = run.console.Out();
  int status = kExitOk;
  for (const std::string& file : files) {
    if (OvSignals::Caught() != 0) {
      break;  // the run reports the signal
    }
    const ListResult listed =
        ListPartsFile(run.diagnostics, file, out, OvFile::Resolve(run.directory, file));
    out.Fflush();
    if (listed.code != 0) {
      Complain(run.console, file + ": " + UnreadableReason(listed));
      status = kExitFailed;
    }
  }
  return status;
}

namespace {

// Opens where a recovered source goes: standard output, or `output`, which
// must not exist yet unless --force was given. False after one complaint.
bool OpenOutput(RunContext& run, const std::string& output, OvFileIO& out) {
  const std::string path = OvFile::Resolve(run.directory, output);
  if (out.Fopen(path, run.session.Force() ? "w" : "wx")) {
    return true;
  }
  if (out.AlreadyExists()) {
    Complain(run.console, output + ": already exists; give --force to overwrite it");
    return false;
  }
  ComplainNotWritten(run.console, output, out.ErrorText());
  return false;
}

}  // namespace

int Decompile(RunContext& run, const std::string& file, const std::string& output) {
  std::string source;
  std::string reason;
  const int result = DecompilePartsFile(OvFile::Resolve(run.directory, file), source, reason);
  if (OvSignals::Caught() != 0) {
    return kExitFailed;  // nothing is written; the run reports the signal
  }
  if (result == kDecompileNotRecoverable) {
    Complain(run.console, file + ": not recoverable: " + reason);
    return kExitFailed;
  }
  if (result != kDecompileOk) {
    Complain(run.console, file + ": " + reason);
    return kExitFailed;
  }
  OvFileIO outputFile;
  OvFileIO& out = output.empty() ? run.console.Out() : outputFile;
  if (!output.empty() && !OpenOutput(run, output, outputFile)) {
    return kExitFailed;
  }
  out.Fprintf("%s", source.c_str());
  // Standard output is checked when the action ends.
  if (output.empty()) {
    return kExitOk;
  }
  outputFile.Fclose();
  if (outputFile.Error() != 0) {
    ComplainNotWritten(run.console, output, outputFile.ErrorText());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace partsc
