// The byte form of the records of a parts file: one encoder and one decoder
// for each kind of record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "partsfile/parts_layout.h"

namespace partsc {

// The 256 bytes of a header, little-endian, reserved bytes zero.
void EncodeHeader(const PartsHeader& header, uint8_t out[kHeaderSize]);
// The version field of header bytes, looked at before anything else.
int16_t HeaderVersionOf(const uint8_t in[kHeaderSize]);
// The header of 256 file bytes; none when a length field lies outside its
// text field (a damaged file).
std::optional<PartsHeader> DecodeHeader(const uint8_t in[kHeaderSize]);

void EncodeApgBlock(const ApgBlock& block, uint8_t out[kApgBlockSize]);
// None when a length lies outside 0..31.
std::optional<ApgBlock> DecodeApgBlock(const uint8_t in[kApgBlockSize]);

void EncodeSizeRecord(const SizeRecord& record, uint8_t out[kSizeRecordSize]);
// None when a length lies outside 0..32.
std::optional<SizeRecord> DecodeSizeRecord(const uint8_t in[kSizeRecordSize]);

// Member records: a text length is one byte, so a longer text is cut to 255
// characters.

// The bytes a member list takes in a file, its end record included.
int64_t MemberListBytes(const MemberList& list);
// The record of an entry, from its fields, appended to `out`.
void AppendSpecRecord(uint16_t number, uint16_t invertedFlag, uint16_t record,
                      std::string_view name, std::vector<uint8_t>& out);
void AppendParamRecord(std::string_view name, std::string_view text, int16_t pairCode,
                       std::string_view comment, std::vector<uint8_t>& out);

}  // namespace partsc
