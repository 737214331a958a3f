// Writes the parts-file state into the parts file opened for writing.
#pragma once

#include <optional>
#include <string_view>

#include "partsfile/result_codes.h"

namespace partsc {

// Each answers kPartsOk, kPartsNotOpen or kPartsShortWrite; the parts file
// is opened with OpenPartsFile first.
int WriteHeader();
int WriteApgList();
void BeginMemberLists();
// Writes the current spec and param entries as one member list; with a size
// name, the first counted size record of that name gets its position.
int WriteMemberList(std::optional<std::string_view> sizeName);
// Sorts the size records by the sort mode of the header and writes them.
int WriteSizeList();

}  // namespace partsc
