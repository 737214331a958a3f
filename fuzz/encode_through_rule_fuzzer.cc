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
  const PartsModel model = api::DecodePartsFile(AsText(data, size));
  if (!api::Validate(model, "/fuzz.prt").empty()) {
    return 0;
  }
  const std::string bytes = api::EncodePartsFile(model);
  const PartsModel back = api::DecodePartsFile(bytes);
  Require(back == model, "a model the rule takes is read back whole from its bytes");
  Require(api::ListModel(back, "/fuzz.prt").code == 0, "a model the rule takes lists whole");
  Require(api::Validate(back, "/fuzz.prt").empty(), "the rule takes what it took, read back");
  return 0;
}
