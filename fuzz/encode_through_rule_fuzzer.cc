// Any bytes as a parts file, decoded, judged by the rule for a good parts file
// and, when it passes, encoded again: a model the rule takes gives a file
// that reads back whole to the same model and lists whole, and the rule
// takes that model again.
#include <partsc/partsc.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace partsc;
  using namespace partsc::fuzz;
  const PartsModel model = DecodePartsFile(AsText(data, size));
  if (!Validate(model, "/fuzz.prt").empty()) {
    return 0;
  }
  const std::string bytes = EncodePartsFile(model).bytes;
  const PartsModel back = DecodePartsFile(bytes);
  Require(back == model, "a model the rule takes is read back whole from its bytes");
  Require(ListModel(back, "/fuzz.prt").status == ListStatus::kListed,
          "a model the rule takes lists whole");
  Require(Validate(back, "/fuzz.prt").empty(), "the rule takes what it took, read back");
  return 0;
}
