// Any bytes as a parts file, decoded in memory: the model keeps its limits,
// a model read whole that encodes gives the same model back from its bytes,
// its listing stops at the part where reading stopped, and the listing made
// a list at a time from the bytes is the same.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "diagnostics/diagnostics.h"
#include "fuzz_env.h"
#include "listing/listing.h"
#include "partsfile/parts_decoder.h"
#include "partsfile/parts_encoder.h"
#include "platform/ov_console.h"
#include "platform/ov_file_io.h"

namespace partsc::fuzz {
namespace {

void CheckEntries(const MemberList& list) {
  for (const SpecEntry& spec : list.specs) {
    Require(spec.number >= 1 && spec.number <= 256, "a spec number is one byte, 0 read as 256");
    Require(spec.record <= 256 && spec.invertedFlag <= 255, "a spec's record and flag are bytes");
  }
  for (const ParamEntry& param : list.params) {
    Require(!param.name.empty() && param.name.size() <= kParamNameMax,
            "a param name has 1 to 6 characters");
  }
}

void CheckWhole(const PartsModel& model) {
  const int count = model.header.sizeCount;
  Require(model.sizes.size() == static_cast<size_t>(count < 1 ? 0 : count),
          "a file read whole has as many size records as its header counts");
  Require(model.common.has_value() == (model.header.commonOffset != 0),
          "a file read whole has its common list exactly when the header points to one");
  for (const PartsSize& size : model.sizes) {
    Require(size.membersResult == ReadStatus::kOk, "a file read whole has every size's list");
    CheckEntries(size.members);
  }
  const EncodedModel encoded = EncodeModel(model);
  if (encoded.problem) {
    return;
  }
  const std::string& bytes = encoded.bytes;
  Require(DecodePartsFile(bytes) == model, "a model read whole is read back from its bytes");
  Require(EncodeModel(DecodePartsFile(bytes)).bytes == bytes,
          "the bytes of a model encode to themselves");
}

// The listing step that reads each part.
std::optional<ListStep> ListStepOf(PartsPart part) {
  switch (part) {
    case PartsPart::kHeader:
      return ListStep::kHeader;
    case PartsPart::kApgList:
      return ListStep::kApg;
    case PartsPart::kSizeList:
      return ListStep::kSizes;
    case PartsPart::kCommonList:
      return ListStep::kCommon;
    default:
      return std::nullopt;
  }
}

}  // namespace
}  // namespace partsc::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace partsc;
  using namespace partsc::fuzz;
  const std::string_view bytes = AsText(data, size);
  const PartsModel model = DecodePartsFile(bytes);
  Require(DecodePartsFile(bytes) == model, "the same bytes give the same model");
  Require(model.read.Whole() == (model.read.result == ReadStatus::kOk), "a stop names its reason");
  if (model.read.Whole()) {
    CheckWhole(model);
  }
  OvConsole console(OvConsole::InMemory{});
  Diagnostics diagnostics(console, std::string());
  OvFileIO runLog;
  runLog.FopenMemory();
  const ListResult listed = ListOpenFile(diagnostics, model, "/parts/fuzz.prt", runLog);
  const std::optional<ListStep> expected = ListStepOf(model.read.part);
  Require(!expected || (listed.step == *expected && listed.read == model.read.result),
      "the listing stops at the part where reading stopped");
  OvFileIO byLists;
  byLists.FopenMemory();
  const ListResult streamed = ListFileBytes(diagnostics, bytes, "/parts/fuzz.prt", byLists);
  // A list the model keeps once for records that share it (kReadSharedList)
  // is read again from the bytes for each record: there the model's listing
  // stops, and the other goes on.
  if (listed.read == ReadStatus::kSharedList) {
    Require(byLists.MemoryText().starts_with(runLog.MemoryText()),
            "a listing of the bytes goes on where the model keeps a shared list once");
    return 0;
  }
  Require(streamed.step == listed.step && streamed.read == listed.read &&
              byLists.MemoryText() == runLog.MemoryText(),
          "listing the bytes a list at a time gives the listing of the model");
  return 0;
}
