// Loads a parts file back into the parts-file state.
#pragma once

#include <cstdint>
#include <string_view>

#include "partsfile/result_codes.h"

namespace partsc {

// Each answers kPartsOk or one of the reader's codes of result_codes.h.
int ReadHeader();
int ReadApgList();
int ReadSizeList();
int ReadCommonList();
int ReadSizeMembers(std::string_view sizeName);
// Reads the member list that starts at `position` and appends its entries
// after those already in the tables, as ReadSizeMembers does for a size's
// list; for a list that no size record points to.
int ReadMemberListAt(int64_t position);

}  // namespace partsc
