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

// The length of the parts file, asked once per open file; -1 when the file
// cannot tell.
int64_t FileEnd(PartsFile& parts) {
  if (parts.readFileEnd < 0) {
    parts.readFileEnd = parts.file.Lseek(0, kSeekEnd);
  }
  return parts.readFileEnd;
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
bool FillWindow(PartsFile& state, int64_t position, int count) {
  state.readWindowLength = 0;
  const int64_t fileEnd = FileEnd(state);
  const int64_t left = fileEnd - position;
  if (fileEnd < 0 || position < 0 || left < count) {
    return false;
  }
  const int want = static_cast<int>(std::min<int64_t>(PartsFile::kReadWindowSize, left));
  if (want > 0 &&
      (!SeekTo(state, position) || state.file.Read(state.readWindow.data(), want) != want)) {
    return false;
  }
  state.readWindowStart = position;
  state.readWindowLength = want;
  return true;
}

// The `count` bytes (0 to 4096) at `position` as a view of the window, good
// until the next call; false as for FillWindow.
bool ViewAt(PartsFile& state, int64_t position, int count, std::string_view& bytes) {
  assert(count >= 0 && count <= PartsFile::kReadWindowSize && "one block at a time");
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

bool ReadAt(PartsFile& state, int64_t position, void* out, int count) {
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
  ListInput(PartsFile& state, int64_t position) : state_(state), position_(position) {}

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
  PartsFile& state_;
  int64_t position_;
};

// A spec record after its head: the name, then the entry.
int ReadSpecRecord(PartsFileState& state, ListInput& input, const MemberHead& member) {
  std::string_view name;
  if (!input.TakeView(member.bodyLength, name)) {
    return kReadShort;
  }
  return StoreSpecEntry(state, member.number, member.invertedFlag, name, member.record);
}

// A param record after its head: the comment and the text that follow the
// head, taken together so that both views stay good.
int ReadParamRecord(PartsFileState& state, ListInput& input, const MemberHead& member) {
  if (member.nameLength < 1 || member.nameLength > kParamNameMax) {
    return kReadDamaged;
  }
  std::string_view texts;
  if (!input.TakeView(member.bodyLength, texts)) {
    return kReadShort;
  }
  const auto commentLength = static_cast<size_t>(member.commentLength);
  return StoreParamEntry(state, member.name, texts.substr(commentLength), member.pairCode,
                         texts.substr(0, commentLength));
}

// Reads the member list at `position` until the end record, a short read or
// a full table. With `asCommon`, every stored entry is counted as a common
// entry.
int ReadMemberList(PartsFile& parts, PartsFileState& state, int64_t position, bool asCommon) {
  ListInput input(parts, position);
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
    const int result =
        spec ? ReadSpecRecord(state, input, member) : ReadParamRecord(state, input, member);
    if (result != 0) {
      return result;
    }
    if (asCommon) {
      ++(spec ? state.commonSpecCount : state.commonParamCount);
    }
  }
}

// The slot of the counted size record of that name, or -1.
int FindSizeRecord(const PartsFileState& state, std::string_view sizeName) {
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

int ReadHeader(PartsFile& parts, PartsFileState& state) {
  if (!parts.file.IsOpen()) {
    return kPartsNotOpen;
  }
  uint8_t bytes[kHeaderSize];
  if (!ReadAt(parts, 0, bytes, kHeaderSize)) {
    return kReadShort;
  }
  // A foreign file is refused on its version before anything else is looked at.
  if (HeaderVersionOf(bytes) != kPartsVersion) {
    state.header = PartsHeader{};
    return kReadBadVersion;
  }
  return DecodeHeader(bytes, state.header) ? 0 : kReadDamaged;
}

int ReadApgList(PartsFile& parts, PartsFileState& state) {
  if (!parts.file.IsOpen()) {
    return kPartsNotOpen;
  }
  uint8_t bytes[kApgBlockSize];
  if (!ReadAt(parts, kApgOffset, bytes, kApgBlockSize)) {
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
  if (!ReadAt(parts, kApgOffset + kApgBlockSize, bytes, kApgBlockSize)) {
    return kReadShort;
  }
  return DecodeApgBlock(bytes, state.apgComments) ? 0 : kReadDamaged;
}

int ReadSizeList(PartsFile& parts, PartsFileState& state) {
  if (!parts.file.IsOpen()) {
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
  ListInput input(parts, SizeListOffset(state.header));
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

int ReadCommonList(PartsFile& parts, PartsFileState& state) {
  if (!parts.file.IsOpen()) {
    return kPartsNotOpen;
  }
  if (state.header.commonOffset == 0) {
    return 0;
  }
  return ReadMemberList(parts, state, state.header.commonOffset, true);
}

int ReadSizeMembers(PartsFile& parts, PartsFileState& state, std::string_view sizeName) {
  if (!parts.file.IsOpen()) {
    return kPartsNotOpen;
  }
  if (state.header.sizeCount < 1) {
    return kReadSizeNotFound;
  }
  const int slot = FindSizeRecord(state, sizeName);
  const SizeRecord* record = slot >= 0 ? state.sizeTable[static_cast<size_t>(slot)].get() : nullptr;
  if (record == nullptr || record->memberOffset == 0) {
    return kReadSizeNotFound;
  }
  return ReadMemberList(parts, state, record->memberOffset, false);
}

int ReadMemberListAt(PartsFile& parts, PartsFileState& state, int64_t position) {
  if (!parts.file.IsOpen()) {
    return kPartsNotOpen;
  }
  return ReadMemberList(parts, state, position, false);
}

}  // namespace partsc
