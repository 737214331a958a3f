// The member entries of the block being compiled: the common block, or one
// size block.
#pragma once

#include <partsc/model.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "compiler/compile_context.h"
#include "partsfile/parts_layout.h"

namespace partsc {

// At most 256 spec and 512 param entries, in the order of their lines, held
// as the records of their member list, and as entries too when the model
// keeps its lists. Clear empties the table for the next block but keeps its
// room, which the next block's lines are written over.
class MemberTable {
 public:
  explicit MemberTable(bool keepEntries = true) : keepEntries_(keepEntries) {}

  // The header's spec record as the lines being compiled see it: 0 in the
  // common block, the $$SPEC record in the size blocks. A spec entry whose
  // record has its 16 bits stores record 0.
  int16_t specRecord = 0;

  // Each appends an entry after the others: kOk, kTableFull, or
  // kOutOfMemory (the table is then as it was). Each entry counts as one
  // allocation to the test seam.
  CompileStatus AddSpec(uint16_t number, uint16_t invertedFlag, uint16_t record,
                        std::string_view name);
  CompileStatus AddParam(std::string_view name, std::string_view text, int16_t pairCode,
                         std::string_view comment);

  bool SpecsFull() const { return specs_.count >= kMaxSpecEntries; }
  bool ParamsFull() const { return params_.count >= kMaxParamEntries; }
  size_t SpecCount() const { return specs_.count; }
  size_t ParamCount() const { return params_.count; }
  // The entries; empty unless the table keeps them.
  std::span<const SpecEntry> Specs() const { return {specs_.entries.data(), specs_.kept}; }
  std::span<const ParamEntry> Params() const { return {params_.entries.data(), params_.kept}; }
  // The entries as a member list of their own; empty unless the table keeps
  // them.
  MemberList List() const;
  // The bytes of the block's member list: its spec records, its param
  // records and the end record.
  std::span<const uint8_t> ListBytes();
  void Clear();

 private:
  // The entries of one kind: how many, their records, and the entries kept
  // (the first `kept`; those after them are room for the next block).
  template <class Entry>
  struct Entries {
    size_t count = 0;
    std::vector<uint8_t> bytes;
    std::vector<Entry> entries;
    size_t kept = 0;

    void Clear() {
      count = 0;
      kept = 0;
      bytes.clear();
    }
  };
  template <class Entry, class Append, class Fill>
  CompileStatus Add(Entries<Entry>& to, size_t most, Append append, Fill fill);

  bool keepEntries_;
  Entries<SpecEntry> specs_;
  Entries<ParamEntry> params_;
  std::vector<uint8_t> list_;
};

}  // namespace partsc
