#include "listing/listing.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "diagnostics/diagnostics.h"
#include "partsfile/keywords.h"
#include "partsfile/parts_decoder.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_layout.h"
#include "platform/ov_escape.h"
#include "platform/ov_file_io.h"
#include "platform/ov_string_util.h"

namespace partsc {

namespace {

template <typename Entry>
void ListEntries(const std::vector<Entry>& entries, OvFileIO& runLog);

// What one listing works on. With `bytes`, each size's member list is read
// from them when the listing comes to it, one list at a time into the same
// views; without, it is the model's.
struct Listing {
  Diagnostics& diagnostics;
  const PartsModel& model;
  OvFileIO& runLog;
  std::optional<std::string_view> bytes = {};
  MemberViews scratch = {};
};

// A name or text as the listing shows it in `out`: as it stands in the run
// log; with its line breaks escaped where `out` asks for it (--list).
std::string Shown(const OvFileIO& out, std::string_view text) {
  return out.EscapesLineBreaks() ? EscapeLineBreaks(text) : std::string(text);
}

// The steps that list a part of the file read whole before them, and that
// part.
constexpr std::array<std::pair<ListStep, PartsPart>, 4> kStepParts = {
    {{ListStep::kHeader, PartsPart::kHeader},
     {ListStep::kApg, PartsPart::kApgList},
     {ListStep::kSizes, PartsPart::kSizeList},
     {ListStep::kCommon, PartsPart::kCommonList}}};

void WriteHeaderBlock(const PartsHeader& header, const std::string& path, OvFileIO& runLog) {
  const std::string comment = Shown(runLog, header.comment.Str());
  runLog.Fprintf("/ PARTS FILE NAME : %s\n", Shown(runLog, path).c_str());
  runLog.Fprintf("/ CREATED DATE    : %4d/%02d/%02d\n", header.createdYear, header.createdMonth,
                 header.createdDay);
  runLog.Fprintf("/         TIME    : %02d:%02d\n", header.createdHour, header.createdMinute);
  runLog.Fprintf("/ PARTS COMMENT   : %s\n", comment.c_str());
  runLog.Fprintf("/ PARTS VERSION   : %d\n", header.version);
  runLog.Fprintf("/ COUNT OF SIZE   : %d\n", header.sizeCount);
}

void WritePartsLine(const PartsHeader& header, OvFileIO& runLog, const std::string& baseName) {
  const int32_t value1 = header.partsValue1;
  const int32_t value2 = header.partsValue2;
  runLog.Fprintf("%s\t!%s!", KeywordString(Keyword::kParts).c_str(),
                 Shown(runLog, baseName).c_str());
  if (value1 != 0 || value2 != 0) {
    runLog.Fprintf("\t<%d,%d>", value1, value2);
  }
  if (!header.comment.Empty()) {
    runLog.Fprintf("\t\"%s\"", Shown(runLog, header.comment.Str()).c_str());
  }
  runLog.Fprintf("\n");
}

void WriteApgLines(const PartsModel& model, OvFileIO& runLog) {
  runLog.Fprintf("/ APG DEFINATION\n");
  runLog.Fprintf("%s\n", KeywordString(Keyword::kApg).c_str());
  for (size_t view = 0; view < model.apgNames.size(); ++view) {
    const std::string name = Shown(runLog, model.apgNames[view].Str());
    const std::string comment = Shown(runLog, model.apgComments[view].Str());
    if (name.empty()) {
      continue;
    }
    const std::string_view keyword = kViewKeywords[view];
    runLog.Fprintf("%.*s\t!%s!", static_cast<int>(keyword.size()), keyword.data(), name.c_str());
    if (!comment.empty()) {
      runLog.Fprintf("\t%s", comment.c_str());
    }
    runLog.Fprintf("\n");
  }
}

// A failed read of the size list or of a size's members: only an exhausted
// memory is reported.
ListResult ReadFailed(Listing& l, ReadStatus readResult, ListStep step) {
  if (readResult == ReadStatus::kNoMemory) {
    l.diagnostics.ReportDiagnostic(DiagnosticId::kMemoryAllocateError);
  }
  return {step, readResult};
}

ListResult WriteCommonBlock(Listing& l) {
  OvFileIO& runLog = l.runLog;
  const PartsHeader& header = l.model.header;
  // A file without sizes keeps the name of its common block as its title.
  const std::string title =
      header.sizeCount == 0 ? Shown(runLog, header.title.Str()) : std::string();
  runLog.Fprintf("%s", KeywordString(Keyword::kCommon).c_str());
  if (!title.empty()) {
    runLog.Fprintf("\t\"%s\"\n", title.c_str());
  }
  runLog.Fprintf("\n");
  if (l.model.read.part == PartsPart::kCommonList) {
    return ListResult{ListStep::kCommon, l.model.read.result};
  }
  ListMembers(runLog, *l.model.common);
  return {};
}

// The size record in slot `index` and the member list the reader finds by
// its name.
ListResult WriteSizeBlock(Listing& l, size_t index) {
  OvFileIO& runLog = l.runLog;
  const SizeRecord& record = l.model.sizes[index].record;
  const std::string name = Shown(runLog, record.name.Str());
  const std::string title = Shown(runLog, record.title.Str());
  if (title.empty()) {
    runLog.Fprintf("%s\t\"%s\"\n", KeywordString(Keyword::kSize).c_str(), name.c_str());
  } else {
    runLog.Fprintf("%s\t\"%s\"\t!%s!\n", KeywordString(Keyword::kSize).c_str(), name.c_str(),
                   title.c_str());
  }
  const std::optional<size_t> slot = FindSizeRecord(l.model, record.name.View());
  if (!slot) {
    return ListResult{ListStep::kSizeMembers, ReadStatus::kSizeNotFound};
  }
  const ReadStatus result = l.bytes ? ViewSizeMembers(*l.bytes, l.model, *slot, l.scratch)
                                    : l.model.sizes[*slot].membersResult;
  if (result != ReadStatus::kOk) {
    return ReadFailed(l, result, ListStep::kSizeMembers);
  }
  if (!l.bytes) {
    ListMembers(runLog, l.model.sizes[*slot].members);
    return {};
  }
  ListEntries(l.scratch.specs, runLog);
  ListEntries(l.scratch.params, runLog);
  return {};
}

// Each step renders the part of the file it reads and stops where reading
// the file stopped in that part.
ListResult ListModel(Listing& l, const std::string& path) {
  const PartsModel& model = l.model;
  const PartsHeader& header = model.header;
  OvFileIO& runLog = l.runLog;
  if (model.read.part == PartsPart::kHeader) {
    return ListResult{ListStep::kHeader, model.read.result};
  }
  WriteHeaderBlock(header, path, runLog);
  const std::optional<std::string> baseName = FileBaseName(path);
  if (!baseName) {
    return ListResult{ListStep::kBaseName, ReadStatus::kOk};
  }
  WritePartsLine(header, runLog, *baseName);
  if (header.specFile > 0 && header.specRecord > 0) {
    runLog.Fprintf("%s <%d,%d>\n", KeywordString(Keyword::kSpec).c_str(), header.specFile,
                   header.specRecord);
  }
  if (model.read.part == PartsPart::kApgList) {
    return ListResult{ListStep::kApg, model.read.result};
  }
  WriteApgLines(model, runLog);
  if (model.read.part == PartsPart::kSizeList) {
    return ReadFailed(l, model.read.result, ListStep::kSizes);
  }
  if (header.commonOffset != 0) {
    const ListResult common = WriteCommonBlock(l);
    if (!common.Listed()) {
      return common;
    }
  }
  if (header.sizeCount > 0 && !header.title.Empty()) {
    runLog.Fprintf("%s\t\"%s\"\n", KeywordString(Keyword::kTitle).c_str(),
                   Shown(runLog, header.title.Str()).c_str());
  }
  const std::string_view sort = SortKeyword(header.sortMode);
  runLog.Fprintf(" %.*s\n", static_cast<int>(sort.size()), sort.data());
  for (size_t i = 0; i < model.sizes.size(); ++i) {
    const ListResult size = WriteSizeBlock(l, i);
    if (!size.Listed()) {
      return size;
    }
  }
  runLog.Fprintf("%s\n", KeywordString(Keyword::kEnd).c_str());
  runLog.Fprintf("/---------------------------------------/\n");
  return {};
}

// The member lines of a block are built whole in one buffer and written with
// one Fprintf, as "%s": a text goes in as "%s" would print it, up to its first
// zero byte, and a number as "%d" prints it.
class BlockLines {
 public:
  explicit BlockLines(int32_t entries) { Grow(static_cast<size_t>(entries) * 48 + 64); }

  // Where `n` more characters go; Commit says where they ended.
  char* Room(size_t n) {
    if (used_ + n >= size_) {
      Grow(std::max(size_ * 2, used_ + n + 1));
    }
    return text_.get() + used_;
  }
  void Commit(const char* end) { used_ = static_cast<size_t>(end - text_.get()); }

  void WriteTo(OvFileIO& runLog) {
    text_[used_] = '\0';
    runLog.Fprintf("%s", text_.get());
  }

 private:
  void Grow(size_t size) {
    auto grown = std::make_unique_for_overwrite<char[]>(size);
    if (used_ > 0) {
      std::memcpy(grown.get(), text_.get(), used_);
    }
    text_ = std::move(grown);
    size_ = size;
  }

  std::unique_ptr<char[]> text_;
  size_t size_ = 0;
  size_t used_ = 0;
};

// Room for the fixed characters and numbers of one member line.
constexpr size_t kLineFrame = 64;

std::string_view UpToZero(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

char* Put(char* at, std::string_view text) {
  std::memcpy(at, text.data(), text.size());
  return at + text.size();
}

char* Put(char* at, char c) {
  *at = c;
  return at + 1;
}

char* PutNumber(char* at, int32_t value) {
  return std::to_chars(at, at + 11, value).ptr;
}

template <typename Spec>
char* PutSpecLine(char* at, const Spec& entry) {
  // The record byte of the file: a record of 256 is written as 0 and
  // lists as a spec without one.
  const int32_t record = entry.record % 256;
  // The flag as the source line wrote it: 1 for an entry that is not inverted.
  const int32_t shownFlag = entry.invertedFlag == 0 ? 1 : 0;
  at = Put(at, "s ");
  if (record != 0) {
    at = Put(at, '[');
    at = PutNumber(at, record);
    at = Put(at, "] ");
  }
  at = Put(at, '<');
  at = PutNumber(at, entry.number);
  at = Put(at, ',');
  at = PutNumber(at, shownFlag);
  at = Put(at, ">\"");
  at = Put(at, UpToZero(entry.name));
  return Put(at, '"');
}

template <typename Param>
char* PutParamLine(char* at, const Param& entry) {
  const int32_t pairCode = entry.pairCode;
  const int32_t units = pairCode % 10;
  const int32_t tens = pairCode / 10;
  at = Put(at, "p !");
  at = Put(at, UpToZero(entry.name));
  at = Put(at, '!');
  if (units == 0) {
    at = Put(at, " (");
    at = Put(at, UpToZero(entry.text));
    at = Put(at, ')');
  }
  if (pairCode != 0) {
    // "%1d" prints as "%d" does: at least one digit.
    at = Put(at, " <");
    at = PutNumber(at, units);
    at = Put(at, ',');
    at = PutNumber(at, tens);
    at = Put(at, '>');
  }
  // A comment that begins with a zero byte is not empty: its quotes show.
  if (!entry.comment.empty()) {
    at = Put(at, "\" ");
    at = Put(at, UpToZero(entry.comment));
    at = Put(at, '"');
  }
  return at;
}

// Whether an entry is a spec entry, or a view of one.
template <typename Entry>
constexpr bool kIsSpec = requires(const Entry& entry) {
  entry.invertedFlag;
};

template <typename Entry>
char* PutMemberLine(char* at, const Entry& entry) {
  if constexpr (kIsSpec<Entry>) {
    return PutSpecLine(at, entry);
  } else {
    return PutParamLine(at, entry);
  }
}

template <typename Entry>
size_t LineRoom(const Entry& entry) {
  if constexpr (kIsSpec<Entry>) {
    return kLineFrame + entry.name.size();
  } else {
    return kLineFrame + entry.name.size() + entry.text.size() + entry.comment.size();
  }
}

template <typename Entry>
std::string MemberLineOf(const Entry& entry) {
  std::string line(LineRoom(entry), '\0');
  const char* end = PutMemberLine(line.data(), entry);
  line.resize(static_cast<size_t>(end - line.data()));
  return line;
}

template <typename Entry>
void ListEntries(const std::vector<Entry>& entries, OvFileIO& runLog) {
  if (entries.empty()) {
    return;
  }
  const bool escapes = runLog.EscapesLineBreaks();
  BlockLines lines(static_cast<int32_t>(entries.size()));
  for (const Entry& entry : entries) {
    char* start = lines.Room(LineRoom(entry));
    char* at = PutMemberLine(start, entry);
    const std::string_view line(start, static_cast<size_t>(at - start));
    // A line break inside a name or text: the line again, escaped, in the
    // same place (nothing after it is committed yet).
    if (escapes && line.find_first_of("\r\n") != std::string_view::npos) {
      const std::string escaped = EscapeLineBreaks(line);
      at = Put(lines.Room(escaped.size() + 1), escaped);
    }
    lines.Commit(Put(at, '\n'));
  }
  lines.WriteTo(runLog);
}

}  // namespace

ListResult ReadListedFile(const std::string& readPath, OvFileBytes& bytes) {
  const ReadStatus read = ReadPartsFileBytes(readPath, bytes).status;
  if (read == ReadStatus::kNoFile || read == ReadStatus::kOpenFailed) {
    return ListResult{ListStep::kOpen, read};
  }
  if (read != ReadStatus::kOk) {
    return ListResult{ListStep::kHeader, read};
  }
  return {};
}

ListResult ListOpenFile(Diagnostics& diagnostics, const PartsModel& model, const std::string& path,
                        OvFileIO& runLog) {
  Listing listing{diagnostics, model, runLog};
  return ListModel(listing, path);
}

ListResult ListFileBytes(Diagnostics& diagnostics, std::string_view bytes, const std::string& path,
                         OvFileIO& runLog) {
  const PartsModel outline = DecodePartsOutline(bytes);
  Listing listing{diagnostics, outline, runLog, bytes};
  return ListModel(listing, path);
}

ListResult ListPartsFile(Diagnostics& diagnostics, const std::string& path, OvFileIO& runLog,
                         const std::string& readPath, OvFileBytes& bytes) {
  const ListResult read = ReadListedFile(readPath, bytes);
  if (!read.Listed()) {
    return read;
  }
  const ListResult listed = ListFileBytes(diagnostics, bytes.View(), path, runLog);
  // A file cut short while it was listed was not read whole.
  return bytes.Cut() ? ListResult{ListStep::kHeader, ReadStatus::kShort} : listed;
}

std::string MemberLine(const SpecEntry& entry) {
  return MemberLineOf(entry);
}

std::string MemberLine(const ParamEntry& entry) {
  return MemberLineOf(entry);
}

void ListMembers(OvFileIO& runLog, const MemberList& list) {
  ListEntries(list.specs, runLog);
  ListEntries(list.params, runLog);
}

std::optional<std::string> FileBaseName(std::string_view path) {
  const size_t slash = path.rfind('/');
  // A path without "/" is taken as a bare file name.
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t stop = name.find('.');
  if (stop == std::string_view::npos) {
    return std::nullopt;
  }
  return std::string(name.substr(0, stop));
}

ListResult Listability(const PartsModel& model, std::optional<std::string_view> path) {
  if (model.read.part != PartsPart::kHeader && path && !FileBaseName(*path)) {
    return {ListStep::kBaseName, ReadStatus::kOk};
  }
  for (const auto& [step, part] : kStepParts) {
    if (model.read.part == part) {
      return {step, model.read.result};
    }
  }
  for (const PartsSize& size : model.sizes) {
    const std::optional<size_t> slot = FindSizeRecord(model, size.record.name.View());
    const ReadStatus result = slot ? model.sizes[*slot].membersResult : ReadStatus::kSizeNotFound;
    if (result != ReadStatus::kOk) {
      return {ListStep::kSizeMembers, result};
    }
  }
  return {};
}

ListVerdict Verdict(const ListResult& listed) {
  const auto failed = [&listed](std::string reason) {
    return ListVerdict::Failed(listed.step, std::move(reason));
  };
  if (listed.step == ListStep::kNone) {
    return {};
  }
  if (listed.step == ListStep::kOpen) {
    return failed(listed.read == ReadStatus::kNoFile ? "no such file" : "cannot be opened");
  }
  if (listed.step == ListStep::kBaseName) {
    return failed("the file name has no full stop");
  }
  for (const auto& [step, part] : kStepParts) {
    if (listed.step == step) {
      return failed(ReadReason(part, listed.read));
    }
  }
  return failed(ReadReason(PartsPart::kSizeMembers, listed.read));
}

}  // namespace partsc
