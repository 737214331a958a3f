// The bytes of a parts file turned into its model.
#include "partsfile/parts_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "partsfile/parts_codec.h"
#include "partsfile/parts_layout.h"
#include "platform/ov_faults.h"

namespace partsc {

namespace {

// The `count` bytes of a file at `position`; none when the file does not
// hold them, as a short read of the file would fail. Inline: it is asked
// for every member record, and g++ 12 does not inline it unasked.
inline std::optional<std::string_view> Slice(std::string_view file, int64_t position,
                                             int64_t count) {
  const auto size = static_cast<int64_t>(file.size());
  if (position < 0 || count < 0 || position > size || count > size - position) {
    return std::nullopt;
  }
  return file.substr(static_cast<size_t>(position), static_cast<size_t>(count));
}

const uint8_t* Bytes(std::string_view view) {
  return reinterpret_cast<const uint8_t*>(view.data());
}

// One allocation for the test seam: false when it must fail.
bool Allocated() {
  return !OvFaults::ShouldFail(OvFaultKind::kAllocation);
}

// Spec and param entries of a member list: those read so far, or the room
// it has (the tables hold 256 spec and 512 param entries, and a size's list
// comes after the common entries).
struct Counts {
  size_t specs = 0;
  size_t params = 0;
};
constexpr Counts kTableRoom = {kMaxSpecEntries, kMaxParamEntries};

// Counts the spec and param records of the list at `position`, as far as
// its heads can be read, so that the entries take their room at once.
template <class List>
void ReserveEntries(std::string_view file, int64_t position, Counts room, List& list) {
  size_t specs = 0;
  size_t params = 0;
  std::optional<std::string_view> head;
  while (specs <= room.specs && params <= room.params &&
         (head = Slice(file, position, kMemberHeadSize))) {
    const auto kind = static_cast<uint8_t>((*head)[0]);
    if (kind == kKindSpec || kind == kKindSpecRecord) {
      ++specs;
      position += kMemberHeadSize + static_cast<uint8_t>((*head)[2]);
    } else if (kind == kKindParam) {
      ++params;
      position +=
          kMemberHeadSize + static_cast<uint8_t>((*head)[2]) + static_cast<uint8_t>((*head)[4]);
    } else {
      break;
    }
  }
  list.specs.reserve(std::min(specs, room.specs));
  list.params.reserve(std::min(params, room.params));
}

// The next entry of a list being read: one the list held before, whose
// texts keep their room, or a new one.
template <class T>
T& NextEntry(std::vector<T>& entries, size_t& used) {
  if (used == entries.size()) {
    entries.emplace_back();
  }
  return entries[used++];
}

// Stores one record as the next entry of a list: its texts copied into the
// entry, or viewed where the file holds them (`head` views the record's head
// in the file).
void Store(MemberList& list, Counts& used, const MemberHead& member, std::string_view /*head*/,
           std::string_view body) {
  if (member.IsSpec()) {
    SpecEntry& spec = NextEntry(list.specs, used.specs);
    spec.number = static_cast<uint16_t>(member.number);
    spec.invertedFlag = static_cast<uint16_t>(member.invertedFlag);
    spec.record = static_cast<uint16_t>(member.record);
    spec.name.assign(body);
    return;
  }
  const auto commentLength = static_cast<size_t>(member.commentLength);
  ParamEntry& param = NextEntry(list.params, used.params);
  param.name.assign(member.name);
  param.pairCode = static_cast<int16_t>(member.pairCode);
  param.text.assign(body.substr(commentLength));
  param.comment.assign(body.substr(0, commentLength));
}

void Store(MemberViews& list, Counts& used, const MemberHead& member, std::string_view head,
           std::string_view body) {
  if (member.IsSpec()) {
    NextEntry(list.specs, used.specs) = {static_cast<uint16_t>(member.number),
                                         static_cast<uint16_t>(member.invertedFlag),
                                         static_cast<uint16_t>(member.record), body};
    return;
  }
  const auto commentLength = static_cast<size_t>(member.commentLength);
  NextEntry(list.params, used.params) = {head.substr(6, member.name.size()),
                                         static_cast<int16_t>(member.pairCode),
                                         body.substr(commentLength), body.substr(0, commentLength)};
}

// Reads the member list at `position` into `list` until its end record,
// over the entries the list held before; without a list, only counts the
// entries. Answers 0 with `end` just past the end record, or the failure
// with `end` at the record that failed.
template <class List>
ReadStatus ReadMemberRecords(std::string_view file, int64_t position, Counts room, List* list,
                             Counts& used, int64_t& end) {
  if (list != nullptr) {
    ReserveEntries(file, position, room, *list);
  }
  for (end = position;; end += kMemberHeadSize) {
    const std::optional<std::string_view> headBytes = Slice(file, end, kMemberHeadSize);
    if (!headBytes) {
      return ReadStatus::kShort;
    }
    uint8_t head[kMemberHeadSize];
    std::memcpy(head, headBytes->data(), kMemberHeadSize);
    const MemberHead member = DecodeMemberHead(head);
    if (!member.IsSpec() && !member.IsParam()) {
      end += kMemberHeadSize;
      return ReadStatus::kOk;
    }
    if (member.IsParam() && (member.nameLength < 1 || member.nameLength > kParamNameMax)) {
      return ReadStatus::kDamaged;
    }
    const std::optional<std::string_view> body =
        Slice(file, end + kMemberHeadSize, member.bodyLength);
    if (!body) {
      return ReadStatus::kShort;
    }
    const bool full = member.IsSpec() ? used.specs >= room.specs : used.params >= room.params;
    if (full) {
      return ReadStatus::kTableFull;
    }
    if (!Allocated()) {
      return ReadStatus::kNoMemory;
    }
    if (list == nullptr) {
      ++(member.IsSpec() ? used.specs : used.params);
    } else {
      Store(*list, used, member, *headBytes, *body);
    }
    end += member.bodyLength;
  }
}

// ReadMemberRecords, with the entries the list held before and were not
// read over dropped.
template <class List>
ReadStatus ReadMemberList(std::string_view file, int64_t position, Counts room, List* list,
                          int64_t& end) {
  Counts used;
  ReadStatus result = ReadStatus::kNoMemory;
  try {
    result = ReadMemberRecords(file, position, room, list, used, end);
  } catch (const std::bad_alloc&) {
  }
  if (list != nullptr) {
    list->specs.resize(used.specs);
    list->params.resize(used.params);
  }
  return result;
}

// The room a size's list has after the common entries.
Counts RoomAfter(const std::optional<MemberList>& common) {
  Counts room = kTableRoom;
  if (common) {
    room.specs -= common->specs.size();
    room.params -= common->params.size();
  }
  return room;
}

// The reading of one file into its model, part by part.
class Decoding {
 public:
  // What is read of the member lists beyond the common one.
  enum class Lists {
    kNone,     // nothing
    kResults,  // each size's list, only for its result; the lists no record
               // points to
    kAll,      // every list, kept
  };

  Decoding(std::string_view bytes, PartsModel& model, Lists lists)
      : file_(bytes), model_(model), lists_(lists) {}

  void Run() {
    // A part that fails ends the reading, but for the exceptions Fail is
    // told about; memory that runs out is a failure of the part that asked
    // for it.
    for (const auto step :
         {&Decoding::ReadHeader, &Decoding::ReadApgList, &Decoding::ReadSizeList,
          &Decoding::ReadCommonList, &Decoding::ReadSizeMembers, &Decoding::ReadUnlistedLists}) {
      if (lists_ == Lists::kNone && step == &Decoding::ReadSizeMembers) {
        return;
      }
      try {
        (this->*step)();
      } catch (const std::bad_alloc&) {
        Fail(current_, ReadStatus::kNoMemory, 0);
      }
      if (stopped_) {
        return;
      }
    }
  }

 private:
  // Notes the first failure; unless `goOn`, the reading ends with the part.
  void Fail(PartsPart part, ReadStatus result, int64_t offset, int size = -1, bool goOn = false) {
    if (model_.read.Whole()) {
      model_.read = {part, result, offset, size};
    }
    stopped_ = stopped_ || !goOn;
  }

  void ReadHeader() {
    current_ = PartsPart::kHeader;
    const std::optional<std::string_view> bytes = Slice(file_, 0, kHeaderSize);
    if (!bytes) {
      Fail(current_, ReadStatus::kShort, 0);
      return;
    }
    // A foreign file is refused on its version before anything else is
    // looked at, and none of its fields is kept.
    if (HeaderVersionOf(Bytes(*bytes)) != kPartsVersion) {
      Fail(current_, ReadStatus::kBadVersion, 0);
      return;
    }
    if (!DecodeHeader(Bytes(*bytes), model_.header)) {
      Fail(current_, ReadStatus::kDamaged, 0);
    }
  }

  // One APG block; false after a failure.
  bool ReadApgBlock(int64_t position, ApgBlock& block) {
    const std::optional<std::string_view> bytes = Slice(file_, position, kApgBlockSize);
    if (!bytes) {
      Fail(current_, ReadStatus::kShort, position);
      return false;
    }
    if (!DecodeApgBlock(Bytes(*bytes), block)) {
      Fail(current_, ReadStatus::kDamaged, position);
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
      Fail(current_, ReadStatus::kNoView, kApgOffset, -1, true);
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
      Fail(current_, ReadStatus::kDamaged, start);
      return;
    }
    // At most kMaxSizes records: room made once, not grown record by record.
    model_.sizes.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
      const int64_t position = start + int64_t{kSizeRecordSize} * i;
      const std::optional<std::string_view> bytes = Slice(file_, position, kSizeRecordSize);
      SizeRecord record;
      const ReadStatus result = !Allocated()                               ? ReadStatus::kNoMemory
                                : !bytes                                   ? ReadStatus::kShort
                                : !DecodeSizeRecord(Bytes(*bytes), record) ? ReadStatus::kDamaged
                                                                           : ReadStatus::kOk;
      if (result != ReadStatus::kOk) {
        Fail(current_, result, position);
        return;
      }
      model_.sizes.push_back({record, {}, ReadStatus::kOk});
    }
  }

  void ReadCommonList() {
    current_ = PartsPart::kCommonList;
    if (model_.header.commonOffset == 0) {
      return;
    }
    int64_t end = 0;
    model_.common.emplace();
    const ReadStatus result =
        ReadMemberList(file_, model_.header.commonOffset, kTableRoom, &*model_.common, end);
    if (result != ReadStatus::kOk) {
      Fail(current_, result, end);
      return;
    }
    known_.push_back({model_.header.commonOffset, end - model_.header.commonOffset});
  }

  // Each size's list is read on its own: one that fails keeps no other from
  // being read. A list that begins inside one read before, or runs into one,
  // is refused (ReadStatus::kSharedList) and not kept, so that records that share a
  // list cost the list once.
  void ReadSizeMembers() {
    current_ = PartsPart::kSizeMembers;
    const Counts room = RoomAfter(model_.common);
    std::map<int64_t, int64_t> spans;  // the start and end of each list read
    for (const Span& span : known_) {
      spans[span.offset] = span.offset + span.length;
    }
    for (size_t i = 0; i < model_.sizes.size(); ++i) {
      PartsSize& size = model_.sizes[i];
      const int64_t offset = size.record.memberOffset;
      int64_t end = offset + 1;
      ReadStatus result = offset == 0                    ? ReadStatus::kSizeNotFound
                          : Overlaps(spans, offset, end) ? ReadStatus::kSharedList
                                                         : ReadStatus::kOk;
      if (result == ReadStatus::kOk) {
        result = ReadMemberList(file_, offset, room,
                                lists_ == Lists::kAll ? &size.members : nullptr, end);
      }
      if (result == ReadStatus::kOk && Overlaps(spans, offset, end)) {
        result = ReadStatus::kSharedList;
        size.members = MemberList();
        end = offset;
      }
      size.membersResult = result;
      if (result != ReadStatus::kOk) {
        Fail(current_, result, end, static_cast<int>(i), true);
        continue;
      }
      spans[offset] = end;
      known_.push_back({offset, end - offset});
    }
  }

  // Whether the bytes from `start` to `end` meet a list of `spans`.
  static bool Overlaps(const std::map<int64_t, int64_t>& spans, int64_t start, int64_t end) {
    const auto after = spans.upper_bound(start);
    if (after != spans.end() && after->first < end) {
      return true;
    }
    return after != spans.begin() && std::prev(after)->second > start;
  }

  // Walks the member-list area from its start, list by list, to the end of
  // the file: the lists the header and the size records point to (and that
  // could be read) are passed over, and a list in the bytes between them is
  // read where it stands. A compile that stopped part way leaves its size
  // records unwritten, and every list of a size among these.
  void ReadUnlistedLists() {
    current_ = PartsPart::kMemberArea;
    std::stable_sort(known_.begin(), known_.end(),
                     [](const Span& a, const Span& b) { return a.offset < b.offset; });
    int64_t position = MemberAreaStart(model_);
    for (const Span& span : known_) {
      if (!ReadListsUntil(position, span.offset)) {
        return;
      }
      position = std::max(position, span.offset + span.length);
    }
    ReadListsUntil(position, static_cast<int64_t>(file_.size()));
  }

  // Reads the lists from `position` on while they start before `until`;
  // false after a failure.
  bool ReadListsUntil(int64_t& position, int64_t until) {
    const Counts room = RoomAfter(model_.common);
    while (position < until) {
      UnlistedList list{static_cast<uint32_t>(position), {}};
      int64_t end = 0;
      const ReadStatus result = ReadMemberList(file_, position, room, &list.members, end);
      if (result != ReadStatus::kOk) {
        Fail(current_, result, position);
        return false;
      }
      model_.unlisted.push_back(std::move(list));
      position = end;
    }
    return true;
  }

  // A member list that was read: where it starts and the bytes it took.
  struct Span {
    int64_t offset;
    int64_t length;
  };

  std::string_view file_;
  PartsModel& model_;
  Lists lists_;
  std::vector<Span> known_;
  PartsPart current_ = PartsPart::kHeader;
  bool stopped_ = false;
};

}  // namespace

PartsModel DecodePartsFile(std::string_view bytes) {
  PartsModel model;
  Decoding(bytes, model, Decoding::Lists::kAll).Run();
  return model;
}

PartsModel DecodePartsOutline(std::string_view bytes) {
  PartsModel model;
  Decoding(bytes, model, Decoding::Lists::kNone).Run();
  return model;
}

PartsModel DecodePartsFrame(std::string_view bytes) {
  PartsModel model;
  Decoding(bytes, model, Decoding::Lists::kResults).Run();
  return model;
}

ReadStatus ViewSizeMembers(std::string_view bytes, const PartsModel& outline, size_t slot,
                           MemberViews& members) {
  const uint32_t offset = outline.sizes.at(slot).record.memberOffset;
  if (offset == 0) {
    members = {};
    return ReadStatus::kSizeNotFound;
  }
  int64_t end = 0;
  return ReadMemberList(bytes, offset, RoomAfter(outline.common), &members, end);
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

namespace {

// The words of each part of a file, in the order of PartsPart.
constexpr std::array<const char*, 7> kPartWords = {
    "header",           "view list",   "size list",  "common member list",
    "size member list", "member area", "member area"};

}  // namespace

std::string ReadReason(PartsPart part, ReadStatus result) {
  const std::string words = kPartWords[static_cast<size_t>(part)];
  switch (result) {
    case ReadStatus::kShort:
      return "truncated " + words;
    case ReadStatus::kBadVersion:
      return "not a parts file (version is not 102)";
    case ReadStatus::kNoView:
      return "no view defined";
    case ReadStatus::kTableFull:
      return "too many members in the " + words;
    case ReadStatus::kSizeNotFound:
      return "size member list not found (a size record out of order or without a list)";
    case ReadStatus::kNoMemory:
      return "out of memory";
    default:
      break;
  }
  return "damaged " + words;
}

}  // namespace partsc
