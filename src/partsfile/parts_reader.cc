// Loads a parts file back into the parts-file state, block by block.
#include "partsfile/parts_reader.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <string>

#include "partsfile/parts_codec.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_state.h"
#include "platform/ov_file_io.h"
#include "platform/ov_memory.h"

namespace partsc {

namespace {

OvFileIO& PartsFile() {
  return PartsFileState::Instance().partsFile;
}

// The length of the parts file, asked once per open file; -1 when the file
// cannot tell.
int64_t FileEnd() {
  PartsFileState& state = PartsFileState::Instance();
  if (state.readFileEnd < 0) {
    state.readFileEnd = PartsFile().Lseek(0, kSeekEnd);
  }
  return state.readFileEnd;
}

// The reader takes its bytes from a window of the file kept in the state:
// a read fills it with up to 4 KiB from the position asked for, so that a
// small file is read whole at once and the header, the view blocks and each
// member list of a larger one take a read or a few; bytes already in the
// window need no read at all. No read asks for bytes beyond the end of the
// file, so a read that transfers fewer bytes than asked is a failure, never
// the end of the file.
//
// FillWindow fills the window with the bytes from `position` on; false when
// fewer than `count` are left in the file or the read falls short.
bool FillWindow(PartsFileState& state, int64_t position, int count) {
  state.readWindowLength = 0;
  const int64_t fileEnd = FileEnd();
  const int64_t left = fileEnd - position;
  if (fileEnd < 0 || position < 0 || left < count) {
    return false;
  }
  const int want = static_cast<int>(std::min<int64_t>(PartsFileState::kReadWindowSize, left));
  if (want > 0 && (!SeekTo(position) || PartsFile().Read(state.readWindow.data(), want) != want)) {
    return false;
  }
  state.readWindowStart = position;
  state.readWindowLength = want;
  return true;
}

// The `count` bytes (0 to 4096) at `position` as a view of the window, good
// until the next call; false as for FillWindow.
bool ViewAt(PartsFileState& state, int64_t position, int count, std::string_view& bytes) {
  assert(count >= 0 && count <= PartsFileState::kReadWindowSize && "one block at a time");
  const bool inWindow = position >= state.readWindowStart &&
                        position + count <= state.readWindowStart + state.readWindowLength;
  if (!inWindow && !FillWindow(state, position, count)) {
    return false;
  }
  const auto at = static_cast<size_t>(position - state.readWindowStart);
  bytes = std::string_view(reinterpret_cast<const char*>(state.readWindow.data()) + at,
                           static_cast<size_t>(count));
  return true;
}

bool ReadAt(PartsFileState& state, int64_t position, void* out, int count) {
  std::string_view bytes;
  if (!ViewAt(state, position, count, bytes)) {
    return false;
  }
  std::memcpy(out, bytes.data(), bytes.size());
  return true;
}

// Reads a list of records on from a position.
class ListInput {
 public:
  ListInput(PartsFileState& state, int64_t position) : state_(state), position_(position) {}

  // Copies the next N bytes (a record head or a size record) into `out`.
  template <size_t N>
  bool Take(uint8_t (&out)[N]) {
    std::string_view bytes;
    if (!TakeView(static_cast<int>(N), bytes)) {
      return false;
    }
    std::memcpy(out, bytes.data(), N);
    return true;
  }

  // As ViewAt: the view is good until the next Take.
  bool TakeView(int count, std::string_view& bytes) {
    if (!ViewAt(state_, position_, count, bytes)) {
      return false;
    }
    position_ += count;
    return true;
  }

 private:
  PartsFileState& state_;
  int64_t position_;
};

// A spec record after its head: the name, then the entry.
int ReadSpecRecord(ListInput& input, const MemberHead& member) {
  std::string_view name;
  if (!input.TakeView(member.bodyLength, name)) {
    return kReadShort;
  }
  return StoreSpecEntry(member.number, member.invertedFlag, name, member.record);
}

// A param record after its head: the comment and the text that follow the
// head, taken together so that both views stay good.
int ReadParamRecord(ListInput& input, const MemberHead& member) {
  if (member.nameLength < 1 || member.nameLength > kParamNameMax) {
    return kReadDamaged;
  }
  std::string_view texts;
  if (!input.TakeView(member.bodyLength, texts)) {
    return kReadShort;
  }
  const auto commentLength = static_cast<size_t>(member.commentLength);
  return StoreParamEntry(member.name, texts.substr(commentLength), member.pairCode,
                         texts.substr(0, commentLength));
}

// Reads the member list at `position` until the end record, a short read or
// a full table. With `asCommon`, every stored entry is counted as a common
// entry.
int ReadMemberList(int64_t position, bool asCommon) {
  PartsFileState& state = PartsFileState::Instance();
  ListInput input(state, position);
  for (;;) {
    uint8_t head[kMemberHeadSize];
    if (!input.Take(head)) {
      return kReadShort;
    }
    const MemberHead member = DecodeMemberHead(head);
    if (!member.IsSpec() && !member.IsParam()) {
      return kPartsOk;
    }
    const bool spec = member.IsSpec();
    const int result = spec ? ReadSpecRecord(input, member) : ReadParamRecord(input, member);
    if (result != 0) {
      return result;
    }
    if (asCommon) {
      ++(spec ? state.commonSpecCount : state.commonParamCount);
    }
  }
}

// The slot of the counted size record of that name, or -1.
int FindSizeRecord(std::string_view sizeName) {
  const PartsFileState& state = PartsFileState::Instance();
  const int count = std::min<int>(state.header.sizeCount, kMaxSizes);
  const int sortMode = state.header.sortMode;
  if (sortMode == kSortLengthThenName || sortMode == kSortByName) {
    int low = 0;
    int high = count - 1;
    while (low <= high) {
      const int middle = (low + high) / 2;
      const int order = CompareSizeNames(sortMode, SizeNameAt(state.sizeTable, middle), sizeName);
      if (order == 0) {
        return middle;
      }
      if (order < 0) {
        low = middle + 1;
      } else {
        high = middle - 1;
      }
    }
    return -1;
  }
  for (int i = 0; i < count; ++i) {
    if (SizeNameAt(state.sizeTable, i) == sizeName) {
      return i;
    }
  }
  return -1;
}

}  // namespace

int ReadHeader() {
  PartsFileState& state = PartsFileState::Instance();
  if (!PartsFile().IsOpen()) {
    return kPartsNotOpen;
  }
  uint8_t bytes[kHeaderSize];
  if (!ReadAt(state, 0, bytes, kHeaderSize)) {
    return kReadShort;
  }
  // A foreign file is refused on its version before anything else is looked at.
  if (HeaderVersionOf(bytes) != kPartsVersion) {
    state.header = PartsHeader{};
    return kReadBadVersion;
  }
  return DecodeHeader(bytes, state.header) ? 0 : kReadDamaged;
}

int ReadApgList() {
  PartsFileState& state = PartsFileState::Instance();
  if (!PartsFile().IsOpen()) {
    return kPartsNotOpen;
  }
  uint8_t bytes[kApgBlockSize];
  if (!ReadAt(state, kApgOffset, bytes, kApgBlockSize)) {
    return kReadShort;
  }
  if (!DecodeApgBlock(bytes, state.apgNames)) {
    return kReadDamaged;
  }
  const bool anyName = std::any_of(state.apgNames.begin(), state.apgNames.end(),
                                   [](const auto& text) { return !text.Empty(); });
  if (!anyName) {
    return kReadNoApgName;
  }
  if (state.header.apgCommentCount == 0) {
    return 0;
  }
  if (!ReadAt(state, kApgOffset + kApgBlockSize, bytes, kApgBlockSize)) {
    return kReadShort;
  }
  return DecodeApgBlock(bytes, state.apgComments) ? 0 : kReadDamaged;
}

int ReadSizeList() {
  PartsFileState& state = PartsFileState::Instance();
  if (!PartsFile().IsOpen()) {
    return kPartsNotOpen;
  }
  const int count = state.header.sizeCount;
  if (count < 1) {
    return kReadNoSizes;
  }
  if (count > kMaxSizes) {
    return kReadDamaged;
  }
  state.sizeNames.Forget();
  ListInput input(state, SizeListOffset());
  for (int i = 0; i < count; ++i) {
    auto& slot = state.sizeTable[static_cast<size_t>(i)];
    slot.reset();
    slot = OvNew<SizeRecord>();
    if (slot == nullptr) {
      return kNoMemory;
    }
    uint8_t bytes[kSizeRecordSize];
    if (!input.Take(bytes)) {
      return kReadShort;
    }
    if (!DecodeSizeRecord(bytes, *slot)) {
      return kReadDamaged;
    }
  }
  return 0;
}

int ReadCommonList() {
  PartsFileState& state = PartsFileState::Instance();
  if (!PartsFile().IsOpen()) {
    return kPartsNotOpen;
  }
  if (state.header.commonOffset == 0) {
    return 0;
  }
  return ReadMemberList(state.header.commonOffset, true);
}

int ReadSizeMembers(std::string_view sizeName) {
  PartsFileState& state = PartsFileState::Instance();
  if (!PartsFile().IsOpen()) {
    return kPartsNotOpen;
  }
  if (state.header.sizeCount < 1) {
    return kReadSizeNotFound;
  }
  const int slot = FindSizeRecord(sizeName);
  const SizeRecord* record = slot >= 0 ? state.sizeTable[static_cast<size_t>(slot)].get() : nullptr;
  if (record == nullptr || record->memberOffset == 0) {
    return kReadSizeNotFound;
  }
  return ReadMemberList(record->memberOffset, false);
}

int ReadMemberListAt(int64_t position) {
  if (!PartsFile().IsOpen()) {
    return kPartsNotOpen;
  }
  return ReadMemberList(position, false);
}

}  // namespace partsc
