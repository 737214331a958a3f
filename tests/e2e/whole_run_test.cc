// Whole runs whose results are too large for golden files: sources of 2048
// sizes and more, and the exact bytes of member records.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
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

// 2048 sizes of names with bytes above 127, in every sort mode: the listing
// finds the member list of each (it fails on the first it cannot find).
TEST(WholeRun, SizesAreFoundInEveryModeAmongMany) {
  std::mt19937 draw(2048);
  std::set<std::string> names;
  while (names.size() < 2048) {
    std::string name(1 + draw() % 32, ' ');
    for (char& c : name) {
      c = "ABCaz~\x80\xff"[draw() % 8];
    }
    names.insert(name);
  }
  for (const char* mode : {"$$NSORT", "$$CSORT", "$$LSORT"}) {
    SCOPED_TRACE(mode);
    TempDir dir;
    std::string source = "$$PARTS !MANY!\n$$APG\n$TOP !T!\n" + std::string(mode) + "\n";
    for (const std::string& name : names) {
      source += "$$SIZE \"" + name + "\"\ns <1,1>\"" + name.substr(0, 8) + "\"\n";
    }
    WriteFile(dir.File("many.src"), source + "$$END\n");
    WriteFile(dir.File("RUN.CTL"), "many.src\n");
    const ProcessResult run = RunPartsc(dir.path(), {"-q", "--strict", "-c", "RUN.CTL"});
    EXPECT_EQ(run.exitCode, 0) << ReadFile(dir.File("RUN.CTL.LOG"));
    EXPECT_EQ(CountLines(ReadFile(dir.File("TALVIREN.LOG")), "$$END"), 1u);
  }
}

// An older file that cannot be moved to its backup name: nothing is written.
TEST(WholeRun, ABackupThatCannotBeMadeStopsTheInput) {
  TempDir dir;
  std::filesystem::create_directories(dir.File("P.PRT.OLD/keep"));
  std::filesystem::create_directory(dir.File("P.PRT"));
  WriteFile(dir.File("p.src"), "$$PARTS !P!\n$$APG\n$TOP !T!\n$$END\n");
  WriteFile(dir.File("RUN.CTL"), "p.src\n");
  const ProcessResult run = RunPartsc(dir.path(), {"-q", "--strict", "-c", "RUN.CTL"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.substr(0, run.err.find('\n') + 1),
            "File " + dir.File("P.PRT") + " open error\n");
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("P.PRT.OLD/keep")));
}

// Member records of a common block, the only list of a file without sizes:
// a 12-byte head, then the texts.
TEST(WholeRun, MemberRecordsHaveTheirExactBytes) {
  TempDir dir;
  WriteFile(dir.File("r.src"),
            "$$PARTS !R!\n$$APG\n$TOP !T!\n$$COMMON \"C\"\n"
            "s <256,0>\"N\"\ns [9] <9,1>\"XY\"\ns [261] <9,0>\"X\"\n"
            "p !D! (10) <0,1>\np !LENGTH! <1,1> \"cm\"\np !P! (tx) <1,0> \"c\"\n$$END\n");
  WriteFile(dir.File("RUN.CTL"), "r.src\n");
  ASSERT_EQ(RunPartsc(dir.path(), {"-q", "--strict", "-c", "RUN.CTL"}).exitCode, 0);
  const std::vector<uint8_t> bytes = ReadBytes(dir.File("R.PRT"));
  const std::string records(bytes.begin() + 460, bytes.end());
  using namespace std::string_literals;
  EXPECT_EQ(records,
            "\1\0\1\1\0\0\0\0\0\0\0\0N"s       // number 256 as 0, inverted
            "\3\x09\2\0\x09\0\0\0\0\0\0\0XY"s  // record 9: kind 3
            "\3\x09\1\1\5\0\0\0\0\0\0\0X"s     // record 261: its low 8 bits
            "\2\1\2\x0a\0\0D\0\0\0\0\0"
            "10"s                          // param: pair code 10
            "\2\6\0\x0b\2\0LENGTHcm"s      // comment, no text
            "\2\1\2\1\1\0P\0\0\0\0\0ctx"s  // comment before text
            "\0\0\0\0\0\0\0\0\0\0\0\0"s);
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
