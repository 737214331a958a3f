// The tables of the parts-file state.
#include "partsfile/parts_tables.h"

#include <algorithm>
#include <cassert>

#include "partsfile/parts_state.h"
#include "partsfile/result_codes.h"

namespace partsc {

namespace {

bool InRange(int value, int low, int high) {
  return value >= low && value <= high;
}

// The number of leading slots of a table that a count designates.
int ClampCount(int32_t count, int capacity) {
  return std::clamp<int32_t>(count, 0, capacity);
}

}  // namespace

int CompareSizeNames(int sortMode, std::string_view a, std::string_view b) {
  if (sortMode == kSortLengthThenName && a.size() != b.size()) {
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

namespace {

// The entry in a slot of a table; null for an empty slot or an index outside.
template <class T, size_t N>
const T* EntryAt(const std::array<std::unique_ptr<T>, N>& table, int index) {
  if (!InRange(index, 0, static_cast<int>(N) - 1)) {
    return nullptr;
  }
  return table[static_cast<size_t>(index)].get();
}

const SizeRecord* SizeAt(const PartsFileState& state, int index) {
  return EntryAt(state.sizeTable, index);
}

}  // namespace

void GetSizeName(const PartsFileState& state, int index, std::string& name) {
  const SizeRecord* record = SizeAt(state, index);
  name = record != nullptr ? record->name.Str() : std::string();
}

void GetSizeTitle(const PartsFileState& state, int index, std::string& title) {
  const SizeRecord* record = SizeAt(state, index);
  title = record != nullptr ? record->title.Str() : std::string();
}

void GetSpecEntry(const PartsFileState& state, int index, int32_t& number, int32_t& invertedFlag,
                  std::string& name, int32_t& record) {
  number = 0;
  invertedFlag = 0;
  record = 0;
  name.clear();
  const SpecEntry* entry = EntryAt(state.specTable, index);
  if (entry == nullptr) {
    return;
  }
  number = static_cast<int16_t>(entry->number);
  invertedFlag = static_cast<int16_t>(entry->invertedFlag);
  record = static_cast<int16_t>(entry->record);
  name = entry->name;
}

void GetParamEntry(const PartsFileState& state, int index, std::string* name, std::string* text,
                   int32_t& pairCode, std::string* comment) {
  if (name == nullptr) {
    return;
  }
  const ParamEntry empty;
  const ParamEntry* entry = EntryAt(state.paramTable, index);
  if (entry == nullptr) {
    entry = &empty;
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
// keeping what the slot held for later: 0 with `entry` set, kTableFull,
// or kNoMemory.
template <class T, size_t N>
bool IsFull(const std::array<std::unique_ptr<T>, N>& /*table*/, int32_t count) {
  return count >= static_cast<int32_t>(N);
}

template <class T, size_t N>
int TakeNextSlot(std::array<std::unique_ptr<T>, N>& table, SpareEntries<T, N>& spares,
                 int32_t count, T*& entry) {
  if (IsFull(table, count)) {
    return kTableFull;
  }
  std::unique_ptr<T>& slot = table[static_cast<size_t>(std::max<int32_t>(count, 0))];
  spares.Keep(slot);
  slot = spares.Take();
  entry = slot.get();
  return entry != nullptr ? 0 : kNoMemory;
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

int AddSize(PartsFileState& state, int index, std::string_view name, std::string_view title) {
  if (index < 0 || index >= kMaxSizes) {
    return kTableFull;
  }
  std::unique_ptr<SizeRecord>& slot = state.sizeTable[static_cast<size_t>(index)];
  // The names of the slots below, which a compile fills from 0 upwards.
  state.sizeNames.Cover(state.sizeTable, index);
  slot.reset();
  slot = OvNew<SizeRecord>();
  if (slot == nullptr) {
    return kNoMemory;
  }
  slot->name.Assign(name);
  slot->title.Assign(title);
  // The record stays in its slot even when its name is taken; it is simply
  // not counted.
  if (state.sizeNames.Find(state.sizeTable, slot->name.View()) >= 0) {
    return kSizeNameTaken;
  }
  state.sizeNames.Cover(state.sizeTable, index + 1);
  return 0;
}

bool SpecTableFull(const PartsFileState& state) {
  return IsFull(state.specTable, state.specCount);
}

bool ParamTableFull(const PartsFileState& state) {
  return IsFull(state.paramTable, state.paramCount);
}

int StoreSpecEntry(PartsFileState& state, int number, int invertedFlag, std::string_view name,
                   int record) {
  SpecEntry* entry = nullptr;
  const int taken = TakeNextSlot(state.specTable, state.spareSpecs, state.specCount, entry);
  if (taken != 0) {
    return taken;
  }
  entry->number = static_cast<uint16_t>(number);
  entry->invertedFlag = static_cast<uint16_t>(invertedFlag);
  entry->record = static_cast<uint16_t>(record);
  if (!OvCopyChangedText(entry->name, name)) {
    return kNoMemory;
  }
  ++state.specCount;
  return 0;
}

int StoreParamEntry(PartsFileState& state, std::string_view name, std::string_view text,
                    int pairCode, std::string_view comment) {
  ParamEntry* entry = nullptr;
  const int taken = TakeNextSlot(state.paramTable, state.spareParams, state.paramCount, entry);
  if (taken != 0) {
    return taken;
  }
  entry->pairCode = static_cast<int16_t>(pairCode);
  if (!OvCopyChangedText(entry->name, name) || !OvCopyText(entry->text, text)) {
    return kNoMemory;
  }
  if (comment.empty()) {
    entry->comment.clear();
  } else if (!OvCopyChangedText(entry->comment, comment)) {
    return kNoMemory;
  }
  ++state.paramCount;
  return 0;
}

void ClearTables(PartsFileState& state) {
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

void DropBlockEntries(PartsFileState& state) {
  KeepEntries(state.specTable, state.spareSpecs, ClampCount(state.commonSpecCount, kMaxSpecEntries),
              ClampCount(state.specCount, kMaxSpecEntries));
  KeepEntries(state.paramTable, state.spareParams,
              ClampCount(state.commonParamCount, kMaxParamEntries),
              ClampCount(state.paramCount, kMaxParamEntries));
  state.specCount = state.commonSpecCount;
  state.paramCount = state.commonParamCount;
}

}  // namespace partsc
