// Failures of a compile that a whole run cannot provoke: short writes of each
// part of the parts file, and storage running out in each kind of line.
#include "compiler/compile_passes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "diagnostics/diagnostics.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_writer.h"
#include "platform/ov_faults.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

constexpr const char* kOlder = "the older parts file";

class CompileFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    chdir_ = std::make_unique<ScopedChdir>(dir_.path());
    OvFaults::Reset();
    ReportDiagnostic(kDiagOpenLog, kSeverityNone, dir_.File("T.CTL"), 0, {});
  }

  void TearDown() override {
    OvFaults::Reset();
    ClosePartsFile();
    ReportDiagnostic(kDiagCloseLog, kSeverityNone, MessageTable[kMsgBlank], 0, {});
  }

  // Compiles `source` over an older P.PRT, the fault armed just before.
  int Compile(const std::string& source, OvFaultKind kind, int64_t n, bool persistent) {
    std::filesystem::remove(dir_.File("P.PRT.OLD"));
    std::filesystem::resize_file(dir_.File("T.CTL.LOG"), 0);
    WriteFile(dir_.File("P.PRT"), kOlder);
    WriteFile(dir_.File("p.src"), source);
    std::string output;
    CaptureFd console(1);
    OvFaults::Arm(kind, n, persistent);
    const int result = CompilePartsSource(dir_.File("p.src"), output);
    OvFaults::Reset();
    ClosePartsFile();
    return result;
  }

  std::string ErrorLog() {
    const std::string log = ReadFile(dir_.File("T.CTL.LOG"));
    const std::string section = "Input File [" + dir_.File("p.src") + "]\n";
    return log.rfind(section, 0) == 0 ? log.substr(section.size()) : "no section: " + log;
  }

  TempDir dir_;
  std::unique_ptr<ScopedChdir> chdir_;
};

// Writes, in order: header, APG name block, common list, the list of size A,
// the size records.
constexpr const char* kFullSource =
    "$$PARTS !P!\n$$APG\n$TOP !T!\n$$COMMON \"C\"\ns <1,1>\"X\"\n"
    "$$SIZE \"A\"\np !W! (1)\n$$END\n";
// The same without $$END: the last list is written after pass 2.
constexpr const char* kUnendedSource =
    "$$PARTS !P!\n$$APG\n$TOP !T!\n$$COMMON \"C\"\ns <1,1>\"X\"\n"
    "$$SIZE \"A\"\np !W! (1)\n";

TEST_F(CompileFailureTest, ShortWriteOfEachPartGives122AndKeepsTheBackup) {
  struct Case {
    const char* source;
    int write;
    const char* message;
  };
  const Case cases[] = {
      {kFullSource, 1, "Header Write Error"},    {kFullSource, 2, "APG List Write Error"},
      {kFullSource, 3, "Data Write Error"},      {kFullSource, 4, "Data Write Error"},
      {kFullSource, 5, "Size list Write Error"}, {kUnendedSource, 4, "Data Write Error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.message) + " at write " + std::to_string(c.write));
    EXPECT_EQ(Compile(c.source, OvFaultKind::kWrite, c.write, false), 122);
    std::string expected = "\t*** E *** " + std::string(c.message) + "\n";
    if (c.source == kUnendedSource) {
      expected = "\t*** W *** Keyword $$END not found[7]\n" + expected;
    }
    EXPECT_EQ(ErrorLog(), expected);
    EXPECT_EQ(ReadFile(dir_.File("P.PRT.OLD")), kOlder);
  }
  // Unarmed, the same source writes all five parts.
  EXPECT_EQ(Compile(kFullSource, OvFaultKind::kWrite, 6, false), 0);
  EXPECT_EQ(ErrorLog(), "");
}

// Storage that runs out in a macro line or a size line ends the compile with
// 109 before the parts file is opened; in a member line with 40, in the
// common block before the parts file is opened and in a size block after.
TEST_F(CompileFailureTest, RefusedAllocationInEachKindOfLine) {
  struct Case {
    const char* label;
    const char* source;
    int64_t allocation;
    int result;
    bool opened;
  };
  const Case cases[] = {
      {"macro line", "$$PARTS !P!\nt !M! (1)\n$$APG\n$TOP !T!\n$$END\n", 1, 109, false},
      {"size line", "$$PARTS !P!\n$$APG\n$TOP !T!\n$$SIZE \"A\"\n$$END\n", 1, 109, false},
      {"common member", "$$PARTS !P!\n$$APG\n$TOP !T!\n$$COMMON \"C\"\np !W! (1)\n$$END\n", 1, 40,
       false},
      {"size member", "$$PARTS !P!\n$$APG\n$TOP !T!\n$$SIZE \"A\"\ns <1,1>\"X\"\n$$END\n", 2, 40,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Compile(c.source, OvFaultKind::kAllocation, c.allocation, true), c.result);
    EXPECT_EQ(ErrorLog(), "\t*** E *** Memory Allocate Error\n");
    if (c.opened) {
      EXPECT_EQ(ReadFile(dir_.File("P.PRT.OLD")), kOlder);
      continue;
    }
    EXPECT_EQ(ReadFile(dir_.File("P.PRT")), kOlder);
    EXPECT_FALSE(FileExists(dir_.File("P.PRT.OLD")));
  }
}

// An older file that cannot be moved to its backup name: -1, the path is
// printed on standard error, and the caller's output path is emptied.
TEST_F(CompileFailureTest, BackupThatCannotBeMadeGivesMinusOne) {
  std::filesystem::create_directory(dir_.File("P.PRT"));
  std::filesystem::create_directory(dir_.File("P.PRT.OLD"));
  WriteFile(dir_.File("P.PRT.OLD/keep"), "");
  WriteFile(dir_.File("p.src"), "$$PARTS !P!\n$$APG\n$TOP !T!\n$$END\n");
  std::string output = "not yet";
  CaptureFd progress(1);
  CaptureFd console(2);
  EXPECT_EQ(CompilePartsSource(dir_.File("p.src"), output), -1);
  EXPECT_EQ(output, "");
  EXPECT_EQ(console.Text(), "File " + dir_.File("P.PRT") + " open error\n");
}

}  // namespace
}  // namespace partsc::testing
