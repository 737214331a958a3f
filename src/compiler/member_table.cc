#include "compiler/member_table.h"

#include <new>

#include "partsfile/parts_codec.h"
#include "platform/ov_faults.h"

namespace partsc {

namespace {

// The slot after the `count` entries of `entries`, made when the table has
// never held that many.
template <class T>
T& NextSlot(std::vector<T>& entries, size_t count) {
  if (count == entries.size()) {
    entries.emplace_back();
  }
  return entries[count];
}

}  // namespace

CompileStatus MemberTable::AddSpec(uint16_t number, uint16_t invertedFlag, uint16_t record,
                                   std::string_view name) {
  if (SpecsFull()) {
    return CompileStatus::kTableFull;
  }
  if (OvFaults::ShouldFail(OvFaultKind::kAllocation)) {
    return CompileStatus::kOutOfMemory;
  }
  const size_t had = specBytes_.size();
  try {
    AppendSpecRecord(number, invertedFlag, record, name, specBytes_);
    if (keepEntries_) {
      SpecEntry& entry = NextSlot(specs_, keptSpecs_);
      entry.name.assign(name);
      entry.number = number;
      entry.invertedFlag = invertedFlag;
      entry.record = record;
      ++keptSpecs_;
    }
  } catch (const std::bad_alloc&) {
    specBytes_.resize(had);
    return CompileStatus::kOutOfMemory;
  }
  ++specCount_;
  return CompileStatus::kOk;
}

CompileStatus MemberTable::AddParam(std::string_view name, std::string_view text, int16_t pairCode,
                                    std::string_view comment) {
  if (ParamsFull()) {
    return CompileStatus::kTableFull;
  }
  if (OvFaults::ShouldFail(OvFaultKind::kAllocation)) {
    return CompileStatus::kOutOfMemory;
  }
  const size_t had = paramBytes_.size();
  try {
    AppendParamRecord(name, text, pairCode, comment, paramBytes_);
    if (keepEntries_) {
      ParamEntry& entry = NextSlot(params_, keptParams_);
      entry.name.assign(name);
      entry.text.assign(text);
      entry.comment.assign(comment);
      entry.pairCode = pairCode;
      ++keptParams_;
    }
  } catch (const std::bad_alloc&) {
    paramBytes_.resize(had);
    return CompileStatus::kOutOfMemory;
  }
  ++paramCount_;
  return CompileStatus::kOk;
}

MemberList MemberTable::List() const {
  MemberList list;
  list.specs.assign(Specs().begin(), Specs().end());
  list.params.assign(Params().begin(), Params().end());
  return list;
}

std::span<const uint8_t> MemberTable::ListBytes() {
  list_.assign(specBytes_.begin(), specBytes_.end());
  list_.insert(list_.end(), paramBytes_.begin(), paramBytes_.end());
  list_.resize(list_.size() + kMemberHeadSize, 0);
  return list_;
}

void MemberTable::Clear() {
  specCount_ = 0;
  paramCount_ = 0;
  keptSpecs_ = 0;
  keptParams_ = 0;
  specBytes_.clear();
  paramBytes_.clear();
}

}  // namespace partsc
