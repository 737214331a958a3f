// Writes the parts-file state into the parts file opened for writing.
#pragma once

#include <optional>
#include <string_view>

#include "partsfile/result_codes.h"

namespace partsc {

struct PartsFile;
struct PartsFileState;

// Each answers kPartsOk, kPartsNotOpen or kPartsShortWrite; the parts file
// is opened with OpenPartsFile first.
int WriteHeader(PartsFile& parts, const PartsFileState& state);
int WriteApgList(PartsFile& parts, const PartsFileState& state);
void BeginMemberLists(PartsFile& parts);
// Writes the current spec and param entries as one member list; with a size
// name, the first counted size record of that name gets its position.
int WriteMemberList(PartsFile& parts, PartsFileState& state,
                    std::optional<std::string_view> sizeName);
// Sorts the size records by the sort mode of the header and writes them.
int WriteSizeList(PartsFile& parts, PartsFileState& state);

}  // namespace partsc
