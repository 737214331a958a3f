// Any bytes as a parts file, read back and listed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_env.h"
#include "listing/listing.h"
#include "partsfile/parts_state.h"
#include "platform/ov_file_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace partsc;
  using namespace partsc::fuzz;
  Context& context = BeginInput();
  const std::string path = WriteInput("damaged.prt", AsText(data, size));
  OvFileIO runLog;
  runLog.Fopen("TALVIREN.LOG", "w");

  const int code = ListPartsFile(context.diagnostics, *context.state, context.parts, path, runLog);
  // The file exists and its name has a full stop: neither 1 nor 3.
  Require(code == 0 || code == 2 || code == 4 || code == 5 || code == 6 || code == 7,
          "the listing answers one of its codes");
  const PartsFileState& state = *context.state;
  Require(!context.parts.file.IsOpen(), "the listing closes the parts file");
  Require(state.specCount >= 0 && state.specCount <= kMaxSpecEntries,
          "the spec table count stays within the table");
  Require(state.paramCount >= 0 && state.paramCount <= kMaxParamEntries,
          "the param table count stays within the table");
  Require(state.commonSpecCount <= state.specCount && state.commonParamCount <= state.paramCount,
          "the common entries are a part of the table entries");

  runLog.Fclose();
  EndInput();
  return 0;
}
