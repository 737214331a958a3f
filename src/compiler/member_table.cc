#include "compiler/member_table.h"

#include <new>

#include "platform/ov_faults.h"

namespace partsc {

namespace {

// The slot after the `count` entries of `entries`, made when the table has
// never held that many; null when memory cannot be had.
template <class T>
T* NextSlot(std::vector<T>& entries, size_t count) {
  if (OvFaults::ShouldFail(OvFaultKind::kAllocation)) {
    return nullptr;
  }
  try {
    if (count == entries.size()) {
      entries.emplace_back();
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return &entries[count];
}

}  // namespace

int MemberTable::AddSpec(uint16_t number, uint16_t invertedFlag, uint16_t record,
                         std::string_view name) {
  if (SpecsFull()) {
    return kTableFull;
  }
  SpecEntry* entry = NextSlot(specs_, specCount_);
  if (entry == nullptr) {
    return kNoMemory;
  }
  try {
    entry->name.assign(name);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  entry->number = number;
  entry->invertedFlag = invertedFlag;
  entry->record = record;
  ++specCount_;
  return 0;
}

int MemberTable::AddParam(std::string_view name, std::string_view text, int16_t pairCode,
                          std::string_view comment) {
  if (ParamsFull()) {
    return kTableFull;
  }
  ParamEntry* entry = NextSlot(params_, paramCount_);
  if (entry == nullptr) {
    return kNoMemory;
  }
  try {
    entry->name.assign(name);
    entry->text.assign(text);
    entry->comment.assign(comment);
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  entry->pairCode = pairCode;
  ++paramCount_;
  return 0;
}

MemberList MemberTable::List() const {
  MemberList list;
  list.specs.assign(Specs().begin(), Specs().end());
  list.params.assign(Params().begin(), Params().end());
  return list;
}

}  // namespace partsc
