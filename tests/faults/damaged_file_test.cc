// Damaged parts files: a sound file cut short at every length, a table of
// single damages, and files whose member lists overflow the tables. Each
// gives the listing code of the step that reads the damaged part and the
// reader's result behind it, leaves the run log as that step found it, reads
// nothing outside its buffers, and closes the file.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "faults/faults_fixture.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_reader.h"

namespace partsc::testing {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr const char* kBaseSource =
    "$$PARTS !base! <1,2> \"damaged file base\"\n"
    "$$SPEC <4,2>\n"
    "$$APG\n"
    "$TOP !T! \"top\"\n"
    "$FRONT !F!\n"
    "$$COMMON \"C\"\n"
    "s <1,1>\"CS\"\n"
    "p !CP! (1) \"cp\"\n"
    "$$TITLE \"title\"\n"
    "$$LSORT\n"
    "$$SIZE \"A\" !a!\n"
    "s [3] <5,1>\"SA\"\n"
    "p !PA! (2) <0,1> \"pa\"\n"
    "$$SIZE \"BB\"\n"
    "p !PB! <1,0>\n"
    "$$END\n";

// The base file: view names at 256, view comments at 460, the size records
// of A and BB at 664 and 736, the common list at 808 (its param head at 822),
// A's list at 849 and BB's at 890; 914 bytes.
constexpr size_t kRecordA = 664;
constexpr size_t kRecordB = 736;
constexpr size_t kCommonList = 808;
constexpr size_t kListA = 849;
constexpr size_t kListB = 890;
constexpr size_t kBaseLength = 914;

// How many lines of the base file's listing the run log holds when the
// listing stops with a code (the index); code 7 stops at A's members.
constexpr int kLinesBefore[] = {24, 0, 0, 6, 8, 12, 13, 18};

struct Listed {
  int code = -1;
  int readResult = -1;
  std::string runLog;
  std::string diagnostics;
  bool leftOpen = false;
};

// Lists `bytes` written as `name`; no file at all when `bytes` is null.
Listed ListBytes(const Bytes* bytes, const std::string& name = "damaged.prt") {
  TempDir dir;
  ScopedChdir inDir(dir.path());
  const std::string path = dir.File(name);
  if (bytes != nullptr) {
    WriteBytes(path, *bytes);
  }
  Listed listed;
  WithLogs([&](OvFileIO& runLog) {
    listed.code = ListPartsFile(path, runLog);
    listed.readResult = LastReadResult();
    listed.leftOpen = PartsFileState::Instance().partsFile.IsOpen();
  });
  ClearTables();
  listed.runLog = ReplaceAll(ReadFile(dir.File("TALVIREN.LOG")), dir.path(), "$DIR");
  listed.diagnostics = ReadFile(dir.File(kErrorLogName));
  return listed;
}

struct BaseFile {
  Bytes bytes;
  std::vector<std::string> lines;  // of its listing, each with its line feed
};

const BaseFile& Base() {
  static const BaseFile base = [] {
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    TempDir dir;
    ScopedChdir inDir(dir.path());
    OvFile::ResetClassDirectories();
    WriteFile(dir.File("base.src"), kBaseSource);
    std::string outputPath;
    {
      CaptureFd console(1);
      EXPECT_EQ(CompilePartsSource(dir.File("base.src"), outputPath), kCompileOk);
    }
    BaseFile file;
    file.bytes = ReadBytes(outputPath);
    std::istringstream listing(ListBytes(&file.bytes).runLog);
    for (std::string line; std::getline(listing, line);) {
      file.lines.push_back(line + "\n");
    }
    return file;
  }();
  return base;
}

// The first `count` lines of the base listing, the file named `name` in the
// first of them.
std::string FirstLines(int count, const std::string& name = "damaged.prt") {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += Base().lines.at(static_cast<size_t>(i));
  }
  return ReplaceAll(text, "damaged.prt", name);
}

void Put16(Bytes& bytes, size_t offset, int value) {
  bytes.at(offset) = static_cast<uint8_t>(value & 0xFF);
  bytes.at(offset + 1) = static_cast<uint8_t>((value >> 8) & 0xFF);
}

void Put32(Bytes& bytes, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) {
    bytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
  }
}

// The listing code of a file cut to `length` bytes: that of the step whose
// block the cut falls in.
int CodeForCut(size_t length) {
  const size_t starts[] = {256, kRecordA, kCommonList, kListA, kBaseLength};
  const int codes[] = {2, 4, 5, 6, 7};
  for (size_t i = 0; i < std::size(starts); ++i) {
    if (length < starts[i]) {
      return codes[i];
    }
  }
  return 0;
}

TEST(DamagedFiles, AFileCutShortAnywhereFailsAtTheBlockItCuts) {
  const Bytes& whole = Base().bytes;
  ASSERT_EQ(whole.size(), kBaseLength);
  ASSERT_EQ(U32At(whole, kRecordA + 68), kListA);
  ASSERT_EQ(U32At(whole, kRecordB + 68), kListB);
  ASSERT_EQ(Base().lines.size(), 24u);
  for (size_t length = 0; length <= whole.size(); ++length) {
    SCOPED_TRACE("cut to " + std::to_string(length) + " bytes");
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
    const Listed listed = ListBytes(&cut);
    const int code = CodeForCut(length);
    ASSERT_EQ(listed.code, code);
    EXPECT_EQ(listed.readResult, code == 0 ? 0 : kReadShort);
    const int lines = code == 7 && length >= kListB ? 21 : kLinesBefore[code];
    EXPECT_EQ(listed.runLog, FirstLines(lines));
    EXPECT_EQ(DiagnosticLines(listed.diagnostics), "");
    EXPECT_FALSE(listed.leftOpen);
  }
  std::printf("[ faults   ] damaged files: %zu cut short\n", whole.size() + 1);
}

constexpr int kAnyLog = -1;  // the damage shows in the header block itself

struct Damage {
  const char* label;
  std::function<void(Bytes&)> apply;  // null: no file at all
  int code;
  int readResult;
  int lines = -2;  // of the base listing in the run log; -2: as the code says
  const char* name = "damaged.prt";
};

const std::vector<Damage>& Damages() {
  static const std::vector<Damage> damages = {
      {"missing file", nullptr, 1, kPartsNoFile},
      {"version 101", [](Bytes& b) { Put16(b, 0, 101); }, 2, kReadBadVersion},
      {"comment length 65", [](Bytes& b) { Put16(b, 76, 65); }, 2, kReadDamaged},
      {"comment length -1", [](Bytes& b) { Put16(b, 76, -1); }, 2, kReadDamaged},
      {"title length 65", [](Bytes& b) { Put16(b, 156, 65); }, 2, kReadDamaged},
      {"no full stop in the file name", [](Bytes&) {}, 3, 0, -2, "nostop"},
      {"view names that begin with a zero byte", [](Bytes& b) { b[258] = b[258 + 2 * 34] = 0; }, 4,
       kReadNoApgName},
      {"view name length 32", [](Bytes& b) { Put16(b, 256 + 34, 32); }, 4, kReadDamaged},
      {"view name length -1", [](Bytes& b) { Put16(b, 256, -1); }, 4, kReadDamaged},
      {"view comment length 32", [](Bytes& b) { Put16(b, 460, 32); }, 4, kReadDamaged},
      {"view comment count 9 reads the comments", [](Bytes& b) { Put16(b, 158, 9); }, 0, 0},
      {"size count 2049", [](Bytes& b) { Put16(b, 86, 2049); }, 5, kReadDamaged, kAnyLog},
      {"size count 2048 takes the lists for records", [](Bytes& b) { Put16(b, 86, 2048); }, 5,
       kReadDamaged, kAnyLog},
      {"size count -1 reads as no sizes", [](Bytes& b) { Put16(b, 86, -1); }, 0, 0, kAnyLog},
      {"size name length 33", [](Bytes& b) { Put16(b, kRecordA, 33); }, 5, kReadDamaged},
      {"size title length 33", [](Bytes& b) { Put16(b, kRecordB + 2, 33); }, 5, kReadDamaged},
      {"common offset past the end", [](Bytes& b) { Put32(b, 88, 0x7FFFFFFF); }, 6, kReadShort},
      {"common offset negative", [](Bytes& b) { Put32(b, 88, 0x80000000); }, 6, kReadShort},
      {"common param name length 0", [](Bytes& b) { b[kCommonList + 15] = 0; }, 6, kReadDamaged},
      {"common param name length 7", [](Bytes& b) { b[kCommonList + 15] = 7; }, 6, kReadDamaged},
      {"common list without an end record before the file ends",
       [](Bytes& b) {
         b.resize(kListA - 12);
         Put16(b, 86, 0);
       },
       6, kReadShort, kAnyLog},
      {"member offset 0", [](Bytes& b) { Put32(b, kRecordA + 68, 0); }, 7, kReadSizeNotFound},
      {"member offset past the end", [](Bytes& b) { Put32(b, kRecordA + 68, kBaseLength + 100); },
       7, kReadShort},
      {"size records out of order for $$LSORT",
       [](Bytes& b) {
         std::swap_ranges(b.begin() + kRecordA, b.begin() + kRecordB, b.begin() + kRecordB);
       },
       7, kReadSizeNotFound, kAnyLog},
      {"size records in any order for $$NSORT",
       [](Bytes& b) {
         Put16(b, 160, 2);
         std::swap_ranges(b.begin() + kRecordA, b.begin() + kRecordB, b.begin() + kRecordB);
       },
       0, 0, kAnyLog},
      {"size param name length 7", [](Bytes& b) { b[kListA + 15] = 7; }, 7, kReadDamaged},
      {"spec name length 255 past the end", [](Bytes& b) { b[kListA + 2] = 255; }, 7, kReadShort},
      {"no end record", [](Bytes& b) { b.resize(b.size() - 12); }, 7, kReadShort, 21},
  };
  return damages;
}

TEST(DamagedFiles, EachDamageGivesTheResultOfTheStepThatReadsIt) {
  for (const Damage& damage : Damages()) {
    SCOPED_TRACE(damage.label);
    Bytes bytes = Base().bytes;
    if (damage.apply) {
      damage.apply(bytes);
    }
    const Listed listed = ListBytes(damage.apply ? &bytes : nullptr, damage.name);
    EXPECT_EQ(listed.code, damage.code);
    EXPECT_EQ(listed.readResult, damage.readResult);
    if (damage.lines != kAnyLog) {
      const int lines = damage.lines >= 0 ? damage.lines : kLinesBefore[damage.code];
      EXPECT_EQ(listed.runLog, FirstLines(lines, damage.name));
    }
    EXPECT_EQ(DiagnosticLines(listed.diagnostics), "");
    EXPECT_FALSE(listed.leftOpen);
  }
  std::printf("[ faults   ] damaged files: %zu single damages\n", Damages().size());
}

TEST(DamagedFiles, AnUnknownRecordKindEndsTheMemberList) {
  Bytes bytes = Base().bytes;
  bytes[kListA] = 7;
  const Listed listed = ListBytes(&bytes);
  EXPECT_EQ(listed.code, 0);
  EXPECT_EQ(listed.runLog, FirstLines(18) + FirstLines(24).substr(FirstLines(20).size()));
}

// A parts file built byte by byte: header ($$NSORT), one view name, one size
// "S" whose member list at 532 holds `specs` spec records and `params` param
// records, and an end record when `endRecord`.
Bytes MemberFile(int specs, int params, bool endRecord) {
  Bytes bytes(532, 0);
  Put16(bytes, 0, 102);
  Put16(bytes, 86, 1);
  Put16(bytes, 160, 2);
  Put16(bytes, 256, 1);
  bytes[258] = 'T';
  Put16(bytes, 460, 1);
  bytes[464] = 'S';
  Put32(bytes, 460 + 68, 532);
  const Bytes spec = {1, 5, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'N'};
  const Bytes param = {2, 1, 1, 0, 0, 0, 'P', 0, 0, 0, 0, 0, '1'};
  for (int i = 0; i < specs; ++i) {
    bytes.insert(bytes.end(), spec.begin(), spec.end());
  }
  for (int i = 0; i < params; ++i) {
    bytes.insert(bytes.end(), param.begin(), param.end());
  }
  bytes.resize(bytes.size() + (endRecord ? 12 : 0), 0);
  return bytes;
}

TEST(DamagedFiles, MemberListsBeyondTheTablesAreRefused) {
  const struct {
    int specs, params;
    bool endRecord;
    int code, readResult;
  } cases[] = {
      {256, 0, true, 0, 0},          {257, 0, true, 7, kTableFull},  {0, 512, true, 0, 0},
      {0, 513, true, 7, kTableFull}, {257, 0, false, 7, kTableFull}, {3, 3, false, 7, kReadShort},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.specs) + " specs, " + std::to_string(c.params) + " params");
    const Bytes bytes = MemberFile(c.specs, c.params, c.endRecord);
    const Listed listed = ListBytes(&bytes);
    EXPECT_EQ(listed.code, c.code);
    EXPECT_EQ(listed.readResult, c.readResult);
    EXPECT_EQ(DiagnosticLines(listed.diagnostics), "");
    EXPECT_FALSE(listed.leftOpen);
  }
}

// A member list more than 2 GiB beyond the end of the file is refused without
// asking the file for a single byte (a read there would name a count far
// beyond any buffer).
TEST(DamagedFiles, AMemberListFarBeyondTheEndIsRefusedWithoutARead) {
  for (const uint32_t offset : {0x80000000u, 0xE5000000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(offset);
    Bytes bytes = Base().bytes;
    Put16(bytes, 160, 2);  // $$NSORT: the records are found by scanning
    Put32(bytes, kRecordA + 68, offset);
    TempDir dir;
    WriteBytes(dir.File("far.prt"), bytes);
    ClearTables();
    ASSERT_EQ(OpenPartsFile(0, dir.File("far.prt")), 0);
    ASSERT_EQ(ReadHeader() + ReadApgList() + ReadSizeList(), 0);
    OvFaults::Arm(OvFaultKind::kRead, 1, true);
    EXPECT_EQ(ReadSizeMembers("A"), kReadShort);
    EXPECT_EQ(OvFaults::Injected(OvFaultKind::kRead), 0);
    OvFaults::Reset();
    ClosePartsFile();
    ClearTables();
  }
}

}  // namespace
}  // namespace partsc::testing
