// The one encoder of a parts file.
#include "partsfile/parts_encoder.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <vector>

#include "partsfile/parts_codec.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_layout.h"

namespace partsc {

SinkResult PartsEncoder::WriteHeader(const PartsHeader& header) {
  uint8_t bytes[kHeaderSize];
  EncodeHeader(header, bytes);
  return sink_.WriteAt(0, bytes, sizeof bytes);
}

SinkResult PartsEncoder::WriteApgList(const PartsHeader& header, const ApgBlock& names,
                                      const ApgBlock& comments) {
  uint8_t bytes[kApgBlockSize];
  EncodeApgBlock(names, bytes);
  if (SinkResult written = sink_.WriteAt(kApgOffset, bytes, sizeof bytes);
      !written.Ok() || header.apgCommentCount == 0) {
    return written;
  }
  EncodeApgBlock(comments, bytes);
  return sink_.WriteAt(kApgOffset + kApgBlockSize, bytes, sizeof bytes);
}

void PartsEncoder::BeginMemberLists(const PartsHeader& header) {
  position_ = MemberListsOffset(header);
}

ListWritten PartsEncoder::WriteMemberList(const MemberList& list) {
  scratch_.clear();
  for (const SpecEntry& spec : list.specs) {
    AppendSpecRecord(spec.number, spec.invertedFlag, spec.record, spec.name, scratch_);
  }
  for (const ParamEntry& param : list.params) {
    AppendParamRecord(param.name, param.text, param.pairCode, param.comment, scratch_);
  }
  scratch_.resize(scratch_.size() + kMemberHeadSize, 0);  // the end record
  return WriteMemberListBytes(scratch_);
}

ListWritten PartsEncoder::WriteMemberListBytes(std::span<const uint8_t> bytes) {
  ListWritten written{sink_.WriteAt(position_, bytes.data(), bytes.size()),
                      static_cast<uint32_t>(position_)};
  if (written.Ok()) {
    position_ += static_cast<int64_t>(bytes.size());
  }
  return written;
}

SinkResult PartsEncoder::WriteSizeList(const PartsHeader& header,
                                       std::span<const PartsSize> sizes) {
  if (sizes.empty()) {
    return {};
  }
  std::vector<uint8_t> bytes(sizes.size() * kSizeRecordSize, 0);
  for (size_t i = 0; i < sizes.size(); ++i) {
    EncodeSizeRecord(sizes[i].record, bytes.data() + i * kSizeRecordSize);
  }
  return sink_.WriteAt(SizeListOffset(header), bytes.data(), bytes.size());
}

std::vector<PlacedList> PlacedLists(const PartsModel& model) {
  std::vector<PlacedList> lists;
  if (model.common) {
    lists.push_back({model.header.commonOffset, &*model.common, "/header/common_offset"});
  }
  for (size_t i = 0; i < model.sizes.size(); ++i) {
    const PartsSize& size = model.sizes[i];
    if (size.record.memberOffset != 0) {
      lists.push_back({size.record.memberOffset, &size.members,
                       "/sizes/" + std::to_string(i) + "/member_offset"});
    }
  }
  for (size_t i = 0; i < model.unlisted.size(); ++i) {
    lists.push_back({model.unlisted[i].offset, &model.unlisted[i].members,
                     "/unlisted/" + std::to_string(i) + "/offset"});
  }
  std::stable_sort(lists.begin(), lists.end(),
                   [](const PlacedList& a, const PlacedList& b) { return a.offset < b.offset; });
  return lists;
}

namespace {

// The bytes of a file as they are written, counted by no test seam: the
// encoding of a model is a pure function.
class ByteSink : public MemoryPartsSink {
 public:
  SinkResult WriteAt(int64_t position, const uint8_t* bytes, size_t count) override {
    Store(position, bytes, count);
    return {};
  }
};

}  // namespace

std::optional<ModelProblem> ListLayoutProblem(const PartsModel& model) {
  int64_t position = MemberAreaStart(model);
  for (const PlacedList& placed : PlacedLists(model)) {
    if (placed.offset != position) {
      return ModelProblem{placed.pointer,
                          "is " + std::to_string(placed.offset) + ", but the list there " +
                              (placed.offset < position ? "overlaps" : "leaves a gap after") +
                              " what ends at " + std::to_string(position) +
                              ": the member lists lie end to end"};
    }
    position += MemberListBytes(*placed.list);
  }
  return std::nullopt;
}

void PlaceMemberLists(PartsModel& model) {
  struct Slot {
    uint32_t offset;
    const MemberList* list;
    uint32_t* place;
  };
  // The common list starts the area, as in every file a compile writes; a
  // list without a place (0) goes after those with one.
  constexpr uint32_t kLast = UINT32_MAX;
  std::vector<Slot> slots;
  uint32_t commonOffset = 0;
  if (model.common) {
    slots.push_back({0, &*model.common, &commonOffset});
  }
  for (PartsSize& size : model.sizes) {
    const uint32_t offset = size.record.memberOffset;
    slots.push_back({offset == 0 ? kLast : offset, &size.members, &size.record.memberOffset});
  }
  for (UnlistedList& list : model.unlisted) {
    slots.push_back({list.offset == 0 ? kLast : list.offset, &list.members, &list.offset});
  }
  std::stable_sort(slots.begin(), slots.end(),
                   [](const Slot& a, const Slot& b) { return a.offset < b.offset; });
  int64_t position = MemberAreaStart(model);
  for (const Slot& slot : slots) {
    *slot.place = static_cast<uint32_t>(position);
    position += MemberListBytes(*slot.list);
  }
  if (model.common) {
    model.header.commonOffset = static_cast<int32_t>(commonOffset);
  }
}

EncodedModel EncodeModel(const PartsModel& model) {
  if (std::optional<ModelProblem> problem = ListLayoutProblem(model)) {
    return {{}, std::move(problem)};
  }
  ByteSink sink;
  PartsEncoder encoder(sink);
  encoder.WriteHeader(model.header);
  encoder.WriteApgList(model.header, model.apgNames, model.apgComments);
  // The area starts after the records the model holds, whatever its header
  // counts.
  PartsHeader area = model.header;
  area.sizeCount = static_cast<int16_t>(model.sizes.size());
  encoder.BeginMemberLists(area);
  for (const PlacedList& placed : PlacedLists(model)) {
    [[maybe_unused]] const uint32_t offset = encoder.WriteMemberList(*placed.list).offset;
    assert(offset == placed.offset && "the lists are laid end to end");
  }
  encoder.WriteSizeList(model.header, model.sizes);
  std::string bytes = sink.Bytes();
  // A file whose every part is empty still holds its size records' room.
  bytes.resize(std::max<size_t>(bytes.size(), static_cast<size_t>(MemberAreaStart(model))), '\0');
  return {std::move(bytes), std::nullopt};
}

}  // namespace partsc
