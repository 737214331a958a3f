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
// member text far below 255 characters; a longer one is cut, so that the
// length in the head always matches the characters that follow it.
size_t ByteLength(std::string_view text) {
  return std::min<size_t>(text.size(), 255);
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

bool DecodeHeader(const uint8_t in[kHeaderSize], PartsHeader& header) {
  header = PartsHeader{};
  const int commentLength = Get<int16_t>(in, kCommentLengthAt);
  const int titleLength = Get<int16_t>(in, kTitleLengthAt);
  if (!InRange(commentLength, 0, kHeaderTextSize) || !InRange(titleLength, 0, kHeaderTextSize)) {
    return false;
  }
  for (const auto& [at, field] : kHeaderNumbers) {
    header.*field = Get<int16_t>(in, at);
  }
  AssignField(header.comment, in + kCommentAt, commentLength);
  header.commonOffset = static_cast<int32_t>(Get<uint32_t>(in, kCommonOffsetAt));
  AssignField(header.title, in + kTitleAt, titleLength);
  return true;
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

bool DecodeApgBlock(const uint8_t in[kApgBlockSize], ApgBlock& block) {
  for (auto& text : block) {
    text.Clear();
  }
  for (size_t i = 0; i < block.size(); ++i) {
    const int length = Get<int16_t>(in, kApgEntrySize * static_cast<int>(i));
    if (!InRange(length, 0, kApgTextMax)) {
      return false;
    }
  }
  for (size_t i = 0; i < block.size(); ++i) {
    const int at = kApgEntrySize * static_cast<int>(i);
    AssignField(block[i], in + at + 2, Get<int16_t>(in, at));
  }
  return true;
}

void EncodeSizeRecord(const SizeRecord& record, uint8_t out[kSizeRecordSize]) {
  Put(out, kSizeNameLengthAt, record.name.Length());
  Put(out, kSizeTitleLengthAt, record.title.Length());
  PutText(out, kSizeNameAt, record.name);
  PutText(out, kSizeTitleAt, record.title);
  Put(out, kSizeMemberOffsetAt, record.memberOffset);
}

bool DecodeSizeRecord(const uint8_t in[kSizeRecordSize], SizeRecord& record) {
  record = SizeRecord{};
  const int nameLength = Get<uint16_t>(in, kSizeNameLengthAt);
  const int titleLength = Get<uint16_t>(in, kSizeTitleLengthAt);
  if (nameLength > kSizeTextSize || titleLength > kSizeTextSize) {
    return false;
  }
  AssignField(record.name, in + kSizeNameAt, nameLength);
  AssignField(record.title, in + kSizeTitleAt, titleLength);
  record.memberOffset = Get<uint32_t>(in, kSizeMemberOffsetAt);
  return true;
}

size_t MemberRecordSize(const SpecEntry& entry) {
  return kMemberHeadSize + ByteLength(entry.name);
}

size_t MemberRecordSize(const ParamEntry& entry) {
  return kMemberHeadSize + ByteLength(entry.comment) + ByteLength(entry.text);
}

namespace {

uint8_t* PutSpecRecord(uint16_t number, uint16_t invertedFlag, uint16_t record,
                       std::string_view name, uint8_t* at) {
  const size_t nameLength = ByteLength(name);
  at[0] = record != 0 ? kKindSpecRecord : kKindSpec;
  at[1] = static_cast<uint8_t>(number & 0xFF);
  at[2] = static_cast<uint8_t>(nameLength);
  at[3] = static_cast<uint8_t>(invertedFlag & 0xFF);
  at[4] = static_cast<uint8_t>(record & 0xFF);
  return PutBytes(at + kMemberHeadSize, name, nameLength);
}

uint8_t* PutParamRecord(std::string_view name, std::string_view text, int16_t pairCode,
                        std::string_view comment, uint8_t* at) {
  // The compiler refuses longer names; the head has room for six characters.
  assert(name.size() <= kParamNameMax && "param name longer than six characters");
  const size_t nameLength = std::min<size_t>(name.size(), kParamNameMax);
  const size_t textLength = ByteLength(text);
  const size_t commentLength = ByteLength(comment);
  at[0] = kKindParam;
  at[1] = static_cast<uint8_t>(nameLength);
  at[2] = static_cast<uint8_t>(textLength);
  at[3] = static_cast<uint8_t>(pairCode & 0xFF);
  at[4] = static_cast<uint8_t>(commentLength);
  PutBytes(at + 6, name, nameLength);
  at = PutBytes(at + kMemberHeadSize, comment, commentLength);
  return PutBytes(at, text, textLength);
}

}  // namespace

void AppendSpecRecord(uint16_t number, uint16_t invertedFlag, uint16_t record,
                      std::string_view name, std::vector<uint8_t>& out) {
  const size_t at = out.size();
  out.resize(at + kMemberHeadSize + ByteLength(name), 0);
  PutSpecRecord(number, invertedFlag, record, name, out.data() + at);
}

// A param record is built on the stack with only its head zeroed, then
// appended in one copy: its texts are not zero-filled first.
void AppendParamRecord(std::string_view name, std::string_view text, int16_t pairCode,
                       std::string_view comment, std::vector<uint8_t>& out) {
  uint8_t room[kMemberHeadSize + 2 * 255];
  std::memset(room, 0, kMemberHeadSize);
  const uint8_t* begin = room;
  const uint8_t* end = PutParamRecord(name, text, pairCode, comment, room);
  out.insert(out.end(), begin, end);
}

MemberHead DecodeMemberHead(const uint8_t (&head)[kMemberHeadSize]) {
  MemberHead member;
  member.kind = head[0];
  if (member.IsSpec()) {
    member.bodyLength = head[2];
    member.number = head[1] == 0 ? 256 : head[1];
    member.invertedFlag = head[3];
    // A record byte of 0 under kind 3 is a record of 256 (or 512, ...): the
    // kind tells it from a spec without a record.
    member.record = member.kind == kKindSpecRecord ? (head[4] == 0 ? 256 : head[4]) : 0;
    return member;
  }
  if (!member.IsParam()) {
    return member;
  }
  member.nameLength = head[1];
  member.pairCode = head[3];
  member.commentLength = head[4];
  member.bodyLength = head[4] + head[2];
  // Every byte the length counts, zero bytes included, so that the name
  // is written back as it stands.
  member.name = std::string_view(reinterpret_cast<const char*>(head + 6),
                                 std::min<size_t>(head[1], kParamNameMax));
  return member;
}

}  // namespace partsc
