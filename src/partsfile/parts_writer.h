// Writes the parts-file state as a parts file, block by block, into a sink.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "partsfile/result_codes.h"

namespace partsc {

class PartsSink;
struct PartsFileState;

// One parts file being written into a sink opened for it. Each write answers
// kPartsOk or kPartsShortWrite.
class PartsWriter {
 public:
  explicit PartsWriter(PartsSink& sink) : sink_(sink) {}

  int WriteHeader(const PartsFileState& state);
  int WriteApgList(const PartsFileState& state);
  // The first member list goes to the start of the member-list area.
  void BeginMemberLists();
  // Writes the current spec and param entries as one member list; with a
  // size name, the first counted size record of that name gets its position.
  int WriteMemberList(PartsFileState& state, std::optional<std::string_view> sizeName);
  // Sorts the size records by the sort mode of the header and writes them
  // into the room left for them.
  int WriteSizeList(PartsFileState& state);

 private:
  PartsSink& sink_;
  int32_t memberWritePosition_ = 0;
  bool listStartPending_ = false;
  std::vector<uint8_t> memberListBytes_;  // the list being written
};

}  // namespace partsc
