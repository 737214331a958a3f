#include "compiler/parts_line.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include <partsc/model.h>

#include "compiler/source_lint.h"
#include "compiler/tokenizer.h"
#include "diagnostics/diagnostics.h"
#include "platform/ov_memory.h"

namespace partsc {

namespace {

struct MacroEntry {
  std::string name;
  std::string value;
};

// FNV-1a over the name: cheap for the short names macros have.
uint32_t NameHash(std::string_view name) {
  uint32_t hash = 2166136261u;
  for (const char c : name) {
    hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  }
  return hash;
}

// One cell of the hash index: the slot of a name and the name's hash.
struct IndexCell {
  uint32_t hash = 0;
  int32_t slot = -1;  // -1: empty
};

}  // namespace

// The slots and the hash index over them, made in one allocation so that
// growing the table either succeeds whole or changes nothing. The index has at
// least two cells per slot, a power of two of them, so it is never more than
// half full and a probe always meets an empty cell.
struct MacroStore {
  explicit MacroStore(size_t capacity) : slots(capacity), cells(std::bit_ceil(2 * capacity)) {}

  // The position of the cell holding `name`, or of the empty cell where it
  // would go.
  size_t CellOf(std::string_view name, uint32_t hash) const {
    const size_t mask = cells.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
      const IndexCell& cell = cells[at];
      if (cell.slot < 0 || (cell.hash == hash && slots[cell.slot].name == name)) {
        return at;
      }
    }
  }

  std::vector<MacroEntry> slots;
  std::vector<IndexCell> cells;
};

MacroTable::MacroTable() = default;
MacroTable::~MacroTable() = default;

std::optional<uint32_t> MacroTable::Find(std::string_view name) const {
  const int32_t slot = count_ < 1 ? -1 : store_->cells[store_->CellOf(name, NameHash(name))].slot;
  return slot < 0 ? std::nullopt : std::optional<uint32_t>(slot);
}

CompileStatus MacroTable::Define(std::string_view name, std::string_view value) {
  const std::optional<uint32_t> existing = Find(name);
  if (!existing) {
    return Append(name, value);
  }
  // The old value stays when its replacement cannot be copied.
  std::string copy;
  if (!OvCopyText(copy, value)) {
    return CompileStatus::kOutOfMemory;
  }
  store_->slots[*existing].value = std::move(copy);
  return CompileStatus::kOk;
}

const std::string* MacroTable::Value(std::string_view name) const {
  const std::optional<uint32_t> index = Find(name);
  return index ? &store_->slots[*index].value : nullptr;
}

void MacroTable::Clear() {
  if (store_ == nullptr) {
    return;
  }
  for (int32_t i = 0; i < count_; ++i) {
    store_->slots[i] = MacroEntry{};
  }
  std::fill(store_->cells.begin(), store_->cells.end(), IndexCell{});
  count_ = 0;
}

// Nothing changes until the larger store (when one is needed) and both
// copies are all in hand, so a failure leaves the table exactly as it was.
CompileStatus MacroTable::Append(std::string_view name, std::string_view value) {
  std::unique_ptr<MacroStore> grown;
  if (count_ == capacity_) {
    grown = OvNew<MacroStore>(static_cast<size_t>(capacity_) + kMacroGrowth);
    if (grown == nullptr) {
      return CompileStatus::kOutOfMemory;
    }
  }
  MacroEntry entry;
  if (!OvCopyText(entry.name, name) || !OvCopyText(entry.value, value)) {
    return CompileStatus::kOutOfMemory;
  }
  // A store 256 slots larger takes every entry at the index it had.
  if (grown != nullptr) {
    for (int32_t i = 0; i < count_; ++i) {
      MacroEntry& moved = grown->slots[i];
      moved = std::move(store_->slots[i]);
      const uint32_t hash = NameHash(moved.name);
      grown->cells[grown->CellOf(moved.name, hash)] = IndexCell{hash, i};
    }
    store_ = std::move(grown);
    capacity_ += kMacroGrowth;
  }
  const uint32_t hash = NameHash(entry.name);
  store_->cells[store_->CellOf(entry.name, hash)] = IndexCell{hash, count_};
  store_->slots[count_] = std::move(entry);
  ++count_;
  return CompileStatus::kOk;
}

std::string_view TakeField(CompileContext& context, std::string_view line, int lineNumber,
                           const ReportedField& field) {
  const LineField found = ExtractField(line, field.delimiter, field.limit);
  if (found.fit == FieldFit::kCut) {
    context.diagnostics.ReportDiagnostic(field.tooLong, lineNumber);
    LintFieldCut(context.diagnostics, field.what, line, field.delimiter, field.limit, true);
  }
  return found.text;
}

std::optional<PartsLine> CompilePartsLine(CompileContext& context, std::string_view line,
                                          int lineNumber) {
  PartsLine parts;
  parts.name = TakeField(context, line, lineNumber,
                         {'!', kPartsNameMax, DiagnosticId::kPartsNameTooLong, "Parts name"});
  if (parts.name.empty()) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kPartsNameNotFound, lineNumber);
    return std::nullopt;
  }
  parts.comment =
      TakeField(context, line, lineNumber,
                {'"', kHeaderTextSize, DiagnosticId::kPartsTitleTooLong, "Parts comment"});
  std::tie(parts.value1, parts.value2) = AngleNumbers(line);
  return parts;
}

std::pair<int16_t, int16_t> AngleNumbers(std::string_view line) {
  const std::vector<ValueItem> items = ParseValueList(line, 2, '<');
  const auto number = [&items](size_t i) -> int16_t {
    return items.size() > i && items[i].type == ItemType::kNumber
               ? TruncateTo16Bits(items[i].number)
               : 0;
  };
  return {number(0), number(1)};
}

CompileStatus CompileMacroLine(CompileContext& context, std::string_view line, int lineNumber) {
  const LineField name = ExtractField(line, '!', kMacroTextMax);
  if (!name.Found()) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kMacroNameNothing, lineNumber);
    return CompileStatus::kOk;
  }
  const LineField value = ExtractField(line, '(', kMacroTextMax);
  if (!value.Found()) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kMacroValueNothing, lineNumber);
    return CompileStatus::kOk;
  }
  if (context.diagnostics.WarningsWanted()) {
    LintFieldCut(context.diagnostics, "Macro name", line, '!', kMacroTextMax);
    LintFieldCut(context.diagnostics, "Macro value", line, '(', kMacroTextMax);
  }
  const CompileStatus result = context.macros.Define(name.text, value.text);
  if (result != CompileStatus::kOk) {
    context.diagnostics.ReportDiagnostic(DiagnosticId::kMemoryAllocateError);
  }
  return result;
}

std::optional<std::string_view> GetMacroValue(const MacroTable& macros, std::string_view name) {
  const std::string* found = macros.Value(name);
  if (found == nullptr) {
    return std::nullopt;
  }
  // The caller's buffer holds a macro value of at most 64 characters.
  return std::string_view(*found).substr(0, kMacroTextMax);
}

}  // namespace partsc
