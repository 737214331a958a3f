// The JSON document of a parts file's model, described once: each Describe
// function walks one record of the model field by field with an Io, which
// writes the fields (model to JSON), reads them (JSON to model, with the type
// and range of each field), or lists them (for the schema). The record is
// const for a writer and not for a reader.
//
// An Io takes, in the order of the document:
//   Integer(key, field, low, high, need)  a number of the record
//   Text(key, field, max, need)           a text of at most `max` bytes (a
//                                         std::string or a FixedText)
//   Label(key, text, need)                a string that names the object it
//                                         stands in ("spec", "$TOP")
//   Object(key, describe)                 a nested object, describe(io)
//   Members(key, list)                    a member list: its spec entries,
//                                         then its param entries
//   Views(key, names, comments)           the six views
//   Optional(key, value, describe)        an object that may be missing
//   Array(key, items, describe)           an array of objects
//   Read(key, read)                       where reading a file stopped: the
//                                         reader's own words, written only
//   SizeRead(key, result)                 why a size's list was not read whole
//   Format(key, format)                   what the document is, "NAME/MAJOR.MINOR":
//                                         written always; read when given, and
//                                         refused for another name or a newer
//                                         version
//   Note(key)                             a text about the document, not of the
//                                         model: the file it is of ("file"),
//                                         written when known; the schema it
//                                         names ("$schema"), never written;
//                                         neither read back
#pragma once

#include <partsc/model.h>

#include <array>
#include <cstdint>
#include <limits>
#include <string_view>

#include "partsfile/keywords.h"
#include "partsfile/parts_json_format.h"
#include "partsfile/parts_layout.h"

namespace partsc {

// Whether a field must be in a document that is read. An optional count or
// offset is filled in from what the document holds.
enum class Need { kRequired, kOptional };

inline constexpr int64_t kInt16Low = std::numeric_limits<int16_t>::min();
inline constexpr int64_t kInt16High = std::numeric_limits<int16_t>::max();
inline constexpr int64_t kOffsetHigh = std::numeric_limits<uint32_t>::max();

template <class Io, class Spec>
void DescribeSpec(Io& io, Spec& spec) {
  io.Label("kind", "spec", Need::kRequired);
  io.Integer("number", spec.number, 1, 256);
  io.Integer("inverted", spec.invertedFlag, 0, 255);
  io.Integer("record", spec.record, 0, 256);
  io.Text("name", spec.name, kRecordTextMax);
}

template <class Io, class Param>
void DescribeParam(Io& io, Param& param) {
  io.Label("kind", "param", Need::kRequired);
  io.Text("name", param.name, kParamNameMax);
  io.Integer("pair_code", param.pairCode, 0, 255);
  io.Text("text", param.text, kRecordTextMax);
  io.Text("comment", param.comment, kRecordTextMax, Need::kOptional);
}

template <class Io, class Header>
void DescribeHeader(Io& io, Header& header) {
  io.Integer("version", header.version, kInt16Low, kInt16High);
  io.Object("created", [&header](auto& created) {
    created.Integer("year", header.createdYear, kInt16Low, kInt16High);
    created.Integer("month", header.createdMonth, kInt16Low, kInt16High);
    created.Integer("day", header.createdDay, kInt16Low, kInt16High);
    created.Integer("hour", header.createdHour, kInt16Low, kInt16High);
    created.Integer("minute", header.createdMinute, kInt16Low, kInt16High);
  });
  io.Text("comment", header.comment, kHeaderTextSize);
  io.Text("title", header.title, kHeaderTextSize);
  io.Integer("parts_value_1", header.partsValue1, kInt16Low, kInt16High);
  io.Integer("parts_value_2", header.partsValue2, kInt16Low, kInt16High);
  io.Integer("spec_file", header.specFile, kInt16Low, kInt16High);
  io.Integer("spec_record", header.specRecord, kInt16Low, kInt16High);
  io.Integer("sort_mode", header.sortMode, kInt16Low, kInt16High);
  io.Integer("size_count", header.sizeCount, kInt16Low, kInt16High, Need::kOptional);
  io.Integer("apg_comment_count", header.apgCommentCount, kInt16Low, kInt16High, Need::kOptional);
  io.Integer("common_offset", header.commonOffset, 0, std::numeric_limits<int32_t>::max(),
             Need::kOptional);
}

// One view: its label, its APG name and comment.
template <class Io, class Text>
void DescribeView(Io& io, size_t view, Text& name, Text& comment) {
  io.Label("view", kViewKeywords[view], Need::kOptional);
  io.Text("name", name, kApgTextMax);
  io.Text("comment", comment, kApgTextMax, Need::kOptional);
}

// A size, with `members` for its member list.
template <class Io, class Size, class Members>
void DescribeSize(Io& io, Size& size, Members& members) {
  io.Text("name", size.record.name, kSizeTextSize);
  io.Text("title", size.record.title, kSizeTextSize);
  io.Integer("member_offset", size.record.memberOffset, 0, kOffsetHigh, Need::kOptional);
  io.Members("members", members);
  io.SizeRead("read", size.membersResult);
}

template <class Io, class List>
void DescribeUnlisted(Io& io, List& list) {
  io.Integer("offset", list.offset, 0, kOffsetHigh, Need::kOptional);
  io.Members("members", list.members);
}

// The whole document; the sizes come last. `members(i)` is the member list
// of size i.
template <class Io, class Model, class MembersOf>
void DescribeModel(Io& io, Model& model, MembersOf&& members) {
  io.Note("$schema");
  io.Format("format", kPartsFileFormat);
  io.Note("file");
  io.Object("header", [&model](auto& header) { DescribeHeader(header, model.header); });
  io.Views("views", model.apgNames, model.apgComments);
  io.Optional("common", model.common,
              [](auto& common, auto& list) { common.Members("members", list); });
  io.Array("unlisted", model.unlisted,
           [](auto& item, auto& list, size_t) { DescribeUnlisted(item, list); });
  io.Read("read", model.read);
  io.Array("sizes", model.sizes,
           [&members](auto& item, auto& size, size_t i) { DescribeSize(item, size, members(i)); });
}

}  // namespace partsc
