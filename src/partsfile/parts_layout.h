// The byte layout of a parts file; the records it holds are the value types
// of <partsc/model.h>. Every number is little-endian; texts are fixed fields
// with a 16-bit length beside them.
#pragma once

#include <partsc/model.h>

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace partsc {

// A file whose version is not this one is refused.
inline constexpr int16_t kPartsVersion = 102;

// The header: 256 bytes at the start of the file; the bytes from kHeaderUsed
// on are reserved and zero.
inline constexpr int kHeaderSize = 256;
inline constexpr int kVersionAt = 0;
inline constexpr int kDayAt = 2;
inline constexpr int kMonthAt = 4;
inline constexpr int kYearAt = 6;
inline constexpr int kHourAt = 8;
inline constexpr int kMinuteAt = 10;
inline constexpr int kCommentAt = 12;
inline constexpr int kCommentLengthAt = 76;
inline constexpr int kSpecFileAt = 78;
inline constexpr int kSpecRecordAt = 80;
inline constexpr int kPartsValue1At = 82;
inline constexpr int kPartsValue2At = 84;
inline constexpr int kSizeCountAt = 86;
inline constexpr int kCommonOffsetAt = 88;
inline constexpr int kTitleAt = 92;
inline constexpr int kTitleLengthAt = 156;
inline constexpr int kApgCommentCountAt = 158;
inline constexpr int kSortModeAt = 160;
inline constexpr int kHeaderUsed = 162;
// The creation date, day to minute: the bytes a compile of the same source
// does not reproduce.
inline constexpr int kDateAt = kDayAt;
inline constexpr int kDateEnd = kMinuteAt + 2;

// The APG name block at 256, then the APG comment block when the header
// counts any comment: six entries of a 16-bit length and a 32-byte field
// holding at most 31 characters.
inline constexpr int kApgOffset = 256;
inline constexpr int kApgEntrySize = 34;
inline constexpr int kApgBlockSize = 204;

// The size records after the APG blocks: name length, title length, the two
// 32-byte fields and the position of the size's member list.
inline constexpr int kSizeRecordSize = 72;
inline constexpr int kSizeNameLengthAt = 0;
inline constexpr int kSizeTitleLengthAt = 2;
inline constexpr int kSizeNameAt = 4;
inline constexpr int kSizeTitleAt = 36;
inline constexpr int kSizeMemberOffsetAt = 68;

// Member records: a 12-byte head, then the texts; a head of any other kind
// ends the list. A spec record (kind 1, or 3 when it names a record) has the
// number, the name length, the inverted flag and the record byte in its head
// and the name after it. A param record (kind 2) has the name length, the
// text length, the pair code and the comment length in its head, the name in
// head bytes 6 to 11, and the comment, then the text, after it.
inline constexpr int kMemberHeadSize = 12;
inline constexpr uint8_t kKindSpec = 1;
inline constexpr uint8_t kKindParam = 2;
inline constexpr uint8_t kKindSpecRecord = 3;
// The byte a member record gives a text's length.
inline constexpr int kRecordTextMax = 255;
// The most characters a source gives the texts of member entries (what the
// compiler keeps of a member line's fields), far below kRecordTextMax; a
// param entry's name has its own field of kParamNameMax.
inline constexpr int kSpecNameLimit = 63;
inline constexpr int kParamTextLimit = 64;  // after macro expansion
inline constexpr int kParamCommentLimit = 63;

// The pair codes a param entry may hold: <0,0>, <1,0>, <0,1> and <1,1>, the
// units giving the first number and the tens the second.
constexpr bool IsAllowedPairCode(int code) {
  return code == 0 || code == 1 || code == 10 || code == 11;
}

// Sort modes of the size records ($$LSORT, $$CSORT, $$NSORT).
inline constexpr int kSortLengthThenName = 0;
inline constexpr int kSortByName = 1;
inline constexpr int kSortAsWritten = 2;

// Order of size names for a sort mode: 0 by length then bytes, 1 (or a
// negative mode) by bytes, unsigned, the shorter first on a common beginning.
// Negative when a sorts before b, 0 when equal, positive after. Any mode of 2
// or more compares like 1 (the caller decides whether to sort at all).
inline int CompareSizeNames(int sortMode, std::string_view a, std::string_view b) {
  if (sortMode == kSortLengthThenName && a.size() != b.size()) {
    return a.size() < b.size() ? -1 : 1;
  }
  // std::string_view compares with char_traits<char>, which orders bytes as
  // unsigned characters, and puts a proper beginning first.
  const int order = a.compare(b);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

// Capacities of the tables.
inline constexpr int kMaxSizes = 2048;
inline constexpr int kMaxSpecEntries = 256;
inline constexpr int kMaxParamEntries = 512;

// How many texts of a view block are given: the header's APG comment count
// of the comment block; none in the name block means a file without a view.
inline int16_t TextsGiven(const ApgBlock& block) {
  return static_cast<int16_t>(
      std::count_if(block.begin(), block.end(), [](const auto& text) { return !text.Empty(); }));
}

// Start of the size records: 460, or 664 with the APG comment block.
inline int32_t SizeListOffset(const PartsHeader& header) {
  return kApgOffset + (header.apgCommentCount != 0 ? 2 : 1) * kApgBlockSize;
}

// Start of the member-list area: SizeListOffset() + 72 x sizeCount.
inline int32_t MemberListsOffset(const PartsHeader& header) {
  const int64_t offset = SizeListOffset(header) + int64_t{kSizeRecordSize} * header.sizeCount;
  return static_cast<int32_t>(offset);
}

// The same for the size records `model` holds, whatever its header counts.
inline int64_t MemberAreaStart(const PartsModel& model) {
  return SizeListOffset(model.header) +
         int64_t{kSizeRecordSize} * static_cast<int64_t>(model.sizes.size());
}

}  // namespace partsc
