// The parts-file state of the process and the byte form of its records.
#include "partsfile/parts_state.h"

#include <algorithm>
#include <cassert>

namespace partsc {

namespace {

// Header field offsets.
constexpr int kVersionAt = 0;
constexpr int kDayAt = 2;
constexpr int kMonthAt = 4;
constexpr int kYearAt = 6;
constexpr int kHourAt = 8;
constexpr int kMinuteAt = 10;
constexpr int kCommentAt = 12;
constexpr int kCommentLengthAt = 76;
constexpr int kSpecFileAt = 78;
constexpr int kSpecRecordAt = 80;
constexpr int kPartsValue1At = 82;
constexpr int kPartsValue2At = 84;
constexpr int kSizeCountAt = 86;
constexpr int kCommonOffsetAt = 88;
constexpr int kTitleAt = 92;
constexpr int kTitleLengthAt = 156;
constexpr int kApgCommentCountAt = 158;
constexpr int kSortModeAt = 160;

// Size record field offsets.
constexpr int kNameLengthAt = 0;
constexpr int kTitleLengthInRecordAt = 2;
constexpr int kNameAt = 4;
constexpr int kRecordTitleAt = 36;
constexpr int kMemberOffsetAt = 68;

constexpr int32_t kSizeListWithoutComments = kApgOffset + kApgBlockSize;
constexpr int32_t kSizeListWithComments = kApgOffset + 2 * kApgBlockSize;

void PutU16(uint8_t* out, int at, uint16_t value) {
  out[at] = static_cast<uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void PutI16(uint8_t* out, int at, int16_t value) {
  PutU16(out, at, static_cast<uint16_t>(value));
}

void PutU32(uint8_t* out, int at, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    out[at + i] = static_cast<uint8_t>((value >> (8 * i)) & 0xFF);
  }
}

uint16_t GetU16(const uint8_t* in, int at) {
  return static_cast<uint16_t>(in[at] | (in[at + 1] << 8));
}

int16_t GetI16(const uint8_t* in, int at) {
  return static_cast<int16_t>(GetU16(in, at));
}

uint32_t GetU32(const uint8_t* in, int at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = (value << 8) | in[at + i];
  }
  return value;
}

template <int N>
void PutText(uint8_t* out, int at, const FixedText<N>& text) {
  std::memcpy(out + at, text.Bytes().data(), N);
}

// Keeps the low 16 bits of a number, as every numeric header field does.
int16_t Low16(int32_t value) {
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

void StoreOrFetch(int mode, int16_t& field, int32_t& value) {
  if (mode == 0) {
    field = Low16(value);
    return;
  }
  value = field;
}

void StoreOrFetchApg(int mode, ApgBlock& block, std::array<std::string, 6>& slots) {
  for (size_t i = 0; i < block.size(); ++i) {
    if (mode == 0) {
      block[i].Assign(slots[i]);
    } else {
      slots[i] = block[i].Str();
    }
  }
}

bool InRange(int value, int low, int high) {
  return value >= low && value <= high;
}

// The number of leading slots of a table that a count designates.
int ClampCount(int32_t count, int capacity) {
  return std::clamp<int32_t>(count, 0, capacity);
}

}  // namespace

void EncodeHeader(const PartsHeader& header, uint8_t out[kHeaderSize]) {
  std::memset(out, 0, kHeaderSize);
  PutI16(out, kVersionAt, header.version);
  PutI16(out, kDayAt, header.createdDay);
  PutI16(out, kMonthAt, header.createdMonth);
  PutI16(out, kYearAt, header.createdYear);
  PutI16(out, kHourAt, header.createdHour);
  PutI16(out, kMinuteAt, header.createdMinute);
  PutText(out, kCommentAt, header.comment);
  PutU16(out, kCommentLengthAt, header.comment.Length());
  PutI16(out, kSpecFileAt, header.specFile);
  PutI16(out, kSpecRecordAt, header.specRecord);
  PutI16(out, kPartsValue1At, header.partsValue1);
  PutI16(out, kPartsValue2At, header.partsValue2);
  PutI16(out, kSizeCountAt, header.sizeCount);
  PutU32(out, kCommonOffsetAt, static_cast<uint32_t>(header.commonOffset));
  PutText(out, kTitleAt, header.title);
  PutU16(out, kTitleLengthAt, header.title.Length());
  PutI16(out, kApgCommentCountAt, header.apgCommentCount);
  PutI16(out, kSortModeAt, header.sortMode);
}

bool DecodeHeader(const uint8_t in[kHeaderSize], PartsHeader& header) {
  header = PartsHeader{};
  const int commentLength = GetI16(in, kCommentLengthAt);
  const int titleLength = GetI16(in, kTitleLengthAt);
  if (!InRange(commentLength, 0, kHeaderTextSize) || !InRange(titleLength, 0, kHeaderTextSize)) {
    return false;
  }
  header.version = GetI16(in, kVersionAt);
  header.createdDay = GetI16(in, kDayAt);
  header.createdMonth = GetI16(in, kMonthAt);
  header.createdYear = GetI16(in, kYearAt);
  header.createdHour = GetI16(in, kHourAt);
  header.createdMinute = GetI16(in, kMinuteAt);
  header.comment.AssignField(in + kCommentAt, commentLength);
  header.specFile = GetI16(in, kSpecFileAt);
  header.specRecord = GetI16(in, kSpecRecordAt);
  header.partsValue1 = GetI16(in, kPartsValue1At);
  header.partsValue2 = GetI16(in, kPartsValue2At);
  header.sizeCount = GetI16(in, kSizeCountAt);
  header.commonOffset = static_cast<int32_t>(GetU32(in, kCommonOffsetAt));
  header.title.AssignField(in + kTitleAt, titleLength);
  header.apgCommentCount = GetI16(in, kApgCommentCountAt);
  header.sortMode = GetI16(in, kSortModeAt);
  return true;
}

void EncodeApgBlock(const ApgBlock& block, uint8_t out[kApgBlockSize]) {
  std::memset(out, 0, kApgBlockSize);
  for (size_t i = 0; i < block.size(); ++i) {
    const int at = kApgEntrySize * static_cast<int>(i);
    PutU16(out, at, block[i].Length());
    // The 32-byte field holds at most 31 characters; its last byte stays 0.
    PutText(out, at + 2, block[i]);
  }
}

bool DecodeApgBlock(const uint8_t in[kApgBlockSize], ApgBlock& block) {
  for (auto& text : block) {
    text.Clear();
  }
  for (size_t i = 0; i < block.size(); ++i) {
    const int length = GetI16(in, kApgEntrySize * static_cast<int>(i));
    if (!InRange(length, 0, kApgTextMax)) {
      return false;
    }
  }
  for (size_t i = 0; i < block.size(); ++i) {
    const int at = kApgEntrySize * static_cast<int>(i);
    block[i].AssignField(in + at + 2, GetI16(in, at));
  }
  return true;
}

void EncodeSizeRecord(const SizeRecord& record, uint8_t out[kSizeRecordSize]) {
  PutU16(out, kNameLengthAt, record.name.Length());
  PutU16(out, kTitleLengthInRecordAt, record.title.Length());
  PutText(out, kNameAt, record.name);
  PutText(out, kRecordTitleAt, record.title);
  PutU32(out, kMemberOffsetAt, record.memberOffset);
}

bool DecodeSizeRecord(const uint8_t in[kSizeRecordSize], SizeRecord& record) {
  record = SizeRecord{};
  const int nameLength = GetU16(in, kNameLengthAt);
  const int titleLength = GetU16(in, kTitleLengthInRecordAt);
  if (nameLength > kSizeTextSize || titleLength > kSizeTextSize) {
    return false;
  }
  record.name.AssignField(in + kNameAt, nameLength);
  record.title.AssignField(in + kRecordTitleAt, titleLength);
  record.memberOffset = GetU32(in, kMemberOffsetAt);
  return true;
}

int CompareSizeNames(int sortMode, std::string_view a, std::string_view b) {
  if (sortMode == 0 && a.size() != b.size()) {
    return a.size() < b.size() ? -1 : 1;
  }
  // std::string_view compares with char_traits<char>, which orders bytes as
  // unsigned characters, and puts a proper beginning first.
  const int order = a.compare(b);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

void SizeNameIndex::Cover(const SizeTable& table, int count) {
  assert(count >= 0 && count <= kMaxSizes && "a count of size slots");
  if (count < covered_) {
    covered_ = 0;
  }
  if (covered_ == 0) {
    entries_ = 0;
  }
  for (; covered_ < count; ++covered_) {
    if (table[static_cast<size_t>(covered_)] == nullptr) {
      continue;
    }
    // After every equal name, since the new slot is the highest so far.
    const std::string_view name = SizeNameAt(table, covered_);
    const auto end = order_.begin() + entries_;
    const auto at = std::upper_bound(
        order_.begin(), end, name,
        [&table](std::string_view n, int16_t slot) { return n < SizeNameAt(table, slot); });
    std::move_backward(at, end, end + 1);
    *at = static_cast<int16_t>(covered_);
    ++entries_;
  }
}

int SizeNameIndex::Find(const SizeTable& table, std::string_view name) const {
  const auto end = order_.begin() + entries_;
  const auto at = std::lower_bound(
      order_.begin(), end, name,
      [&table](int16_t slot, std::string_view n) { return SizeNameAt(table, slot) < n; });
  if (at == end || table[static_cast<size_t>(*at)] == nullptr || SizeNameAt(table, *at) != name) {
    return -1;
  }
  return *at;
}

int32_t SizeListOffset() {
  const PartsHeader& header = PartsFileState::Instance().header;
  return header.apgCommentCount != 0 ? kSizeListWithComments : kSizeListWithoutComments;
}

int32_t MemberListsOffset() {
  const int64_t offset =
      SizeListOffset() + int64_t{kSizeRecordSize} * PartsFileState::Instance().header.sizeCount;
  return static_cast<int32_t>(offset);
}

void HeaderVersion(int mode, int32_t& version, std::string& comment) {
  PartsHeader& header = PartsFileState::Instance().header;
  StoreOrFetch(mode, header.version, version);
  if (mode == 0) {
    header.comment.Assign(comment);
    return;
  }
  comment = header.comment.Str();
}

void HeaderDate(int mode, int32_t& day, int32_t& month, int32_t& year, int32_t& hour,
                int32_t& minute) {
  PartsHeader& header = PartsFileState::Instance().header;
  StoreOrFetch(mode, header.createdDay, day);
  StoreOrFetch(mode, header.createdMonth, month);
  StoreOrFetch(mode, header.createdYear, year);
  StoreOrFetch(mode, header.createdHour, hour);
  StoreOrFetch(mode, header.createdMinute, minute);
}

void HeaderSpec(int mode, int32_t& file, int32_t& record) {
  PartsHeader& header = PartsFileState::Instance().header;
  StoreOrFetch(mode, header.specFile, file);
  StoreOrFetch(mode, header.specRecord, record);
}

void HeaderPartsValue1(int mode, int32_t& value) {
  StoreOrFetch(mode, PartsFileState::Instance().header.partsValue1, value);
}

void HeaderPartsValue2(int mode, int32_t& value) {
  StoreOrFetch(mode, PartsFileState::Instance().header.partsValue2, value);
}

void HeaderSizeCount(int mode, int32_t& value) {
  StoreOrFetch(mode, PartsFileState::Instance().header.sizeCount, value);
}

void HeaderSortMode(int mode, int32_t& value) {
  StoreOrFetch(mode, PartsFileState::Instance().header.sortMode, value);
}

void ApgNames(int mode, std::array<std::string, 6>& slots) {
  StoreOrFetchApg(mode, PartsFileState::Instance().apgNames, slots);
}

void ApgComments(int mode, std::array<std::string, 6>& slots) {
  StoreOrFetchApg(mode, PartsFileState::Instance().apgComments, slots);
}

void SetTitle(std::string_view title) {
  PartsFileState::Instance().header.title.Assign(title);
}

void GetTitle(std::string& title) {
  title = PartsFileState::Instance().header.title.Str();
}

void CountApgComments() {
  PartsFileState& state = PartsFileState::Instance();
  const auto count = std::count_if(state.apgComments.begin(), state.apgComments.end(),
                                   [](const auto& text) { return !text.Empty(); });
  state.header.apgCommentCount = static_cast<int16_t>(count);
}

void SetCommonOffset(int32_t sizeCount) {
  const int64_t offset = SizeListOffset() + int64_t{kSizeRecordSize} * sizeCount;
  PartsFileState::Instance().header.commonOffset = static_cast<int32_t>(offset);
}

bool HasCommonList() {
  return PartsFileState::Instance().header.commonOffset != 0;
}

namespace {

// The entry in a slot of a table; null for an empty slot or an index outside.
template <class T, size_t N>
const T* EntryAt(const std::array<std::unique_ptr<T>, N>& table, int index) {
  if (!InRange(index, 0, static_cast<int>(N) - 1)) {
    return nullptr;
  }
  return table[static_cast<size_t>(index)].get();
}

const SizeRecord* SizeAt(int index) {
  return EntryAt(PartsFileState::Instance().sizeTable, index);
}

}  // namespace

void GetSizeName(int index, std::string& name) {
  const SizeRecord* record = SizeAt(index);
  name = record != nullptr ? record->name.Str() : std::string();
}

void GetSizeTitle(int index, std::string& title) {
  const SizeRecord* record = SizeAt(index);
  title = record != nullptr ? record->title.Str() : std::string();
}

void GetSpecEntry(int index, int32_t& number, int32_t& invertedFlag, std::string& name,
                  int32_t& record) {
  number = 0;
  invertedFlag = 0;
  record = 0;
  name.clear();
  const SpecEntry* entry = EntryAt(PartsFileState::Instance().specTable, index);
  if (entry == nullptr) {
    return;
  }
  number = static_cast<int16_t>(entry->number);
  invertedFlag = static_cast<int16_t>(entry->invertedFlag);
  record = static_cast<int16_t>(entry->record);
  name = entry->name;
}

void GetParamEntry(int index, std::string* name, std::string* text, int32_t& pairCode,
                   std::string* comment) {
  if (name == nullptr) {
    return;
  }
  static const ParamEntry kEmpty;
  const ParamEntry* entry = EntryAt(PartsFileState::Instance().paramTable, index);
  if (entry == nullptr) {
    entry = &kEmpty;
  }
  *name = entry->name;
  pairCode = entry->pairCode;
  if (text == nullptr) {
    return;
  }
  *text = entry->text;
  if (comment != nullptr) {
    *comment = entry->comment;
  }
}

namespace {

// Takes a new entry into the slot after the `count` entries of a table,
// keeping what the slot held for later: 0 with `entry` set, kEntryTableFull,
// or kEntryNoMemory.
template <class T, size_t N>
int TakeNextSlot(std::array<std::unique_ptr<T>, N>& table, SpareEntries<T, N>& spares,
                 int32_t count, T*& entry) {
  if (count >= static_cast<int32_t>(N)) {
    return kEntryTableFull;
  }
  std::unique_ptr<T>& slot = table[static_cast<size_t>(std::max<int32_t>(count, 0))];
  spares.Keep(slot);
  slot = spares.Take();
  entry = slot.get();
  return entry != nullptr ? 0 : kEntryNoMemory;
}

// Keeps the entries of slots `from` to `to` - 1 for later, the last first, so
// that they are taken again into the slots they left: the names and comments
// that repeat from one block to the next, as those of a file's sizes mostly
// do, then need no new copy.
template <class T, size_t N>
void KeepEntries(std::array<std::unique_ptr<T>, N>& table, SpareEntries<T, N>& spares, int from,
                 int to) {
  for (int i = to - 1; i >= from; --i) {
    spares.Keep(table[static_cast<size_t>(i)]);
  }
}

}  // namespace

int StoreSpecEntry(int number, int invertedFlag, std::string_view name, int record) {
  PartsFileState& state = PartsFileState::Instance();
  SpecEntry* entry = nullptr;
  const int taken = TakeNextSlot(state.specTable, state.spareSpecs, state.specCount, entry);
  if (taken != 0) {
    return taken;
  }
  entry->number = static_cast<uint16_t>(number);
  entry->invertedFlag = static_cast<uint16_t>(invertedFlag);
  entry->record = static_cast<uint16_t>(record);
  if (!OvCopyChangedText(entry->name, name)) {
    return kEntryNoMemory;
  }
  ++state.specCount;
  return 0;
}

int StoreParamEntry(std::string_view name, std::string_view text, int pairCode,
                    std::string_view comment) {
  PartsFileState& state = PartsFileState::Instance();
  ParamEntry* entry = nullptr;
  const int taken = TakeNextSlot(state.paramTable, state.spareParams, state.paramCount, entry);
  if (taken != 0) {
    return taken;
  }
  entry->pairCode = static_cast<int16_t>(pairCode);
  if (!OvCopyChangedText(entry->name, name) || !OvCopyText(entry->text, text)) {
    return kEntryNoMemory;
  }
  if (comment.empty()) {
    entry->comment.clear();
  } else if (!OvCopyChangedText(entry->comment, comment)) {
    return kEntryNoMemory;
  }
  ++state.paramCount;
  return 0;
}

void ClearTables() {
  PartsFileState& state = PartsFileState::Instance();
  const int sizes = ClampCount(state.header.sizeCount, kMaxSizes);
  for (int i = 0; i < sizes; ++i) {
    state.sizeTable[static_cast<size_t>(i)].reset();
  }
  KeepEntries(state.specTable, state.spareSpecs, 0, kMaxSpecEntries);
  KeepEntries(state.paramTable, state.spareParams, 0, kMaxParamEntries);
  state.sizeNames.Forget();
  state.specCount = 0;
  state.commonSpecCount = 0;
  state.paramCount = 0;
  state.commonParamCount = 0;
  state.header = PartsHeader{};
  for (auto& text : state.apgNames) {
    text.Clear();
  }
  for (auto& text : state.apgComments) {
    text.Clear();
  }
}

void DropBlockEntries() {
  PartsFileState& state = PartsFileState::Instance();
  KeepEntries(state.specTable, state.spareSpecs, ClampCount(state.commonSpecCount, kMaxSpecEntries),
              ClampCount(state.specCount, kMaxSpecEntries));
  KeepEntries(state.paramTable, state.spareParams,
              ClampCount(state.commonParamCount, kMaxParamEntries),
              ClampCount(state.paramCount, kMaxParamEntries));
  state.specCount = state.commonSpecCount;
  state.paramCount = state.commonParamCount;
}

}  // namespace partsc
