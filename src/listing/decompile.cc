#include "listing/decompile.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compiler/compile_passes.h"
#include "compiler/member_line.h"
#include "compiler/parts_line.h"
#include "driver/diagnostics.h"
#include "listing/listing.h"
#include "listing/source_line.h"
#include "partsfile/parts_reader.h"
#include "partsfile/parts_state.h"
#include "partsfile/parts_writer.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_session.h"
#include "platform/ov_string_util.h"

namespace partsc {

namespace {

// The longest spec name and param comment a member line keeps.
constexpr int kMemberTextMax = kMemberTextBuffer - 1;

// The creation date: the only bytes a compile does not reproduce.
constexpr size_t kDateBegin = 2;
constexpr size_t kDateEnd = 12;

const std::array<const char*, 3> kSortKeywords = {"$$LSORT", "$$CSORT", "$$NSORT"};

// ---------------------------------------------------------------------------
// What a parts file holds, as the reader gives it back.

struct MemberList {
  int64_t offset = 0;
  int64_t length = 0;  // bytes in the file, end record included
  std::vector<SpecEntry> specs;
  std::vector<ParamEntry> params;
};

struct SizeEntry {
  std::string name;
  std::string title;
  MemberList members;
};

// One member list of the member-list area after the common one, in file
// order, with the $$SIZE line that brings it back.
struct Block {
  MemberList members;
  int record = -1;  // index into PartsImage::sizes of the record pointing here
  std::string name;
  std::string title;
};

struct PartsImage {
  std::string bytes;
  std::string baseName;
  int32_t day = 0;
  int32_t month = 0;
  int32_t year = 0;
  int32_t hour = 0;
  int32_t minute = 0;
  std::string comment;
  int32_t specFile = 0;
  int32_t specRecord = 0;
  int32_t value1 = 0;
  int32_t value2 = 0;
  int32_t sizeCount = 0;
  int32_t sortMode = 0;
  int32_t apgCommentCount = 0;
  std::string title;
  std::array<std::string, 6> apgNames;
  std::array<std::string, 6> apgComments;
  std::optional<MemberList> common;
  std::vector<SizeEntry> sizes;  // in the order of the size records
  std::vector<Block> blocks;     // in the order of their member lists
};

// A text as a reason may show it: control characters become '?', so that
// the reason stays on one line.
std::string Shown(std::string_view text) {
  std::string shown = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    shown += u < 0x20 || u == 0x7f ? '?' : c;
  }
  return shown + "\"";
}

// ---------------------------------------------------------------------------
// Reading the file back.

// Closes the parts file however the reading ends.
struct PartsFileCloser {
  PartsFileCloser() = default;
  PartsFileCloser(const PartsFileCloser&) = delete;
  PartsFileCloser& operator=(const PartsFileCloser&) = delete;
  ~PartsFileCloser() { ClosePartsFile(); }
};

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  OvFileIO file;
  if (!file.Open(path, kOpenPartsRead, kOpenPermission)) {
    return false;
  }
  const int64_t length = file.Lseek(0, kSeekEnd);
  if (length < 0 || length > INT_MAX || file.Lseek(0, kSeekStart) != 0) {
    return false;
  }
  bytes.assign(static_cast<size_t>(length), '\0');
  return file.Read(bytes.data(), static_cast<int>(length)) == static_cast<int>(length);
}

// The entries of the tables from the given indices up, and the bytes they
// take in the file.
MemberList TakeEntries(int32_t specFrom, int32_t paramFrom) {
  const PartsFileState& state = PartsFileState::Instance();
  MemberList list;
  list.length = kMemberHeadSize;
  for (int32_t i = specFrom; i < state.specCount; ++i) {
    const SpecEntry& spec = *state.specTable[static_cast<size_t>(i)];
    list.length += kMemberHeadSize + static_cast<int64_t>(spec.name.size());
    list.specs.push_back(spec);
  }
  for (int32_t i = paramFrom; i < state.paramCount; ++i) {
    const ParamEntry& param = *state.paramTable[static_cast<size_t>(i)];
    list.length += kMemberHeadSize + static_cast<int64_t>(param.comment.size() + param.text.size());
    list.params.push_back(param);
  }
  return list;
}

void FetchHeader(PartsImage& image) {
  int32_t version = 0;
  HeaderVersion(1, version, image.comment);
  HeaderDate(1, image.day, image.month, image.year, image.hour, image.minute);
  HeaderSpec(1, image.specFile, image.specRecord);
  HeaderPartsValue1(1, image.value1);
  HeaderPartsValue2(1, image.value2);
  HeaderSizeCount(1, image.sizeCount);
  HeaderSortMode(1, image.sortMode);
  GetTitle(image.title);
  image.apgCommentCount = PartsFileState::Instance().header.apgCommentCount;
  ApgNames(1, image.apgNames);
  ApgComments(1, image.apgComments);
}

// Reads the size records and their member lists; empty, or why not.
std::string ReadSizes(PartsImage& image) {
  const PartsFileState& state = PartsFileState::Instance();
  for (int i = 0; i < image.sizeCount; ++i) {
    DropBlockEntries();
    SizeEntry size;
    GetSizeName(i, size.name);
    GetSizeTitle(i, size.title);
    if (ReadSizeMembers(size.name) != 0) {
      return "the member list of size " + Shown(size.name) + " cannot be read";
    }
    size.members = TakeEntries(state.commonSpecCount, state.commonParamCount);
    size.members.offset = state.sizeTable[static_cast<size_t>(i)]->memberOffset;
    image.sizes.push_back(std::move(size));
  }
  return {};
}

// Walks the member-list area from its start to the end of the file and puts
// every list after the common one into `image.blocks`, in file order; a list
// that no size record points to is read where it stands. Empty, or why the
// lists do not follow each other as a compile writes them.
std::string WalkMemberLists(PartsImage& image) {
  int64_t position = MemberListsOffset();
  if (image.common) {
    if (image.common->offset != position) {
      return "the common member list does not start the member-list area";
    }
    position += image.common->length;
  }
  std::vector<int> byOffset(image.sizes.size());
  std::iota(byOffset.begin(), byOffset.end(), 0);
  std::stable_sort(byOffset.begin(), byOffset.end(), [&image](int a, int b) {
    return image.sizes[static_cast<size_t>(a)].members.offset <
           image.sizes[static_cast<size_t>(b)].members.offset;
  });
  const auto fileEnd = static_cast<int64_t>(image.bytes.size());
  const PartsFileState& state = PartsFileState::Instance();
  size_t next = 0;
  while (next < byOffset.size() || position < fileEnd) {
    if (next < byOffset.size()) {
      const int index = byOffset[next];
      const SizeEntry& size = image.sizes[static_cast<size_t>(index)];
      if (size.members.offset < position) {
        return "the member list of size " + Shown(size.name) +
               " overlaps another list or lies outside the member-list area";
      }
      if (size.members.offset == position) {
        image.blocks.push_back(Block{size.members, index, size.name, size.title});
        position += size.members.length;
        ++next;
        continue;
      }
    }
    // A list that no size record points to: only a compile of more than 2048
    // sizes writes one.
    const std::string stray =
        "the bytes at offset " + std::to_string(position) + " belong to no size's member list";
    if (image.sizeCount < kMaxSizes) {
      return stray;
    }
    DropBlockEntries();
    if (ReadMemberListAt(position) != 0) {
      return stray;
    }
    MemberList list = TakeEntries(state.commonSpecCount, state.commonParamCount);
    list.offset = position;
    position += list.length;
    image.blocks.push_back(Block{std::move(list), -1, {}, {}});
  }
  return {};
}

// The reader takes a spec record of kind 3 whose record byte is 0 (a record
// of 256, 512, ...) for one of record 0; the kind byte in the file tells them
// apart. Marks such entries with record 256.
void MarkWholeRecords(const std::string& bytes, MemberList& list) {
  auto byte = [&bytes](int64_t at) {
    return at >= 0 && at < static_cast<int64_t>(bytes.size())
               ? static_cast<uint8_t>(bytes[static_cast<size_t>(at)])
               : uint8_t{0};
  };
  int64_t at = list.offset;
  size_t spec = 0;
  while (at + kMemberHeadSize <= static_cast<int64_t>(bytes.size())) {
    const uint8_t kind = byte(at);
    if (kind == kKindParam) {
      at += kMemberHeadSize + byte(at + 2) + byte(at + 4);
      continue;
    }
    if (kind != kKindSpec && kind != kKindSpecRecord) {
      return;
    }
    if (kind == kKindSpecRecord && byte(at + 4) == 0 && spec < list.specs.size()) {
      list.specs[spec].record = 256;
    }
    ++spec;
    at += kMemberHeadSize + byte(at + 2);
  }
}

// Loads the whole file (which lists) into `image`; empty, or why the file
// cannot come back from a source.
std::string LoadImage(const std::string& path, PartsImage& image) {
  ClearTables();
  if (OpenPartsFile(0, path) != 0) {
    return "cannot be opened again";
  }
  const PartsFileCloser closer;
  if (ReadHeader() != 0 || ReadApgList() != 0) {
    return "cannot be read again";
  }
  FetchHeader(image);
  if (image.sizeCount < 0) {
    return "its size count is negative (" + std::to_string(image.sizeCount) + ")";
  }
  const int sizes = ReadSizeList();
  if (sizes != 0 && sizes != kReadNoSizes) {
    return "its size list cannot be read again";
  }
  if (HasCommonList()) {
    if (ReadCommonList() != 0) {
      return "its common member list cannot be read again";
    }
    image.common = TakeEntries(0, 0);
    image.common->offset = PartsFileState::Instance().header.commonOffset;
  }
  std::string problem = ReadSizes(image);
  if (problem.empty()) {
    problem = WalkMemberLists(image);
  }
  if (image.common) {
    MarkWholeRecords(image.bytes, *image.common);
  }
  for (Block& block : image.blocks) {
    MarkWholeRecords(image.bytes, block.members);
  }
  return problem;
}

// ---------------------------------------------------------------------------
// Names of the size blocks.

// Gives every block the name (and title) its $$SIZE line must carry. The
// first 2048 blocks are the counted sizes; a later block that a record points
// to re-ties that record, whose own line stands at a counted block that no
// record points to. Empty, or why the blocks cannot be named so.
std::string NameBlocks(PartsImage& image) {
  std::vector<size_t> early;  // counted blocks that no record points to
  std::vector<size_t> late;   // uncounted blocks that a record points to
  for (size_t i = 0; i < image.blocks.size(); ++i) {
    const bool counted = i < static_cast<size_t>(kMaxSizes);
    const bool pointed = image.blocks[i].record >= 0;
    if (counted && !pointed) {
      early.push_back(i);
    }
    if (!counted && pointed) {
      late.push_back(i);
    }
  }
  if (early.size() != late.size()) {
    return "its member lists cannot be brought into the order of 2048 counted sizes";
  }
  for (size_t k = 0; k < early.size(); ++k) {
    const SizeEntry& size = image.sizes[static_cast<size_t>(image.blocks[late[k]].record)];
    image.blocks[early[k]].name = size.name;
    image.blocks[early[k]].title = size.title;
    image.blocks[late[k]].title.clear();
  }
  // A block past the counted ones that no record points to gets a name no
  // counted size has, so that its list re-ties no record.
  std::vector<std::string> taken;
  for (const SizeEntry& size : image.sizes) {
    taken.push_back(size.name);
  }
  std::sort(taken.begin(), taken.end());
  int serial = 0;
  for (size_t i = static_cast<size_t>(kMaxSizes); i < image.blocks.size(); ++i) {
    if (image.blocks[i].record >= 0) {
      continue;
    }
    std::string name;
    do {
      name = "unlisted-" + std::to_string(++serial);
    } while (std::binary_search(taken.begin(), taken.end(), name));
    image.blocks[i].name = name;
  }
  return {};
}

// Empty, or why the size records cannot come back in their order.
std::string CheckSizeOrder(const PartsImage& image) {
  if (image.sortMode < 0 || image.sortMode > 2) {
    return "its sort mode " + std::to_string(image.sortMode) + " has no keyword";
  }
  std::vector<std::string> names;
  for (const SizeEntry& size : image.sizes) {
    names.push_back(size.name);
  }
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  const auto twice = std::adjacent_find(sorted.begin(), sorted.end());
  if (twice != sorted.end()) {
    return "two sizes are named " + Shown(*twice);
  }
  if (image.sortMode == 2) {
    // The records keep the order of the counted $$SIZE lines.
    for (size_t i = 0; i < names.size(); ++i) {
      if (image.blocks[i].name != names[i]) {
        return "its size records are not in the order of their member lists ($$NSORT)";
      }
    }
    return {};
  }
  for (size_t i = 1; i < names.size(); ++i) {
    if (CompareSizeNames(image.sortMode, names[i - 1], names[i]) >= 0) {
      return std::string("its size records are not in the order of ") +
             kSortKeywords[static_cast<size_t>(image.sortMode)];
    }
  }
  return {};
}

// ---------------------------------------------------------------------------
// Writing the source.

class SourceWriter {
 public:
  explicit SourceWriter(const PartsImage& image) : image_(image) {}

  // The whole source, or empty with the reason.
  std::string Write(std::string& reason) {
    WriteHeaderLines();
    WriteViewLines();
    WriteCommonBlock();
    WriteTitleAndSort();
    WriteSizeBlocks();
    const std::string macros = MacroLines();
    if (!reason_.empty()) {
      reason = reason_;
      return {};
    }
    return head_ + macros + body_ + "$$END\n";
  }

 private:
  bool Failed() const { return !reason_.empty(); }

  void Fail(std::string reason) {
    if (reason_.empty()) {
      reason_ = std::move(reason);
    }
  }

  // False, with the reason, when `text` cannot stand in its field. The
  // reason reads: what, the text, whose (when given), the problem.
  bool Check(const std::string& what, std::string_view text, char open, size_t limit,
             const std::string& whose = {}, bool cut = true) {
    const std::string problem = TextProblem(text, open, limit, cut);
    if (!problem.empty()) {
      Fail(what + " " + Shown(text) + (whose.empty() ? "" : " " + whose) + " " + problem);
    }
    return problem.empty();
  }

  void Line(std::string& target, std::string_view keyword, const FieldsFor& fieldsFor,
            const std::string& what) {
    std::string line;
    const Fit fit = PlaceLine(keyword, fieldsFor, line);
    if (fit != Fit::kFits) {
      Fail(what + " " + NotPlaced(fit));
      return;
    }
    target += line;
    target += '\n';
  }

  void Fixed(const FieldsFor& fieldsFor, std::string_view keyword, const std::string& what) {
    Line(body_, keyword, fieldsFor, what);
  }

  static FieldsFor Constant(std::vector<Field> fields) {
    return [fields = std::move(fields)](bool) { return fields; };
  }

  void WriteHeaderLines() {
    char date[80];
    std::snprintf(date, sizeof date, "/ created %04d/%02d/%02d %02d:%02d\n", image_.year,
                  image_.month, image_.day, image_.hour, image_.minute);
    head_ += "/ Recovered by partsc --decompile: compiled again, this source gives the\n";
    head_ += "/ parts file back byte for byte, but for its creation date, which was\n";
    head_ += date;
    const std::string& name = image_.baseName;
    if (name.empty() || !OvFile::IsPlainName(name)) {
      Fail("the file name gives no parts name");
      return;
    }
    if (!Check("the parts name (the file's base name)", name, '!', kPartsNameMax) ||
        !Check("the parts comment", image_.comment, '"', kHeaderTextSize)) {
      return;
    }
    const int32_t value1 = image_.value1;
    const int32_t value2 = image_.value2;
    const std::string comment = image_.comment;
    Line(
        head_, "$$PARTS",
        [name, comment, value1, value2](bool compact) {
          return std::vector<Field>{
              {'!', Padded(name, kPartsNameMax), true},
              {'<', NumberPair(value1, value2, compact), value1 != 0 || value2 != 0},
              {'"', Padded(comment, kHeaderTextSize), !comment.empty()}};
        },
        "the $$PARTS line");
    if (image_.specFile == 0 && image_.specRecord == 0) {
      return;
    }
    const int32_t file = image_.specFile;
    const int32_t record = image_.specRecord;
    Line(
        head_, "$$SPEC",
        [file, record](bool compact) {
          return std::vector<Field>{{'<', NumberPair(file, record, compact), true}};
        },
        "the $$SPEC line");
  }

  void WriteViewLines() {
    int comments = 0;
    for (int view = 0; view < kViewCount; ++view) {
      const std::string& name = image_.apgNames[static_cast<size_t>(view)];
      const std::string& comment = image_.apgComments[static_cast<size_t>(view)];
      comments += comment.empty() ? 0 : 1;
      const std::string keyword = ViewNameTable[static_cast<size_t>(view)].keyword;
      if (name.empty() && !comment.empty()) {
        Fail("the view " + keyword + " has an APG comment but no APG name");
      }
      for (int other = 0; other < view && !name.empty(); ++other) {
        if (image_.apgNames[static_cast<size_t>(other)] == name) {
          Fail(std::string("the views ") + ViewNameTable[static_cast<size_t>(other)].keyword +
               " and " + keyword + " share the APG name " + Shown(name));
        }
      }
    }
    if (comments != image_.apgCommentCount) {
      Fail("its header counts " + std::to_string(image_.apgCommentCount) +
           " APG comments, but the file holds " + std::to_string(comments));
    }
    body_ += "$$APG\n";
    for (int view = 0; view < kViewCount && !Failed(); ++view) {
      const std::string& name = image_.apgNames[static_cast<size_t>(view)];
      const std::string& comment = image_.apgComments[static_cast<size_t>(view)];
      const std::string keyword = ViewNameTable[static_cast<size_t>(view)].keyword;
      if (name.empty() || !Check("the APG name of " + keyword, name, '!', kApgTextMax) ||
          !Check("the APG comment of " + keyword, comment, '"', kApgTextMax)) {
        continue;
      }
      Fixed(Constant({{'!', Padded(name, kApgTextMax), true},
                      {'"', Padded(comment, kApgTextMax), !comment.empty()}}),
            keyword, "the view line of " + keyword);
    }
  }

  void WriteCommonBlock() {
    // A file without sizes keeps the name of its common block as its title.
    const bool named = image_.sizeCount == 0;
    if (!image_.common) {
      if (named && !image_.title.empty()) {
        Fail("its title " + Shown(image_.title) + " needs sizes or a common block");
      }
      return;
    }
    const std::string name = named ? image_.title : std::string();
    if (!Check("the common block's name", name, '"', kSizeTextSize)) {
      return;
    }
    Fixed(Constant({{'"', Padded(name, kSizeTextSize), !name.empty()}}), "$$COMMON",
          "the $$COMMON line");
    WriteMembers(*image_.common, true, "the common block");
  }

  void WriteTitleAndSort() {
    if (image_.sizeCount > 0 && !image_.title.empty() &&
        Check("the title", image_.title, '"', kHeaderTextSize)) {
      Fixed(Constant({{'"', Padded(image_.title, kHeaderTextSize), true}}), "$$TITLE",
            "the $$TITLE line");
    }
    body_ += kSortKeywords[static_cast<size_t>(image_.sortMode)];
    body_ += '\n';
  }

  void WriteSizeBlocks() {
    for (const Block& block : image_.blocks) {
      if (Failed()) {
        return;
      }
      const std::string what = "size " + Shown(block.name);
      if (block.name.empty()) {
        Fail("a size has an empty name");
        return;
      }
      if (!Check("the size name", block.name, '"', kSizeTextSize) ||
          !Check("the size title", block.title, '!', kSizeTextSize, "of " + what)) {
        return;
      }
      Fixed(Constant({{'"', Padded(block.name, kSizeTextSize), true},
                      {'!', Padded(block.title, kSizeTextSize), !block.title.empty()}}),
            "$$SIZE", "the $$SIZE line of " + what);
      WriteMembers(block.members, false, what);
    }
  }

  void WriteMembers(const MemberList& list, bool common, const std::string& where) {
    for (const SpecEntry& spec : list.specs) {
      WriteSpec(spec, common, where);
    }
    for (const ParamEntry& param : list.params) {
      WriteParam(param, where);
    }
  }

  void WriteSpec(const SpecEntry& spec, bool common, const std::string& where) {
    const std::string what = "the spec " + Shown(spec.name) + " in " + where;
    if (spec.name.empty()) {
      Fail("a spec in " + where + " has an empty name");
      return;
    }
    if (!Check("the spec name", spec.name, '"', kMemberTextMax, "in " + where)) {
      return;
    }
    if (spec.invertedFlag != 0 && spec.invertedFlag != 1) {
      Fail(what + " has the flag byte " + std::to_string(spec.invertedFlag));
      return;
    }
    // A record equal to the default record of the block would read as 0; 256
    // more has the same low 8 bits and does not.
    const int32_t defaultRecord = common ? 0 : image_.specRecord;
    const int32_t record = spec.record == defaultRecord ? spec.record + 256 : spec.record;
    const std::string pair =
        std::to_string(spec.number) + "," + std::to_string(spec.invertedFlag == 0 ? 1 : 0);
    Fixed(Constant({{'[', std::to_string(record), spec.record != 0},
                    {'<', pair, true},
                    {'"', Padded(spec.name, kMemberTextMax), true}}),
          "s", what);
  }

  void WriteParam(const ParamEntry& param, const std::string& where) {
    const std::string what = "the param " + Shown(param.name) + " in " + where;
    const std::string whose = "of param " + Shown(param.name) + " in " + where;
    if (param.name.empty()) {
      Fail("a param in " + where + " has an empty name");
      return;
    }
    const std::string& comment = param.comment;
    if (!Check("the param name", param.name, '!', kParamNameMax, "in " + where, false) ||
        !Check("the comment", comment, '"', kMemberTextMax, whose) ||
        !Check("the text", param.text, '(', kParamTextMax, whose, true)) {
      return;
    }
    const int32_t code = param.pairCode;
    if (code != 0 && code != 1 && code != 10 && code != 11) {
      Fail(what + " has the pair code " + std::to_string(code));
      return;
    }
    if (param.text.empty() && code % 10 != 1) {
      Fail(what + " has no text, which its pair code " + std::to_string(code) + " needs");
      return;
    }
    const std::string pair = std::to_string(code % 10) + "," + std::to_string(code / 10);
    const std::string paddedComment = Padded(comment, kMemberTextMax);
    auto fields = [&param, &pair, &paddedComment, code](const std::string& text) {
      return Constant({{'!', param.name, true},
                       {'<', pair, code != 0},
                       {'"', paddedComment, !paddedComment.empty()},
                       {'(', text, !text.empty()}});
    };
    std::string line;
    Fit fit = Fit::kNoOrder;
    const std::optional<std::string> inPlace = TextInPlace(param.text);
    if (inPlace) {
      fit = PlaceLine("p", fields(*inPlace), line);
    }
    // A text that cannot stand in its line is written through a macro whose
    // value it is (values are not expanded again).
    const bool asMacro =
        !param.text.empty() && !ClosesEarly(param.text) &&
        (!OvStringUtil::IsBlank(param.text.back()) || param.text.size() == kParamTextMax);
    if (fit != Fit::kFits && asMacro) {
      const std::string name = MacroFor(Padded(param.text, kParamTextMax));
      fit = PlaceLine("p", fields("{" + name + "}"), line);
    }
    if (!inPlace && !asMacro) {
      Fail("the text " + Shown(param.text) + " " + whose +
           (ClosesEarly(param.text) ? " holds a \")\" that closes no \"(\""
                                    : " ends with a blank or tab"));
      return;
    }
    if (fit != Fit::kFits) {
      Fail(what + " " + NotPlaced(fit));
      return;
    }
    body_ += line;
    body_ += '\n';
  }

  // How a param text stands in its own line: as it is, or with every "{"
  // written so that expansion gives it back; null when neither reads back.
  static std::optional<std::string> TextInPlace(const std::string& text) {
    std::optional<std::string> written;
    if (text.find('{') == std::string::npos) {
      if (!ClosesEarly(text)) {
        written = text;
      }
    } else {
      written = EscapedText(text);
    }
    if (!written || written->size() > kParamTextMax) {
      return std::nullopt;
    }
    if (text.empty() || !OvStringUtil::IsBlank(text.back())) {
      return written;
    }
    // A text that ends with a blank comes back only from a cut: the field is
    // cut to 64 characters before expansion (and the expansion again). A
    // shorter text fills its first "{}" with characters that expansion drops,
    // so that an added last character falls to the cut.
    const size_t missing = kParamTextMax - written->size();
    if (missing > 0) {
      const size_t brace = written->find("{");
      if (brace == std::string::npos) {
        return std::nullopt;
      }
      written->insert(brace + 1, missing, '-');
    }
    *written += '.';
    return written;
  }

  // The name of the macro whose value is `value`, defined once.
  std::string MacroFor(const std::string& value) {
    const auto found = macros_.find(value);
    if (found != macros_.end()) {
      return found->second;
    }
    static constexpr std::string_view kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string name;
    size_t serial = macros_.size();
    do {
      name.insert(name.begin(), kDigits[serial % kDigits.size()]);
      serial /= kDigits.size();
    } while (serial > 0);
    macros_.emplace(value, name);
    macroOrder_.push_back(value);
    return name;
  }

  // Macro lines stand before every block, so the common block sees them too.
  std::string MacroLines() {
    if (macroOrder_.empty()) {
      return {};
    }
    std::string lines = "/ Param texts that cannot stand in their own line.\n";
    for (const std::string& value : macroOrder_) {
      Line(lines, "t", Constant({{'!', macros_[value], true}, {'(', value, true}}),
           "the macro for " + Shown(value));
    }
    return lines;
  }

  const PartsImage& image_;
  std::string head_;
  std::string body_;
  std::string reason_;
  std::map<std::string, std::string> macros_;
  std::vector<std::string> macroOrder_;
};

// ---------------------------------------------------------------------------
// The check: the source compiled in a private directory.

void RemoveQuietly(const std::string& path) {
  if (!path.empty() && OvFile::Access(path, 0) == 0) {
    OvFile::Remove(path);
  }
}

// The part of the parts file that holds byte `offset`.
std::string PartAt(size_t offset, const PartsImage& image) {
  struct HeaderField {
    size_t end;
    const char* name;
  };
  static constexpr std::array<HeaderField, 14> kHeader = {{{2, "version"},
                                                           {12, "creation date"},
                                                           {76, "comment"},
                                                           {78, "comment length"},
                                                           {80, "spec file"},
                                                           {82, "spec record"},
                                                           {84, "first number"},
                                                           {86, "second number"},
                                                           {88, "size count"},
                                                           {92, "common list offset"},
                                                           {156, "title"},
                                                           {158, "title length"},
                                                           {160, "APG comment count"},
                                                           {162, "sort mode"}}};
  for (const HeaderField& field : kHeader) {
    if (offset < field.end) {
      return std::string("the header's ") + field.name;
    }
  }
  if (offset < static_cast<size_t>(kHeaderSize)) {
    return "the header's reserved bytes";
  }
  const size_t names = kApgOffset + kApgBlockSize;
  const size_t sizes = image.apgCommentCount != 0 ? names + kApgBlockSize : names;
  if (offset < sizes) {
    return offset < names ? "the APG name block" : "the APG comment block";
  }
  const size_t record = (offset - sizes) / kSizeRecordSize;
  if (record < static_cast<size_t>(std::max(image.sizeCount, 0))) {
    return "size record " + std::to_string(record + 1);
  }
  return "the member lists";
}

// Where the compile of `source` and the original first differ; empty when
// they are the same but for the creation date.
std::string Difference(const std::string& original, const std::string& compiled,
                       const PartsImage& image) {
  const size_t common = std::min(original.size(), compiled.size());
  for (size_t i = 0; i < common; ++i) {
    if ((i < kDateBegin || i >= kDateEnd) && original[i] != compiled[i]) {
      return "byte " + std::to_string(i) + " differs, in " + PartAt(i, image);
    }
  }
  if (original.size() != compiled.size()) {
    return "it gives " + std::to_string(compiled.size()) + " bytes for " +
           std::to_string(original.size());
  }
  return {};
}

int CheckSource(const std::string& source, const PartsImage& image, std::string& reason) {
  const std::string directory = OvFile::MakeTempDirectory();
  if (directory.empty()) {
    reason = "no temporary directory for checking the source";
    return kDecompileCheckFailed;
  }
  const std::string sourcePath = directory + "/recovered.src";
  OvFileIO file;
  if (!file.Fopen(sourcePath, "w")) {
    OvFile::RemoveDirectory(directory);
    reason = "cannot write the source for its check";
    return kDecompileCheckFailed;
  }
  file.Fprintf("%s", source.c_str());
  file.Fclose();

  OvSession& session = OvSession::GetInstance();
  const bool quiet = session.Quiet();
  const std::string partsDirectory = OvFile::ClassDirectory(kClassParts);
  session.SetQuiet(true);
  OvFile::SetClassDirectory(kClassParts, directory);
  const std::string expectedPath = OvFile::ToFullPath(kClassParts, image.baseName, false, true);
  std::string outputPath;
  const int code = CompilePartsSource(sourcePath, outputPath);
  ClosePartsFile();
  OvFile::SetClassDirectory(kClassParts, partsDirectory);
  session.SetQuiet(quiet);

  std::string compiled;
  const bool read =
      code == kCompileOk && outputPath == expectedPath && ReadWholeFile(outputPath, compiled);
  RemoveQuietly(sourcePath);
  RemoveQuietly(outputPath);
  RemoveQuietly(expectedPath);
  OvFile::RemoveDirectory(directory);
  if (!read) {
    reason = "the source would not compile back (compile result " + std::to_string(code) + ")";
    return kDecompileNotRecoverable;
  }
  const std::string difference = Difference(image.bytes, compiled, image);
  if (!difference.empty()) {
    reason = "the source would not reproduce the file (" + difference + ")";
    return kDecompileNotRecoverable;
  }
  return kDecompileOk;
}

}  // namespace

int DecompilePartsFile(const std::string& path, std::string& source, std::string& reason) {
  source.clear();
  reason.clear();
  // A closed run log: the listing only tells whether the file reads back.
  OvFileIO nowhere;
  const int listed = ListPartsFile(path, nowhere);
  if (listed != 0) {
    reason = UnreadableReason(listed, LastReadResult());
    return kDecompileUnreadable;
  }
  PartsImage image;
  if (!ReadWholeFile(path, image.bytes)) {
    reason = "cannot be read";
    return kDecompileUnreadable;
  }
  FileBaseName(path, image.baseName);
  std::string problem = LoadImage(path, image);
  if (problem.empty()) {
    problem = NameBlocks(image);
  }
  if (problem.empty()) {
    problem = CheckSizeOrder(image);
  }
  if (!problem.empty()) {
    reason = std::move(problem);
    return kDecompileNotRecoverable;
  }
  std::string text = SourceWriter(image).Write(reason);
  if (text.empty()) {
    return kDecompileNotRecoverable;
  }
  const int checked = CheckSource(text, image, reason);
  if (checked != kDecompileOk) {
    return checked;
  }
  source = std::move(text);
  return kDecompileOk;
}

std::string UnreadableReason(int listCode, int readResult) {
  if (readResult == kReadNoMemory) {
    return "out of memory";
  }
  switch (listCode) {
    case 1:
      return readResult == kPartsNoFile ? "no such file" : "cannot be opened";
    case 2:
      if (readResult == kReadBadVersion) {
        return "not a parts file (version is not 102)";
      }
      return readResult == kReadShort ? "truncated header" : "damaged header";
    case 3:
      return "the file name has no full stop";
    case 4:
      if (readResult == kReadNoApgName) {
        return "no view defined";
      }
      return readResult == kReadShort ? "truncated view list" : "damaged view list";
    default:
      break;
  }
  const std::string part = listCode == 5   ? "size list"
                           : listCode == 6 ? "common member list"
                                           : "size member list";
  switch (readResult) {
    case kReadShort:
      return "truncated " + part;
    case kReadTableFull:
      return "too many members in the " + part;
    case kReadSizeNotFound:
      return "size member list not found (a size record out of order or without a list)";
    default:
      return "damaged " + part;
  }
}

}  // namespace partsc
