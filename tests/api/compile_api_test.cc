// The library's compile: in memory, with every diagnostic as a record, the
// same bytes and error-log lines as a run of partsc, and nothing written.
#include <partsc/partsc.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
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

std::string Summary(const api::Diagnostic& d) {
  return d.name + " " + d.label + " " + d.severity + " " + d.consequence + " " + d.file + ":" +
         std::to_string(d.line) + ":" + std::to_string(d.column) + " [" +
         std::to_string(d.logLine) + "] " + d.message;
}

TEST(CompileText, GivesTheBytesAndLogOfARunAndEveryDiagnosticAsARecord) {
  TempDir dir;
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  WriteFile(dir.File("bolt.src"), kSource);
  WriteFile(dir.File("RUN.CTL"), "bolt.src\n");
  ASSERT_EQ(RunPartsc(dir.path(), {"-q", "-c", "RUN.CTL"}).exitCode, 0);

  api::CompileOptions options;
  options.warnings = {"all"};
  const api::CompileResult result = api::CompileText(kSource, dir.File("bolt.src"), options);
  EXPECT_EQ(result.code, 0);
  EXPECT_TRUE(result.Compiled());
  EXPECT_EQ(result.partsPath, dir.File("bolt.prt"));
  EXPECT_EQ(result.bytes, ReadFile(dir.File("bolt.prt")));
  const std::string log = ReadFile(dir.File("RUN.CTL.LOG"));
  EXPECT_EQ(result.errorLog, log);
  std::vector<std::string> summaries;
  for (const api::Diagnostic& d : result.diagnostics) {
    summaries.push_back(Summary(d));
  }
  const std::string file = dir.File("bolt.src");
  EXPECT_EQ(
      summaries,
      (std::vector<std::string>{
          "partsc-view-already-defined W warning goes-on " + file + ":4:0 [4] $TOP already defined",
          "partsc-keyword-prefix W warning goes-on " + file + ":5:1 [5] $$SIZES is read as $$SIZE",
          "partsc-undefined-macro W warning goes-on " + file +
              ":6:8 [6] Macro PITCH is not defined: {PITCH} becomes {",
          "partsc-unknown-size-keyword W warning goes-on " + file +
              ":7:0 [0] Unknown Size Keyword (Skip)",
          "partsc-end-not-found W warning goes-on " + file + ":7:0 [7] Keyword $$END not found",
      }));
}

// Reading on, the compile ends with the code of the line that stopped it and
// builds nothing, and only what it found after that line is marked.
TEST(CompileText, ReadsOnAfterTheLineThatEndsTheCompileWhenAsked) {
  constexpr const char* kRefused =
      "$$PARTS !a!\n$$APG\n$TOP !T!\n$$SIZE \"A\"\np !LENGTH8! (1)\np !D! ({NOPE})\n$$END\n";
  api::CompileOptions options;
  options.warnings = {"all"};
  const api::CompileResult stopped = api::CompileText(kRefused, "a.src", options);
  options.keepGoing = true;
  const api::CompileResult readOn = api::CompileText(kRefused, "a.src", options);
  EXPECT_EQ(stopped.code, 40);
  EXPECT_EQ(readOn.code, 40);
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
  api::CompileOptions options;
  options.partsDirectory = dir.path();
  const api::CompileResult stopped =
      api::CompileText("$$SIZE \"A\"\n$$PARTS !a!\n", "a.src", options);
  EXPECT_EQ(stopped.code, 10);
  EXPECT_EQ(stopped.partsPath, "");
  EXPECT_EQ(stopped.bytes, "");
  ASSERT_EQ(stopped.diagnostics.size(), 1u);
  EXPECT_EQ(stopped.diagnostics[0].consequence, "source-stops");
  EXPECT_EQ(stopped.errorLog, "Input File [a.src]\n\t*** E *** Not Parts Input File[a.src]\n");

  const api::CompileResult missing = api::CompileFile(dir.File("none.src"), options);
  EXPECT_EQ(missing.code, 22);
  ASSERT_EQ(missing.diagnostics.size(), 1u);
  EXPECT_EQ(missing.diagnostics[0].reason, "No such file or directory");

  EXPECT_EQ(api::CompileText("$$PARTS !a!\n$$END\n", "a.src", options).partsPath,
            dir.File("a.prt"));
  // Without a parts directory, the parts file's name is taken beside the
  // source.
  options.partsDirectory.clear();
  EXPECT_EQ(api::CompileText("$$PARTS !a!\n$$END\n", "d/a.src", options).partsPath, "d/a.prt");
  EXPECT_EQ(api::CompileText("$$PARTS !a!\n$$END\n", "/a.src", options).partsPath, "/a.prt");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  options.warnings = {"no-such-warning"};
  EXPECT_THROW(api::CompileText("", "a.src", options), std::invalid_argument);
}

}  // namespace
}  // namespace partsc::testing
