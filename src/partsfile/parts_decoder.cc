// The bytes of a parts file turned into its model.
#include "partsfile/parts_decoder.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "partsfile/parts_codec.h"
#include "partsfile/parts_layout.h"
#include "partsfile/parts_tables.h"
#include "platform/ov_faults.h"

namespace partsc {

namespace {

// The bytes of a file, read at positions: a read of bytes beyond the end
// fails, as a short read of the file would.
class FileBytes {
 public:
  explicit FileBytes(std::string_view bytes) : bytes_(bytes) {}

  // The `count` bytes at `position`; false when the file does not hold them.
  bool View(int64_t position, int64_t count, std::string_view& out) const {
    const auto size = static_cast<int64_t>(bytes_.size());
    if (position < 0 || count < 0 || position > size || count > size - position) {
      return false;
    }
    out = bytes_.substr(static_cast<size_t>(position), static_cast<size_t>(count));
    return true;
  }

  const uint8_t* At(std::string_view view) const {
    return reinterpret_cast<const uint8_t*>(view.data());
  }

  int64_t Size() const { return static_cast<int64_t>(bytes_.size()); }

 private:
  std::string_view bytes_;
};

// One allocation for the test seam: false when it must fail.
bool Allocated() {
  return !OvFaults::ShouldFail(OvFaultKind::kAllocation);
}

// How much room a member list has: the tables hold 256 spec and 512 param
// entries, and a size's list comes after the common entries.
struct Room {
  size_t specs = kMaxSpecEntries;
  size_t params = kMaxParamEntries;
};

// Reads the member list at `position` into `list` until its end record.
// Answers 0 with `end` just past the end record, or the failure with `end`
// at the record that failed.
int ReadMemberRecords(const FileBytes& file, int64_t position, Room room, MemberList& list,
                      int64_t& end) {
  for (end = position;; end += kMemberHeadSize) {
    std::string_view headBytes;
    if (!file.View(end, kMemberHeadSize, headBytes)) {
      return kReadShort;
    }
    uint8_t head[kMemberHeadSize];
    std::memcpy(head, headBytes.data(), kMemberHeadSize);
    const MemberHead member = DecodeMemberHead(head);
    if (!member.IsSpec() && !member.IsParam()) {
      end += kMemberHeadSize;
      return 0;
    }
    if (member.IsParam() && (member.nameLength < 1 || member.nameLength > kParamNameMax)) {
      return kReadDamaged;
    }
    std::string_view body;
    if (!file.View(end + kMemberHeadSize, member.bodyLength, body)) {
      return kReadShort;
    }
    const bool full =
        member.IsSpec() ? list.specs.size() >= room.specs : list.params.size() >= room.params;
    if (full) {
      return kTableFull;
    }
    if (!Allocated()) {
      return kNoMemory;
    }
    if (member.IsSpec()) {
      list.specs.push_back({static_cast<uint16_t>(member.number),
                            static_cast<uint16_t>(member.invertedFlag),
                            static_cast<uint16_t>(member.record), std::string(body)});
      // A record byte of 0 under kind 3 is a record of 256 (or 512, ...):
      // the kind tells it from a spec without a record.
      if (member.kind == kKindSpecRecord && member.record == 0) {
        list.specs.back().record = 256;
      }
    } else {
      const auto commentLength = static_cast<size_t>(member.commentLength);
      list.params.push_back({std::string(member.name), static_cast<int16_t>(member.pairCode),
                             std::string(body.substr(commentLength)),
                             std::string(body.substr(0, commentLength))});
    }
    end += member.bodyLength;
  }
}

int ReadMemberList(const FileBytes& file, int64_t position, Room room, MemberList& list,
                   int64_t& end) {
  try {
    return ReadMemberRecords(file, position, room, list, end);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
}

// The room a size's list has after the common entries.
Room RoomAfter(const std::optional<MemberList>& common) {
  Room room;
  if (common) {
    room.specs -= common->specs.size();
    room.params -= common->params.size();
  }
  return room;
}

// The reading of one file into its model, part by part.
class Decoding {
 public:
  Decoding(std::string_view bytes, PartsModel& model) : file_(bytes), model_(model) {}

  void Run() {
    // A part that fails ends the reading, but for the exceptions Fail is
    // told about; memory that runs out is a failure of the part that asked
    // for it.
    for (const auto step :
         {&Decoding::ReadHeader, &Decoding::ReadApgList, &Decoding::ReadSizeList,
          &Decoding::ReadCommonList, &Decoding::ReadSizeMembers, &Decoding::ReadUnlistedLists}) {
      try {
        (this->*step)();
      } catch (const std::bad_alloc&) {
        Fail(current_, kNoMemory, 0);
      }
      if (stopped_) {
        return;
      }
    }
  }

 private:
  // Notes the first failure; unless `goOn`, the reading ends with the part.
  void Fail(PartsPart part, int result, int64_t offset, int size = -1, bool goOn = false) {
    if (model_.read.Whole()) {
      model_.read = {part, result, offset, size};
    }
    stopped_ = stopped_ || !goOn;
  }

  void ReadHeader() {
    current_ = PartsPart::kHeader;
    std::string_view bytes;
    if (!file_.View(0, kHeaderSize, bytes)) {
      Fail(current_, kReadShort, 0);
      return;
    }
    // A foreign file is refused on its version before anything else is
    // looked at, and none of its fields is kept.
    if (HeaderVersionOf(file_.At(bytes)) != kPartsVersion) {
      Fail(current_, kReadBadVersion, 0);
      return;
    }
    if (!DecodeHeader(file_.At(bytes), model_.header)) {
      Fail(current_, kReadDamaged, 0);
    }
  }

  // One APG block; false after a failure.
  bool ReadApgBlock(int64_t position, ApgBlock& block) {
    std::string_view bytes;
    if (!file_.View(position, kApgBlockSize, bytes)) {
      Fail(current_, kReadShort, position);
      return false;
    }
    if (!DecodeApgBlock(file_.At(bytes), block)) {
      Fail(current_, kReadDamaged, position);
      return false;
    }
    return true;
  }

  void ReadApgList() {
    current_ = PartsPart::kApgList;
    if (!ReadApgBlock(kApgOffset, model_.apgNames)) {
      return;
    }
    const bool anyName = std::any_of(model_.apgNames.begin(), model_.apgNames.end(),
                                     [](const auto& text) { return !text.Empty(); });
    // A file without a view is refused, but nothing keeps the rest of it
    // from being read.
    if (!anyName) {
      Fail(current_, kReadNoApgName, kApgOffset, -1, true);
    }
    if (model_.header.apgCommentCount != 0) {
      ReadApgBlock(kApgOffset + kApgBlockSize, model_.apgComments);
    }
  }

  void ReadSizeList() {
    current_ = PartsPart::kSizeList;
    const int count = model_.header.sizeCount;
    const int64_t start = SizeListOffset(model_.header);
    if (count > kMaxSizes) {
      Fail(current_, kReadDamaged, start);
      return;
    }
    for (int i = 0; i < count; ++i) {
      const int64_t position = start + int64_t{kSizeRecordSize} * i;
      std::string_view bytes;
      SizeRecord record;
      const int result = !Allocated()                                    ? kNoMemory
                         : !file_.View(position, kSizeRecordSize, bytes) ? kReadShort
                         : !DecodeSizeRecord(file_.At(bytes), record)    ? kReadDamaged
                                                                         : 0;
      if (result != 0) {
        Fail(current_, result, position);
        return;
      }
      model_.sizes.push_back({record, {}, 0});
    }
  }

  void ReadCommonList() {
    current_ = PartsPart::kCommonList;
    if (model_.header.commonOffset == 0) {
      return;
    }
    int64_t end = 0;
    model_.common.emplace();
    const int result = ReadMemberList(file_, model_.header.commonOffset, {}, *model_.common, end);
    if (result != 0) {
      Fail(current_, result, end);
    }
  }

  // Each size's list is read on its own: one that fails keeps no other from
  // being read.
  void ReadSizeMembers() {
    current_ = PartsPart::kSizeMembers;
    const Room room = RoomAfter(model_.common);
    for (size_t i = 0; i < model_.sizes.size(); ++i) {
      PartsSize& size = model_.sizes[i];
      int64_t end = 0;
      size.membersResult =
          size.record.memberOffset == 0
              ? kReadSizeNotFound
              : ReadMemberList(file_, size.record.memberOffset, room, size.members, end);
      if (size.membersResult != 0) {
        Fail(current_, size.membersResult, end, static_cast<int>(i), true);
      }
    }
  }

  // Walks the member-list area from its start, list by list, to the end of
  // the file: the lists the header and the size records point to (and that
  // could be read) are passed over, and a list in the bytes between them is
  // read where it stands. A compile that stopped part way leaves its size
  // records unwritten, and every list of a size among these.
  void ReadUnlistedLists() {
    current_ = PartsPart::kMemberArea;
    struct Span {
      int64_t offset;
      int64_t length;
    };
    std::vector<Span> known;
    if (model_.common) {
      known.push_back({model_.header.commonOffset, MemberListBytes(*model_.common)});
    }
    for (const PartsSize& size : model_.sizes) {
      if (size.membersResult == 0) {
        known.push_back({size.record.memberOffset, MemberListBytes(size.members)});
      }
    }
    std::stable_sort(known.begin(), known.end(),
                     [](const Span& a, const Span& b) { return a.offset < b.offset; });
    int64_t position = SizeListOffset(model_.header) +
                       int64_t{kSizeRecordSize} * static_cast<int64_t>(model_.sizes.size());
    for (const Span& span : known) {
      if (!ReadListsUntil(position, span.offset)) {
        return;
      }
      position = std::max(position, span.offset + span.length);
    }
    ReadListsUntil(position, file_.Size());
  }

  // Reads the lists from `position` on while they start before `until`;
  // false after a failure.
  bool ReadListsUntil(int64_t& position, int64_t until) {
    const Room room = RoomAfter(model_.common);
    while (position < until) {
      UnlistedList list{static_cast<uint32_t>(position), {}};
      int64_t end = 0;
      const int result = ReadMemberList(file_, position, room, list.members, end);
      if (result != 0) {
        Fail(current_, result, position);
        return false;
      }
      model_.unlisted.push_back(std::move(list));
      position = end;
    }
    return true;
  }

  FileBytes file_;
  PartsModel& model_;
  PartsPart current_ = PartsPart::kHeader;
  bool stopped_ = false;
};

}  // namespace

PartsModel DecodePartsFile(std::string_view bytes) {
  PartsModel model;
  Decoding(bytes, model).Run();
  return model;
}

int FindSizeRecord(const PartsModel& model, std::string_view name) {
  const int count = static_cast<int>(model.sizes.size());
  const int sortMode = model.header.sortMode;
  auto nameAt = [&model](int slot) {
    return model.sizes[static_cast<size_t>(slot)].record.name.View();
  };
  if (sortMode != kSortLengthThenName && sortMode != kSortByName) {
    for (int i = 0; i < count; ++i) {
      if (nameAt(i) == name) {
        return i;
      }
    }
    return -1;
  }
  int low = 0;
  int high = count - 1;
  while (low <= high) {
    const int middle = (low + high) / 2;
    const int order = CompareSizeNames(sortMode, nameAt(middle), name);
    if (order == 0) {
      return middle;
    }
    if (order < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
    }
  }
  return -1;
}

int64_t MemberListBytes(const MemberList& list) {
  int64_t bytes = kMemberHeadSize;
  for (const SpecEntry& spec : list.specs) {
    bytes += static_cast<int64_t>(MemberRecordSize(spec));
  }
  for (const ParamEntry& param : list.params) {
    bytes += static_cast<int64_t>(MemberRecordSize(param));
  }
  return bytes;
}

}  // namespace partsc
