// The listing of a parts file: base names, and every failure code with the
// run-log text written before it.
#include "listing/listing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "compiler/compile_passes.h"
#include "driver/diagnostics.h"
#include "partsfile/parts_state.h"
#include "platform/ov_faults.h"
#include "platform/ov_file_io.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

TEST(FileBaseName, NameAfterLastSlashCutBeforeFirstFullStop) {
  struct Case {
    std::string path;
    int result;
    std::string base;
  };
  const Case cases[] = {
      {"/parts/bolt.prt", 0, "bolt"}, {"/parts/a.b.c", 0, "a"}, {"/parts/ lead.PRT", 0, " lead"},
      {"/parts/.prt", 0, ""},         {"name.prt", 0, "name"},  {"/dir.d/noext", -1, "kept"},
      {"/parts/", -1, "kept"},        {"", -1, "kept"},
  };
  for (const Case& c : cases) {
    std::string base = "kept";
    EXPECT_EQ(FileBaseName(c.path, base), c.result) << c.path;
    EXPECT_EQ(base, c.result == 0 ? c.base : "kept") << c.path;
  }
}

// Two sizes after a common block, no APG comment: size records at 460 (A) and
// 532 (BB); the common list at 604, A's list at 643, BB's at 669; 694 bytes.
constexpr const char* kSource =
    "$$PARTS !L! <1,2> \"comment\"\n"
    "$$APG\n"
    "$TOP !T!\n"
    "$$COMMON \"C\"\n"
    "s <1,1>\"CS\"\n"
    "p !CP! (1)\n"
    "$$TITLE \"t\"\n"
    "$$SIZE \"A\"\n"
    "s <2,1>\"AS\"\n"
    "$$SIZE \"BB\"\n"
    "p !BP! (2)\n"
    "$$END\n";
constexpr size_t kSizeA = 460;
constexpr size_t kFileSize = 694;

// The run log of the whole listing, line by line, for the failure table.
const std::vector<std::string> kListing = {
    "/ PARTS FILE NAME : $PATH",
    "/ CREATED DATE    : 2023/11/14",
    "/         TIME    : 22:13",
    "/ PARTS COMMENT   : comment",
    "/ PARTS VERSION   : 102",
    "/ COUNT OF SIZE   : 2",
    "$$PARTS\t!L!\t<1,2>\t\"comment\"",
    "/ APG DEFINATION",
    "$$APG",
    "$TOP\t!T!",
    "$$COMMON",
    "s <1,1>\"CS\"",
    "p !CP! (1)",
    "$$TITLE\t\"t\"",
    " $$LSORT",
    "$$SIZE\t\"A\"",
    "s <2,1>\"AS\"",
    "$$SIZE\t\"BB\"",
    "p !BP! (2)",
    "$$END",
    "/---------------------------------------/",
};

// The first `count` lines of kListing for the file at `path`, whose header
// says `sizeCount`.
std::string FirstLines(size_t count, const std::string& path, int sizeCount = 2) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    if (i == 0) {
      text += "/ PARTS FILE NAME : " + path + "\n";
      continue;
    }
    if (i == 5) {
      text += "/ COUNT OF SIZE   : " + std::to_string(sizeCount) + "\n";
      continue;
    }
    if (i == 6) {
      const std::string name = std::filesystem::path(path).stem().string();
      text += "$$PARTS\t!" + name + "!\t<1,2>\t\"comment\"\n";
      continue;
    }
    text += kListing[i] + "\n";
  }
  return text;
}

void PutU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
  }
}

class ListPartsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    chdir_ = std::make_unique<ScopedChdir>(dir_.path());
    OvFaults::Reset();
    WriteFile(dir_.File("l.src"), kSource);
    ReportDiagnostic(kDiagOpenLog, kSeverityNone, dir_.File("T.CTL"), 0, {});
    std::string output;
    int compiled = -1;
    {
      CaptureFd console(1);
      compiled = CompilePartsSource(dir_.File("l.src"), output);
    }
    ASSERT_EQ(compiled, 0);
    ASSERT_EQ(output, dir_.File("L.PRT"));
    good_ = ReadBytes(output);
    ASSERT_EQ(good_.size(), kFileSize);
    // Only what the listing reports from here on.
    std::filesystem::resize_file(dir_.File("T.CTL.LOG"), 0);
  }

  void TearDown() override {
    OvFaults::Reset();
    ReportDiagnostic(kDiagCloseLog, kSeverityNone, MessageTable[kMsgBlank], 0, {});
  }

  // Lists `path` into a fresh run log; answers the code and leaves the run
  // log's text in `runLog`.
  int List(const std::string& path, std::string& runLog) {
    CaptureFd console(1);
    OvFileIO log;
    log.Fopen(dir_.File("TALVIREN.LOG"), "w");
    const int code = ListPartsFile(path, log);
    log.Fclose();
    runLog = ReadFile(dir_.File("TALVIREN.LOG"));
    return code;
  }

  std::string ErrorLog() { return ReadFile(dir_.File("T.CTL.LOG")); }

  TempDir dir_;
  std::unique_ptr<ScopedChdir> chdir_;
  std::vector<uint8_t> good_;
};

TEST_F(ListPartsFileTest, WholeListing) {
  std::string runLog;
  const std::string path = dir_.File("L.PRT");
  ASSERT_EQ(List(path, runLog), 0);
  EXPECT_EQ(runLog, FirstLines(kListing.size(), path));
  EXPECT_FALSE(PartsFileState::Instance().partsFile.IsOpen());
}

struct FailureCase {
  const char* label;
  std::function<void(std::vector<uint8_t>&)> damage;
  const char* fileName;
  int code;
  size_t linesWritten;  // of kListing
  int sizeCount = 2;    // as the damaged header says
};

TEST_F(ListPartsFileTest, EveryFailureCodeAfterWhatWasWritten) {
  const FailureCase cases[] = {
      {"missing file", nullptr, "NONE.PRT", 1, 0},
      {"version 101", [](auto& b) { b[0] = 101; }, "V.PRT", 2, 0},
      {"no full stop in the file name", [](auto&) {}, "NOSTOP", 3, 6},
      {"no APG name", [](auto& b) { b[256] = 0; }, "N.PRT", 4, 7},
      {"size count beyond the table",
       [](auto& b) {
         b[86] = 0xb8;
         b[87] = 0x0b;
       },
       "S.PRT", 5, 10, 3000},
      {"size records cut short", [](auto& b) { b.resize(500); }, "R.PRT", 5, 10},
      {"common list past the end", [](auto& b) { PutU32(b, 88, 5000); }, "C.PRT", 6, 11},
      {"common list cut short", [](auto& b) { b.resize(610); }, "D.PRT", 6, 11},
      {"member offset 0", [](auto& b) { PutU32(b, kSizeA + 68, 0); }, "M.PRT", 7, 16},
      {"member offset past the end", [](auto& b) { PutU32(b, kSizeA + 68, 9999); }, "E.PRT", 7, 16},
      {"size list cut short", [](auto& b) { b.resize(680); }, "F.PRT", 7, 18},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string path = dir_.File(c.fileName);
    if (c.damage) {
      std::vector<uint8_t> bytes = good_;
      c.damage(bytes);
      WriteBytes(path, bytes);
    }
    std::string runLog;
    EXPECT_EQ(List(path, runLog), c.code);
    EXPECT_EQ(runLog, FirstLines(c.linesWritten, path, c.sizeCount));
    EXPECT_EQ(ErrorLog(), "");
    EXPECT_FALSE(PartsFileState::Instance().partsFile.IsOpen());
  }
}

// An allocation refused anywhere in the reading fails the listing: in the
// size list with 5 and in a size's members with 7, both reported; in the
// common list with 6, unreported.
TEST_F(ListPartsFileTest, RefusedAllocations) {
  const std::string path = dir_.File("L.PRT");
  std::string runLog;
  OvFaults::Reset();
  ASSERT_EQ(List(path, runLog), 0);
  const int64_t allocations = OvFaults::Count(OvFaultKind::kAllocation);
  ASSERT_GT(allocations, 3);

  std::vector<int> codes;
  for (int64_t n = 1; n <= allocations; ++n) {
    std::filesystem::resize_file(dir_.File("T.CTL.LOG"), 0);
    OvFaults::Arm(OvFaultKind::kAllocation, n, false);
    const int code = List(path, runLog);
    OvFaults::Reset();
    const std::string report = code == 6 ? "" : "\t*** E *** Memory Allocate Error\n";
    EXPECT_EQ(ErrorLog(), report) << "allocation " << n;
    EXPECT_FALSE(PartsFileState::Instance().partsFile.IsOpen());
    codes.push_back(code);
  }
  ASSERT_TRUE(std::is_sorted(codes.begin(), codes.end()));
  EXPECT_EQ(codes.front(), 5);
  EXPECT_NE(std::find(codes.begin(), codes.end(), 6), codes.end());
  EXPECT_EQ(codes.back(), 7);
}

}  // namespace
}  // namespace partsc::testing
