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

// Writes to the parts file; what the reader kept of it is stale from then on.
bool WriteAll(PartsFile& parts, const void* bytes, size_t count) {
  parts.ForgetRead();
  const int asked = static_cast<int>(count);
  return parts.file.Write(bytes, asked) == asked;
}

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

int WriteHeader(PartsFile& parts, const PartsFileState& state) {
  if (!parts.file.IsOpen()) {
    return kPartsNotOpen;
  }
  uint8_t bytes[kHeaderSize];
  EncodeHeader(state.header, bytes);
  if (!SeekTo(parts, 0) || !WriteAll(parts, bytes, sizeof bytes)) {
    return kPartsShortWrite;
  }
  return kPartsOk;
}

int WriteApgList(PartsFile& parts, const PartsFileState& state) {
  if (!parts.file.IsOpen()) {
    return kPartsNotOpen;
  }
  uint8_t bytes[kApgBlockSize];
  EncodeApgBlock(state.apgNames, bytes);
  if (!SeekTo(parts, kApgOffset) || !WriteAll(parts, bytes, sizeof bytes)) {
    return kPartsShortWrite;
  }
  if (state.header.apgCommentCount == 0) {
    return kPartsOk;
  }
  EncodeApgBlock(state.apgComments, bytes);
  return WriteAll(parts, bytes, sizeof bytes) ? kPartsOk : kPartsShortWrite;
}

void BeginMemberLists(PartsFile& parts) {
  parts.listStartPending = true;
}

int WriteMemberList(PartsFile& parts, PartsFileState& state,
                    std::optional<std::string_view> sizeName) {
  if (parts.listStartPending) {
    parts.listStartPending = false;
    parts.memberWritePosition = MemberListsOffset(state.header);
    if (!SeekTo(parts, parts.memberWritePosition)) {
      return kPartsShortWrite;
    }
  }
  if (sizeName.has_value()) {
    TieSizeRecord(state, *sizeName, parts.memberWritePosition);
  }
  std::vector<uint8_t>& bytes = parts.memberListBytes;
  BuildMemberList(state, bytes);
  if (!WriteAll(parts, bytes.data(), bytes.size())) {
    return kPartsShortWrite;
  }
  parts.memberWritePosition += static_cast<int32_t>(bytes.size());
  return kPartsOk;
}

int WriteSizeList(PartsFile& parts, PartsFileState& state) {
  if (!parts.file.IsOpen()) {
    return kPartsNotOpen;
  }
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
  if (!SeekTo(parts, SizeListOffset(state.header)) ||
      !WriteAll(parts, bytes.data(), bytes.size())) {
    return kPartsShortWrite;
  }
  return kPartsOk;
}

}  // namespace partsc
