// The parts-file state of the process: header record, view blocks, size,
// spec and param tables, and the byte layout of a parts file.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ov_file_io.h"
#include "platform/ov_memory.h"

namespace partsc {

// Layout of a parts file.
inline constexpr int16_t kPartsVersion = 102;
inline constexpr int kHeaderSize = 256;
inline constexpr int kHeaderTextSize = 64;
inline constexpr int kApgOffset = 256;
inline constexpr int kApgEntrySize = 34;
inline constexpr int kApgTextSize = 32;
inline constexpr int kApgTextMax = 31;
inline constexpr int kApgBlockSize = 204;
inline constexpr int kSizeRecordSize = 72;
inline constexpr int kSizeTextSize = 32;
inline constexpr int kMemberHeadSize = 12;
inline constexpr int kParamNameMax = 6;

// Capacities of the tables.
inline constexpr int kMaxSizes = 2048;
inline constexpr int kMaxSpecEntries = 256;
inline constexpr int kMaxParamEntries = 512;

// Kinds of member record.
inline constexpr uint8_t kKindEnd = 0;
inline constexpr uint8_t kKindSpec = 1;
inline constexpr uint8_t kKindParam = 2;
inline constexpr uint8_t kKindSpecRecord = 3;

// A text in a fixed field of N bytes: at most N characters, zero bytes after
// it. Assign cuts a longer text to N characters.
template <int N>
class FixedText {
 public:
  void Assign(std::string_view text) {
    const size_t n = text.size() < size_t{N} ? text.size() : size_t{N};
    bytes_.fill(0);
    if (n > 0) {
      std::memcpy(bytes_.data(), text.data(), n);
    }
    length_ = static_cast<uint16_t>(n);
  }
  // Makes the text the first `length` bytes of a file field, ending early at
  // a zero byte; `length` must be within 0..N.
  void AssignField(const uint8_t* field, int length) {
    int n = 0;
    while (n < length && field[n] != 0) {
      ++n;
    }
    Assign(std::string_view(reinterpret_cast<const char*>(field), static_cast<size_t>(n)));
  }
  void Clear() { Assign({}); }
  std::string_view View() const { return {bytes_.data(), length_}; }
  std::string Str() const { return std::string(View()); }
  uint16_t Length() const { return length_; }
  bool Empty() const { return length_ == 0; }
  // The N bytes of the field as written to a file.
  const std::array<char, N>& Bytes() const { return bytes_; }

 private:
  std::array<char, N> bytes_{};
  uint16_t length_ = 0;
};

struct PartsHeader {
  int16_t version = 0;
  int16_t createdDay = 0;
  int16_t createdMonth = 0;
  int16_t createdYear = 0;
  int16_t createdHour = 0;
  int16_t createdMinute = 0;
  FixedText<kHeaderTextSize> comment;
  int16_t specFile = 0;
  int16_t specRecord = 0;
  int16_t partsValue1 = 0;
  int16_t partsValue2 = 0;
  int16_t sizeCount = 0;
  int32_t commonOffset = 0;
  FixedText<kHeaderTextSize> title;
  int16_t apgCommentCount = 0;
  int16_t sortMode = 0;
};

// The 256 bytes of a header, little-endian, reserved bytes zero.
void EncodeHeader(const PartsHeader& header, uint8_t out[kHeaderSize]);
// Fills `header` from 256 file bytes. False, and `header` cleared, when a
// length field lies outside its text field (a damaged file).
bool DecodeHeader(const uint8_t in[kHeaderSize], PartsHeader& header);

using ApgBlock = std::array<FixedText<kApgTextMax>, 6>;
void EncodeApgBlock(const ApgBlock& block, uint8_t out[kApgBlockSize]);
// False, and `block` cleared, when a length lies outside 0..31.
bool DecodeApgBlock(const uint8_t in[kApgBlockSize], ApgBlock& block);

struct SizeRecord {
  FixedText<kSizeTextSize> name;
  FixedText<kSizeTextSize> title;
  uint32_t memberOffset = 0;
};
void EncodeSizeRecord(const SizeRecord& record, uint8_t out[kSizeRecordSize]);
// False when a length lies outside 0..32.
bool DecodeSizeRecord(const uint8_t in[kSizeRecordSize], SizeRecord& record);

struct SpecEntry {
  uint16_t number = 0;
  uint16_t invertedFlag = 0;
  uint16_t record = 0;
  std::string name;
};

struct ParamEntry {
  std::string name;
  int16_t pairCode = 0;
  std::string text;
  std::string comment;  // empty when the entry has none
};

// Results of appending a table entry.
inline constexpr int kEntryTableFull = 200;
inline constexpr int kEntryNoMemory = 109;

// Order of size names for a sort mode: 0 by length then bytes, 1 (or a
// negative mode) by bytes, unsigned, the shorter first on a common beginning.
// Negative when a sorts before b, 0 when equal, positive after. Any mode of 2
// or more compares like 1 (the caller decides whether to sort at all).
int CompareSizeNames(int sortMode, std::string_view a, std::string_view b);

using SizeTable = std::array<std::unique_ptr<SizeRecord>, kMaxSizes>;

// The name of the record in a size slot; an empty slot reads as an empty name.
inline std::string_view SizeNameAt(const SizeTable& table, int slot) {
  const SizeRecord* record = table[static_cast<size_t>(slot)].get();
  return record != nullptr ? record->name.View() : std::string_view();
}

// The size slots 0 to Covered() - 1 that hold a record, ordered by name (bytes
// taken as unsigned) and, among equal names, by slot, so that a name is found
// by binary search instead of by comparing it with every record. It holds slot
// numbers only and compares the names the table holds now, so it stays right
// while those slots keep their records; whoever changes them other than by
// AddSize, ReadSizeList, WriteSizeList and ClearTables (which keep it right)
// calls Forget.
class SizeNameIndex {
 public:
  void Forget() { covered_ = 0; }
  int Covered() const { return covered_; }
  // Makes the index cover slots 0 to count - 1 (0 to 2048): takes the slots
  // from Covered() on, or starts again when it covers more than that.
  void Cover(const SizeTable& table, int count);
  // The first covered slot whose record has that name, or -1.
  int Find(const SizeTable& table, std::string_view name) const;

 private:
  std::array<int16_t, kMaxSizes> order_{};
  int entries_ = 0;  // slots in order_: the covered slots that hold a record
  int covered_ = 0;
};

// Entries that DropBlockEntries and ClearTables took out of a table, kept
// for the entries that come next, so that after the first block a block's
// entries take no new memory. At most one table's worth is kept.
template <class T, size_t N>
class SpareEntries {
 public:
  // Keeps the entry of a slot, which is left empty.
  void Keep(std::unique_ptr<T>& slot) {
    if (slot == nullptr) {
      return;
    }
    if (count_ == N) {
      slot.reset();
      return;
    }
    spares_[count_++] = std::move(slot);
  }
  // A kept entry, else a new one; null when memory cannot be had. Either way
  // it is one allocation to the test seam. A kept entry keeps the room of its
  // texts: whoever takes it sets every field.
  std::unique_ptr<T> Take() {
    if (count_ == 0) {
      return OvNew<T>();
    }
    if (OvFaults::ShouldFail(OvFaultKind::kAllocation)) {
      return nullptr;
    }
    return std::move(spares_[--count_]);
  }

 private:
  std::array<std::unique_ptr<T>, N> spares_;
  size_t count_ = 0;
};

// The one parts-file state of the process. The compile and the listing use it
// one after the other; ClearTables starts each of them.
struct PartsFileState {
  static PartsFileState& Instance() { return instance_; }

  PartsHeader header;
  ApgBlock apgNames;
  ApgBlock apgComments;
  SizeTable sizeTable;
  SizeNameIndex sizeNames;
  std::array<std::unique_ptr<SpecEntry>, kMaxSpecEntries> specTable;
  int32_t specCount = 0;
  int32_t commonSpecCount = 0;
  std::array<std::unique_ptr<ParamEntry>, kMaxParamEntries> paramTable;
  int32_t paramCount = 0;
  int32_t commonParamCount = 0;
  SpareEntries<SpecEntry, kMaxSpecEntries> spareSpecs;
  SpareEntries<ParamEntry, kMaxParamEntries> spareParams;

  // The parts file object, shared by the writer and the reader.
  OvFileIO partsFile;
  // Writer state.
  int32_t memberWritePosition = 0;
  bool listStartPending = false;
  std::vector<uint8_t> memberListBytes;  // the list being written
  // Reader state: the length of the file open for reading (-1 until the
  // reader first asks) and the bytes it read last, kept from
  // readWindowStart on. Every open, close and write forgets them.
  static constexpr int kReadWindowSize = 4096;
  int64_t readFileEnd = -1;
  int64_t readWindowStart = 0;
  int32_t readWindowLength = 0;
  std::array<uint8_t, kReadWindowSize> readWindow{};
  void ForgetRead() {
    readFileEnd = -1;
    readWindowLength = 0;
  }

 private:
  static PartsFileState instance_;
};

// Initialised at compile time, so that Instance() needs no first-use check.
inline constinit PartsFileState PartsFileState::instance_{};

// Start of the size records: 460, or 664 with the APG comment block.
int32_t SizeListOffset();
// Start of the member-list area: SizeListOffset() + 72 x sizeCount.
int32_t MemberListsOffset();

// Header accessors: mode 0 stores the caller's values, any other mode fetches
// them. Numbers keep their low 16 bits and fetch sign-extended.
void HeaderVersion(int mode, int32_t& version, std::string& comment);
void HeaderDate(int mode, int32_t& day, int32_t& month, int32_t& year, int32_t& hour,
                int32_t& minute);
void HeaderSpec(int mode, int32_t& file, int32_t& record);
void HeaderPartsValue1(int mode, int32_t& value);
void HeaderPartsValue2(int mode, int32_t& value);
void HeaderSizeCount(int mode, int32_t& value);
void HeaderSortMode(int mode, int32_t& value);
// Six APG texts, cut to 31 characters when stored.
void ApgNames(int mode, std::array<std::string, 6>& slots);
void ApgComments(int mode, std::array<std::string, 6>& slots);

void SetTitle(std::string_view title);
void GetTitle(std::string& title);
void CountApgComments();
void SetCommonOffset(int32_t sizeCount);
bool HasCommonList();
// An empty slot (or an index outside the table) gives an empty text.
void GetSizeName(int index, std::string& name);
void GetSizeTitle(int index, std::string& title);
void GetSpecEntry(int index, int32_t& number, int32_t& invertedFlag, std::string& name,
                  int32_t& record);
// Null buffers are not filled, as the table of operations says.
void GetParamEntry(int index, std::string* name, std::string* text, int32_t& pairCode,
                   std::string* comment);

// Append one entry after those in its table, with its own copies of the
// texts (an empty comment is none): 0, kEntryTableFull, or kEntryNoMemory
// when an allocation fails (the entry then stays in its slot, uncounted).
int StoreSpecEntry(int number, int invertedFlag, std::string_view name, int record);
int StoreParamEntry(std::string_view name, std::string_view text, int pairCode,
                    std::string_view comment);

void ClearTables();
void DropBlockEntries();

}  // namespace partsc
