#include "compiler/parts_line.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "compiler/tokenizer.h"
#include "driver/diagnostics.h"
#include "platform/ov_memory.h"

namespace partsc {

namespace {

struct MacroEntry {
  std::string name;
  std::string value;
};

// The slot numbers of the macro table by name: open addressing with linear
// probing over a power of two of cells, at most half of them in use. Each cell
// keeps the hash of its name, so that a probe compares names only when the
// hashes agree, and growing needs no name at all.
class MacroIndex {
 public:
  // The slot whose entry has that name, or -1.
  int32_t Find(std::string_view name, const MacroEntry* slots) const {
    if (cells_.empty()) {
      return -1;
    }
    const uint32_t hash = Hash(name);
    for (size_t at = hash & Mask();; at = (at + 1) & Mask()) {
      const Cell& cell = cells_[at];
      if (cell.slot < 0) {
        return -1;
      }
      if (cell.hash == hash && slots[cell.slot].name == name) {
        return cell.slot;
      }
    }
  }

  // Makes room for `count` names; false, and nothing changed, when memory
  // cannot be had.
  bool Reserve(int32_t count) {
    if (static_cast<size_t>(count) * 2 <= cells_.size()) {
      return true;
    }
    try {
      std::vector<Cell> grown(std::max<size_t>(cells_.size() * 2, kFirstCells), Cell{});
      for (const Cell& cell : cells_) {
        if (cell.slot >= 0) {
          Place(grown, cell);
        }
      }
      cells_.swap(grown);
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  // A name not yet in the index, after Reserve made room for it.
  void Insert(std::string_view name, int32_t slot) { Place(cells_, Cell{Hash(name), slot}); }

  void Clear() { std::fill(cells_.begin(), cells_.end(), Cell{}); }

 private:
  struct Cell {
    uint32_t hash = 0;
    int32_t slot = -1;  // -1: empty
  };
  static constexpr size_t kFirstCells = 64;

  // FNV-1a over the bytes of the name.
  static uint32_t Hash(std::string_view name) {
    uint32_t hash = 2166136261u;
    for (const char c : name) {
      hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    }
    return hash;
  }

  size_t Mask() const { return cells_.size() - 1; }

  static void Place(std::vector<Cell>& cells, const Cell& cell) {
    const size_t mask = cells.size() - 1;
    size_t at = cell.hash & mask;
    while (cells[at].slot >= 0) {
      at = (at + 1) & mask;
    }
    cells[at] = cell;
  }

  std::vector<Cell> cells_;
};

// The one macro table of the process. The slots keep the order of first
// definition and never move an entry to another index; the hash index beside
// them answers what a search of the slots from index 0 upward would answer,
// since no two entries in use share a name.
class MacroTable {
 public:
  static MacroTable& Instance() {
    static MacroTable table;
    return table;
  }

  int Find(std::string_view name) const {
    if (count_ < 1) {
      return -1;
    }
    return index_.Find(name, slots_.get());
  }

  int Define(std::string_view name, std::string_view value) {
    const int existing = Find(name);
    if (existing >= 0) {
      return ReplaceValue(existing, value);
    }
    return Append(name, value);
  }

  const std::string* Value(std::string_view name) const {
    const int index = Find(name);
    return index < 0 ? nullptr : &slots_[index].value;
  }

  void Clear() {
    for (int32_t i = 0; i < count_; ++i) {
      slots_[i] = MacroEntry{};
    }
    index_.Clear();
    count_ = 0;
  }

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }

 private:
  // The old value stays when its replacement cannot be copied.
  int ReplaceValue(int index, std::string_view value) {
    std::string copy;
    if (!OvCopyText(copy, value)) {
      return kMacroNoMemory;
    }
    slots_[index].value = std::move(copy);
    return 0;
  }

  // Nothing changes until the larger slot array (when one is needed), both
  // copies and the index entry are all in hand, so a failure leaves the table
  // exactly as it was.
  int Append(std::string_view name, std::string_view value) {
    std::unique_ptr<MacroEntry[]> grown;
    if (count_ == capacity_) {
      grown = OvNew<MacroEntry[]>(static_cast<size_t>(capacity_) + kMacroGrowth);
      if (grown == nullptr) {
        return kMacroNoMemory;
      }
    }
    MacroEntry entry;
    if (!OvCopyText(entry.name, name) || !OvCopyText(entry.value, value)) {
      return kMacroNoMemory;
    }
    if (!index_.Reserve(count_ + 1)) {
      return kMacroNoMemory;
    }
    if (grown != nullptr) {
      MoveInto(std::move(grown));
    }
    slots_[count_] = std::move(entry);
    index_.Insert(slots_[count_].name, count_);
    ++count_;
    return 0;
  }

  // Takes a slot array 256 entries longer; every entry keeps its index.
  void MoveInto(std::unique_ptr<MacroEntry[]> grown) {
    for (int32_t i = 0; i < count_; ++i) {
      grown[i] = std::move(slots_[i]);
    }
    slots_ = std::move(grown);
    capacity_ += kMacroGrowth;
  }

  std::unique_ptr<MacroEntry[]> slots_;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
  MacroIndex index_;
};

}  // namespace

int CompilePartsLine(std::string_view line, int lineNumber, std::string& partsName,
                     std::string& comment, int32_t& value1, int32_t& value2) {
  std::string name;
  const int nameResult = ExtractField(line, '!', kPartsNameMax, name);
  if (nameResult < 0) {
    ReportLine(kSeverityError, kMsgPartsNameNotFound, lineNumber);
    return -1;
  }
  if (nameResult == kFieldCut) {
    ReportLine(kSeverityWarning, kMsgPartsNameTooLong, lineNumber);
  }
  partsName = std::move(name);

  std::string text;
  if (ExtractField(line, '"', kPartsCommentMax, text) == kFieldCut) {
    ReportLine(kSeverityWarning, kMsgPartsTitleTooLong, lineNumber);
  }
  comment = std::move(text);

  ValueItem items[2];
  int32_t types[2] = {kItemName, kItemName};
  int32_t count = 0;
  ParseValueList(line, 2, '<', items, types, count);
  if (count >= 1 && types[0] == kItemNumber) {
    value1 = TruncateTo16Bits(items[0].number);
  }
  if (count >= 2 && types[1] == kItemNumber) {
    value2 = TruncateTo16Bits(items[1].number);
  }
  return 0;
}

int CompileMacroLine(std::string_view line, int lineNumber) {
  std::string name;
  if (ExtractField(line, '!', kMacroTextMax, name) < 0) {
    ReportLine(kSeverityWarning, kMsgMacroNameNothing, lineNumber);
    return 0;
  }
  std::string value;
  if (ExtractField(line, '(', kMacroTextMax, value) < 0) {
    ReportLine(kSeverityWarning, kMsgMacroValueNothing, lineNumber);
    return 0;
  }
  const int result = DefineMacro(name, value);
  if (result != 0) {
    ReportBare(kSeverityError, kMsgMemoryAllocateError);
    return result;
  }
  return 0;
}

int FindMacro(std::string_view name) {
  return MacroTable::Instance().Find(name);
}

int DefineMacro(std::string_view name, std::string_view value) {
  return MacroTable::Instance().Define(name, value);
}

int GetMacroValue(std::string_view name, std::string& value) {
  std::string_view found;
  if (GetMacroValue(name, found) != 0) {
    return -1;
  }
  value.assign(found);
  return 0;
}

int GetMacroValue(std::string_view name, std::string_view& value) {
  const std::string* found = MacroTable::Instance().Value(name);
  if (found == nullptr) {
    return -1;
  }
  // The caller's buffer holds a macro value of at most 64 characters.
  value = std::string_view(*found).substr(0, kMacroTextMax);
  return 0;
}

void ClearMacros() {
  MacroTable::Instance().Clear();
}

int32_t MacroCount() {
  return MacroTable::Instance().Count();
}

int32_t MacroCapacity() {
  return MacroTable::Instance().Capacity();
}

}  // namespace partsc
