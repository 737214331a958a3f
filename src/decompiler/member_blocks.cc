#include "decompiler/member_blocks.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "partsfile/keywords.h"
#include "partsfile/parts_codec.h"
#include "partsfile/parts_decoder.h"
#include "partsfile/parts_layout.h"

namespace partsc {

namespace {

DecompileResult Stray(int64_t offset) {
  return NotRecoverable("the bytes at offset " + std::to_string(offset) +
                        " belong to no size's member list");
}

// A member list of the model after the common one, where it stands.
struct Placed {
  int64_t offset;
  const MemberList* members;
  int record;  // -1 for a list that no record points to
};

}  // namespace

std::string Shown(std::string_view text) {
  std::string shown = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    shown += u < 0x20 || u == 0x7f ? '?' : c;
  }
  return shown + "\"";
}

DecompileResult OrderBlocks(Recovery& recovery) {
  const PartsModel& model = recovery.model;
  int64_t position = MemberListsOffset(model.header);
  if (model.common) {
    if (model.header.commonOffset != position) {
      return NotRecoverable("the common member list does not start the member-list area");
    }
    position += MemberListBytes(*model.common);
  }
  std::vector<Placed> lists;
  for (size_t i = 0; i < model.sizes.size(); ++i) {
    const PartsSize& size = model.sizes[i];
    lists.push_back({size.record.memberOffset, &size.members, static_cast<int>(i)});
  }
  for (const UnlistedList& list : model.unlisted) {
    lists.push_back({list.offset, &list.members, -1});
  }
  std::stable_sort(lists.begin(), lists.end(),
                   [](const Placed& a, const Placed& b) { return a.offset < b.offset; });
  const int32_t sizeCount = model.header.sizeCount;
  for (const Placed& list : lists) {
    if (list.offset > position) {
      return Stray(position);  // bytes the reading could not take as a list
    }
    if (list.record < 0 && (list.offset < position || sizeCount < kMaxSizes)) {
      // Only a compile of more than 2048 sizes writes a list that no size
      // record points to.
      return Stray(list.offset);
    }
    if (list.offset < position) {
      const SizeRecord& record = model.sizes[static_cast<size_t>(list.record)].record;
      return NotRecoverable("the member list of size " + Shown(record.name.View()) +
                            " overlaps another list or lies outside the member-list area");
    }
    Block block{list.members, list.record, {}, {}};
    if (list.record >= 0) {
      const SizeRecord& record = model.sizes[static_cast<size_t>(list.record)].record;
      block.name = record.name.Str();
      block.title = record.title.Str();
    }
    recovery.blocks.push_back(std::move(block));
    position += MemberListBytes(*list.members);
  }
  if (model.read.part == PartsPart::kMemberArea) {
    return Stray(model.read.offset);
  }
  return {};
}

DecompileResult NameBlocks(Recovery& recovery) {
  std::vector<Block>& blocks = recovery.blocks;
  const PartsModel& model = recovery.model;
  std::vector<size_t> early;  // counted blocks that no record points to
  std::vector<size_t> late;   // uncounted blocks that a record points to
  for (size_t i = 0; i < blocks.size(); ++i) {
    const bool counted = i < static_cast<size_t>(kMaxSizes);
    const bool pointed = blocks[i].record >= 0;
    if (counted && !pointed) {
      early.push_back(i);
    }
    if (!counted && pointed) {
      late.push_back(i);
    }
  }
  if (early.size() != late.size()) {
    return NotRecoverable(
        "its member lists cannot be brought into the order of 2048 counted sizes");
  }
  for (size_t k = 0; k < early.size(); ++k) {
    const SizeRecord& record = model.sizes[static_cast<size_t>(blocks[late[k]].record)].record;
    blocks[early[k]].name = record.name.Str();
    blocks[early[k]].title = record.title.Str();
    blocks[late[k]].title.clear();
  }
  // A block past the counted ones that no record points to gets a name no
  // counted size has, so that its list re-ties no record.
  std::vector<std::string> taken;
  for (const PartsSize& size : model.sizes) {
    taken.push_back(size.record.name.Str());
  }
  std::sort(taken.begin(), taken.end());
  int serial = 0;
  for (size_t i = static_cast<size_t>(kMaxSizes); i < blocks.size(); ++i) {
    if (blocks[i].record >= 0) {
      continue;
    }
    std::string name;
    do {
      name = "unlisted-" + std::to_string(++serial);
    } while (std::binary_search(taken.begin(), taken.end(), name));
    blocks[i].name = name;
  }
  return {};
}

DecompileResult CheckSizeOrder(const Recovery& recovery) {
  const PartsModel& model = recovery.model;
  const std::vector<Block>& blocks = recovery.blocks;
  const int sortMode = model.header.sortMode;
  if (sortMode < kSortLengthThenName || sortMode > kSortAsWritten) {
    return NotRecoverable("its sort mode " + std::to_string(sortMode) + " has no keyword");
  }
  std::vector<std::string> names;
  for (const PartsSize& size : model.sizes) {
    names.push_back(size.record.name.Str());
  }
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  const auto twice = std::adjacent_find(sorted.begin(), sorted.end());
  if (twice != sorted.end()) {
    return NotRecoverable("two sizes are named " + Shown(*twice));
  }
  if (sortMode == kSortAsWritten) {
    // The records keep the order of the counted $$SIZE lines.
    for (size_t i = 0; i < names.size(); ++i) {
      if (blocks[i].name != names[i]) {
        return NotRecoverable(
            "its size records are not in the order of their member lists ($$NSORT)");
      }
    }
    return {};
  }
  for (size_t i = 1; i < names.size(); ++i) {
    if (CompareSizeNames(sortMode, names[i - 1], names[i]) >= 0) {
      return NotRecoverable("its size records are not in the order of " +
                            std::string(SortKeyword(sortMode)));
    }
  }
  return {};
}

}  // namespace partsc
