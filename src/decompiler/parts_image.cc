#include "decompiler/parts_image.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>
#include <utility>

#include "partsfile/parts_codec.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_reader.h"
#include "partsfile/parts_state.h"
#include "partsfile/parts_tables.h"

namespace partsc {

namespace {

// The parts file being read and the state it is read into; the file is
// closed however the reading ends.
struct Reading {
  Reading() = default;
  Reading(const Reading&) = delete;
  Reading& operator=(const Reading&) = delete;
  ~Reading() { ClosePartsFile(parts); }

  PartsFileState state;
  PartsFile parts;
};

// The entries of the tables from the given indices up, and the bytes they
// take in the file.
MemberList TakeEntries(const PartsFileState& state, int32_t specFrom, int32_t paramFrom) {
  MemberList list;
  list.length = kMemberHeadSize;
  for (int32_t i = specFrom; i < state.specCount; ++i) {
    const SpecEntry& spec = *state.specTable[static_cast<size_t>(i)];
    list.length += static_cast<int64_t>(MemberRecordSize(spec));
    list.specs.push_back(spec);
  }
  for (int32_t i = paramFrom; i < state.paramCount; ++i) {
    const ParamEntry& param = *state.paramTable[static_cast<size_t>(i)];
    list.length += static_cast<int64_t>(MemberRecordSize(param));
    list.params.push_back(param);
  }
  return list;
}

void FetchHeader(PartsFileState& state, PartsImage& image) {
  int32_t version = 0;
  HeaderVersion(state, kFetch, version, image.comment);
  HeaderDate(state, kFetch, image.day, image.month, image.year, image.hour, image.minute);
  HeaderSpec(state, kFetch, image.specFile, image.specRecord);
  HeaderPartsValue1(state, kFetch, image.value1);
  HeaderPartsValue2(state, kFetch, image.value2);
  HeaderSizeCount(state, kFetch, image.sizeCount);
  HeaderSortMode(state, kFetch, image.sortMode);
  GetTitle(state, image.title);
  image.apgCommentCount = state.header.apgCommentCount;
  ApgNames(state, kFetch, image.apgNames);
  ApgComments(state, kFetch, image.apgComments);
}

// Reads the size records and their member lists; empty, or why not.
std::string ReadSizes(Reading& r, PartsImage& image) {
  const PartsFileState& state = r.state;
  for (int i = 0; i < image.sizeCount; ++i) {
    DropBlockEntries(r.state);
    SizeEntry size;
    GetSizeName(state, i, size.name);
    GetSizeTitle(state, i, size.title);
    if (ReadSizeMembers(r.parts, r.state, size.name) != 0) {
      return "the member list of size " + Shown(size.name) + " cannot be read";
    }
    size.members = TakeEntries(state, state.commonSpecCount, state.commonParamCount);
    size.members.offset = state.sizeTable[static_cast<size_t>(i)]->memberOffset;
    image.sizes.push_back(std::move(size));
  }
  return {};
}

// Walks the member-list area from its start to the end of the file and puts
// every list after the common one into `image.blocks`, in file order; a list
// that no size record points to is read where it stands. Empty, or why the
// lists do not follow each other as a compile writes them.
std::string WalkMemberLists(Reading& r, PartsImage& image) {
  int64_t position = MemberListsOffset(r.state.header);
  if (image.common) {
    if (image.common->offset != position) {
      return "the common member list does not start the member-list area";
    }
    position += image.common->length;
  }
  std::vector<int> byOffset(image.sizes.size());
  std::iota(byOffset.begin(), byOffset.end(), 0);
  std::stable_sort(byOffset.begin(), byOffset.end(), [&image](int a, int b) {
    return image.sizes[static_cast<size_t>(a)].members.offset <
           image.sizes[static_cast<size_t>(b)].members.offset;
  });
  const auto fileEnd = static_cast<int64_t>(image.bytes.size());
  const PartsFileState& state = r.state;
  size_t next = 0;
  while (next < byOffset.size() || position < fileEnd) {
    if (next < byOffset.size()) {
      const int index = byOffset[next];
      const SizeEntry& size = image.sizes[static_cast<size_t>(index)];
      if (size.members.offset < position) {
        return "the member list of size " + Shown(size.name) +
               " overlaps another list or lies outside the member-list area";
      }
      if (size.members.offset == position) {
        image.blocks.push_back(Block{size.members, index, size.name, size.title});
        position += size.members.length;
        ++next;
        continue;
      }
    }
    // A list that no size record points to: only a compile of more than 2048
    // sizes writes one.
    const std::string stray =
        "the bytes at offset " + std::to_string(position) + " belong to no size's member list";
    if (image.sizeCount < kMaxSizes) {
      return stray;
    }
    DropBlockEntries(r.state);
    if (ReadMemberListAt(r.parts, r.state, position) != 0) {
      return stray;
    }
    MemberList list = TakeEntries(state, state.commonSpecCount, state.commonParamCount);
    list.offset = position;
    position += list.length;
    image.blocks.push_back(Block{std::move(list), -1, {}, {}});
  }
  return {};
}

// The reader takes a spec record of kind 3 whose record byte is 0 (a record
// of 256, 512, ...) for one of record 0; the kind byte in the file tells them
// apart. Marks such entries with record 256.
void MarkWholeRecords(const std::string& bytes, MemberList& list) {
  const auto fileEnd = static_cast<int64_t>(bytes.size());
  int64_t at = list.offset;
  size_t spec = 0;
  while (at >= 0 && at + kMemberHeadSize <= fileEnd) {
    uint8_t head[kMemberHeadSize];
    std::memcpy(head, bytes.data() + at, kMemberHeadSize);
    const MemberHead member = DecodeMemberHead(head);
    if (!member.IsSpec() && !member.IsParam()) {
      return;
    }
    if (member.IsSpec()) {
      if (member.kind == kKindSpecRecord && member.record == 0 && spec < list.specs.size()) {
        list.specs[spec].record = 256;
      }
      ++spec;
    }
    at += kMemberHeadSize + member.bodyLength;
  }
}

}  // namespace

std::string Shown(std::string_view text) {
  std::string shown = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    shown += u < 0x20 || u == 0x7f ? '?' : c;
  }
  return shown + "\"";
}

std::string LoadImage(const std::string& path, PartsImage& image) {
  const auto reading = std::make_unique<Reading>();
  Reading& r = *reading;
  if (OpenPartsFile(r.parts, path) != 0) {
    return "cannot be opened again";
  }
  if (ReadHeader(r.parts, r.state) != 0 || ReadApgList(r.parts, r.state) != 0) {
    return "cannot be read again";
  }
  FetchHeader(r.state, image);
  if (image.sizeCount < 0) {
    return "its size count is negative (" + std::to_string(image.sizeCount) + ")";
  }
  const int sizes = ReadSizeList(r.parts, r.state);
  if (sizes != 0 && sizes != kReadNoSizes) {
    return "its size list cannot be read again";
  }
  if (HasCommonList(r.state)) {
    if (ReadCommonList(r.parts, r.state) != 0) {
      return "its common member list cannot be read again";
    }
    image.common = TakeEntries(r.state, 0, 0);
    image.common->offset = r.state.header.commonOffset;
  }
  std::string problem = ReadSizes(r, image);
  if (problem.empty()) {
    problem = WalkMemberLists(r, image);
  }
  if (image.common) {
    MarkWholeRecords(image.bytes, *image.common);
  }
  for (Block& block : image.blocks) {
    MarkWholeRecords(image.bytes, block.members);
  }
  return problem;
}

std::string NameBlocks(PartsImage& image) {
  std::vector<size_t> early;  // counted blocks that no record points to
  std::vector<size_t> late;   // uncounted blocks that a record points to
  for (size_t i = 0; i < image.blocks.size(); ++i) {
    const bool counted = i < static_cast<size_t>(kMaxSizes);
    const bool pointed = image.blocks[i].record >= 0;
    if (counted && !pointed) {
      early.push_back(i);
    }
    if (!counted && pointed) {
      late.push_back(i);
    }
  }
  if (early.size() != late.size()) {
    return "its member lists cannot be brought into the order of 2048 counted sizes";
  }
  for (size_t k = 0; k < early.size(); ++k) {
    const SizeEntry& size = image.sizes[static_cast<size_t>(image.blocks[late[k]].record)];
    image.blocks[early[k]].name = size.name;
    image.blocks[early[k]].title = size.title;
    image.blocks[late[k]].title.clear();
  }
  // A block past the counted ones that no record points to gets a name no
  // counted size has, so that its list re-ties no record.
  std::vector<std::string> taken;
  for (const SizeEntry& size : image.sizes) {
    taken.push_back(size.name);
  }
  std::sort(taken.begin(), taken.end());
  int serial = 0;
  for (size_t i = static_cast<size_t>(kMaxSizes); i < image.blocks.size(); ++i) {
    if (image.blocks[i].record >= 0) {
      continue;
    }
    std::string name;
    do {
      name = "unlisted-" + std::to_string(++serial);
    } while (std::binary_search(taken.begin(), taken.end(), name));
    image.blocks[i].name = name;
  }
  return {};
}

std::string CheckSizeOrder(const PartsImage& image) {
  if (image.sortMode < kSortLengthThenName || image.sortMode > kSortAsWritten) {
    return "its sort mode " + std::to_string(image.sortMode) + " has no keyword";
  }
  std::vector<std::string> names;
  for (const SizeEntry& size : image.sizes) {
    names.push_back(size.name);
  }
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  const auto twice = std::adjacent_find(sorted.begin(), sorted.end());
  if (twice != sorted.end()) {
    return "two sizes are named " + Shown(*twice);
  }
  if (image.sortMode == kSortAsWritten) {
    // The records keep the order of the counted $$SIZE lines.
    for (size_t i = 0; i < names.size(); ++i) {
      if (image.blocks[i].name != names[i]) {
        return "its size records are not in the order of their member lists ($$NSORT)";
      }
    }
    return {};
  }
  for (size_t i = 1; i < names.size(); ++i) {
    if (CompareSizeNames(image.sortMode, names[i - 1], names[i]) >= 0) {
      return std::string("its size records are not in the order of ") +
             kSortKeywords[static_cast<size_t>(image.sortMode)];
    }
  }
  return {};
}

}  // namespace partsc
