#include "partsfile/parts_codec.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

namespace partsc {

namespace {

// A number of the width of T, little-endian, at byte `at`.
template <class T>
void Put(uint8_t* out, int at, T value) {
  const auto bits = static_cast<std::make_unsigned_t<T>>(value);
  for (size_t i = 0; i < sizeof(T); ++i) {
    out[at + static_cast<int>(i)] = static_cast<uint8_t>(bits >> (8 * i));
  }
}

template <class T>
T Get(const uint8_t* in, int at) {
  std::make_unsigned_t<T> bits = 0;
  for (size_t i = sizeof(T); i-- > 0;) {
    bits = static_cast<std::make_unsigned_t<T>>((bits << 8) | in[at + static_cast<int>(i)]);
  }
  return static_cast<T>(bits);
}

// The 16-bit numbers of the header and where each stands.
constexpr std::array<std::pair<int, int16_t PartsHeader::*>, 13> kHeaderNumbers = {{
    {kVersionAt, &PartsHeader::version},
    {kDayAt, &PartsHeader::createdDay},
    {kMonthAt, &PartsHeader::createdMonth},
    {kYearAt, &PartsHeader::createdYear},
    {kHourAt, &PartsHeader::createdHour},
    {kMinuteAt, &PartsHeader::createdMinute},
    {kSpecFileAt, &PartsHeader::specFile},
    {kSpecRecordAt, &PartsHeader::specRecord},
    {kPartsValue1At, &PartsHeader::partsValue1},
    {kPartsValue2At, &PartsHeader::partsValue2},
    {kSizeCountAt, &PartsHeader::sizeCount},
    {kApgCommentCountAt, &PartsHeader::apgCommentCount},
    {kSortModeAt, &PartsHeader::sortMode},
}};

template <int N>
void PutText(uint8_t* out, int at, const FixedText<N>& text) {
  std::memcpy(out + at, text.Bytes().data(), N);
}

// Makes `text` the first `length` bytes of a file field, ending early at a
// zero byte; `length` must be within 0..N.
template <int N>
void AssignField(FixedText<N>& text, const uint8_t* field, int length) {
  int n = 0;
  while (n < length && field[n] != 0) {
    ++n;
  }
  text.AssignCut(std::string_view(reinterpret_cast<const char*>(field), static_cast<size_t>(n)));
}

bool InRange(int value, int low, int high) {
  return value >= low && value <= high;
}

// A text length as one byte of a member-record head. The compiler keeps every
// member text far below kRecordTextMax characters; a longer one is cut, so
// that the length in the head always matches the characters that follow it.
size_t ByteLength(std::string_view text) {
  return std::min(text.size(), static_cast<size_t>(kRecordTextMax));
}

// Copies `length` bytes of a text to `at` and answers where they end.
uint8_t* PutBytes(uint8_t* at, std::string_view text, size_t length) {
  if (length == 0) {
    return at;  // an empty view may have no bytes at all
  }
  std::memcpy(at, text.data(), length);
  return at + length;
}

}  // namespace

void EncodeHeader(const PartsHeader& header, uint8_t out[kHeaderSize]) {
  std::memset(out, 0, kHeaderSize);
  for (const auto& [at, field] : kHeaderNumbers) {
    Put(out, at, header.*field);
  }
  PutText(out, kCommentAt, header.comment);
  Put(out, kCommentLengthAt, header.comment.Length());
  Put(out, kCommonOffsetAt, static_cast<uint32_t>(header.commonOffset));
  PutText(out, kTitleAt, header.title);
  Put(out, kTitleLengthAt, header.title.Length());
}

int16_t HeaderVersionOf(const uint8_t in[kHeaderSize]) {
  return Get<int16_t>(in, kVersionAt);
}

std::optional<PartsHeader> DecodeHeader(const uint8_t in[kHeaderSize]) {
  const int commentLength = Get<int16_t>(in, kCommentLengthAt);
  const int titleLength = Get<int16_t>(in, kTitleLengthAt);
  if (!InRange(commentLength, 0, kHeaderTextSize) || !InRange(titleLength, 0, kHeaderTextSize)) {
    return std::nullopt;
  }
  PartsHeader header;
  for (const auto& [at, field] : kHeaderNumbers) {
    header.*field = Get<int16_t>(in, at);
  }
  AssignField(header.comment, in + kCommentAt, commentLength);
  header.commonOffset = static_cast<int32_t>(Get<uint32_t>(in, kCommonOffsetAt));
  AssignField(header.title, in + kTitleAt, titleLength);
  return header;
}

void EncodeApgBlock(const ApgBlock& block, uint8_t out[kApgBlockSize]) {
  std::memset(out, 0, kApgBlockSize);
  for (size_t i = 0; i < block.size(); ++i) {
    const int at = kApgEntrySize * static_cast<int>(i);
    Put(out, at, block[i].Length());
    // The 32-byte field holds at most 31 characters; its last byte stays 0.
    PutText(out, at + 2, block[i]);
  }
}

std::optional<ApgBlock> DecodeApgBlock(const uint8_t in[kApgBlockSize]) {
  ApgBlock block;
  for (size_t i = 0; i < block.size(); ++i) {
    const int at = kApgEntrySize * static_cast<int>(i);
    const int length = Get<int16_t>(in, at);
    if (!InRange(length, 0, kApgTextMax)) {
      return std::nullopt;
    }
    AssignField(block[i], in + at + 2, length);
  }
  return block;
}

void EncodeSizeRecord(const SizeRecord& record, uint8_t out[kSizeRecordSize]) {
  Put(out, kSizeNameLengthAt, record.name.Length());
  Put(out, kSizeTitleLengthAt, record.title.Length());
  PutText(out, kSizeNameAt, record.name);
  PutText(out, kSizeTitleAt, record.title);
  Put(out, kSizeMemberOffsetAt, record.memberOffset);
}

std::optional<SizeRecord> DecodeSizeRecord(const uint8_t in[kSizeRecordSize]) {
  const int nameLength = Get<uint16_t>(in, kSizeNameLengthAt);
  const int titleLength = Get<uint16_t>(in, kSizeTitleLengthAt);
  if (nameLength > kSizeTextSize || titleLength > kSizeTextSize) {
    return std::nullopt;
  }
  SizeRecord record;
  AssignField(record.name, in + kSizeNameAt, nameLength);
  AssignField(record.title, in + kSizeTitleAt, titleLength);
  record.memberOffset = Get<uint32_t>(in, kSizeMemberOffsetAt);
  return record;
}

int64_t MemberListBytes(const MemberList& list) {
  size_t bytes = kMemberHeadSize;
  for (const SpecEntry& spec : list.specs) {
    bytes += kMemberHeadSize + ByteLength(spec.name);
  }
  for (const ParamEntry& param : list.params) {
    bytes += kMemberHeadSize + ByteLength(param.comment) + ByteLength(param.text);
  }
  return static_cast<int64_t>(bytes);
}

void AppendSpecRecord(uint16_t number, uint16_t invertedFlag, uint16_t record,
                      std::string_view name, std::vector<uint8_t>& out) {
  const size_t nameLength = ByteLength(name);
  const size_t at = out.size();
  out.resize(at + kMemberHeadSize + nameLength, 0);
  uint8_t* head = out.data() + at;
  head[0] = record != 0 ? kKindSpecRecord : kKindSpec;
  head[1] = static_cast<uint8_t>(number & 0xFF);
  head[2] = static_cast<uint8_t>(nameLength);
  head[3] = static_cast<uint8_t>(invertedFlag & 0xFF);
  head[4] = static_cast<uint8_t>(record & 0xFF);
  PutBytes(head + kMemberHeadSize, name, nameLength);
}

// A param record is built on the stack with only its head zeroed, then
// appended in one copy: its texts are not zero-filled first.
void AppendParamRecord(std::string_view name, std::string_view text, int16_t pairCode,
                       std::string_view comment, std::vector<uint8_t>& out) {
  // The compiler refuses longer names; the head has room for six characters.
  assert(name.size() <= kParamNameMax && "param name longer than six characters");
  const size_t nameLength = std::min<size_t>(name.size(), kParamNameMax);
  const size_t textLength = ByteLength(text);
  const size_t commentLength = ByteLength(comment);
  uint8_t room[kMemberHeadSize + 2 * kRecordTextMax];
  std::memset(room, 0, kMemberHeadSize);
  room[0] = kKindParam;
  room[1] = static_cast<uint8_t>(nameLength);
  room[2] = static_cast<uint8_t>(textLength);
  room[3] = static_cast<uint8_t>(pairCode & 0xFF);
  room[4] = static_cast<uint8_t>(commentLength);
  PutBytes(room + 6, name, nameLength);
  uint8_t* end =
      PutBytes(PutBytes(room + kMemberHeadSize, comment, commentLength), text, textLength);
  out.insert(out.end(), room, end);
}

}  // namespace partsc
