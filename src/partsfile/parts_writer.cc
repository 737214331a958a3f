// Writes the parts-file state as a parts file.
#include "partsfile/parts_writer.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "partsfile/parts_codec.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_state.h"
#include "partsfile/result_codes.h"

namespace partsc {

namespace {

// The bytes of the member list of the current table entries, end record
// included: sized first, zero-filled, then written record by record. `out`
// keeps its room from list to list.
void BuildMemberList(const PartsFileState& state, std::vector<uint8_t>& out) {
  const int specCount = std::clamp<int32_t>(state.specCount, 0, kMaxSpecEntries);
  const int paramCount = std::clamp<int32_t>(state.paramCount, 0, kMaxParamEntries);
  size_t total = kMemberHeadSize;
  for (int i = 0; i < specCount; ++i) {
    const SpecEntry* entry = state.specTable[static_cast<size_t>(i)].get();
    total += entry != nullptr ? MemberRecordSize(*entry) : 0;
  }
  for (int i = 0; i < paramCount; ++i) {
    const ParamEntry* entry = state.paramTable[static_cast<size_t>(i)].get();
    total += entry != nullptr ? MemberRecordSize(*entry) : 0;
  }
  out.clear();
  out.resize(total, 0);
  uint8_t* at = out.data();
  for (int i = 0; i < specCount; ++i) {
    const SpecEntry* entry = state.specTable[static_cast<size_t>(i)].get();
    if (entry != nullptr) {
      at = EncodeSpecRecord(*entry, at);
    }
  }
  for (int i = 0; i < paramCount; ++i) {
    const ParamEntry* entry = state.paramTable[static_cast<size_t>(i)].get();
    if (entry != nullptr) {
      at = EncodeParamRecord(*entry, at);
    }
  }
  assert(at + kMemberHeadSize == out.data() + out.size() && "records fill the list");
}

// Ties the first counted size record of that name to a member list. The
// table does not change while a file's lists are written, so the name index
// taken for the first list serves them all.
void TieSizeRecord(PartsFileState& state, std::string_view sizeName, int32_t position) {
  const int count = std::clamp<int32_t>(state.header.sizeCount, 0, kMaxSizes);
  state.sizeNames.Cover(state.sizeTable, count);
  const int slot = state.sizeNames.Find(state.sizeTable, sizeName);
  if (slot >= 0) {
    state.sizeTable[static_cast<size_t>(slot)]->memberOffset = static_cast<uint32_t>(position);
  }
}

std::string_view SizeNameOf(const std::unique_ptr<SizeRecord>& record) {
  return record != nullptr ? record->name.View() : std::string_view();
}

void SortSizeRecords(PartsFileState& state, int count) {
  const int sortMode = state.header.sortMode;
  if (sortMode >= kSortAsWritten) {
    return;
  }
  // Size names are unique within a file, so this gives the same order as a
  // selection sort that keeps the earliest of equal records.
  auto first = state.sizeTable.begin();
  std::stable_sort(first, first + count, [sortMode](const auto& a, const auto& b) {
    return CompareSizeNames(sortMode, SizeNameOf(a), SizeNameOf(b)) < 0;
  });
}

}  // namespace

int PartsWriter::WriteHeader(const PartsFileState& state) {
  uint8_t bytes[kHeaderSize];
  EncodeHeader(state.header, bytes);
  return sink_.WriteAt(0, bytes, sizeof bytes) ? kPartsOk : kPartsShortWrite;
}

int PartsWriter::WriteApgList(const PartsFileState& state) {
  uint8_t bytes[kApgBlockSize];
  EncodeApgBlock(state.apgNames, bytes);
  if (!sink_.WriteAt(kApgOffset, bytes, sizeof bytes)) {
    return kPartsShortWrite;
  }
  if (state.header.apgCommentCount == 0) {
    return kPartsOk;
  }
  EncodeApgBlock(state.apgComments, bytes);
  return sink_.WriteAt(kApgOffset + kApgBlockSize, bytes, sizeof bytes) ? kPartsOk
                                                                        : kPartsShortWrite;
}

void PartsWriter::BeginMemberLists() {
  listStartPending_ = true;
}

int PartsWriter::WriteMemberList(PartsFileState& state, std::optional<std::string_view> sizeName) {
  if (listStartPending_) {
    listStartPending_ = false;
    memberWritePosition_ = MemberListsOffset(state.header);
  }
  if (sizeName.has_value()) {
    TieSizeRecord(state, *sizeName, memberWritePosition_);
  }
  BuildMemberList(state, memberListBytes_);
  if (!sink_.WriteAt(memberWritePosition_, memberListBytes_.data(), memberListBytes_.size())) {
    return kPartsShortWrite;
  }
  memberWritePosition_ += static_cast<int32_t>(memberListBytes_.size());
  return kPartsOk;
}

int PartsWriter::WriteSizeList(PartsFileState& state) {
  const int count = std::clamp<int32_t>(state.header.sizeCount, 0, kMaxSizes);
  if (count == 0) {
    return kPartsOk;
  }
  SortSizeRecords(state, count);
  state.sizeNames.Forget();
  std::vector<uint8_t> bytes(static_cast<size_t>(count) * kSizeRecordSize, 0);
  for (int i = 0; i < count; ++i) {
    const SizeRecord* record = state.sizeTable[static_cast<size_t>(i)].get();
    if (record != nullptr) {
      EncodeSizeRecord(*record, bytes.data() + static_cast<size_t>(i) * kSizeRecordSize);
    }
  }
  return sink_.WriteAt(SizeListOffset(state.header), bytes.data(), bytes.size()) ? kPartsOk
                                                                                 : kPartsShortWrite;
}

}  // namespace partsc
