#include "compiler/compile_passes.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "compiler/member_line.h"
#include "compiler/member_table.h"
#include "compiler/parts_line.h"
#include "compiler/size_line.h"
#include "compiler/source_lint.h"
#include "compiler/source_pieces.h"
#include "compiler/source_reading.h"
#include "compiler/tokenizer.h"
#include "compiler/view_list.h"
#include "diagnostics/diagnostics.h"
#include "partsfile/parts_encoder.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_layout.h"
#include "platform/ov_console.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_signals.h"
#include "platform/ov_string_util.h"
#include "platform/ov_util.h"

namespace partsc {

namespace {

// Everything one call of CompilePartsSource knows; created afresh per call.
struct Compile {
  CompileContext& context;
  PartsOutput& output;
  const std::string& inputPath;
  CompileOutcome& outcome;
  PartsModel& model = outcome.model;
  std::string& outputPath = outcome.outputPath;  // the parts file's full path, once it is open
  std::string_view text;                         // the whole source
  PieceReader reader{{}};
  std::string_view line;  // the line just read, its end trimmed
  int lineNumber = 0;
  bool partsSeen = false;
  bool specSeen = false;
  bool commonSeen = false;
  BlockRules blocks;
  int16_t sortMode = 0;
  PartsLine parts;
  int16_t specFile = 0;
  int16_t specRecord = 0;
  ApgSlots apgNames;
  ApgSlots apgComments;
  std::string commonName;
  LinePosition commonAt;  // the $$COMMON line that named the common size
  int commonQuote = -1;   // and the place of its name on that line
  std::string titleText;
  std::string_view sizeName;  // pass 2: the size of the block being read
  SizeTable sizes{model.sizes};
  MemberTable members{output.keepMemberLists};  // the block being read
  // Whether anything asks where a line lies; taken once so that the pieces
  // are followed from the first line to the last or not at all.
  const bool linesTracked = context.diagnostics.ReportLineWanted();
  bool firstPass = true;
  bool interrupted = false;           // a signal ended the reading
  const OvFileBytes* file = nullptr;  // the source's bytes, when read from its file
  bool cut = false;                   // the file was cut short while it was read
  // Reading on: the code of the line that ended the compile, or CompileStatus::kOk.
  CompileStatus stopped = CompileStatus::kOk;
  bool carriageReturnSeen = false;
  std::optional<PartsEncoder> encoder;  // once the parts file is open

  Compile(CompileContext& compileContext, PartsOutput& partsOutput, const std::string& path,
          CompileOutcome& result)
      : context(compileContext), output(partsOutput), inputPath(path), outcome(result) {}
  ~Compile() { context.diagnostics.ClearReportLine(); }
  Compile(const Compile&) = delete;
  Compile& operator=(const Compile&) = delete;

  int SizeCount() const { return static_cast<int>(model.sizes.size()); }

  // False at the end of the source, and when a signal ends the run.
  bool NextLine() {
    if (OvSignals::Caught() != 0) {
      interrupted = true;
      return false;
    }
    if (!reader.Next(line, linesTracked)) {
      return false;
    }
    if (file != nullptr && file->Cut()) {
      cut = true;
      return false;
    }
    ++lineNumber;
    if (!linesTracked) {
      return true;
    }
    const LinePieces& pieces = reader.Lines();
    context.diagnostics.SetReportLine(
        {lineNumber, pieces.PhysicalLine(), pieces.StartColumn(), line});
    if (firstPass && context.diagnostics.WarningsWanted()) {
      carriageReturnSeen = LintLineEnd(context.diagnostics, pieces, line, carriageReturnSeen);
    }
    return true;
  }

  // Back to the first line, for the second pass.
  void Rewind() {
    reader = PieceReader(text);
    lineNumber = 0;
    blocks = BlockRules();
    firstPass = false;
  }
};

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
CompileStatus Pass1Parts(Compile& c) {
  if (c.partsSeen) {
    c.context.diagnostics.ReportDiagnostic(DiagnosticId::kPartsNameAlreadyDefined, c.lineNumber);
    return CompileStatus::kOk;
  }
  c.partsSeen = true;
  std::optional<PartsLine> parts = CompilePartsLine(c.context, c.line, c.lineNumber);
  if (!parts) {
    return CompileStatus::kPartsLineRefused;
  }
  c.parts = std::move(*parts);
  const std::string& name = c.parts.name;
  dbgprint(c.context.console, kConsoleProgress, "\tParts name\t\t%s\n", name.c_str());
  if (!IsPortableName(name)) {
    c.context.diagnostics.ReportWarning(Warning::kPartsName,
                                        "Parts name \"" + name + "\" is not a plain file name",
                                        static_cast<int>(c.line.find('!')));
  }
  return CompileStatus::kOk;
}

void Pass1Spec(Compile& c) {
  if (c.specSeen) {
    c.context.diagnostics.ReportDiagnostic(DiagnosticId::kPartsSpecAlreadyDefined, c.lineNumber);
    return;
  }
  c.specSeen = true;
  std::tie(c.specFile, c.specRecord) = CompileSpecLine(c.context, c.line);
}

void Pass1Apg(Compile& c) {
  if (!c.blocks.Compiled()) {
    c.context.diagnostics.ReportDiagnostic(DiagnosticId::kApgListAlreadyDefined, c.lineNumber);
    return;
  }
  c.context.viewDefined.fill(0);
  dbgprint(c.context.console, kConsoleProgress, "\tApg define start\n");
}

void Pass1Common(Compile& c) {
  if (!c.blocks.Compiled()) {
    c.context.diagnostics.ReportDiagnostic(DiagnosticId::kCommonAlreadyDefined, c.lineNumber);
    return;
  }
  c.commonSeen = true;
  c.commonName =
      TakeField(c.context, c.line, c.lineNumber,
                {'"', kSizeTextSize, DiagnosticId::kCommonNameTooLong, "Common size name"});
  if (!c.commonName.empty() && c.linesTracked) {
    const LinePieces& pieces = c.reader.Lines();
    c.commonAt = {c.lineNumber, pieces.PhysicalLine(), pieces.StartColumn(), {}};
    c.commonQuote = static_cast<int>(c.line.find('"'));
  }
}

// A member line of the block being read: its entry goes to the member table.
CompileStatus MemberLine(Compile& c) {
  // The most frequent line: the lint is not even called while no warning is on.
  if (c.context.diagnostics.WarningsWanted()) {
    LintFields(c.context.diagnostics, c.line);
  }
  return CompileMemberLine(c.context, c.line, c.lineNumber, c.members) != CompileStatus::kOk
             ? CompileStatus::kMemberLineRefused
             : CompileStatus::kOk;
}

// A line of a common or size block: a member, a comment, or a line
// reported as `unknown` (on line `reportLine`).
CompileStatus BlockLine(Compile& c, BlockKind block, DiagnosticId unknown, int reportLine) {
  const LineKind kind = BlockLineKind(block, c.line);
  if (kind == LineKind::kSpecMember || kind == LineKind::kParamMember) {
    return MemberLine(c);
  }
  if (kind == LineKind::kSkipped) {
    c.context.diagnostics.ReportDiagnostic(unknown, reportLine);
  }
  return CompileStatus::kOk;
}

// $$SIZE: added to the sizes; a full table is only warned about.
CompileStatus Pass1Size(Compile& c) {
  const CompileStatus result = CompileSizeLine(c.context, c.line, c.lineNumber, c.sizes);
  if (result != CompileStatus::kTableFull) {
    return result;
  }
  const std::string name(ExtractField(c.line, '"', kSizeTextSize).text);
  c.context.diagnostics.ReportWarning(
      Warning::kSizeDropped, "Size \"" + name + "\" dropped: a parts file holds at most 2048 sizes",
      static_cast<int>(c.line.find('"')));
  return CompileStatus::kOk;
}

// Pass 1: one line. Answers 0 to go on, or the compile's failure code.
// The checks run in this order on every line.
CompileStatus Pass1Line(Compile& c) {
  const std::string_view line = c.line;
  const bool keywordLine = IsKeywordLine(line);
  // A member line of a size block is read in pass 2 only.
  if (c.blocks.Compiled() == BlockKind::kSize && !keywordLine && FirstChar(line) != 't') {
    return CompileStatus::kOk;
  }
  const Keyword lineKeyword = keywordLine ? KeywordOf(line) : Keyword::kNone;
  const auto keyword = [lineKeyword](Keyword name) { return lineKeyword == name; };
  if (keywordLine) {
    if (c.context.diagnostics.WarningsWanted()) {
      LintKeywordLine(c.context.diagnostics, line, c.partsSeen);
    }
    if (!c.partsSeen && lineKeyword != Keyword::kParts) {
      c.context.diagnostics.ReportDiagnostic(DiagnosticId::kNotPartsInputFile, 0, c.inputPath);
      return CompileStatus::kNotParts;
    }
    c.blocks.TakeKeyword(lineKeyword);
    LintFields(c.context.diagnostics, line);
  }
  if (keyword(Keyword::kParts) && Pass1Parts(c) != CompileStatus::kOk) {
    return CompileStatus::kPartsLineRefused;
  }
  if (FirstChar(line) == 't') {
    LintFields(c.context.diagnostics, line);
    if (CompileMacroLine(c.context, line, c.lineNumber) != CompileStatus::kOk) {
      return CompileStatus::kOutOfMemory;
    }
  }
  if (keyword(Keyword::kSpec)) {
    Pass1Spec(c);
  }
  if (keyword(Keyword::kApg)) {
    Pass1Apg(c);
  }
  // The compiled block a line that is no keyword line belongs to.
  const std::optional<BlockKind> block = keywordLine ? std::nullopt : c.blocks.Compiled();
  if (block == BlockKind::kApg && BlockLineKind(BlockKind::kApg, line) != LineKind::kComment) {
    if (FirstChar(line) == '$') {
      LintFields(c.context.diagnostics, line);
    }
    CompileViewLine(c.context, line, c.lineNumber, c.apgNames, c.apgComments);
  }
  if (keyword(Keyword::kCommon)) {
    Pass1Common(c);
  }
  if (block == BlockKind::kCommon &&
      BlockLine(c, BlockKind::kCommon, DiagnosticId::kUnknownCommonKeyword, c.lineNumber) !=
          CompileStatus::kOk) {
    return CompileStatus::kMemberLineRefused;
  }
  if (!keywordLine && !block) {
    LintMemberOutsideBlock(c.context.diagnostics, line);
  }
  if (keyword(Keyword::kTitle)) {
    c.titleText = TakeField(c.context, line, c.lineNumber,
                            {'"', kHeaderTextSize, DiagnosticId::kTitleTooLong, "Title"});
  }
  const auto sort = std::find(kSortKeywords.begin(), kSortKeywords.end(), lineKeyword);
  if (sort != kSortKeywords.end()) {
    c.sortMode = static_cast<int16_t>(sort - kSortKeywords.begin());
  }
  return keyword(Keyword::kSize) ? Pass1Size(c) : CompileStatus::kOk;
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
    const std::string line(c.line);
    const std::string shown = line.size() > kShown ? line.substr(0, kShown) + "..." : line;
    c.context.diagnostics.ReportWarning(Warning::kAfterEnd, shown + " after $$END is not read", 0);
    return;
  }
}

// What only the whole of pass 1 shows: a source without a $$PARTS line, a
// common size name that a parts file with sizes drops, lines after $$END.
void LintPass1(Compile& c, bool atEnd) {
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
  if (c.SizeCount() > 0 && !c.commonName.empty()) {
    diagnostics.SetReportLine(c.commonAt);
    diagnostics.ReportWarning(Warning::kCommonNameDropped,
                              "Common size name \"" + c.commonName +
                                  "\" dropped: a parts file with sizes keeps only its title",
                              c.commonQuote);
  }
  if (atEnd && diagnostics.WarningEnabled(Warning::kAfterEnd)) {
    LintAfterEnd(c);
  }
}

// Reports the signal that ended the compile, with the place in the source,
// or with what it waited for (`waiting`).
CompileStatus Interrupted(const Compile& c, const std::string& waiting = {}) {
  std::string where = "while compiling " + c.inputPath;
  if (!waiting.empty()) {
    where += ", " + waiting;
  } else {
    where += c.firstPass ? ", pass 1" : ", pass 2";
    where += c.lineNumber > 0 ? ", after line " + std::to_string(c.lineNumber) : ", at its start";
  }
  c.context.diagnostics.ReportInterruption(OvSignals::Name(OvSignals::Caught()), where);
  return CompileStatus::kInterrupted;
}

// The errors of one line that a compile reading on goes on after: the line
// of the parts name, a member line, a size line.
bool ReadsOnAfter(CompileStatus status) {
  return status == CompileStatus::kPartsLineRefused ||
         status == CompileStatus::kMemberLineRefused || status == CompileStatus::kSizeLineRefused ||
         status == CompileStatus::kSizeNameTwice;
}

// An error that ends the compile: its code; or, for a compile that reads on
// after it, CompileStatus::kOk once the first is noted. From then on the lines are
// only read for their diagnostics: nothing is written, nothing is printed
// but them.
CompileStatus Stop(Compile& c, CompileStatus code) {
  if (code == CompileStatus::kOk || !c.context.readOn || !ReadsOnAfter(code)) {
    return code;
  }
  if (c.stopped == CompileStatus::kOk) {
    c.stopped = code;
    c.context.diagnostics.BeginAfterStop();
    c.context.console.SetQuiet(true);
  }
  return CompileStatus::kOk;
}

// How a reading of the lines ended: kOk, or the code of the line, the cut or
// the signal that ended it; and whether it ended at the $$END line.
struct LinesRead {
  CompileStatus status = CompileStatus::kOk;
  bool atEnd = false;
};

// Reads lines up to $$END, each by `takeLine`.
template <class TakeLine>
LinesRead ReadLines(Compile& c, TakeLine takeLine) {
  while (c.NextLine()) {
    const CompileStatus result = Stop(c, takeLine());
    if (result != CompileStatus::kOk) {
      return {result};
    }
    if (IsKeywordLine(c.line) && c.line.starts_with(KeywordText(Keyword::kEnd))) {
      return {CompileStatus::kOk, true};
    }
  }
  // The source file became shorter while it was read: what was read past its
  // new end is not the source, and the compile fails as if it could not be
  // read.
  if (c.cut) {
    c.context.diagnostics.ReportFailure(DiagnosticId::kInputFileOpenError,
                                        "the file was cut short while it was read");
    return {CompileStatus::kInputUnreadable};
  }
  return {c.interrupted ? Interrupted(c) : CompileStatus::kOk};
}

CompileStatus RunPass1(Compile& c) {
  const LinesRead read = ReadLines(c, [&c] { return Pass1Line(c); });
  if (read.status == CompileStatus::kOk) {
    LintPass1(c, read.atEnd);
  }
  return read.status;
}

// Reports a failed write of the parts file: the message of the part written,
// and with it the file and the system's reason (only where the message itself
// goes somewhere: not while no error log is open). The structured formats
// carry both in the message's record; the classic one adds a line on
// standard error.
CompileStatus WriteFailed(const Compile& c, DiagnosticId message, const std::string& reason) {
  Diagnostics& diagnostics = c.context.diagnostics;
  if (!diagnostics.ErrorLogIsOpen()) {
    return CompileStatus::kWriteFailed;
  }
  diagnostics.SetReportOutput(c.outputPath);
  diagnostics.ReportFailure(message, reason);
  diagnostics.SetReportFile(c.inputPath);
  if (diagnostics.Format() == DiagnosticsFormat::kClassic) {
    ComplainNotWritten(c.context.console, c.outputPath, reason);
  }
  return CompileStatus::kWriteFailed;
}

// Ties the member list written at `offset` to the counted size of that name,
// as the model keeps it: a list the size had before (a later block of the
// same name, past the 2048th size, ties it again) and a list of no counted
// size stay as lists no record points to.
void TieList(Compile& c, std::string_view name, uint32_t offset) {
  const std::optional<size_t> slot = c.sizes.Find(name);
  const bool keep = c.output.keepMemberLists;
  if (!slot) {
    if (keep) {
      c.model.unlisted.push_back({offset, c.members.List()});
    }
    return;
  }
  PartsSize& size = c.model.sizes[*slot];
  if (keep && size.record.memberOffset != 0) {
    const UnlistedList earlier{size.record.memberOffset, std::move(size.members)};
    const auto at = std::find_if(c.model.unlisted.begin(), c.model.unlisted.end(),
                                 [&](const UnlistedList& u) { return u.offset > earlier.offset; });
    c.model.unlisted.insert(at, earlier);
  }
  size.record.memberOffset = offset;
  if (keep) {
    size.members = c.members.List();
  }
}

// Writes the member list of the size block just ended and empties the table.
CompileStatus EndSizeBlock(Compile& c) {
  if (c.stopped != CompileStatus::kOk) {
    c.members.Clear();
    return CompileStatus::kOk;
  }
  const ListWritten list = c.encoder->WriteMemberListBytes(c.members.ListBytes());
  if (!list.Ok()) {
    return WriteFailed(c, DiagnosticId::kDataWriteError, list.reason);
  }
  TieList(c, c.sizeName, list.offset);
  c.members.Clear();
  return CompileStatus::kOk;
}

// Pass 2: one line. Answers 0 to go on, or the compile's failure code.
CompileStatus Pass2Line(Compile& c) {
  const std::string_view line = c.line;
  const bool inSize = c.blocks.Compiled() == BlockKind::kSize;
  // An unknown line of a size block is reported without its line number.
  if (!IsKeywordLine(line)) {
    return inSize && BlockLine(c, BlockKind::kSize, DiagnosticId::kUnknownSizeKeyword, 0) !=
                         CompileStatus::kOk
               ? CompileStatus::kMemberLineRefused
               : CompileStatus::kOk;
  }
  if (inSize && EndSizeBlock(c) != CompileStatus::kOk) {
    return CompileStatus::kWriteFailed;
  }
  const Keyword keyword = KeywordOf(line);
  c.blocks.TakeKeyword(keyword);
  if (keyword == Keyword::kSize) {
    c.sizeName = ExtractField(line, '"', kSizeTextSize).text;
  }
  return CompileStatus::kOk;
}

CompileStatus RunPass2(Compile& c) {
  c.Rewind();
  c.members.Clear();
  // The size blocks see the header's spec record.
  c.members.specRecord = c.model.header.specRecord;
  const CompileStatus result = ReadLines(c, [&c] { return Pass2Line(c); }).status;
  if (result != CompileStatus::kOk || c.blocks.Compiled() != BlockKind::kSize) {
    return result;
  }
  c.context.diagnostics.ReportDiagnostic(DiagnosticId::kEndNotFound, c.lineNumber);
  return EndSizeBlock(c);
}

// The header and the views, from what pass 1 read, as the parts file holds
// them.
void FillHeader(Compile& c) {
  PartsModel& model = c.model;
  for (size_t i = 0; i < c.apgNames.size(); ++i) {
    model.apgNames[i].AssignCut(c.apgNames[i]);
    model.apgComments[i].AssignCut(c.apgComments[i]);
  }
  PartsHeader& header = model.header;
  header.apgCommentCount = TextsGiven(model.apgComments);
  int16_t date[3] = {};
  int16_t time[4] = {};
  OvUtil::GetLocalTime(date, time);
  header.createdDay = date[0];
  header.createdMonth = date[1];
  header.createdYear = date[2];
  header.createdHour = time[0];
  header.createdMinute = time[1];
  header.version = kPartsVersion;
  header.comment.AssignCut(c.parts.comment);
  header.specFile = c.specFile;
  header.specRecord = c.specRecord;
  header.partsValue1 = c.parts.value1;
  header.partsValue2 = c.parts.value2;
  header.sizeCount = static_cast<int16_t>(c.SizeCount());
  // A parts file without sizes carries its common size name as its title.
  header.title.AssignCut(c.SizeCount() != 0 ? c.titleText : c.commonName);
  header.sortMode = c.sortMode;
  if (c.commonSeen) {
    header.commonOffset = MemberListsOffset(header);
  }
}

// Between the passes: the parts file, at `outputPath` named by the parts
// name, is opened in the sink.
CompileStatus OpenOutput(Compile& c, const std::string& outputPath) {
  dbgprint(c.context.console, kConsoleProgress, "\tCount of size\t\t%d\n", c.SizeCount());
  // A parts name comes from the source: one that is not a plain file name
  // (empty, ".", "..", or holding "/") must never reach the file system.
  const bool plain = OvFile::IsPlainName(c.parts.name);
  if (OvSignals::Caught() != 0) {
    return Interrupted(c);
  }
  const SinkResult opened =
      plain ? c.output.sink.Open(outputPath)
            : SinkResult::Failed(SinkStatus::kOpenFailed, "not a plain file name");
  // The wait for another run's lock ends when a signal comes.
  if (!opened.Ok() && OvSignals::Caught() != 0) {
    return Interrupted(c, "waiting for the lock of " + outputPath);
  }
  if (!opened.Ok()) {
    const std::string message = "File " + outputPath + " open error";
    c.context.diagnostics.ReportRunFailure(DiagnosticId::kPartsFileOpen, message + "\n", message,
                                           opened.reason);
    return CompileStatus::kOutputUnopened;
  }
  return CompileStatus::kOk;
}

// Once the parts file is open: its header, view list and common member list
// are written.
CompileStatus WriteHead(Compile& c) {
  // Nothing is said of a parts file that stays in memory.
  if (c.output.sink.WritesFile()) {
    dbgprint(c.context.console, kConsoleProgress, "  Out put file name\t\t%s\n",
             c.outputPath.c_str());
  }
  FillHeader(c);

  PartsModel& model = c.model;
  PartsEncoder& encoder = c.encoder.emplace(c.output.sink);
  if (SinkResult written = encoder.WriteHeader(model.header); !written.Ok()) {
    return WriteFailed(c, DiagnosticId::kHeaderWriteError, written.reason);
  }
  if (SinkResult written = encoder.WriteApgList(model.header, model.apgNames, model.apgComments);
      !written.Ok()) {
    return WriteFailed(c, DiagnosticId::kApgListWriteError, written.reason);
  }
  if (!c.commonSeen && c.SizeCount() < 1) {
    return CompileStatus::kOk;
  }
  encoder.BeginMemberLists(model.header);
  if (c.commonSeen) {
    if (ListWritten list = c.encoder->WriteMemberListBytes(c.members.ListBytes()); !list.Ok()) {
      return WriteFailed(c, DiagnosticId::kDataWriteError, list.reason);
    }
    model.common = c.members.List();
    c.members.Clear();
  }
  return CompileStatus::kOk;
}

// After pass 2: the size records, sorted by the sort mode now that each
// size's member list has its place, and the end of the file.
CompileStatus FinishOutput(Compile& c) {
  std::vector<PartsSize>& sizes = c.model.sizes;
  const int sortMode = c.model.header.sortMode;
  // Size names are unique within a file, so this gives the same order as a
  // selection sort that keeps the earliest of equal records.
  if (sortMode < kSortAsWritten) {
    std::stable_sort(sizes.begin(), sizes.end(), [sortMode](const auto& a, const auto& b) {
      return CompareSizeNames(sortMode, a.record.name.View(), b.record.name.View()) < 0;
    });
  }
  if (SinkResult written = c.encoder->WriteSizeList(c.model.header, sizes); !written.Ok()) {
    return WriteFailed(c, DiagnosticId::kSizeListWriteError, written.reason);
  }
  c.output.sink.Close();
  return CompileStatus::kOk;
}

// The source's text: the one given, or the file read whole into the
// context's room. False, reported, when the file cannot be read.
bool ReadSource(Compile& c, const LineSource& source) {
  CompileContext& context = c.context;
  if (source.text) {
    c.text = *source.text;
    return true;
  }
  const OvTextResult read = OvFileIO::ReadText(source.path, kSourceMax, context.sourceBytes);
  if (read.Ok()) {
    c.text = context.sourceBytes.View();
    c.file = &context.sourceBytes;
    return true;
  }
  std::string reason = read.reason;
  if (read.status == OvTextRead::kTooLarge) {
    reason = "larger than the " + std::to_string(kSourceMax >> 20) + " MiB a source may hold";
  }
  context.diagnostics.ReportFailure(DiagnosticId::kInputFileOpenError, reason);
  return false;
}

}  // namespace

int ResultCode(CompileStatus status) {
  // In the order of CompileStatus.
  constexpr std::array<int, 12> kCodes = {0, 10, 22, 501, 40, -1, 20, 200, 109, -1, 122, 128};
  static_assert(static_cast<size_t>(CompileStatus::kInterrupted) + 1 == kCodes.size());
  return kCodes[static_cast<size_t>(status)];
}

std::pair<int16_t, int16_t> CompileSpecLine(CompileContext& context, std::string_view line) {
  const std::pair<int16_t, int16_t> spec = AngleNumbers(line);
  dbgprint(context.console, kConsoleProgress, "\tSpec file & record\t\t%d %d\n", spec.first,
           spec.second);
  return spec;
}

CompileOutcome CompilePartsSource(CompileContext& context, const LineSource& source,
                                  PartsOutput& output) {
  CompileOutcome outcome;
  context.diagnostics.BeginInput(source.path);
  Compile c(context, output, source.path, outcome);
  if (!ReadSource(c, source)) {
    outcome.status = CompileStatus::kInputUnreadable;
    return outcome;
  }
  c.reader = PieceReader(c.text);
  context.macros.Clear();

  const bool quiet = context.console.Quiet();
  CompileStatus result = RunPass1(c);
  if (result == CompileStatus::kOk && c.stopped == CompileStatus::kOk) {
    std::string path = output.classes.ToFullPath(kClassParts, c.parts.name);
    result = OpenOutput(c, path);
    if (result == CompileStatus::kOk) {
      c.outputPath = std::move(path);
      result = WriteHead(c);
    }
  }
  if (result == CompileStatus::kOk && c.SizeCount() >= 1) {
    result = RunPass2(c);
  }
  context.console.SetQuiet(quiet);
  if (c.stopped != CompileStatus::kOk) {
    outcome.status = c.stopped;
    return outcome;
  }
  outcome.status = result == CompileStatus::kOk ? FinishOutput(c) : result;
  return outcome;
}

}  // namespace partsc
