// The byte form of the records of a parts file: one encoder and one decoder
// for each kind of record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "partsfile/parts_layout.h"

namespace partsc {

// The 256 bytes of a header, little-endian, reserved bytes zero.
void EncodeHeader(const PartsHeader& header, uint8_t out[kHeaderSize]);
// The version field of header bytes, looked at before anything else.
int16_t HeaderVersionOf(const uint8_t in[kHeaderSize]);
// Fills `header` from 256 file bytes. False, and `header` cleared, when a
// length field lies outside its text field (a damaged file).
bool DecodeHeader(const uint8_t in[kHeaderSize], PartsHeader& header);

void EncodeApgBlock(const ApgBlock& block, uint8_t out[kApgBlockSize]);
// False, and `block` cleared, when a length lies outside 0..31.
bool DecodeApgBlock(const uint8_t in[kApgBlockSize], ApgBlock& block);

void EncodeSizeRecord(const SizeRecord& record, uint8_t out[kSizeRecordSize]);
// False when a length lies outside 0..32.
bool DecodeSizeRecord(const uint8_t in[kSizeRecordSize], SizeRecord& record);

// Member records. A spec record (kind 1, or 3 when it names a record) has
// the number, the name length, the inverted flag and the record byte in its
// head and the name after it. A param record (kind 2) has the name length,
// the text length, the pair code and the comment length in its head, the
// name in head bytes 6 to 11, and the comment, then the text, after it. A
// text length is one byte: a longer text is cut to 255 characters.

// The bytes the record of an entry takes, head included.
size_t MemberRecordSize(const SpecEntry& entry);
size_t MemberRecordSize(const ParamEntry& entry);
// The record of an entry, from its fields, appended to `out`.
void AppendSpecRecord(uint16_t number, uint16_t invertedFlag, uint16_t record,
                      std::string_view name, std::vector<uint8_t>& out);
void AppendParamRecord(std::string_view name, std::string_view text, int16_t pairCode,
                       std::string_view comment, std::vector<uint8_t>& out);

// What the head of a member record says.
struct MemberHead {
  uint8_t kind = kKindEnd;
  int bodyLength = 0;  // the bytes after the head
  // A spec record: the number (a 0 byte is 256), the flag, and the record
  // (0 for kind 1, the record byte for kind 3, a 0 byte there 256).
  int number = 0;
  int invertedFlag = 0;
  int record = 0;
  // A param record: the name (the first bytes of head bytes 6 to 11 that its
  // length byte counts, at most 6), its length byte, the pair code, and the
  // comment length; the text follows the comment.
  std::string_view name;
  int nameLength = 0;
  int pairCode = 0;
  int commentLength = 0;

  bool IsSpec() const { return kind == kKindSpec || kind == kKindSpecRecord; }
  bool IsParam() const { return kind == kKindParam; }
};
// `name` views the head bytes, so `head` must outlive the answer.
MemberHead DecodeMemberHead(const uint8_t (&head)[kMemberHeadSize]);

}  // namespace partsc
