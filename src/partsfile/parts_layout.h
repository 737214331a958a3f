// The byte layout of a parts file and the records it holds. Every number is
// little-endian; texts are fixed fields with a 16-bit length beside them.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace partsc {

// A file whose version is not this one is refused.
inline constexpr int16_t kPartsVersion = 102;

// The header: 256 bytes at the start of the file; the bytes from kHeaderUsed
// on are reserved and zero.
inline constexpr int kHeaderSize = 256;
inline constexpr int kHeaderTextSize = 64;
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
inline constexpr int kApgTextSize = 32;
inline constexpr int kApgTextMax = 31;
inline constexpr int kApgBlockSize = 204;

// The size records after the APG blocks: name length, title length, the two
// 32-byte fields and the position of the size's member list.
inline constexpr int kSizeRecordSize = 72;
inline constexpr int kSizeTextSize = 32;
inline constexpr int kSizeNameLengthAt = 0;
inline constexpr int kSizeTitleLengthAt = 2;
inline constexpr int kSizeNameAt = 4;
inline constexpr int kSizeTitleAt = 36;
inline constexpr int kSizeMemberOffsetAt = 68;

// Member records: a 12-byte head, then the texts; a head of any other kind
// ends the list.
inline constexpr int kMemberHeadSize = 12;
inline constexpr int kParamNameMax = 6;
inline constexpr uint8_t kKindEnd = 0;
inline constexpr uint8_t kKindSpec = 1;
inline constexpr uint8_t kKindParam = 2;
inline constexpr uint8_t kKindSpecRecord = 3;

// Sort modes of the size records ($$LSORT, $$CSORT, $$NSORT).
inline constexpr int kSortLengthThenName = 0;
inline constexpr int kSortByName = 1;
inline constexpr int kSortAsWritten = 2;

// Capacities of the tables.
inline constexpr int kMaxSizes = 2048;
inline constexpr int kMaxSpecEntries = 256;
inline constexpr int kMaxParamEntries = 512;

// A text in a fixed field of N bytes: at most N characters, zero bytes after
// it. Assign cuts a longer text to N characters.
template <int N>
class FixedText {
 public:
  void Assign(std::string_view text) {
    const size_t n = text.size() < size_t{N} ? text.size() : size_t{N};
    bytes_.fill(0);
    if (n > 0) {
      std::memcpy(bytes_.data(), text.data(), n);
    }
    length_ = static_cast<uint16_t>(n);
  }
  // Makes the text the first `length` bytes of a file field, ending early at
  // a zero byte; `length` must be within 0..N.
  void AssignField(const uint8_t* field, int length) {
    int n = 0;
    while (n < length && field[n] != 0) {
      ++n;
    }
    Assign(std::string_view(reinterpret_cast<const char*>(field), static_cast<size_t>(n)));
  }
  void Clear() { Assign({}); }
  std::string_view View() const { return {bytes_.data(), length_}; }
  std::string Str() const { return std::string(View()); }
  uint16_t Length() const { return length_; }
  bool Empty() const { return length_ == 0; }
  // The N bytes of the field as written to a file.
  const std::array<char, N>& Bytes() const { return bytes_; }

 private:
  std::array<char, N> bytes_{};
  uint16_t length_ = 0;
};

struct PartsHeader {
  int16_t version = 0;
  int16_t createdDay = 0;
  int16_t createdMonth = 0;
  int16_t createdYear = 0;
  int16_t createdHour = 0;
  int16_t createdMinute = 0;
  FixedText<kHeaderTextSize> comment;
  int16_t specFile = 0;
  int16_t specRecord = 0;
  int16_t partsValue1 = 0;
  int16_t partsValue2 = 0;
  int16_t sizeCount = 0;
  int32_t commonOffset = 0;
  FixedText<kHeaderTextSize> title;
  int16_t apgCommentCount = 0;
  int16_t sortMode = 0;
};

using ApgBlock = std::array<FixedText<kApgTextMax>, 6>;

struct SizeRecord {
  FixedText<kSizeTextSize> name;
  FixedText<kSizeTextSize> title;
  uint32_t memberOffset = 0;
};

struct SpecEntry {
  uint16_t number = 0;
  uint16_t invertedFlag = 0;
  uint16_t record = 0;
  std::string name;
};

struct ParamEntry {
  std::string name;
  int16_t pairCode = 0;
  std::string text;
  std::string comment;  // empty when the entry has none
};

}  // namespace partsc
