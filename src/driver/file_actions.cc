#include "driver/file_actions.h"

#include "decompiler/decompile.h"
#include "driver/run_driver.h"
#include "listing/listing.h"
#include "platform/ov_file_io.h"
#include "platform/ov_session.h"

namespace partsc {

int ListFiles(const std::vector<std::string>& files) {
  OvFileIO out;
  out.FopenStdout();
  int status = kExitOk;
  for (const std::string& file : files) {
    const int code = ListPartsFile(file, out);
    out.Fflush();
    if (code != 0) {
      Complain(file + ": " + UnreadableReason(code, LastReadResult()));
      status = kExitFailed;
    }
  }
  return status;
}

namespace {

// Opens where a recovered source goes: standard output, or `output`, which
// must not exist yet unless --force was given. False after one complaint.
bool OpenOutput(const std::string& output, OvFileIO& out) {
  if (output.empty()) {
    return out.FopenStdout();
  }
  if (out.Fopen(output, OvSession::GetInstance().Force() ? "w" : "wx")) {
    return true;
  }
  if (out.AlreadyExists()) {
    Complain(output + ": already exists; give --force to overwrite it");
    return false;
  }
  ComplainNotWritten(output, out.ErrorText());
  return false;
}

}  // namespace

int Decompile(const std::string& file, const std::string& output) {
  std::string source;
  std::string reason;
  const int result = DecompilePartsFile(file, source, reason);
  if (result == kDecompileNotRecoverable) {
    Complain(file + ": not recoverable: " + reason);
    return kExitFailed;
  }
  if (result != kDecompileOk) {
    Complain(file + ": " + reason);
    return kExitFailed;
  }
  OvFileIO out;
  if (!OpenOutput(output, out)) {
    return kExitFailed;
  }
  out.Fprintf("%s", source.c_str());
  out.Fflush();
  out.Fclose();
  if (out.Error() != 0) {
    ComplainNotWritten(output.empty() ? "standard output" : output, out.ErrorText());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace partsc
