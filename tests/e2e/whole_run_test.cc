// Whole runs of the partsc binary whose results are too large for a golden
// file: the example library run twice, and a source of more than 2048 sizes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kEpoch = "1700000000";

ProcessResult RunPartsc(const std::string& dir, const std::vector<std::string>& args,
                        const std::string& controlName) {
  ProcessOptions options;
  options.cwd = dir;
  options.args = args;
  options.stdinText = controlName + "\n";
  options.env.emplace_back("SOURCE_DATE_EPOCH", kEpoch);
  return RunProcess(PARTSC_BINARY, options);
}

// The file names the run log lists, in run-log order.
std::vector<std::string> ListedFiles(const std::string& runLog) {
  const std::string prefix = "/ PARTS FILE NAME : ";
  std::vector<std::string> files;
  std::istringstream in(runLog);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) == 0) {
      files.push_back(fs::path(line.substr(prefix.size())).filename().string());
    }
  }
  return files;
}

size_t CountLines(const std::string& text, const std::string& line) {
  size_t count = 0;
  std::istringstream in(text);
  std::string each;
  while (std::getline(in, each)) {
    count += each == line ? 1 : 0;
  }
  return count;
}

TEST(ExampleLibrary, CompilesListsAndRepeatsByteForByte) {
  TempDir dir;
  fs::copy(fs::path(PARTSC_SOURCE_DIR) / "examples", dir.path(), fs::copy_options::recursive);
  fs::create_directory(dir.File("parts"));

  const ProcessResult first = RunPartsc(dir.path(), {"-pORVA.SET"}, "LIBRARY.CTL");
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(first.err, "");
  // brackets.src stops at an illegal param line: its file stays unlisted.
  const std::vector<std::string> listed = {"bolt.prt", "WASHER.PRT", "RAIL.PRT", "PLATE.PRT"};
  const std::string firstLog = ReadFile(dir.File("TALVIREN.LOG"));
  EXPECT_EQ(ListedFiles(firstLog), listed);
  std::set<std::string> written;
  for (const auto& entry : fs::directory_iterator(dir.File("parts"))) {
    written.insert(entry.path().filename().string());
  }
  EXPECT_EQ(written, (std::set<std::string>{"bolt.prt", "WASHER.PRT", "RAIL.PRT", "PLATE.PRT",
                                            "BRACKET.PRT"}));
  EXPECT_EQ(CountLines(firstLog, "$$END"), listed.size());

  // The second run moves every parts file to its backup and writes it again.
  const ProcessResult second = RunPartsc(dir.path(), {"-pORVA.SET"}, "LIBRARY.CTL");
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(second.out, first.out);
  EXPECT_EQ(ReadFile(dir.File("TALVIREN.LOG")), firstLog);
  for (const std::string& name : written) {
    const std::string path = dir.File("parts/" + name);
    const std::string backup = path + (name == "bolt.prt" ? ".old" : ".OLD");
    ASSERT_TRUE(FileExists(backup)) << backup;
    EXPECT_EQ(ReadBytes(path), ReadBytes(backup)) << name;
  }
}

// A source of `sizes` sizes named S0000, S0001, ...; the block of the last
// one holds one param line, the others none.
std::string ManySizes(int sizes, const std::string& lastName) {
  std::string source = "$$PARTS !MANY!\n$$APG\n$TOP !T!\n";
  char name[16];
  for (int i = 0; i + 1 < sizes; ++i) {
    std::snprintf(name, sizeof name, "S%04d", i);
    source += "$$SIZE \"" + std::string(name) + "\"\n";
  }
  source += "$$SIZE \"" + lastName + "\"\np !Z! (9)\n$$END\n";
  return source;
}

struct OverflowCase {
  const char* label;
  const char* extraName;    // the name of the 2049th size
  bool firstPointsToExtra;  // the first size record takes the extra list
};

// Shown by its label, so that gtest never prints the padding bytes.
void PrintTo(const OverflowCase& c, std::ostream* out) { *out << c.label; }

class SizeTableOverflow : public ::testing::TestWithParam<OverflowCase> {};

// The 2049th size is refused with one warning, the compile goes on, and its
// block is still written as the last member list. No counted record points to
// it, unless a counted size has its name: the first such record then does.
TEST_P(SizeTableOverflow, ExtraSizeBlockIsWrittenButNotCounted) {
  const OverflowCase& c = GetParam();
  TempDir dir;
  WriteFile(dir.File("RUN.CTL"), "many.src\n");
  WriteFile(dir.File("many.src"), ManySizes(2049, c.extraName));

  const ProcessResult run = RunPartsc(dir.path(), {}, "RUN.CTL");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadFile(dir.File("RUN.CTL.LOG")),
            "Input File [" + dir.File("many.src") + "]\n\t*** W *** Size member too many[2052]\n");

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
  const uint32_t firstOffset = U32At(file, 460 + 68);
  EXPECT_EQ(firstOffset, c.firstPointsToExtra ? extraList : lists);
  EXPECT_EQ(offsets.count(static_cast<uint32_t>(extraList)), c.firstPointsToExtra ? 1u : 0u);
  EXPECT_EQ(offsets.size(), 2048u);

  const std::string runLog = ReadFile(dir.File("TALVIREN.LOG"));
  EXPECT_NE(runLog.find("/ COUNT OF SIZE   : 2048\n"), std::string::npos);
  EXPECT_EQ(CountLines(runLog, "$$SIZE\t\"S2047\""), 1u);
  EXPECT_EQ(CountLines(runLog, "$$SIZE\t\"EXTRA\""), 0u);
  EXPECT_EQ(CountLines(runLog, "p !Z! (9)"), c.firstPointsToExtra ? 1u : 0u);
  EXPECT_EQ(CountLines(runLog, "$$END"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, SizeTableOverflow,
                         ::testing::Values(OverflowCase{"NewName", "EXTRA", false},
                                           OverflowCase{"NameOfFirstSize", "S0000", true}),
                         [](const ::testing::TestParamInfo<OverflowCase>& info) {
                           return info.param.label;
                         });

}  // namespace
}  // namespace partsc::testing
