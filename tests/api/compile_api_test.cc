// The library's compile: in memory, with every diagnostic as a record, the
// same bytes and error-log lines as a run of partsc, and nothing written.
#include <partsc/partsc.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

constexpr const char* kSource =
    "$$PARTS !bolt! <1,2> \"Hex bolts\"\n"
    "$$APG\n"
    "$TOP !T!\n"
    "$TOP !U!\n"
    "$$SIZES \"M4\" !small!\n"
    "p !D! ({PITCH)\n"
    "M4 thin\n";

std::string Summary(const Diagnostic& d) {
  return d.name + " " + std::string(SeverityName(d.severity)) + " " +
         std::string(ConsequenceName(d.consequence)) + " " + d.file + ":" + std::to_string(d.line) +
         ":" + std::to_string(d.column) + " " + d.message;
}

TEST(CompileText, GivesTheBytesAndLogOfARunAndEveryDiagnosticAsARecord) {
  TempDir dir;
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  WriteFile(dir.File("bolt.src"), kSource);
  WriteFile(dir.File("RUN.CTL"), "bolt.src\n");
  ASSERT_EQ(RunPartsc(dir.path(), {"-q", "-c", "RUN.CTL"}).exitCode, 0);

  CompileOptions options;
  options.warnings = {"all"};
  const CompileResult result = CompileText(kSource, dir.File("bolt.src"), options);
  EXPECT_TRUE(result.Compiled());
  EXPECT_EQ(result.partsPath, dir.File("bolt.prt"));
  EXPECT_EQ(result.bytes, ReadFile(dir.File("bolt.prt")));
  const std::string log = ReadFile(dir.File("RUN.CTL.LOG"));
  EXPECT_EQ(result.errorLog, log);
  std::vector<std::string> summaries;
  for (const Diagnostic& d : result.diagnostics) {
    summaries.push_back(Summary(d));
  }
  const std::string file = dir.File("bolt.src");
  EXPECT_EQ(summaries,
            (std::vector<std::string>{
                "partsc-view-already-defined warning goes-on " + file + ":4:0 $TOP already defined",
                "partsc-keyword-prefix warning goes-on " + file + ":5:1 $$SIZES is read as $$SIZE",
                "partsc-undefined-macro warning goes-on " + file +
                    ":6:8 Macro PITCH is not defined: {PITCH} becomes {",
                "partsc-unknown-size-keyword warning goes-on " + file +
                    ":7:0 Unknown Size Keyword (Skip)",
                "partsc-end-not-found warning goes-on " + file + ":7:0 Keyword $$END not found",
            }));
}

// Reading on, the compile ends with the code of the line that stopped it and
// builds nothing, and only what it found after that line is marked.
TEST(CompileText, ReadsOnAfterTheLineThatEndsTheCompileWhenAsked) {
  constexpr const char* kRefused =
      "$$PARTS !a!\n$$APG\n$TOP !T!\n$$SIZE \"A\"\np !LENGTH8! (1)\np !D! ({NOPE})\n$$END\n";
  CompileOptions options;
  options.warnings = {"all"};
  const CompileResult stopped = CompileText(kRefused, "a.src", options);
  options.keepGoing = true;
  const CompileResult readOn = CompileText(kRefused, "a.src", options);
  EXPECT_EQ(stopped.status, CompileEnd::kMemberLineRefused);
  EXPECT_EQ(readOn.status, CompileEnd::kMemberLineRefused);
  EXPECT_EQ(readOn.reason, "Illegal param defination: param name of 7 characters, at most 6");
  EXPECT_EQ(readOn.bytes, "");
  EXPECT_EQ(readOn.errorLog, stopped.errorLog);
  ASSERT_EQ(stopped.diagnostics.size(), 1u);
  ASSERT_EQ(readOn.diagnostics.size(), 2u);
  EXPECT_EQ(readOn.diagnostics[0].reason, "param name of 7 characters, at most 6");
  EXPECT_EQ(readOn.diagnostics[0].column, 3);
  EXPECT_FALSE(readOn.diagnostics[0].afterStop);
  EXPECT_EQ(readOn.diagnostics[1].name, "partsc-undefined-macro");
  EXPECT_TRUE(readOn.diagnostics[1].afterStop);
}

TEST(CompileText, WritesNothingAndStopsAsTheCompileDoes) {
  TempDir dir;
  CompileOptions options;
  options.partsDirectory = dir.path();
  const CompileResult stopped = CompileText("$$SIZE \"A\"\n$$PARTS !a!\n", "a.src", options);
  EXPECT_EQ(stopped.status, CompileEnd::kNotPartsSource);
  EXPECT_EQ(stopped.partsPath, "");
  EXPECT_EQ(stopped.bytes, "");
  ASSERT_EQ(stopped.diagnostics.size(), 1u);
  EXPECT_EQ(stopped.diagnostics[0].consequence, Consequence::kSourceStops);
  EXPECT_EQ(stopped.errorLog, "Input File [a.src]\n\t*** E *** Not Parts Input File[a.src]\n");

  const CompileResult missing = CompileFile(dir.File("none.src"), options);
  EXPECT_EQ(missing.status, CompileEnd::kSourceUnreadable);
  ASSERT_EQ(missing.diagnostics.size(), 1u);
  EXPECT_EQ(missing.diagnostics[0].reason, "No such file or directory");

  EXPECT_EQ(CompileText("$$PARTS !a!\n$$END\n", "a.src", options).partsPath, dir.File("a.prt"));
  // Without a parts directory, the parts file's name is taken beside the
  // source, as a full path.
  options.partsDirectory.clear();
  EXPECT_EQ(CompileText("$$PARTS !a!\n$$END\n", "d/a.src", options).partsPath,
            std::filesystem::current_path().string() + "/d/a.prt");
  EXPECT_EQ(CompileText("$$PARTS !a!\n$$END\n", "/a.src", options).partsPath, "/a.prt");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  EXPECT_EQ(CompileText("", "a.src", options).status, CompileEnd::kPartsFileNotOpened);
  options.warnings = {"no-such-warning"};
  const CompileResult refused = CompileText("", "a.src", options);
  EXPECT_EQ(refused.status, CompileEnd::kUnknownWarning);
  EXPECT_EQ(refused.reason, "unknown warning option '-Wno-such-warning'");
}

}  // namespace
}  // namespace partsc::testing
