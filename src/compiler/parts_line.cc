#include "compiler/parts_line.h"

#include <memory>
#include <new>
#include <unordered_map>
#include <utility>

#include "compiler/tokenizer.h"
#include "driver/diagnostics.h"
#include "platform/ov_memory.h"

namespace partsc {

namespace {

struct MacroEntry {
  std::string name;
  std::string value;
};

// Transparent hashing, so that lookups by string_view need no copy.
struct NameHash {
  using is_transparent = void;
  size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
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
    const auto found = index_.find(name);
    return found == index_.end() ? -1 : found->second;
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
    index_.clear();
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
    try {
      index_.emplace(entry.name, count_);
    } catch (const std::bad_alloc&) {
      return kMacroNoMemory;
    }
    if (grown != nullptr) {
      MoveInto(std::move(grown));
    }
    slots_[count_] = std::move(entry);
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
  std::unordered_map<std::string, int32_t, NameHash, std::equal_to<>> index_;
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
