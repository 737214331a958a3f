// The error log of a run, and the trimming of control and source lines.
#include "diagnostics/diagnostics.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

}  // namespace
}  // namespace partsc::testing
