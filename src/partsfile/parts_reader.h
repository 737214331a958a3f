// Loads a parts file back into the parts-file state.
#pragma once

#include <cstdint>
#include <string_view>

#include "partsfile/parts_state.h"

namespace partsc {

// Result codes of the reader, besides kPartsNotOpen (30).
inline constexpr int kReadBadVersion = 13;
inline constexpr int kReadNoApgName = 14;
inline constexpr int kReadNoSizes = 15;
inline constexpr int kReadShort = 21;
// A length or count in the file lies outside its field or table: the file is
// damaged and is refused before anything is copied.
inline constexpr int kReadDamaged = 23;
inline constexpr int kReadSizeNotFound = 50;
inline constexpr int kReadNoMemory = kEntryNoMemory;
inline constexpr int kReadTableFull = kEntryTableFull;

int ReadHeader();
int ReadApgList();
int ReadSizeList();
int ReadCommonList();
int ReadSizeMembers(std::string_view sizeName);
// Reads the member list that starts at `position` and appends its entries
// after those already in the tables, as ReadSizeMembers does for a size's
// list; for a list that no size record points to. 0, 21, 23, 30, 109 or 200.
int ReadMemberListAt(int64_t position);

}  // namespace partsc
