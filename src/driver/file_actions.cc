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
  const bool opened = output.empty() ? out.FopenStdout() : out.Fopen(output, "w");
  if (!opened) {
    Complain(output + ": cannot be written");
    return kExitFailed;
  }
  out.Fprintf("%s", source.c_str());
  out.Fflush();
  out.Fclose();
  return kExitOk;
}

}  // namespace partsc
