// The error log of a run, and the trimming of control and source lines.
#include "diagnostics/diagnostics.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "diagnostics/line_pieces.h"
#include "diagnostics/sinks.h"
#include "platform/ov_string_util.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

struct TrimCase {
  std::string line;
  std::string trimmed;
};

TEST(TrimLineEnd, RemovesTrailingTabsLineFeedsAndBlanksOnly) {
  const TrimCase cases[] = {
      {"", ""},
      {"a b \t\n\n", "a b"},
      {" \t\n ", ""},
      {"\tlead\t", "\tlead"},
      {"cr\r \t", "cr\r"},
      {"vt\v", "vt\v"},
      {"ff\f", "ff\f"},
      {std::string("nul\0 ", 5), std::string("nul\0", 4)},
  };
  for (const TrimCase& c : cases) {
    std::string line = c.line;
    TrimLineEnd(line);
    EXPECT_EQ(line, c.trimmed) << "line \"" << c.line << "\"";
  }
}

TEST(ErrorLogName, NameAfterLastSlashFollowedByLog) {
  const TrimCase cases[] = {
      {"/data/ctl/PARTS.CTL", "PARTS.CTL.LOG"},
      {"/data/a.b/noext", "noext.LOG"},
      {"/data/ctl/", ".LOG"},
      {"RUN.CTL", "RUN.CTL.LOG"},
      {"", ".LOG"},
  };
  for (const TrimCase& c : cases) {
    EXPECT_EQ(ErrorLogName(c.line), c.trimmed) << c.line;
  }
}

// Every mode of ReportDiagnostic in the order of a run: nothing is written
// before the log is opened or after it is closed, the console echoes what the
// log gets except the section lines, and a later open appends.
TEST(ReportDiagnostic, WritesLogAndConsoleOnlyWhileOpen) {
  TempDir dir;
  ScopedChdir chdir(dir.path());
  CaptureFd console(1);

  ReportDiagnostic(kDiagBare, kSeverityError, "before open", 0, {});
  ReportDiagnostic(kDiagOpenLog, kSeverityNone, "/elsewhere/T%s.CTL", 0, {});
  ReportDiagnostic(kDiagInputSection, kSeverityNone, "/in/p%d.src", 0, {});
  ReportDiagnostic(kDiagWithLine, kSeverityWarning, "Title string too long", 7, {});
  ReportDiagnostic(kDiagWithExtra, kSeverityError, "Not Parts Input File", 0, "/in/p%d.src");
  ReportDiagnostic(kDiagBare, kSeverityError, "Data Write Error", 3, "ignored");
  ReportDiagnostic(6, kSeverityError, "unknown mode", 1, {});
  ReportDiagnostic(-1, kSeverityError, "unknown mode", 1, {});
  ReportDiagnostic(kDiagCloseLog, kSeverityNone, MessageTable[kMsgBlank], 0, {});
  ReportDiagnostic(kDiagWithLine, kSeverityWarning, "after close", 1, {});
  ReportDiagnostic(kDiagOpenLog, kSeverityNone, "T%s.CTL", 0, {});
  ReportDiagnostic(kDiagBare, kSeverityWarning, "second run", 0, {});
  ReportDiagnostic(kDiagCloseLog, kSeverityNone, MessageTable[kMsgBlank], 0, {});

  EXPECT_EQ(ReadFile(dir.File("T%s.CTL.LOG")),
            "Input File [/in/p%d.src]\n"
            "\t*** W *** Title string too long[7]\n"
            "\t*** E *** Not Parts Input File[/in/p%d.src]\n"
            "\t*** E *** Data Write Error\n"
            "\t*** W *** second run\n");
  EXPECT_EQ(console.Text(),
            "\t*** W *** Title string too long[7]\n"
            "\t*** E *** Not Parts Input File[/in/p%d.src]\n"
            "\t*** E *** Data Write Error\n"
            "\t*** W *** second run\n");
}

// An error log that cannot be opened silences every later diagnostic.
TEST(ReportDiagnostic, UnopenableLogDropsEverything) {
  TempDir dir;
  ScopedChdir chdir(dir.path());
  CaptureFd console(1);
  // A directory of the log's name cannot be opened as a file.
  std::filesystem::create_directory(dir.File("D.CTL.LOG"));
  ReportDiagnostic(kDiagOpenLog, kSeverityNone, "/x/D.CTL", 0, {});
  ReportDiagnostic(kDiagBare, kSeverityError, "lost", 0, {});
  ReportDiagnostic(kDiagCloseLog, kSeverityNone, MessageTable[kMsgBlank], 0, {});
  EXPECT_EQ(console.Text(), "");
}

// The pieces of at most 79 characters go back to the lines of the file: the
// line, the column of each piece, and the length and pieces of each line.
TEST(LinePieces, FollowsPiecesBackToLines) {
  const std::string p79(79, 'x');
  struct Step {
    std::string piece;
    int line, column, length, pieces;
    bool ended;
  };
  const Step steps[] = {
      {"a\n", 1, 1, 1, 1, true},      {p79, 2, 1, 79, 1, false},  {p79, 2, 80, 158, 2, false},
      {"yz\n", 2, 159, 160, 3, true}, {p79, 3, 1, 79, 1, false},  {"\n", 3, 80, 79, 2, true},
      {"\n", 4, 1, 0, 1, true},       {"end", 5, 1, 3, 1, false},
  };
  LinePieces pieces;
  for (const Step& s : steps) {
    pieces.Take(s.piece);
    EXPECT_EQ(pieces.PhysicalLine(), s.line) << s.piece;
    EXPECT_EQ(pieces.StartColumn(), s.column) << s.piece;
    EXPECT_EQ(pieces.LineLength(), s.length) << s.piece;
    EXPECT_EQ(pieces.Pieces(), s.pieces) << s.piece;
    EXPECT_EQ(pieces.LineEnded(), s.ended) << s.piece;
  }
}

class Recorder : public DiagnosticSink {
 public:
  explicit Recorder(std::vector<std::string>& lines) : lines_(lines) {}
  void Emit(const DiagnosticRecord& record) override {
    lines_.push_back(GnuLine(record) + " | " + JsonLine(record));
  }

 private:
  std::vector<std::string>& lines_;
};

// Every report also gives a record: the input file below the current
// directory, the line of the file for the line the log counts, the column
// of the field, the stable name, the log's own number and extra text, and
// the reason of a failure; the log and console lines stay as they were.
TEST(ReportDiagnostic, RecordsCarryFileLineColumnAndName) {
  TempDir dir;
  ScopedChdir chdir(dir.path());
  CaptureFd console(1);
  std::vector<std::string> lines;
  AddDiagnosticSink(std::make_unique<Recorder>(lines));
  ReportDiagnostic(kDiagOpenLog, kSeverityNone, dir.File("R.CTL"), 0, {});
  ReportDiagnostic(kDiagInputSection, kSeverityNone, dir.File("p.src"), 0, {});
  SetReportLine({4, 3, 80, "$$TITLE \"long\""});
  ReportLine(kSeverityWarning, kMsgTitleTooLong, 4);
  ReportBare(kSeverityWarning, kMsgUnknownSizeKeyword);
  ReportDiagnostic(kDiagWithExtra, kSeverityError, "Not Parts Input File", 0, "/x \"y\"");
  ReportLine(kSeverityWarning, kMsgEndNotFound, 9);
  ClearReportLine();
  ReportFailure(kMsgInputFileOpenError, "No such file or directory");
  ReportDiagnostic(kDiagCloseLog, kSeverityNone, MessageTable[kMsgBlank], 0, {});
  FinishDiagnostics();

  const std::string tail = "\"reason\": null}";
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                "p.src:3:88: warning: Title string too long [partsc-title-too-long] | "
                "{\"file\": \"p.src\", \"line\": 3, \"column\": 88, \"severity\": "
                "\"warning\", \"name\": \"partsc-title-too-long\", \"message\": \"Title "
                "string too long\", \"log_line\": 4, \"extra\": null, " +
                    tail,
                "p.src:3: warning: Unknown Size Keyword (Skip) [partsc-unknown-size-keyword] | "
                "{\"file\": \"p.src\", \"line\": 3, \"column\": null, \"severity\": "
                "\"warning\", \"name\": \"partsc-unknown-size-keyword\", \"message\": "
                "\"Unknown Size Keyword (Skip)\", \"log_line\": null, \"extra\": null, " +
                    tail,
                "p.src:3: error: Not Parts Input File [partsc-not-parts-input] | {\"file\": "
                "\"p.src\", \"line\": 3, \"column\": null, \"severity\": \"error\", "
                "\"name\": \"partsc-not-parts-input\", \"message\": \"Not Parts Input "
                "File\", \"log_line\": null, \"extra\": \"/x \\\"y\\\"\", " +
                    tail,
                "p.src: warning: Keyword $$END not found [partsc-end-not-found] | {\"file\": "
                "\"p.src\", \"line\": null, \"column\": null, \"severity\": \"warning\", "
                "\"name\": \"partsc-end-not-found\", \"message\": \"Keyword $$END not "
                "found\", \"log_line\": 9, \"extra\": null, " +
                    tail,
                "p.src: error: Input File Open Error: No such file or directory "
                "[partsc-input-open-error] | {\"file\": \"p.src\", \"line\": null, "
                "\"column\": null, \"severity\": \"error\", \"name\": "
                "\"partsc-input-open-error\", \"message\": \"Input File Open Error\", "
                "\"log_line\": null, \"extra\": null, \"reason\": \"No such file or "
                "directory\"}",
            }));
  EXPECT_EQ(console.Text(),
            "\t*** W *** Title string too long[4]\n\t*** W *** Unknown Size Keyword (Skip)\n"
            "\t*** E *** Not Parts Input File[/x \"y\"]\n\t*** W *** Keyword $$END not found[9]\n"
            "\t*** E *** Input File Open Error\n");
  ResetDiagnostics();
}

// The compile skips the line position and the warnings' checks while these
// answer false, so each setting they depend on must turn them on and off.
TEST(ReportDiagnostic, WantedQueriesFollowEverySetting) {
  struct Step {
    void (*change)();
    bool lineWanted;
    bool warningsWanted;
  };
  static std::vector<std::string> lines;
  const Step steps[] = {
      {[] { ResetDiagnostics(); }, false, false},
      {[] { ApplyWarningOption("all"); }, true, true},
      {[] { ApplyWarningOption("no-all"); }, false, false},
      {[] { EnableWarning(Warning::kTextCut, true); }, true, true},
      {[] { EnableWarning(Warning::kTextCut, false); }, false, false},
      {[] { AddDiagnosticSink(std::make_unique<Recorder>(lines)); }, true, false},
      {[] { FinishDiagnostics(); }, false, false},
      {[] { SetDiagnosticsFormat(DiagnosticsFormat::kJson); }, true, false},
      {[] { FinishDiagnostics(); }, true, false},
      {[] { ResetDiagnostics(); }, false, false},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    steps[i].change();
    EXPECT_EQ(ReportLineWanted(), steps[i].lineWanted) << "step " << i;
    EXPECT_EQ(WarningsWanted(), steps[i].warningsWanted) << "step " << i;
  }
}

// Every diagnostic that is reported can be explained, under a name of its
// own; every warning is found by its name without "partsc-".
TEST(Catalogue, ReportedEntriesHaveUniqueNamesAndExplanations) {
  std::set<std::string_view> names;
  for (const CatalogueEntry& entry : Catalogue()) {
    EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
    EXPECT_EQ(FindCatalogueEntry(entry.name), &entry);
    const bool explained = !entry.meaning.empty() && !entry.example.empty() && !entry.fix.empty();
    EXPECT_EQ(explained, entry.reported) << entry.name;
  }
  for (int i = 0; i < kWarningCount; ++i) {
    Warning warning = Warning::kUnknownKeyword;
    EXPECT_TRUE(
        FindWarning(CatalogueOf(WarningId(static_cast<Warning>(i))).name.substr(7), warning));
    EXPECT_EQ(static_cast<int>(warning), i);
  }
}

}  // namespace
}  // namespace partsc::testing
