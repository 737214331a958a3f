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

  bool SpecsFull() const { return specCount_ >= kMaxSpecEntries; }
  bool ParamsFull() const { return paramCount_ >= kMaxParamEntries; }
  size_t SpecCount() const { return specCount_; }
  size_t ParamCount() const { return paramCount_; }
  // The entries; empty unless the table keeps them.
  std::span<const SpecEntry> Specs() const { return {specs_.data(), keptSpecs_}; }
  std::span<const ParamEntry> Params() const { return {params_.data(), keptParams_}; }
  // The entries as a member list of their own; empty unless the table keeps
  // them.
  MemberList List() const;
  // The bytes of the block's member list: its spec records, its param
  // records and the end record.
  std::span<const uint8_t> ListBytes();
  void Clear();

 private:
  bool keepEntries_;
  size_t specCount_ = 0;
  size_t paramCount_ = 0;
  std::vector<uint8_t> specBytes_;
  std::vector<uint8_t> paramBytes_;
  std::vector<uint8_t> list_;
  std::vector<SpecEntry> specs_;
  size_t keptSpecs_ = 0;
  std::vector<ParamEntry> params_;
  size_t keptParams_ = 0;
};

}  // namespace partsc
