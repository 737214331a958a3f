// A parts file as a value: every field of the file, read whole or as far as
// it could be read.
//
//   #include <partsc/model.h>
//
// PartsModel holds the header record, the six views with their names and
// comments, the size records with the member list each points to, the common
// member list and any member list no size record points to. The records keep
// the names and the field widths of the file: texts are fixed fields of N
// characters (FixedText), numbers have the width the file gives them. Every
// type here is a plain value: copy it, compare it with ==, keep it as long as
// you like.
//
// A model read from a file holds what the file holds: a spec entry's number
// is 1 to 256 (the file's byte, 0 read as 256), its record 0 for a spec
// without a record and 1 to 256 for one with a record (the file's byte, 0 read
// as 256), a param entry's pair code 0 to 255. Texts may hold any byte.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <partsc/export.h>

namespace partsc {

// The characters each text field holds.
inline constexpr int kHeaderTextSize = 64;  // the comment and the title
inline constexpr int kApgTextMax = 31;      // a view's APG name or comment
inline constexpr int kSizeTextSize = 32;    // a size's name or title
inline constexpr int kParamNameMax = 6;     // a param entry's name

// A text in a fixed field of N bytes, with its length; the bytes after the
// text are zero.
template <int N>
class FixedText {
 public:
  static constexpr int kCapacity = N;

  // Takes `text` when it fits the field; false, and the field as it was,
  // when it holds more than N bytes: a text is never cut without a word.
  [[nodiscard]] bool Assign(std::string_view text) {
    if (text.size() > size_t{N}) {
      return false;
    }
    AssignCut(text);
    return true;
  }
  // Takes the first N bytes of `text`: the cut a compile makes, as the file
  // format gives it, to a text too long for its field.
  void AssignCut(std::string_view text) {
    const size_t n = std::min(text.size(), size_t{N});
    bytes_.fill(0);
    if (n > 0) {
      std::memcpy(bytes_.data(), text.data(), n);
    }
    length_ = static_cast<uint16_t>(n);
  }
  void Clear() { AssignCut({}); }
  std::string_view View() const { return {bytes_.data(), length_}; }
  std::string Str() const { return std::string(View()); }
  uint16_t Length() const { return length_; }
  bool Empty() const { return length_ == 0; }
  // The N bytes of the field as a file holds them.
  const std::array<char, N>& Bytes() const { return bytes_; }

  bool operator==(const FixedText&) const = default;

 private:
  std::array<char, N> bytes_{};
  uint16_t length_ = 0;
};

// The header record at the start of the file.
struct PartsHeader {
  int16_t version = 0;  // 102 in every file that reads
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
  int16_t sizeCount = 0;     // the size records the file holds
  int32_t commonOffset = 0;  // where the common member list starts; 0: none
  // The $$TITLE text when the file has sizes, else the name of its common
  // block.
  FixedText<kHeaderTextSize> title;
  int16_t apgCommentCount = 0;  // 0: the file has no block of view comments
  int16_t sortMode = 0;         // 0 $$LSORT, 1 $$CSORT, 2 $$NSORT

  bool operator==(const PartsHeader&) const = default;
};

// The six views, in the order $TOP, $BOTTOM, $FRONT, $BACK, $LEFT, $RIGHT.
using ApgBlock = std::array<FixedText<kApgTextMax>, 6>;

struct SizeRecord {
  FixedText<kSizeTextSize> name;
  FixedText<kSizeTextSize> title;
  uint32_t memberOffset = 0;  // where the size's member list starts; 0: none

  bool operator==(const SizeRecord&) const = default;
};

struct SpecEntry {
  uint16_t number = 0;
  uint16_t invertedFlag = 0;  // 1 for a member line whose flag is 0
  uint16_t record = 0;        // 0: the header's specRecord
  std::string name;

  bool operator==(const SpecEntry&) const = default;
};

struct ParamEntry {
  std::string name;
  int16_t pairCode = 0;
  std::string text;
  std::string comment;  // empty when the entry has none

  bool operator==(const ParamEntry&) const = default;
};

// One member list: its spec entries, then its param entries, in file order.
struct MemberList {
  std::vector<SpecEntry> specs;
  std::vector<ParamEntry> params;

  bool operator==(const MemberList&) const = default;
};

// What reading a parts file gives. The numbers are those the JSON document
// gives as "result" and that never change.
enum class ReadStatus : int {
  kOk = 0,           // read
  kNoFile = 10,      // there is no such file
  kOpenFailed = 11,  // the file cannot be opened
  kBadVersion = 13,  // the version is not 102: not a parts file
  kNoView = 14,      // no view has an APG name
  kShort = 21,       // the file ends inside the part
  // A length or count lies outside its field or table: a damaged file,
  // refused before anything is copied.
  kDamaged = 23,
  // A size's member list begins inside a list read before it (the common
  // list or another size's), or runs into one: size records that share their
  // lists would make the model grow with each record, not with the file. The
  // list is not kept.
  kSharedList = 24,
  kSizeNotFound = 50,  // a size without a member list
  kNoMemory = 109,     // memory ran out
  // A list holds more than 256 spec entries or 512 param entries, counting
  // those of the common list.
  kTableFull = 200,
};

// One size: its record and the member list at the record's memberOffset.
struct PartsSize {
  SizeRecord record;
  MemberList members;
  // kOk when `members` is the whole list; else why it is not
  // (kSizeNotFound for a memberOffset of 0), and `members` holds the entries
  // before the failure.
  ReadStatus membersResult = ReadStatus::kOk;

  bool operator==(const PartsSize&) const = default;
};

// A member list that no size record points to, where it stands: a compile of
// more than 2048 sizes writes the lists of the sizes past the 2048th, and a
// compile that stopped part way leaves its size records unwritten.
struct UnlistedList {
  uint32_t offset = 0;
  MemberList members;

  bool operator==(const UnlistedList&) const = default;
};

// The parts of a file, in the order they are read.
enum class PartsPart {
  kHeader,       // the header record
  kApgList,      // the APG names, then the APG comments
  kSizeList,     // the size records
  kCommonList,   // the common member list
  kSizeMembers,  // the member list of each size
  kMemberArea,   // the member lists no size record points to
  kWhole,        // nothing: the whole file was read
};

// How far the reading got: kWhole, or the first part that could not be read,
// why and where. A part that fails ends the reading, with two exceptions: a
// file without any APG name (kNoView) is refused but read on, and a
// size's member list that cannot be read keeps nothing after it from being
// read (each size has its membersResult).
struct PartsRead {
  PartsPart part = PartsPart::kWhole;
  ReadStatus result = ReadStatus::kOk;  // kOk for kWhole
  int64_t offset = 0;  // the position in the file where the failed read began
  int size = -1;       // kSizeMembers: the index of the size in `sizes`

  bool Whole() const { return part == PartsPart::kWhole; }
  bool operator==(const PartsRead&) const = default;
};

// One field of a model that breaks the rule for a good parts file: its JSON
// Pointer in the model's JSON document ("/sizes/3/members/0/number") and the
// rule it breaks, in words ("300 is above 256").
struct ModelProblem {
  std::string pointer;
  std::string rule;

  bool operator==(const ModelProblem&) const = default;
};

struct PartsModel {
  PartsHeader header;
  ApgBlock apgNames;     // an empty name: the view is not defined
  ApgBlock apgComments;  // in the file only when header.apgCommentCount is not 0
  // The size records in file order (the order of the sort mode), each with
  // its member list. A file with a sizeCount below 1 has none.
  std::vector<PartsSize> sizes;
  // The common member list, at header.commonOffset; none when that is 0.
  std::optional<MemberList> common;
  // The member lists no size record points to, in file order.
  std::vector<UnlistedList> unlisted;
  PartsRead read;

  bool operator==(const PartsModel&) const = default;
};

// The model of the bytes of a parts file, read part by part as partsc reads
// one. A file that cannot be read whole gives what could be read; `read` says
// where reading stopped and why.
PARTSC_API PartsModel DecodePartsFile(std::string_view bytes);

// Lays the member lists of `model` end to end and sets the offsets that
// point to them: the common list first, then the others in the order of
// their offsets, and last, in model order, those whose offset is 0 (a size
// just added). Call it after adding, removing or changing entries.
PARTSC_API void PlaceMemberLists(PartsModel& model);

}  // namespace partsc
