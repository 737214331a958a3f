// Writes the parts-file state as a parts file.
#include "partsfile/parts_writer.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "partsfile/parts_state.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"

namespace partsc {

namespace {

// A text length as one byte of a member-record head. The compiler keeps every
// member text far below 255 characters; a longer one is cut, so that the
// length in the head always matches the characters that follow it.
size_t ByteLength(std::string_view text) {
  return std::min<size_t>(text.size(), 255);
}

bool SeekTo(OvFileIO& file, int64_t position) {
  return position >= 0 && file.Lseek(position, kSeekStart) == position;
}

// Writes to the parts file; what the reader kept of it is stale from then on.
bool WriteAll(PartsFileState& state, const void* bytes, size_t count) {
  state.ForgetRead();
  const int asked = static_cast<int>(count);
  return state.partsFile.Write(bytes, asked) == asked;
}

size_t RecordSize(const SpecEntry& entry) {
  return kMemberHeadSize + ByteLength(entry.name);
}

size_t RecordSize(const ParamEntry& entry) {
  return kMemberHeadSize + ByteLength(entry.comment) + ByteLength(entry.text);
}

// Each Put writes a record at `at`, over bytes that are zero already, and
// answers where the next one goes.
uint8_t* PutText(uint8_t* at, std::string_view text, size_t length) {
  if (length == 0) {
    return at;  // an empty view may have no bytes at all
  }
  std::memcpy(at, text.data(), length);
  return at + length;
}

uint8_t* PutSpecRecord(uint8_t* at, const SpecEntry& entry) {
  const size_t nameLength = ByteLength(entry.name);
  at[0] = entry.record != 0 ? kKindSpecRecord : kKindSpec;
  at[1] = static_cast<uint8_t>(entry.number & 0xFF);
  at[2] = static_cast<uint8_t>(nameLength);
  at[3] = static_cast<uint8_t>(entry.invertedFlag & 0xFF);
  at[4] = entry.record != 0 ? static_cast<uint8_t>(entry.record & 0xFF) : 0;
  return PutText(at + kMemberHeadSize, entry.name, nameLength);
}

uint8_t* PutParamRecord(uint8_t* at, const ParamEntry& entry) {
  // The compiler refuses longer names; the head has room for six characters.
  assert(entry.name.size() <= kParamNameMax && "param name longer than six characters");
  const size_t nameLength = std::min<size_t>(entry.name.size(), kParamNameMax);
  const std::string_view comment = entry.comment;
  const size_t textLength = ByteLength(entry.text);
  const size_t commentLength = ByteLength(comment);
  at[0] = kKindParam;
  at[1] = static_cast<uint8_t>(nameLength);
  at[2] = static_cast<uint8_t>(textLength);
  at[3] = static_cast<uint8_t>(entry.pairCode & 0xFF);
  at[4] = static_cast<uint8_t>(commentLength);
  entry.name.copy(reinterpret_cast<char*>(at + 6), kParamNameMax);
  at = PutText(at + kMemberHeadSize, comment, commentLength);
  return PutText(at, entry.text, textLength);
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
    total += entry != nullptr ? RecordSize(*entry) : 0;
  }
  for (int i = 0; i < paramCount; ++i) {
    const ParamEntry* entry = state.paramTable[static_cast<size_t>(i)].get();
    total += entry != nullptr ? RecordSize(*entry) : 0;
  }
  out.clear();
  out.resize(total, 0);
  uint8_t* at = out.data();
  for (int i = 0; i < specCount; ++i) {
    const SpecEntry* entry = state.specTable[static_cast<size_t>(i)].get();
    if (entry != nullptr) {
      at = PutSpecRecord(at, *entry);
    }
  }
  for (int i = 0; i < paramCount; ++i) {
    const ParamEntry* entry = state.paramTable[static_cast<size_t>(i)].get();
    if (entry != nullptr) {
      at = PutParamRecord(at, *entry);
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
  if (sortMode >= 2) {
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

int OpenPartsFile(int mode, const std::string& path) {
  ClosePartsFile();
  OvFileIO& file = PartsFileState::Instance().partsFile;
  if (mode == 0) {
    if (OvFile::Access(path, 0) != 0) {
      return kPartsNoFile;
    }
    return file.Open(path, kOpenPartsRead, kOpenPermission) ? kPartsOk : kPartsOpenFailed;
  }
  if (OvFile::Access(path, 0) == 0) {
    const std::string backup = path + (OvFile::IsLowerCase(path) ? ".old" : ".OLD");
    if (OvFile::Access(backup, 0) == 0) {
      OvFile::Remove(backup);
    }
    if (OvFile::Rename(path, backup) != 0) {
      return kPartsBackupFailed;
    }
  }
  return file.Open(path, kOpenPartsWrite, kOpenPermission) ? kPartsOk : kPartsOpenFailed;
}

int WriteHeader() {
  PartsFileState& state = PartsFileState::Instance();
  if (!state.partsFile.IsOpen()) {
    return kPartsNotOpen;
  }
  uint8_t bytes[kHeaderSize];
  EncodeHeader(state.header, bytes);
  if (!SeekTo(state.partsFile, 0) || !WriteAll(state, bytes, sizeof bytes)) {
    return kPartsShortWrite;
  }
  return kPartsOk;
}

int WriteApgList() {
  PartsFileState& state = PartsFileState::Instance();
  if (!state.partsFile.IsOpen()) {
    return kPartsNotOpen;
  }
  uint8_t bytes[kApgBlockSize];
  EncodeApgBlock(state.apgNames, bytes);
  if (!SeekTo(state.partsFile, kApgOffset) || !WriteAll(state, bytes, sizeof bytes)) {
    return kPartsShortWrite;
  }
  if (state.header.apgCommentCount == 0) {
    return kPartsOk;
  }
  EncodeApgBlock(state.apgComments, bytes);
  return WriteAll(state, bytes, sizeof bytes) ? kPartsOk : kPartsShortWrite;
}

void BeginMemberLists() {
  PartsFileState::Instance().listStartPending = true;
}

int WriteMemberList(std::optional<std::string_view> sizeName) {
  PartsFileState& state = PartsFileState::Instance();
  if (state.listStartPending) {
    state.listStartPending = false;
    state.memberWritePosition = MemberListsOffset();
    if (!SeekTo(state.partsFile, state.memberWritePosition)) {
      return kPartsShortWrite;
    }
  }
  if (sizeName.has_value()) {
    TieSizeRecord(state, *sizeName, state.memberWritePosition);
  }
  std::vector<uint8_t>& bytes = state.memberListBytes;
  BuildMemberList(state, bytes);
  if (!WriteAll(state, bytes.data(), bytes.size())) {
    return kPartsShortWrite;
  }
  state.memberWritePosition += static_cast<int32_t>(bytes.size());
  return kPartsOk;
}

int WriteSizeList() {
  PartsFileState& state = PartsFileState::Instance();
  if (!state.partsFile.IsOpen()) {
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
  if (!SeekTo(state.partsFile, SizeListOffset()) || !WriteAll(state, bytes.data(), bytes.size())) {
    return kPartsShortWrite;
  }
  return kPartsOk;
}

void ClosePartsFile() {
  PartsFileState& state = PartsFileState::Instance();
  state.partsFile.Close();
  state.ForgetRead();
}

}  // namespace partsc
