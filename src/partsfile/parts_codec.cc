#include "partsfile/parts_codec.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string>

namespace partsc {

namespace {

void PutU16(uint8_t* out, int at, uint16_t value) {
  out[at] = static_cast<uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutI16(uint8_t* out, int at, int16_t value) {
  PutU16(out, at, static_cast<uint16_t>(value));
}

void PutU32(uint8_t* out, int at, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out[at + i] = static_cast<uint8_t>((value >> (8 * i)) & 0xFF);
  }
}

uint16_t GetU16(const uint8_t* in, int at) {
  return static_cast<uint16_t>(in[at] | (in[at + 1] << 8));
}

int16_t GetI16(const uint8_t* in, int at) {
  return static_cast<int16_t>(GetU16(in, at));
}

uint32_t GetU32(const uint8_t* in, int at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = (value << 8) | in[at + i];
  }
  return value;
}

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
  PutI16(out, kVersionAt, header.version);
  PutI16(out, kDayAt, header.createdDay);
  PutI16(out, kMonthAt, header.createdMonth);
  PutI16(out, kYearAt, header.createdYear);
  PutI16(out, kHourAt, header.createdHour);
  PutI16(out, kMinuteAt, header.createdMinute);
  PutText(out, kCommentAt, header.comment);
  PutU16(out, kCommentLengthAt, header.comment.Length());
  PutI16(out, kSpecFileAt, header.specFile);
  PutI16(out, kSpecRecordAt, header.specRecord);
  PutI16(out, kPartsValue1At, header.partsValue1);
  PutI16(out, kPartsValue2At, header.partsValue2);
  PutI16(out, kSizeCountAt, header.sizeCount);
  PutU32(out, kCommonOffsetAt, static_cast<uint32_t>(header.commonOffset));
  PutText(out, kTitleAt, header.title);
  PutU16(out, kTitleLengthAt, header.title.Length());
  PutI16(out, kApgCommentCountAt, header.apgCommentCount);
  PutI16(out, kSortModeAt, header.sortMode);
}

int16_t HeaderVersionOf(const uint8_t in[kHeaderSize]) {
  return GetI16(in, kVersionAt);
}

bool DecodeHeader(const uint8_t in[kHeaderSize], PartsHeader& header) {
  header = PartsHeader{};
  const int commentLength = GetI16(in, kCommentLengthAt);
  const int titleLength = GetI16(in, kTitleLengthAt);
  if (!InRange(commentLength, 0, kHeaderTextSize) || !InRange(titleLength, 0, kHeaderTextSize)) {
    return false;
  }
  header.version = GetI16(in, kVersionAt);
  header.createdDay = GetI16(in, kDayAt);
  header.createdMonth = GetI16(in, kMonthAt);
  header.createdYear = GetI16(in, kYearAt);
  header.createdHour = GetI16(in, kHourAt);
  header.createdMinute = GetI16(in, kMinuteAt);
  AssignField(header.comment, in + kCommentAt, commentLength);
  header.specFile = GetI16(in, kSpecFileAt);
  header.specRecord = GetI16(in, kSpecRecordAt);
  header.partsValue1 = GetI16(in, kPartsValue1At);
  header.partsValue2 = GetI16(in, kPartsValue2At);
  header.sizeCount = GetI16(in, kSizeCountAt);
  header.commonOffset = static_cast<int32_t>(GetU32(in, kCommonOffsetAt));
  AssignField(header.title, in + kTitleAt, titleLength);
  header.apgCommentCount = GetI16(in, kApgCommentCountAt);
  header.sortMode = GetI16(in, kSortModeAt);
  return true;
}

void EncodeApgBlock(const ApgBlock& block, uint8_t out[kApgBlockSize]) {
  std::memset(out, 0, kApgBlockSize);
  for (size_t i = 0; i < block.size(); ++i) {
    const int at = kApgEntrySize * static_cast<int>(i);
    PutU16(out, at, block[i].Length());
    // The 32-byte field holds at most 31 characters; its last byte stays 0.
    PutText(out, at + 2, block[i]);
  }
}

bool DecodeApgBlock(const uint8_t in[kApgBlockSize], ApgBlock& block) {
  for (auto& text : block) {
    text.Clear();
  }
  for (size_t i = 0; i < block.size(); ++i) {
    const int length = GetI16(in, kApgEntrySize * static_cast<int>(i));
    if (!InRange(length, 0, kApgTextMax)) {
      return false;
    }
  }
  for (size_t i = 0; i < block.size(); ++i) {
    const int at = kApgEntrySize * static_cast<int>(i);
    AssignField(block[i], in + at + 2, GetI16(in, at));
  }
  return true;
}

void EncodeSizeRecord(const SizeRecord& record, uint8_t out[kSizeRecordSize]) {
  PutU16(out, kSizeNameLengthAt, record.name.Length());
  PutU16(out, kSizeTitleLengthAt, record.title.Length());
  PutText(out, kSizeNameAt, record.name);
  PutText(out, kSizeTitleAt, record.title);
  PutU32(out, kSizeMemberOffsetAt, record.memberOffset);
}

bool DecodeSizeRecord(const uint8_t in[kSizeRecordSize], SizeRecord& record) {
  record = SizeRecord{};
  const int nameLength = GetU16(in, kSizeNameLengthAt);
  const int titleLength = GetU16(in, kSizeTitleLengthAt);
  if (nameLength > kSizeTextSize || titleLength > kSizeTextSize) {
    return false;
  }
  AssignField(record.name, in + kSizeNameAt, nameLength);
  AssignField(record.title, in + kSizeTitleAt, titleLength);
  record.memberOffset = GetU32(in, kSizeMemberOffsetAt);
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

uint8_t* EncodeSpecRecord(const SpecEntry& entry, uint8_t* at) {
  return PutSpecRecord(entry.number, entry.invertedFlag, entry.record, entry.name, at);
}

uint8_t* EncodeParamRecord(const ParamEntry& entry, uint8_t* at) {
  return PutParamRecord(entry.name, entry.text, entry.pairCode, entry.comment, at);
}

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
