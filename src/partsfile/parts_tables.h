// The tables of the parts-file state: size records with their name index,
// spec and param entries, and the entries kept for reuse.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "partsfile/parts_layout.h"
#include "platform/ov_faults.h"
#include "platform/ov_memory.h"

namespace partsc {

// Order of size names for a sort mode: 0 by length then bytes, 1 (or a
// negative mode) by bytes, unsigned, the shorter first on a common beginning.
// Negative when a sorts before b, 0 when equal, positive after. Any mode of 2
// or more compares like 1 (the caller decides whether to sort at all).
int CompareSizeNames(int sortMode, std::string_view a, std::string_view b);

using SizeTable = std::array<std::unique_ptr<SizeRecord>, kMaxSizes>;

// The name of the record in a size slot; an empty slot reads as an empty name.
inline std::string_view SizeNameAt(const SizeTable& table, int slot) {
  const SizeRecord* record = table[static_cast<size_t>(slot)].get();
  return record != nullptr ? record->name.View() : std::string_view();
}

// The size slots 0 to Covered() - 1 that hold a record, ordered by name (bytes
// taken as unsigned) and, among equal names, by slot, so that a name is found
// by binary search instead of by comparing it with every record. It holds slot
// numbers only and compares the names the table holds now, so it stays right
// while those slots keep their records; whoever changes them other than by
// AddSize, ReadSizeList, WriteSizeList and ClearTables (which keep it right)
// calls Forget.
class SizeNameIndex {
 public:
  void Forget() { covered_ = 0; }
  int Covered() const { return covered_; }
  // Makes the index cover slots 0 to count - 1 (0 to 2048): takes the slots
  // from Covered() on, or starts again when it covers more than that.
  void Cover(const SizeTable& table, int count);
  // The first covered slot whose record has that name, or -1.
  int Find(const SizeTable& table, std::string_view name) const;

 private:
  std::array<int16_t, kMaxSizes> order_{};
  int entries_ = 0;  // slots in order_: the covered slots that hold a record
  int covered_ = 0;
};

// Entries that DropBlockEntries and ClearTables took out of a table, kept
// for the entries that come next, so that after the first block a block's
// entries take no new memory. At most one table's worth is kept.
template <class T, size_t N>
class SpareEntries {
 public:
  // Keeps the entry of a slot, which is left empty.
  void Keep(std::unique_ptr<T>& slot) {
    if (slot == nullptr) {
      return;
    }
    if (count_ == N) {
      slot.reset();
      return;
    }
    spares_[count_++] = std::move(slot);
  }
  // A kept entry, else a new one; null when memory cannot be had. Either way
  // it is one allocation to the test seam. A kept entry keeps the room of its
  // texts: whoever takes it sets every field.
  std::unique_ptr<T> Take() {
    if (count_ == 0) {
      return OvNew<T>();
    }
    if (OvFaults::ShouldFail(OvFaultKind::kAllocation)) {
      return nullptr;
    }
    return std::move(spares_[--count_]);
  }

 private:
  std::array<std::unique_ptr<T>, N> spares_;
  size_t count_ = 0;
};

struct PartsFileState;

// An empty slot (or an index outside the table) gives an empty text.
void GetSizeName(const PartsFileState& state, int index, std::string& name);
void GetSizeTitle(const PartsFileState& state, int index, std::string& title);
void GetSpecEntry(const PartsFileState& state, int index, int32_t& number, int32_t& invertedFlag,
                  std::string& name, int32_t& record);
// Null buffers are not filled, as the table of operations says.
void GetParamEntry(const PartsFileState& state, int index, std::string* name, std::string* text,
                   int32_t& pairCode, std::string* comment);

// AddSize answers this when a size slot below `index` holds the name.
inline constexpr int kSizeNameTaken = -1;

// Puts a new size record into slot `index`: 0, kTableFull for an index
// outside the table, kNoMemory, or kSizeNameTaken (the record then stays in
// its slot, uncounted).
int AddSize(PartsFileState& state, int index, std::string_view name, std::string_view title);

// True when the spec (param) table has no slot after its counted entries.
bool SpecTableFull(const PartsFileState& state);
bool ParamTableFull(const PartsFileState& state);

// Append one entry after those in its table, with its own copies of the
// texts (an empty comment is none): 0, kTableFull, or kNoMemory when an
// allocation fails (the entry then stays in its slot, uncounted).
int StoreSpecEntry(PartsFileState& state, int number, int invertedFlag, std::string_view name,
                   int record);
int StoreParamEntry(PartsFileState& state, std::string_view name, std::string_view text,
                    int pairCode, std::string_view comment);

void ClearTables(PartsFileState& state);
void DropBlockEntries(PartsFileState& state);

}  // namespace partsc
