#include "compiler/compile_passes.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "compiler/member_line.h"
#include "compiler/parts_line.h"
#include "compiler/size_line.h"
#include "compiler/source_lint.h"
#include "compiler/tokenizer.h"
#include "compiler/view_list.h"
#include "diagnostics/diagnostics.h"
#include "diagnostics/line_pieces.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_state.h"
#include "partsfile/parts_tables.h"
#include "partsfile/parts_writer.h"
#include "platform/ov_console.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_signals.h"
#include "platform/ov_string_util.h"
#include "platform/ov_util.h"

namespace partsc {

namespace {

constexpr int kLineBuffer = 80;
constexpr int kCommonNameMax = 32;
constexpr int kTitleMax = 64;

bool StartsWith(std::string_view line, std::string_view keyword) {
  return line.substr(0, keyword.size()) == keyword;
}

// Every keyword begins with "$$"; most lines are member lines.
bool IsKeywordLine(std::string_view line) {
  return line.size() >= 2 && line[0] == '$' && line[1] == '$';
}

char FirstChar(std::string_view line) {
  return line.empty() ? '\0' : line.front();
}

// A block tracker holds -1 until its keyword is met, then the number of the
// last line of the block; any keyword line ends the block for good (0).
void EndBlock(int& tracker) {
  if (tracker > 0) {
    tracker = 0;
  }
}

// True for a line that belongs to the block, and moves the tracker onto it.
bool TakeBlockLine(int& tracker, int lineNumber) {
  if (tracker == -1 || lineNumber - tracker != 1) {
    return false;
  }
  ++tracker;
  return true;
}

// Everything one call of CompilePartsSource knows; created afresh per call.
struct Compile {
  CompileContext& context;
  PartsOutput& output;
  const std::string& inputPath;
  OvFileIO input;
  std::string line;
  int lineNumber = 0;
  bool partsSeen = false;
  bool specSeen = false;
  int apgLine = -1;
  int commonLine = -1;
  int sizeLine = -1;
  int sizeCount = 0;
  int32_t sortMode = 0;
  std::string partsName;
  std::string partsComment;
  int32_t partsValue1 = 0;
  int32_t partsValue2 = 0;
  int32_t specFile = 0;
  int32_t specRecord = 0;
  ApgSlots apgNames;
  ApgSlots apgComments;
  std::string commonName;
  LinePosition commonAt;  // the $$COMMON line that named the common size
  int commonQuote = -1;   // and the place of its name on that line
  std::string titleText;
  std::string sizeName;
  LinePieces pieces;  // where each line lies in the file, for the diagnostics
  // Whether anything asks where a line lies; taken once so that the pieces
  // are followed from the first line to the last or not at all.
  const bool linesTracked = context.diagnostics.ReportLineWanted();
  bool firstPass = true;
  bool interrupted = false;  // a signal ended the reading
  bool carriageReturnSeen = false;
  std::string outputPath;             // the parts file, once it is open
  std::optional<PartsWriter> writer;  // once it is open

  Compile(CompileContext& compileContext, PartsOutput& partsOutput, const std::string& path)
      : context(compileContext), output(partsOutput), inputPath(path) {}
  ~Compile() { context.diagnostics.ClearReportLine(); }
  Compile(const Compile&) = delete;
  Compile& operator=(const Compile&) = delete;

  // False at the end of the source, and when a signal ends the run.
  bool NextLine() {
    if (OvSignals::Caught() != 0) {
      interrupted = true;
      return false;
    }
    if (!input.Fgets(line, kLineBuffer)) {
      pieces.EndOfFile();
      return false;
    }
    ++lineNumber;
    if (!linesTracked) {
      TrimLineEnd(line);
      return true;
    }
    pieces.Take(line);  // before the trim: it needs the line feed
    TrimLineEnd(line);
    context.diagnostics.SetReportLine(
        {lineNumber, pieces.PhysicalLine(), pieces.StartColumn(), line});
    if (firstPass && context.diagnostics.WarningsWanted()) {
      LintLineEnd(context.diagnostics, pieces, line, carriageReturnSeen);
    }
    return true;
  }

  // Back to the first line, for the second pass.
  void Rewind() {
    input.Fseek(0, kSeekStart);
    lineNumber = 0;
    pieces = LinePieces();
    firstPass = false;
  }

  bool HasCommon() const { return commonLine != -1; }
};

// The fields left open on a line; nothing to do while no warning is on.
void LintLineFields(Diagnostics& diagnostics, std::string_view line) {
  if (!diagnostics.WarningsWanted()) {
    return;
  }
  LintFields(diagnostics, line, FieldsOfLine(line));
}

// Letters, digits, ".", "_", "-" and "+": a name every file system keeps as
// it is, that no shell splits, and that is not "." or "..".
bool IsPortableName(std::string_view name) {
  const auto portable = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '_' || c == '-' ||
           c == '+';
  };
  return OvFile::IsPlainName(name) && std::all_of(name.begin(), name.end(), portable);
}

// $$PARTS: the first one names the parts; a later one is only warned about.
int Pass1Parts(Compile& c) {
  if (c.partsSeen) {
    c.context.diagnostics.ReportDiagnostic(DiagnosticId::kPartsNameAlreadyDefined, c.lineNumber);
    return kCompileOk;
  }
  c.partsSeen = true;
  if (CompilePartsLine(c.context, c.line, c.lineNumber, c.partsName, c.partsComment, c.partsValue1,
                       c.partsValue2) != 0) {
    return kCompilePartsLine;
  }
  dbgprint(c.context.console, kConsoleProgress, "\tParts name\t\t%s\n", c.partsName.c_str());
  if (!IsPortableName(c.partsName)) {
    c.context.diagnostics.ReportWarning(
        Warning::kPartsName, "Parts name \"" + c.partsName + "\" is not a plain file name",
        static_cast<int>(c.line.find('!')));
  }
  return kCompileOk;
}

void Pass1Spec(Compile& c) {
  if (c.specSeen) {
    c.context.diagnostics.ReportDiagnostic(DiagnosticId::kPartsSpecAlreadyDefined, c.lineNumber);
    return;
  }
  c.specSeen = true;
  CompileSpecLine(c.context, c.line, c.specFile, c.specRecord);
}

void Pass1Apg(Compile& c) {
  if (c.apgLine != -1) {
    c.context.diagnostics.ReportDiagnostic(DiagnosticId::kApgListAlreadyDefined, c.lineNumber);
    return;
  }
  c.apgLine = c.lineNumber;
  ResetViewDefined(c.context.viewDefined);
  dbgprint(c.context.console, kConsoleProgress, "\tApg define start\n");
}

void Pass1Common(Compile& c) {
  if (c.commonLine != -1) {
    c.context.diagnostics.ReportDiagnostic(DiagnosticId::kCommonAlreadyDefined, c.lineNumber);
    return;
  }
  c.commonLine = c.lineNumber;
  if (ExtractField(c.line, '"', kCommonNameMax, c.commonName) == kFieldCut) {
    c.context.diagnostics.ReportDiagnostic(DiagnosticId::kCommonNameTooLong, c.lineNumber);
    LintFieldCut(c.context.diagnostics, "Common size name", c.line, '"', kCommonNameMax, true);
  }
  if (!c.commonName.empty() && c.linesTracked) {
    c.commonAt = {c.lineNumber, c.pieces.PhysicalLine(), c.pieces.StartColumn(), {}};
    c.commonQuote = static_cast<int>(c.line.find('"'));
  }
}

// A line of the common block: a member, a comment, or a warning.
int Pass1CommonMember(Compile& c) {
  const char first = FirstChar(c.line);
  if (first == 's' || first == 'p') {
    LintLineFields(c.context.diagnostics, c.line);
    return CompileMemberLine(c.context, c.line, c.lineNumber) != 0 ? kCompileMemberLine
                                                                   : kCompileOk;
  }
  if (first != '/') {
    c.context.diagnostics.ReportDiagnostic(DiagnosticId::kUnknownCommonKeyword, c.lineNumber);
  }
  return kCompileOk;
}

// $$SIZE: counted when its record is added; a full table is only warned about.
int Pass1Size(Compile& c) {
  const int result = CompileSizeLine(c.context, c.line, c.sizeCount, c.lineNumber);
  if (result == 0) {
    ++c.sizeCount;
    return kCompileOk;
  }
  if (result != kTableFull) {
    return result;
  }
  std::string name;
  ExtractField(c.line, '"', kSizeNameMax, name);
  c.context.diagnostics.ReportWarning(
      Warning::kSizeDropped, "Size \"" + name + "\" dropped: a parts file holds at most 2048 sizes",
      static_cast<int>(c.line.find('"')));
  return kCompileOk;
}

// Pass 1: one line. Answers 0 to go on, or the compile's failure code.
// Sets `ended` at the $$END line. The checks run in this order on every line.
int Pass1Line(Compile& c, bool& ended) {
  const std::string_view line = c.line;
  const bool keywordLine = IsKeywordLine(line);
  const auto keyword = [&](std::string_view name) { return keywordLine && StartsWith(line, name); };
  if (keywordLine) {
    if (c.context.diagnostics.WarningsWanted()) {
      LintKeywordLine(c.context.diagnostics, line, c.partsSeen);
    }
    if (!c.partsSeen && !StartsWith(line, "$$PARTS")) {
      c.context.diagnostics.ReportDiagnostic(DiagnosticId::kNotPartsInputFile, 0, c.inputPath);
      return kCompileNotParts;
    }
    EndBlock(c.apgLine);
    EndBlock(c.commonLine);
    LintLineFields(c.context.diagnostics, line);
  }
  if (keyword("$$PARTS") && Pass1Parts(c) != kCompileOk) {
    return kCompilePartsLine;
  }
  if (keyword("$$END")) {
    ended = true;
    return kCompileOk;
  }
  if (FirstChar(line) == 't') {
    LintLineFields(c.context.diagnostics, line);
    if (CompileMacroLine(c.context, line, c.lineNumber) != 0) {
      return kNoMemory;
    }
  }
  if (keyword("$$SPEC")) {
    Pass1Spec(c);
  }
  if (keyword("$$APG")) {
    Pass1Apg(c);
  }
  if (TakeBlockLine(c.apgLine, c.lineNumber) && FirstChar(line) != '/') {
    if (FirstChar(line) == '$') {
      LintLineFields(c.context.diagnostics, line);
    }
    CompileViewLine(c.context, line, c.lineNumber, c.apgNames, c.apgComments);
  }
  if (keyword("$$COMMON")) {
    Pass1Common(c);
  }
  if (TakeBlockLine(c.commonLine, c.lineNumber) && Pass1CommonMember(c) != kCompileOk) {
    return kCompileMemberLine;
  }
  if (keyword("$$TITLE") && ExtractField(line, '"', kTitleMax, c.titleText) == kFieldCut) {
    c.context.diagnostics.ReportDiagnostic(DiagnosticId::kTitleTooLong, c.lineNumber);
    LintFieldCut(c.context.diagnostics, "Title", line, '"', kTitleMax, true);
  }
  if (keyword("$$LSORT")) {
    c.sortMode = kSortLengthThenName;
  } else if (keyword("$$CSORT")) {
    c.sortMode = kSortByName;
  } else if (keyword("$$NSORT")) {
    c.sortMode = kSortAsWritten;
  }
  return keyword("$$SIZE") ? Pass1Size(c) : kCompileOk;
}

// The first line after $$END that would be a keyword, view, member or macro
// line before it: it is not read. Notes in prose there are left alone.
void LintAfterEnd(Compile& c) {
  constexpr size_t kShown = 40;
  constexpr std::string_view kReadAsLines = "$spt";
  // Its lines are not linted as lines of the source.
  c.firstPass = false;
  while (c.NextLine()) {
    if (kReadAsLines.find(FirstChar(c.line)) == std::string_view::npos || c.line.empty()) {
      continue;
    }
    const std::string shown = c.line.size() > kShown ? c.line.substr(0, kShown) + "..." : c.line;
    c.context.diagnostics.ReportWarning(Warning::kAfterEnd, shown + " after $$END is not read", 0);
    return;
  }
}

// What only the whole of pass 1 shows: a source without a $$PARTS line, a
// common size name that a parts file with sizes drops, lines after $$END.
void LintPass1(Compile& c, bool ended) {
  Diagnostics& diagnostics = c.context.diagnostics;
  if (!diagnostics.WarningsWanted()) {
    return;
  }
  if (!c.partsSeen) {
    diagnostics.ClearReportLine();
    diagnostics.ReportWarning(
        Warning::kNoPartsLine,
        "Source " + c.inputPath + " has no $$PARTS line: it names no parts file");
  }
  if (c.sizeCount > 0 && !c.commonName.empty()) {
    diagnostics.SetReportLine(c.commonAt);
    diagnostics.ReportWarning(Warning::kCommonNameDropped,
                              "Common size name \"" + c.commonName +
                                  "\" dropped: a parts file with sizes keeps only its title",
                              c.commonQuote);
  }
  if (ended && diagnostics.WarningEnabled(Warning::kAfterEnd)) {
    LintAfterEnd(c);
  }
}

// Reports the signal that ended the compile, with the place in the source,
// or with what it waited for (`waiting`).
int Interrupted(const Compile& c, const std::string& waiting = {}) {
  std::string where = "while compiling " + c.inputPath;
  if (!waiting.empty()) {
    where += ", " + waiting;
  } else {
    where += c.firstPass ? ", pass 1" : ", pass 2";
    where += c.lineNumber > 0 ? ", after line " + std::to_string(c.lineNumber) : ", at its start";
  }
  c.context.diagnostics.ReportInterruption(OvSignals::Name(OvSignals::Caught()), where);
  return kCompileInterrupted;
}

int RunPass1(Compile& c) {
  bool ended = false;
  while (!ended && c.NextLine()) {
    const int result = Pass1Line(c, ended);
    if (result != kCompileOk) {
      return result;
    }
  }
  if (c.interrupted) {
    return Interrupted(c);
  }
  LintPass1(c, ended);
  return kCompileOk;
}

// Reports a failed write of the parts file: the message of the part written,
// and with it the file and the system's reason (only where the message itself
// goes somewhere: not while no error log is open). The structured formats
// carry both in the message's record; the classic one adds a line on
// standard error.
int WriteFailed(const Compile& c, DiagnosticId message) {
  Diagnostics& diagnostics = c.context.diagnostics;
  if (!diagnostics.ErrorLogIsOpen()) {
    return kCompileWriteFailed;
  }
  const std::string reason = c.output.sink.WriteError();
  diagnostics.SetReportOutput(c.outputPath);
  diagnostics.ReportFailure(message, reason);
  diagnostics.SetReportFile(c.inputPath);
  if (diagnostics.Format() == DiagnosticsFormat::kClassic) {
    ComplainNotWritten(c.context.console, c.outputPath, reason);
  }
  return kCompileWriteFailed;
}

// Writes the member list of the size block just ended and empties the tables.
int EndSizeBlock(Compile& c) {
  const std::string_view name = c.sizeName;
  if (c.writer->WriteMemberList(c.context.state, name) != 0) {
    return WriteFailed(c, DiagnosticId::kDataWriteError);
  }
  DropBlockEntries(c.context.state);
  return kCompileOk;
}

// Pass 2: one line. Answers 0 to go on, or the compile's failure code.
int Pass2Line(Compile& c, bool& ended) {
  const std::string_view line = c.line;
  const bool keywordLine = IsKeywordLine(line);
  if (keywordLine && c.sizeLine > 0) {
    if (EndSizeBlock(c) != kCompileOk) {
      return kCompileWriteFailed;
    }
    c.sizeLine = 0;
  }
  if (keywordLine && StartsWith(line, "$$SIZE")) {
    c.sizeLine = c.lineNumber;
    ExtractField(line, '"', kSizeNameMax, c.sizeName);
  }
  if (TakeBlockLine(c.sizeLine, c.lineNumber)) {
    const char first = FirstChar(line);
    if (first == 's' || first == 'p') {
      LintLineFields(c.context.diagnostics, line);
      if (CompileMemberLine(c.context, line, c.lineNumber) != 0) {
        return kCompileMemberLine;
      }
    } else if (first != '/') {
      c.context.diagnostics.ReportDiagnostic(DiagnosticId::kUnknownSizeKeyword);
    }
  }
  if (keywordLine && StartsWith(line, "$$END")) {
    ended = true;
  }
  return kCompileOk;
}

int RunPass2(Compile& c) {
  c.Rewind();
  c.sizeLine = -1;
  bool ended = false;
  while (!ended && c.NextLine()) {
    const int result = Pass2Line(c, ended);
    if (result != kCompileOk) {
      return result;
    }
  }
  if (c.interrupted) {
    return Interrupted(c);
  }
  if (c.sizeLine <= 0) {
    return kCompileOk;
  }
  c.context.diagnostics.ReportDiagnostic(DiagnosticId::kEndNotFound, c.lineNumber);
  return EndSizeBlock(c);
}

void FillHeader(Compile& c) {
  PartsFileState& state = c.context.state;
  std::array<std::string, 6> names = c.apgNames;
  std::array<std::string, 6> comments = c.apgComments;
  ApgNames(state, kStore, names);
  ApgComments(state, kStore, comments);
  CountApgComments(state);

  int16_t date[3] = {};
  int16_t time[4] = {};
  OvUtil::GetLocalTime(date, time);
  int32_t day = date[0];
  int32_t month = date[1];
  int32_t year = date[2];
  int32_t hour = time[0];
  int32_t minute = time[1];
  HeaderDate(state, kStore, day, month, year, hour, minute);

  int32_t version = kPartsVersion;
  HeaderVersion(state, kStore, version, c.partsComment);
  HeaderSpec(state, kStore, c.specFile, c.specRecord);
  HeaderPartsValue1(state, kStore, c.partsValue1);
  HeaderPartsValue2(state, kStore, c.partsValue2);
  int32_t sizeCount = c.sizeCount;
  HeaderSizeCount(state, kStore, sizeCount);
  // A parts file without sizes carries its common size name as its title.
  SetTitle(state, c.sizeCount != 0 ? c.titleText : c.commonName);
  HeaderSortMode(state, kStore, c.sortMode);
  if (c.HasCommon()) {
    SetCommonOffset(state, c.sizeCount);
  }
}

// Between the passes: the parts file is named by the parts name and opened
// in the sink, and its header, view list and common member list are
// written.
int OpenOutput(Compile& c, std::string& outputPath) {
  dbgprint(c.context.console, kConsoleProgress, "\tCount of size\t\t%d\n", c.sizeCount);
  outputPath = c.output.classes.ToFullPath(kClassParts, c.partsName);
  // A parts name comes from the source: one that is not a plain file name
  // (empty, ".", "..", or holding "/") must never reach the file system.
  const bool plain = OvFile::IsPlainName(c.partsName);
  if (OvSignals::Caught() != 0) {
    outputPath.clear();
    return Interrupted(c);
  }
  const bool opened = plain && c.output.sink.Open(outputPath) == 0;
  // The wait for another run's lock ends when a signal comes.
  if (!opened && OvSignals::Caught() != 0) {
    const std::string waiting = "waiting for the lock of " + outputPath;
    outputPath.clear();
    return Interrupted(c, waiting);
  }
  if (!opened) {
    const std::string reason = plain ? LastSystemError() : "not a plain file name";
    const std::string message = "File " + outputPath + " open error";
    c.context.diagnostics.ReportRunFailure(DiagnosticId::kPartsFileOpen, message + "\n", message,
                                           reason);
    outputPath.clear();
    return kCompileOutputOpen;
  }
  dbgprint(c.context.console, kConsoleProgress, "  Out put file name\t\t%s\n", outputPath.c_str());
  c.outputPath = outputPath;
  FillHeader(c);

  PartsFileState& state = c.context.state;
  PartsWriter& writer = c.writer.emplace(c.output.sink);
  if (writer.WriteHeader(state) != 0) {
    return WriteFailed(c, DiagnosticId::kHeaderWriteError);
  }
  if (writer.WriteApgList(state) != 0) {
    return WriteFailed(c, DiagnosticId::kApgListWriteError);
  }
  if (!c.HasCommon() && c.sizeCount < 1) {
    return kCompileOk;
  }
  writer.BeginMemberLists();
  if (c.HasCommon()) {
    if (writer.WriteMemberList(state, std::nullopt) != 0) {
      return WriteFailed(c, DiagnosticId::kDataWriteError);
    }
    DropBlockEntries(state);
  }
  return kCompileOk;
}

// After pass 2: the size list, now that each size's member list has its
// place, and the end of the file.
int FinishOutput(Compile& c) {
  if (c.writer->WriteSizeList(c.context.state) != 0) {
    return WriteFailed(c, DiagnosticId::kSizeListWriteError);
  }
  c.output.sink.Close();
  return kCompileOk;
}

}  // namespace

void CompileSpecLine(CompileContext& context, std::string_view line, int32_t& specFile,
                     int32_t& specRecord) {
  specFile = 0;
  specRecord = 0;
  ValueItem items[2];
  int32_t types[2] = {};
  int32_t count = 0;
  ParseValueList(line, 2, '<', items, types, count);
  if (count >= 1 && types[0] == kItemNumber) {
    specFile = TruncateTo16Bits(items[0].number);
  }
  if (count >= 2 && types[1] == kItemNumber) {
    specRecord = TruncateTo16Bits(items[1].number);
  }
  dbgprint(context.console, kConsoleProgress, "\tSpec file & record\t\t%d %d\n", specFile,
           specRecord);
}

int CompilePartsSource(CompileContext& context, const LineSource& source, PartsOutput& output,
                       std::string& outputPath) {
  context.diagnostics.BeginInput(source.path);
  Compile c(context, output, source.path);
  if (!source.Open(c.input)) {
    context.diagnostics.ReportFailure(DiagnosticId::kInputFileOpenError, LastSystemError());
    return kCompileInputOpen;
  }
  ClearTables(context.state);
  ClearMacros(context.macros);
  c.input.Fseek(0, kSeekStart);

  int result = RunPass1(c);
  if (result == kCompileOk) {
    result = OpenOutput(c, outputPath);
  }
  if (result == kCompileOk && c.sizeCount >= 1) {
    result = RunPass2(c);
  }
  return result == kCompileOk ? FinishOutput(c) : result;
}

}  // namespace partsc
