// Any bytes as a parts file, read back and listed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_env.h"
#include "listing/listing.h"
#include "platform/ov_file_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace partsc;
  using namespace partsc::fuzz;
  Context& context = BeginInput();
  const std::string path = WriteInput("damaged.prt", AsText(data, size));
  OvFileIO runLog;
  runLog.Fopen("TALVIREN.LOG", "w");

  OvFileBytes bytes;
  const ListResult listed = ListPartsFile(context.diagnostics, path, runLog, path, bytes);
  const int code = static_cast<int>(listed.step);
  // The file exists and its name has a full stop: neither 1 nor 3.
  Require(code == 0 || code == 2 || code == 4 || code == 5 || code == 6 || code == 7,
          "the listing answers one of its codes");
  Require((code == 0) == (listed.read == ReadStatus::kOk), "a failed step names the reader's result");

  runLog.Fclose();
  EndInput();
  return 0;
}
