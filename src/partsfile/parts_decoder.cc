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

// The next entry of a list being read: one the list held before, whose
// texts keep their room, or a new one.
template <class T>
T& NextEntry(std::vector<T>& entries, size_t& used) {
  if (used == entries.size()) {
    entries.emplace_back();
  }
  return entries[used++];
}

bool IsSpecKind(uint8_t kind) {
  return kind == kKindSpec || kind == kKindSpecRecord;
}

// A 0 byte for the number is 256; so is one for the record under kind 3,
// where the kind tells it from a spec without a record.
SpecView SpecOf(const uint8_t* head, std::string_view body) {
  const int record = head[0] == kKindSpecRecord ? (head[4] == 0 ? 256 : head[4]) : 0;
  return {static_cast<uint16_t>(head[1] == 0 ? 256 : head[1]), head[3],
          static_cast<uint16_t>(record), body};
}

// The name is every byte its length counts, zero bytes included, so that it
// is written back as it stands.
ParamView ParamOf(std::string_view head, std::string_view body) {
  const auto commentLength = static_cast<uint8_t>(head[4]);
  const size_t nameLength = std::min<size_t>(static_cast<uint8_t>(head[1]), kParamNameMax);
  return {head.substr(6, nameLength), static_cast<uint8_t>(head[3]), body.substr(commentLength),
          body.substr(0, commentLength)};
}

// Stores one record as the next entry of a list: its texts copied into the
// entry, or viewed where the file holds them.
void Store(MemberList& list, Counts& used, std::string_view head, std::string_view body) {
  if (IsSpecKind(Bytes(head)[0])) {
    const SpecView view = SpecOf(Bytes(head), body);
    SpecEntry& spec = NextEntry(list.specs, used.specs);
    spec.number = view.number;
    spec.invertedFlag = view.invertedFlag;
    spec.record = view.record;
    spec.name.assign(view.name);
    return;
  }
  const ParamView view = ParamOf(head, body);
  ParamEntry& param = NextEntry(list.params, used.params);
  param.name.assign(view.name);
  param.pairCode = view.pairCode;
  param.text.assign(view.text);
  param.comment.assign(view.comment);
}

void Store(MemberViews& list, Counts& used, std::string_view head, std::string_view body) {
  if (IsSpecKind(Bytes(head)[0])) {
    NextEntry(list.specs, used.specs) = SpecOf(Bytes(head), body);
  } else {
    NextEntry(list.params, used.params) = ParamOf(head, body);
  }
}

// How reading a member list ended: kOk with `end` just past the end record,
// or the failure with `end` at the record that failed.
struct ListEnd {
  ReadStatus result;
  int64_t end;
};

// Reads the member list at `position` into `list` until its end record,
// over the entries the list held before; without a list, only counts the
// entries.
template <class List>
ListEnd ReadMemberRecords(std::string_view file, int64_t position, Counts room, List* list,
                          Counts& used) {
  for (int64_t end = position;; end += kMemberHeadSize) {
    const std::optional<std::string_view> head = Slice(file, end, kMemberHeadSize);
    if (!head) {
      return {ReadStatus::kShort, end};
    }
    const uint8_t* bytes = Bytes(*head);
    const bool spec = IsSpecKind(bytes[0]);
    if (!spec && bytes[0] != kKindParam) {
      return {ReadStatus::kOk, end + kMemberHeadSize};
    }
    if (!spec && (bytes[1] < 1 || bytes[1] > kParamNameMax)) {
      return {ReadStatus::kDamaged, end};
    }
    const int bodyLength = spec ? bytes[2] : bytes[2] + bytes[4];
    const std::optional<std::string_view> body = Slice(file, end + kMemberHeadSize, bodyLength);
    if (!body) {
      return {ReadStatus::kShort, end};
    }
    if (spec ? used.specs >= room.specs : used.params >= room.params) {
      return {ReadStatus::kTableFull, end};
    }
    if (!Allocated()) {
      return {ReadStatus::kNoMemory, end};
    }
    if (list == nullptr) {
      ++(spec ? used.specs : used.params);
    } else {
      try {
        Store(*list, used, *head, *body);
      } catch (const std::bad_alloc&) {
        return {ReadStatus::kNoMemory, end};
      }
    }
    end += bodyLength;
  }
}

// ReadMemberRecords, with the entries the list held before and were not
// read over dropped.
template <class List>
ListEnd ReadMemberList(std::string_view file, int64_t position, Counts room, List* list) {
  Counts used;
  const ListEnd read = ReadMemberRecords(file, position, room, list, used);
  if (list != nullptr) {
    list->specs.resize(used.specs);
    list->params.resize(used.params);
  }
  return read;
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
        Fail(ReadStatus::kNoMemory, 0);
      }
      if (stopped_) {
        return;
      }
    }
  }

 private:
  // Notes the first failure, in the part being read; unless `goOn`, the
  // reading ends with the part.
  void Fail(ReadStatus result, int64_t offset, int size = -1, bool goOn = false) {
    if (model_.read.Whole()) {
      model_.read = {current_, result, offset, size};
    }
    stopped_ = stopped_ || !goOn;
  }

  void ReadHeader() {
    current_ = PartsPart::kHeader;
    const std::optional<std::string_view> bytes = Slice(file_, 0, kHeaderSize);
    if (!bytes) {
      Fail(ReadStatus::kShort, 0);
      return;
    }
    // A foreign file is refused on its version before anything else is
    // looked at, and none of its fields is kept.
    if (HeaderVersionOf(Bytes(*bytes)) != kPartsVersion) {
      Fail(ReadStatus::kBadVersion, 0);
      return;
    }
    const std::optional<PartsHeader> header = DecodeHeader(Bytes(*bytes));
    if (!header) {
      Fail(ReadStatus::kDamaged, 0);
      return;
    }
    model_.header = *header;
  }

  // One APG block; none after a failure.
  std::optional<ApgBlock> ReadApgBlock(int64_t position) {
    const std::optional<std::string_view> bytes = Slice(file_, position, kApgBlockSize);
    std::optional<ApgBlock> block = bytes ? DecodeApgBlock(Bytes(*bytes)) : std::nullopt;
    if (!block) {
      Fail(bytes ? ReadStatus::kDamaged : ReadStatus::kShort, position);
    }
    return block;
  }

  void ReadApgList() {
    current_ = PartsPart::kApgList;
    const std::optional<ApgBlock> names = ReadApgBlock(kApgOffset);
    if (!names) {
      return;
    }
    model_.apgNames = *names;
    // A file without a view is refused, but nothing keeps the rest of it
    // from being read.
    if (TextsGiven(model_.apgNames) == 0) {
      Fail(ReadStatus::kNoView, kApgOffset, -1, true);
    }
    if (model_.header.apgCommentCount != 0) {
      model_.apgComments = ReadApgBlock(kApgOffset + kApgBlockSize).value_or(ApgBlock{});
    }
  }

  void ReadSizeList() {
    current_ = PartsPart::kSizeList;
    const int count = model_.header.sizeCount;
    const int64_t start = SizeListOffset(model_.header);
    if (count > kMaxSizes) {
      Fail(ReadStatus::kDamaged, start);
      return;
    }
    // At most kMaxSizes records: room made once, not grown record by record.
    model_.sizes.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
      const int64_t position = start + int64_t{kSizeRecordSize} * i;
      const bool allocated = Allocated();
      const std::optional<std::string_view> bytes = Slice(file_, position, kSizeRecordSize);
      const std::optional<SizeRecord> record =
          allocated && bytes ? DecodeSizeRecord(Bytes(*bytes)) : std::nullopt;
      if (!record) {
        Fail(!allocated ? ReadStatus::kNoMemory
             : !bytes   ? ReadStatus::kShort
                        : ReadStatus::kDamaged,
             position);
        return;
      }
      model_.sizes.push_back({*record, {}, ReadStatus::kOk});
    }
  }

  void ReadCommonList() {
    current_ = PartsPart::kCommonList;
    const int64_t offset = model_.header.commonOffset;
    if (offset == 0) {
      return;
    }
    const ListEnd read = ReadMemberList(file_, offset, kTableRoom, &model_.common.emplace());
    if (read.result != ReadStatus::kOk) {
      Fail(read.result, read.end);
      return;
    }
    spans_[offset] = read.end;
  }

  // Each size's list is read on its own: one that fails keeps no other from
  // being read. A list that begins inside one read before, or runs into one,
  // is refused (ReadStatus::kSharedList) and not kept, so that records that
  // share a list cost the list once.
  void ReadSizeMembers() {
    current_ = PartsPart::kSizeMembers;
    const Counts room = RoomAfter(model_.common);
    for (size_t i = 0; i < model_.sizes.size(); ++i) {
      PartsSize& size = model_.sizes[i];
      const int64_t offset = size.record.memberOffset;
      ListEnd read{offset == 0                    ? ReadStatus::kSizeNotFound
                   : Overlaps(offset, offset + 1) ? ReadStatus::kSharedList
                                                  : ReadStatus::kOk,
                   offset + 1};
      if (read.result == ReadStatus::kOk) {
        read = ReadMemberList(file_, offset, room, lists_ == Lists::kAll ? &size.members : nullptr);
      }
      if (read.result == ReadStatus::kOk && Overlaps(offset, read.end)) {
        read = {ReadStatus::kSharedList, offset};
        size.members = MemberList();
      }
      size.membersResult = read.result;
      if (read.result != ReadStatus::kOk) {
        Fail(read.result, read.end, static_cast<int>(i), true);
        continue;
      }
      spans_[offset] = read.end;
    }
  }

  // Whether the bytes from `start` to `end` meet a list read before.
  bool Overlaps(int64_t start, int64_t end) const {
    const auto after = spans_.upper_bound(start);
    if (after != spans_.end() && after->first < end) {
      return true;
    }
    return after != spans_.begin() && std::prev(after)->second > start;
  }

  // Walks the member-list area from its start, list by list, to the end of
  // the file: the lists the header and the size records point to (and that
  // could be read) are passed over, and a list in the bytes between them is
  // read where it stands. A compile that stopped part way leaves its size
  // records unwritten, and every list of a size among these.
  void ReadUnlistedLists() {
    current_ = PartsPart::kMemberArea;
    std::optional<int64_t> position = MemberAreaStart(model_);
    for (const auto& [start, end] : spans_) {
      position = ReadListsUntil(*position, start);
      if (!position) {
        return;
      }
      position = std::max(*position, end);
    }
    ReadListsUntil(*position, static_cast<int64_t>(file_.size()));
  }

  // Reads the lists from `position` on while they start before `until`:
  // where the last one ends, or none after a failure.
  std::optional<int64_t> ReadListsUntil(int64_t position, int64_t until) {
    const Counts room = RoomAfter(model_.common);
    while (position < until) {
      UnlistedList list{static_cast<uint32_t>(position), {}};
      const ListEnd read = ReadMemberList(file_, position, room, &list.members);
      if (read.result != ReadStatus::kOk) {
        Fail(read.result, position);
        return std::nullopt;
      }
      model_.unlisted.push_back(std::move(list));
      position = read.end;
    }
    return position;
  }

  std::string_view file_;
  PartsModel& model_;
  Lists lists_;
  std::map<int64_t, int64_t> spans_;  // the start and end of each list read
  PartsPart current_ = PartsPart::kHeader;
  bool stopped_ = false;
};

// The words of each part of a file, in the order of PartsPart.
constexpr std::array<const char*, 7> kPartWords = {
    "header",           "view list",   "size list",  "common member list",
    "size member list", "member area", "member area"};

PartsModel Decode(std::string_view bytes, Decoding::Lists lists) {
  PartsModel model;
  Decoding(bytes, model, lists).Run();
  return model;
}

}  // namespace

PartsModel DecodePartsFile(std::string_view bytes) {
  return Decode(bytes, Decoding::Lists::kAll);
}

PartsModel DecodePartsOutline(std::string_view bytes) {
  return Decode(bytes, Decoding::Lists::kNone);
}

PartsModel DecodePartsFrame(std::string_view bytes) {
  return Decode(bytes, Decoding::Lists::kResults);
}

ReadStatus ViewSizeMembers(std::string_view bytes, const PartsModel& outline, size_t slot,
                           MemberViews& members) {
  const uint32_t offset = outline.sizes.at(slot).record.memberOffset;
  if (offset == 0) {
    members = {};
    return ReadStatus::kSizeNotFound;
  }
  return ReadMemberList(bytes, offset, RoomAfter(outline.common), &members).result;
}

std::optional<size_t> FindSizeRecord(const PartsModel& model, std::string_view name) {
  const int sortMode = model.header.sortMode;
  if (sortMode != kSortLengthThenName && sortMode != kSortByName) {
    const auto found =
        std::find_if(model.sizes.begin(), model.sizes.end(),
                     [name](const PartsSize& size) { return size.record.name.View() == name; });
    if (found == model.sizes.end()) {
      return std::nullopt;
    }
    return static_cast<size_t>(found - model.sizes.begin());
  }
  int low = 0;
  int high = static_cast<int>(model.sizes.size()) - 1;
  while (low <= high) {
    const int middle = (low + high) / 2;
    const std::string_view at = model.sizes[static_cast<size_t>(middle)].record.name.View();
    const int order = CompareSizeNames(sortMode, at, name);
    if (order == 0) {
      return static_cast<size_t>(middle);
    }
    if (order < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
    }
  }
  return std::nullopt;
}

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
