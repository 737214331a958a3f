#include "compiler/member_table.h"

#include <new>

#include "partsfile/parts_codec.h"
#include "platform/ov_faults.h"

namespace partsc {

// Appends the record by `append` and, when the table keeps its entries,
// the entry by `fill`, into the room of an earlier block where there is.
template <class Entry, class Append, class Fill>
CompileStatus MemberTable::Add(Entries<Entry>& to, size_t most, Append append, Fill fill) {
  if (to.count >= most) {
    return CompileStatus::kTableFull;
  }
  if (OvFaults::ShouldFail(OvFaultKind::kAllocation)) {
    return CompileStatus::kOutOfMemory;
  }
  const size_t had = to.bytes.size();
  try {
    append(to.bytes);
    if (keepEntries_) {
      if (to.kept == to.entries.size()) {
        to.entries.emplace_back();
      }
      fill(to.entries[to.kept]);
      ++to.kept;
    }
  } catch (const std::bad_alloc&) {
    to.bytes.resize(had);
    return CompileStatus::kOutOfMemory;
  }
  ++to.count;
  return CompileStatus::kOk;
}

CompileStatus MemberTable::AddSpec(uint16_t number, uint16_t invertedFlag, uint16_t record,
                                   std::string_view name) {
  return Add(
      specs_, kMaxSpecEntries,
      [&](std::vector<uint8_t>& bytes) {
        AppendSpecRecord(number, invertedFlag, record, name, bytes);
      },
      [&](SpecEntry& entry) {
        entry.name.assign(name);
        entry.number = number;
        entry.invertedFlag = invertedFlag;
        entry.record = record;
      });
}

CompileStatus MemberTable::AddParam(std::string_view name, std::string_view text, int16_t pairCode,
                                    std::string_view comment) {
  return Add(
      params_, kMaxParamEntries,
      [&](std::vector<uint8_t>& bytes) { AppendParamRecord(name, text, pairCode, comment, bytes); },
      [&](ParamEntry& entry) {
        entry.name.assign(name);
        entry.text.assign(text);
        entry.comment.assign(comment);
        entry.pairCode = pairCode;
      });
}

MemberList MemberTable::List() const {
  MemberList list;
  list.specs.assign(Specs().begin(), Specs().end());
  list.params.assign(Params().begin(), Params().end());
  return list;
}

std::span<const uint8_t> MemberTable::ListBytes() {
  list_.assign(specs_.bytes.begin(), specs_.bytes.end());
  list_.insert(list_.end(), params_.bytes.begin(), params_.bytes.end());
  list_.resize(list_.size() + kMemberHeadSize, 0);
  return list_;
}

void MemberTable::Clear() {
  specs_.Clear();
  params_.Clear();
}

}  // namespace partsc
