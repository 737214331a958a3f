// A model turned into the bytes of its parts file.
#include "partsfile/parts_encoder.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "partsfile/parts_codec.h"
#include "partsfile/parts_decoder.h"
#include "partsfile/parts_layout.h"

namespace partsc {

namespace {

// One member list of the model and where it goes.
struct Placed {
  int64_t offset;
  const MemberList* list;
  std::string what;  // for a problem: "the common list", "the list of size 3", ...
};

std::vector<Placed> PlacedLists(const PartsModel& model) {
  std::vector<Placed> lists;
  if (model.common) {
    lists.push_back({model.header.commonOffset, &*model.common, "the common member list"});
  }
  for (size_t i = 0; i < model.sizes.size(); ++i) {
    const PartsSize& size = model.sizes[i];
    if (size.record.memberOffset != 0) {
      lists.push_back({size.record.memberOffset, &size.members,
                       "the member list of size " + std::to_string(i + 1)});
    }
  }
  for (const UnlistedList& list : model.unlisted) {
    lists.push_back({list.offset, &list.members, "the unlisted member list"});
  }
  std::stable_sort(lists.begin(), lists.end(),
                   [](const Placed& a, const Placed& b) { return a.offset < b.offset; });
  return lists;
}

int64_t AreaStart(const PartsModel& model) {
  return SizeListOffset(model.header) +
         int64_t{kSizeRecordSize} * static_cast<int64_t>(model.sizes.size());
}

// Writes the records of a list at `at`, over zero bytes.
void PutMemberList(const MemberList& list, uint8_t* at) {
  for (const SpecEntry& spec : list.specs) {
    at = EncodeSpecRecord(spec, at);
  }
  for (const ParamEntry& param : list.params) {
    at = EncodeParamRecord(param, at);
  }
}

}  // namespace

std::string ListLayoutProblem(const PartsModel& model) {
  int64_t position = AreaStart(model);
  for (const Placed& placed : PlacedLists(model)) {
    if (placed.offset != position) {
      const char* problem =
          placed.offset < position ? " overlaps what comes before it" : " leaves a gap before it";
      return placed.what + " at offset " + std::to_string(placed.offset) + problem +
             " (the lists fill the area from offset " + std::to_string(AreaStart(model)) + ")";
    }
    position += MemberListBytes(*placed.list);
  }
  return {};
}

void PlaceMemberLists(PartsModel& model) {
  struct Slot {
    int64_t offset;
    const MemberList* list;
    uint32_t* place;
  };
  std::vector<Slot> slots;
  uint32_t commonOffset = 0;
  if (model.common) {
    slots.push_back({model.header.commonOffset, &*model.common, &commonOffset});
  }
  for (PartsSize& size : model.sizes) {
    slots.push_back({size.record.memberOffset, &size.members, &size.record.memberOffset});
  }
  for (UnlistedList& list : model.unlisted) {
    slots.push_back({list.offset, &list.members, &list.offset});
  }
  std::stable_sort(slots.begin(), slots.end(),
                   [](const Slot& a, const Slot& b) { return a.offset < b.offset; });
  int64_t position = AreaStart(model);
  for (const Slot& slot : slots) {
    *slot.place = static_cast<uint32_t>(position);
    position += MemberListBytes(*slot.list);
  }
  if (model.common) {
    model.header.commonOffset = static_cast<int32_t>(commonOffset);
  }
}

bool EncodePartsFile(const PartsModel& model, std::string& bytes) {
  bytes.clear();
  if (!ListLayoutProblem(model).empty()) {
    return false;
  }
  const std::vector<Placed> lists = PlacedLists(model);
  const int64_t end =
      lists.empty() ? AreaStart(model) : lists.back().offset + MemberListBytes(*lists.back().list);
  bytes.assign(static_cast<size_t>(end), '\0');
  auto* out = reinterpret_cast<uint8_t*>(bytes.data());
  EncodeHeader(model.header, out);
  EncodeApgBlock(model.apgNames, out + kApgOffset);
  if (model.header.apgCommentCount != 0) {
    EncodeApgBlock(model.apgComments, out + kApgOffset + kApgBlockSize);
  }
  uint8_t* record = out + SizeListOffset(model.header);
  for (const PartsSize& size : model.sizes) {
    EncodeSizeRecord(size.record, record);
    record += kSizeRecordSize;
  }
  for (const Placed& placed : lists) {
    PutMemberList(*placed.list, out + placed.offset);
  }
  return true;
}

}  // namespace partsc
