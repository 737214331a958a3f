// A whole run whose result is too large for a golden file: a source of more
// than 2048 sizes.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

size_t CountLines(const std::string& text, const std::string& line) {
  size_t count = 0;
  std::istringstream in(text);
  for (std::string each; std::getline(in, each);) {
    count += each == line ? 1 : 0;
  }
  return count;
}

// A source of 2049 sizes named S0000, S0001, ... and `lastName`; the block of
// the last one holds one param line, the others none.
std::string ManySizes(const std::string& lastName) {
  std::string source = "$$PARTS !MANY!\n$$APG\n$TOP !T!\n";
  char name[16];
  for (int i = 0; i < 2048; ++i) {
    std::snprintf(name, sizeof name, "S%04d", i);
    source += "$$SIZE \"" + std::string(name) + "\"\n";
  }
  return source + "$$SIZE \"" + lastName + "\"\np !Z! (9)\n$$END\n";
}

// The 2049th size is refused with one warning, the compile goes on, and its
// block is still written as the last member list. No counted record points to
// it, unless a counted size has its name: the first such record then does.
TEST(SizeTableOverflow, ExtraSizeBlockIsWrittenButNotCounted) {
  for (const bool firstPointsToExtra : {false, true}) {
    SCOPED_TRACE(firstPointsToExtra ? "the name of the first size" : "a new name");
    TempDir dir;
    WriteFile(dir.File("RUN.CTL"), "many.src\n");
    WriteFile(dir.File("many.src"), ManySizes(firstPointsToExtra ? "S0000" : "EXTRA"));

    const ProcessResult run = RunPartsc(dir.path(), {}, "RUN.CTL\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFile(dir.File("RUN.CTL.LOG")), "Input File [" + dir.File("many.src") +
                                                     "]\n\t*** W *** Size member too many[2052]\n");

    const std::vector<uint8_t> file = ReadBytes(dir.File("MANY.PRT"));
    const size_t lists = 460 + 2048 * 72;
    const size_t extraList = lists + 2048 * 12;
    ASSERT_EQ(file.size(), extraList + 12 + 1 + 12);
    EXPECT_EQ(I16At(file, 86), 2048);
    // The extra list: a param head for Z with the text 9, then the end record.
    EXPECT_EQ(file[extraList], 2);
    EXPECT_EQ(file[extraList + 6], 'Z');
    EXPECT_EQ(file[extraList + 12], '9');
    // Records are sorted by name; S0000 is the first record, its list the first.
    std::set<uint32_t> offsets;
    for (size_t record = 460; record < lists; record += 72) {
      offsets.insert(U32At(file, record + 68));
    }
    EXPECT_EQ(U32At(file, 460 + 68), firstPointsToExtra ? extraList : lists);
    EXPECT_EQ(offsets.count(static_cast<uint32_t>(extraList)), firstPointsToExtra ? 1u : 0u);
    EXPECT_EQ(offsets.size(), 2048u);

    const std::string runLog = ReadFile(dir.File("TALVIREN.LOG"));
    EXPECT_NE(runLog.find("/ COUNT OF SIZE   : 2048\n"), std::string::npos);
    EXPECT_EQ(CountLines(runLog, "$$SIZE\t\"S2047\""), 1u);
    EXPECT_EQ(CountLines(runLog, "$$SIZE\t\"EXTRA\""), 0u);
    EXPECT_EQ(CountLines(runLog, "p !Z! (9)"), firstPointsToExtra ? 1u : 0u);
    EXPECT_EQ(CountLines(runLog, "$$END"), 1u);
  }
}

// -Wsize-dropped names the size that the table could not take, at its line.
TEST(SizeTableOverflow, WarningNamesTheDroppedSize) {
  TempDir dir;
  WriteFile(dir.File("RUN.CTL"), "many.src\n");
  WriteFile(dir.File("many.src"), ManySizes("EXTRA"));
  const ProcessResult run =
      RunPartsc(dir.path(), {"-q", "-Wsize-dropped", "--diagnostics-format=gnu", "-c", "RUN.CTL"});
  EXPECT_EQ(run.err,
            "many.src:2052: warning: Size member too many [partsc-size-member-too-many]\n"
            "many.src:2052:8: warning: Size \"EXTRA\" dropped: a parts file holds at most 2048 "
            "sizes [partsc-size-dropped]\n");
}

}  // namespace
}  // namespace partsc::testing
