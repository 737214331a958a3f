#include "listing/listing.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "diagnostics/diagnostics.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_reader.h"
#include "partsfile/parts_state.h"
#include "partsfile/result_codes.h"
#include "platform/ov_file_io.h"

namespace partsc {

namespace {

// A cursor over one range of a member table: the next index and one past the
// last. One for the spec table and one for the param table, for the process.
struct Cursor {
  int32_t next = 0;
  int32_t end = 0;
};

// The result of the operation that failed in the last listing.
int& LastRead() {
  static int result = 0;
  return result;
}

// Keeps the result of a failed read for LastReadResult and answers the
// listing's own code.
int Failed(int readResult, int listResult) {
  LastRead() = readResult;
  return listResult;
}

Cursor& SpecCursor() {
  static Cursor cursor;
  return cursor;
}

Cursor& ParamCursor() {
  static Cursor cursor;
  return cursor;
}

// The common entries, or those of the current size. True when the range is
// empty.
bool StartCursor(Cursor& cursor, int scope, int32_t commonCount, int32_t count) {
  cursor.next = scope == kScopeCommon ? 0 : commonCount;
  cursor.end = scope == kScopeCommon ? commonCount : count;
  return cursor.next >= cursor.end;
}

// What one listing works on.
struct Listing {
  Diagnostics& diagnostics;
  PartsFileState& state;
  PartsFile& parts;
  OvFileIO& runLog;
};

void WriteHeaderBlock(PartsFileState& state, const std::string& path, OvFileIO& runLog,
                      const std::string& comment, int32_t version, int32_t sizeCount) {
  int32_t day = 0;
  int32_t month = 0;
  int32_t year = 0;
  int32_t hour = 0;
  int32_t minute = 0;
  HeaderDate(state, kFetch, day, month, year, hour, minute);
  runLog.Fprintf("/ PARTS FILE NAME : %s\n", path.c_str());
  runLog.Fprintf("/ CREATED DATE    : %4d/%02d/%02d\n", year, month, day);
  runLog.Fprintf("/         TIME    : %02d:%02d\n", hour, minute);
  runLog.Fprintf("/ PARTS COMMENT   : %s\n", comment.c_str());
  runLog.Fprintf("/ PARTS VERSION   : %d\n", version);
  runLog.Fprintf("/ COUNT OF SIZE   : %d\n", sizeCount);
}

void WritePartsLine(PartsFileState& state, OvFileIO& runLog, const std::string& baseName,
                    const std::string& comment) {
  int32_t value1 = 0;
  int32_t value2 = 0;
  HeaderPartsValue1(state, kFetch, value1);
  HeaderPartsValue2(state, kFetch, value2);
  runLog.Fprintf("$$PARTS\t!%s!", baseName.c_str());
  if (value1 != 0 || value2 != 0) {
    runLog.Fprintf("\t<%d,%d>", value1, value2);
  }
  if (!comment.empty()) {
    runLog.Fprintf("\t\"%s\"", comment.c_str());
  }
  runLog.Fprintf("\n");
}

void WriteApgLines(PartsFileState& state, OvFileIO& runLog) {
  std::array<std::string, 6> names;
  std::array<std::string, 6> comments;
  ApgNames(state, kFetch, names);
  ApgComments(state, kFetch, comments);
  runLog.Fprintf("/ APG DEFINATION\n");
  runLog.Fprintf("$$APG\n");
  for (int view = 0; view < kViewCount; ++view) {
    if (names[view].empty()) {
      continue;
    }
    runLog.Fprintf("%s\t!%s!", ViewNameTable[view].keyword, names[view].c_str());
    if (!comments[view].empty()) {
      runLog.Fprintf("\t%s", comments[view].c_str());
    }
    runLog.Fprintf("\n");
  }
}

// A failed read of the size list or of a size's members: only an exhausted
// memory is reported.
int ReadFailed(Listing& l, int readResult, int listResult) {
  if (readResult == kNoMemory) {
    l.diagnostics.ReportDiagnostic(DiagnosticId::kMemoryAllocateError);
  }
  return Failed(readResult, listResult);
}

int WriteCommonBlock(Listing& l, int32_t sizeCount) {
  OvFileIO& runLog = l.runLog;
  std::string title;
  if (sizeCount == 0) {
    GetTitle(l.state, title);
  }
  runLog.Fprintf("$$COMMON");
  if (!title.empty()) {
    runLog.Fprintf("\t\"%s\"\n", title.c_str());
  }
  runLog.Fprintf("\n");
  const int result = ReadCommonList(l.parts, l.state);
  if (result != 0) {
    return Failed(result, kListCommon);
  }
  ListMembers(l.state, runLog, kScopeCommon, kSpecLines);
  ListMembers(l.state, runLog, kScopeCommon, kParamLines);
  return 0;
}

void WriteSortLine(PartsFileState& state, OvFileIO& runLog) {
  int32_t sortMode = 0;
  HeaderSortMode(state, kFetch, sortMode);
  if (sortMode == kSortLengthThenName) {
    runLog.Fprintf(" $$LSORT\n");
    return;
  }
  if (sortMode == kSortByName) {
    runLog.Fprintf(" $$CSORT\n");
    return;
  }
  runLog.Fprintf(" $$NSORT\n");
}

int WriteSizeBlock(Listing& l, int index) {
  OvFileIO& runLog = l.runLog;
  DropBlockEntries(l.state);
  std::string name;
  std::string title;
  GetSizeName(l.state, index, name);
  GetSizeTitle(l.state, index, title);
  if (title.empty()) {
    runLog.Fprintf("$$SIZE\t\"%s\"\n", name.c_str());
  } else {
    runLog.Fprintf("$$SIZE\t\"%s\"\t!%s!\n", name.c_str(), title.c_str());
  }
  const int result = ReadSizeMembers(l.parts, l.state, name);
  if (result != 0) {
    return ReadFailed(l, result, kListSizeMembers);
  }
  ListMembers(l.state, runLog, kScopeSize, kSpecLines);
  ListMembers(l.state, runLog, kScopeSize, kParamLines);
  return 0;
}

// Steps after the file was opened; the caller closes it on every path.
int ListOpenFile(Listing& l, const std::string& path) {
  PartsFileState& state = l.state;
  OvFileIO& runLog = l.runLog;
  const int header = ReadHeader(l.parts, state);
  if (header != 0) {
    return Failed(header, kListHeader);
  }
  int32_t version = 0;
  std::string comment;
  HeaderVersion(state, kFetch, version, comment);
  int32_t specFile = 0;
  int32_t specRecord = 0;
  HeaderSpec(state, kFetch, specFile, specRecord);
  int32_t sizeCount = 0;
  HeaderSizeCount(state, kFetch, sizeCount);
  WriteHeaderBlock(state, path, runLog, comment, version, sizeCount);

  std::string baseName;
  if (FileBaseName(path, baseName) != 0) {
    return kListBaseName;
  }
  WritePartsLine(state, runLog, baseName, comment);
  if (specFile > 0 && specRecord > 0) {
    runLog.Fprintf("$$SPEC <%d,%d>\n", specFile, specRecord);
  }
  const int apg = ReadApgList(l.parts, state);
  if (apg != 0) {
    return Failed(apg, kListApg);
  }
  WriteApgLines(state, runLog);

  const int sizes = ReadSizeList(l.parts, state);
  if (sizes != 0 && sizes != kReadNoSizes) {
    return ReadFailed(l, sizes, kListSizes);
  }
  if (HasCommonList(state)) {
    const int result = WriteCommonBlock(l, sizeCount);
    if (result != 0) {
      return result;
    }
  }
  if (sizeCount > 0) {
    std::string title;
    GetTitle(state, title);
    if (!title.empty()) {
      runLog.Fprintf("$$TITLE\t\"%s\"\n", title.c_str());
    }
  }
  WriteSortLine(state, runLog);
  for (int i = 0; i < sizeCount; ++i) {
    const int result = WriteSizeBlock(l, i);
    if (result != 0) {
      return result;
    }
  }
  runLog.Fprintf("$$END\n");
  runLog.Fprintf("/---------------------------------------/\n");
  return 0;
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

std::string_view UpToZero(const std::string& text) {
  return std::string_view(text.c_str());
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

// The entry at a cursor's index; an empty entry for an empty slot or an index
// past the table. The cursor moves on.
template <class T, size_t N>
const T& NextEntry(Cursor& cursor, const std::array<std::unique_ptr<T>, N>& table) {
  static const T kEmpty;
  const int32_t index = cursor.next++;
  if (index < 0 || index >= static_cast<int32_t>(N)) {
    return kEmpty;
  }
  const T* entry = table[static_cast<size_t>(index)].get();
  return entry != nullptr ? *entry : kEmpty;
}

void ListSpecEntries(const PartsFileState& state, OvFileIO& runLog, int scope) {
  Cursor& cursor = SpecCursor();
  if (StartCursor(cursor, scope, state.commonSpecCount, state.specCount)) {
    return;
  }
  BlockLines lines(cursor.end - cursor.next);
  while (cursor.next < cursor.end) {
    const SpecEntry& entry = NextEntry(cursor, state.specTable);
    const std::string_view name = UpToZero(entry.name);
    const int32_t record = static_cast<int16_t>(entry.record);
    // The flag as the source line wrote it: 1 for an entry that is not inverted.
    const int32_t shownFlag = entry.invertedFlag == 0 ? 1 : 0;
    char* at = lines.Room(kLineFrame + name.size());
    at = Put(at, "s ");
    if (record != 0) {
      at = Put(at, '[');
      at = PutNumber(at, record);
      at = Put(at, "] ");
    }
    at = Put(at, '<');
    at = PutNumber(at, static_cast<int16_t>(entry.number));
    at = Put(at, ',');
    at = PutNumber(at, shownFlag);
    at = Put(at, ">\"");
    at = Put(at, name);
    at = Put(at, "\"\n");
    lines.Commit(at);
  }
  lines.WriteTo(runLog);
}

void ListParamEntries(const PartsFileState& state, OvFileIO& runLog, int scope) {
  Cursor& cursor = ParamCursor();
  if (StartCursor(cursor, scope, state.commonParamCount, state.paramCount)) {
    return;
  }
  BlockLines lines(cursor.end - cursor.next);
  while (cursor.next < cursor.end) {
    const ParamEntry& entry = NextEntry(cursor, state.paramTable);
    const std::string_view name = UpToZero(entry.name);
    const int32_t pairCode = entry.pairCode;
    const int32_t units = pairCode % 10;
    const int32_t tens = pairCode / 10;
    char* at = lines.Room(kLineFrame + name.size() + entry.text.size() + entry.comment.size());
    at = Put(at, "p !");
    at = Put(at, name);
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
    at = Put(at, '\n');
    lines.Commit(at);
  }
  lines.WriteTo(runLog);
}

}  // namespace

int ListPartsFile(Diagnostics& diagnostics, PartsFileState& state, PartsFile& parts,
                  const std::string& path, OvFileIO& runLog, const std::string& readPath) {
  LastRead() = 0;
  ClearTables(state);
  const int opened = OpenPartsFile(parts, readPath.empty() ? path : readPath);
  if (opened != 0) {
    return Failed(opened, kListOpen);
  }
  Listing listing{diagnostics, state, parts, runLog};
  const int result = ListOpenFile(listing, path);
  ClosePartsFile(parts);
  return result;
}

int LastReadResult() {
  return LastRead();
}

void ListMembers(const PartsFileState& state, OvFileIO& runLog, int scope, int kind) {
  if (kind == kSpecLines) {
    ListSpecEntries(state, runLog, scope);
    return;
  }
  if (kind == kParamLines) {
    ListParamEntries(state, runLog, scope);
  }
}

int FileBaseName(std::string_view path, std::string& result) {
  if (path.empty()) {
    return -1;
  }
  const size_t slash = path.rfind('/');
  // A path without "/" is taken as a bare file name.
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t stop = name.find('.');
  if (stop == std::string_view::npos) {
    return -1;
  }
  result.assign(name.substr(0, stop));
  return 0;
}

std::string UnreadableReason(int listCode, int readResult) {
  if (readResult == kNoMemory) {
    return "out of memory";
  }
  switch (listCode) {
    case kListOpen:
      return readResult == kPartsNoFile ? "no such file" : "cannot be opened";
    case kListHeader:
      if (readResult == kReadBadVersion) {
        return "not a parts file (version is not 102)";
      }
      return readResult == kReadShort ? "truncated header" : "damaged header";
    case kListBaseName:
      return "the file name has no full stop";
    case kListApg:
      if (readResult == kReadNoApgName) {
        return "no view defined";
      }
      return readResult == kReadShort ? "truncated view list" : "damaged view list";
    default:
      break;
  }
  const std::string part = listCode == kListSizes    ? "size list"
                           : listCode == kListCommon ? "common member list"
                                                     : "size member list";
  switch (readResult) {
    case kReadShort:
      return "truncated " + part;
    case kTableFull:
      return "too many members in the " + part;
    case kReadSizeNotFound:
      return "size member list not found (a size record out of order or without a list)";
    default:
      return "damaged " + part;
  }
}

}  // namespace partsc
