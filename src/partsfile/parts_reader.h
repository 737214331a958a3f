// Loads a parts file back into the parts-file state.
#pragma once

#include <cstdint>
#include <string_view>

#include "partsfile/result_codes.h"

namespace partsc {

struct PartsFile;
struct PartsFileState;

// Each reads from the parts file opened with OpenPartsFile into the state and
// answers kPartsOk or one of the reader's codes of result_codes.h.
int ReadHeader(PartsFile& parts, PartsFileState& state);
int ReadApgList(PartsFile& parts, PartsFileState& state);
int ReadSizeList(PartsFile& parts, PartsFileState& state);
int ReadCommonList(PartsFile& parts, PartsFileState& state);
int ReadSizeMembers(PartsFile& parts, PartsFileState& state, std::string_view sizeName);
// Reads the member list that starts at `position` and appends its entries
// after those already in the tables, as ReadSizeMembers does for a size's
// list; for a list that no size record points to.
int ReadMemberListAt(PartsFile& parts, PartsFileState& state, int64_t position);

}  // namespace partsc
