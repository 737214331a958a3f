// The one encoder of a parts file: a model's parts written into a sink one
// after the other, as a compile writes them, and the whole file of a model.
#pragma once

#include <partsc/model.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "partsfile/parts_file.h"

namespace partsc {

// A member list written: kOk with the place it was written at, or the
// sink's kWriteFailed.
struct ListWritten : SinkResult {
  uint32_t offset = 0;
};

// Writes the parts of one parts file into a sink opened for it. Each write
// answers kOk, or the sink's kWriteFailed when it took fewer bytes; the
// bytes of a part are those of parts_codec, the reserved bytes and the bytes
// after a text zero.
class PartsEncoder {
 public:
  explicit PartsEncoder(PartsSink& sink) : sink_(sink) {}

  // The header record at offset 0.
  SinkResult WriteHeader(const PartsHeader& header);
  // The APG name block, then the APG comment block when the header counts
  // an APG comment.
  SinkResult WriteApgList(const PartsHeader& header, const ApgBlock& names,
                          const ApgBlock& comments);
  // The member lists follow one another from the start of the member-list
  // area, after the size records the header counts.
  void BeginMemberLists(const PartsHeader& header);
  // Writes a member list (its specs, its params, the end record) at the next
  // place of the area.
  ListWritten WriteMemberList(const MemberList& list);
  // The same for a member list already in its bytes, end record included.
  ListWritten WriteMemberListBytes(std::span<const uint8_t> bytes);
  // The size records, in the order given, into the room before the lists.
  SinkResult WriteSizeList(const PartsHeader& header, std::span<const PartsSize> sizes);

 private:
  PartsSink& sink_;
  int64_t position_ = 0;
  std::vector<uint8_t> scratch_;  // the bytes of the list being written
};

// One member list of a model and where it goes.
struct PlacedList {
  int64_t offset;
  const MemberList* list;
  std::string pointer;  // of its offset in the document: "/sizes/2/member_offset"
};

// The lists of `model` that have a place, in the order of their offsets: the
// common list at header.commonOffset, each size's list at its memberOffset
// (none when that is 0) and every unlisted list at its offset.
std::vector<PlacedList> PlacedLists(const PartsModel& model);

// Why the member lists of `model` cannot be written as they stand: the
// offset of the first list that overlaps or leaves a gap after the one
// before it; none when they fill the member-list area end to end (in any
// order), as in every file a compile writes. The area starts after the size
// records of `model.sizes`; the lists are those of PlacedLists.
std::optional<ModelProblem> ListLayoutProblem(const PartsModel& model);

// Lays the member lists end to end from the start of the member-list area
// and sets header.commonOffset, every memberOffset and every unlisted offset
// to match: the common list first, as a compile writes it, then the others
// in the order of their offsets (among equal offsets the sizes' lists in
// record order, then the unlisted ones), and last those whose offset is 0,
// in the same order. After an entry has been added, removed or changed, or
// a size added without an offset, the model encodes again.
void PlaceMemberLists(PartsModel& model);

// The parts file of a model: its bytes, or why they cannot be written.
struct EncodedModel {
  std::string bytes;
  std::optional<ModelProblem> problem;  // the bytes are then empty
};

// The parts file of `model`, written by PartsEncoder part by part as a
// compile writes them: the header, the views, the member lists in the order
// of their offsets, the size records in their order. Every field is written
// as the model holds it. No bytes when ListLayoutProblem names a problem.
EncodedModel EncodeModel(const PartsModel& model);

}  // namespace partsc
