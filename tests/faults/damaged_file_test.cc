// Damaged parts files: a sound file cut short at every length, a table of
// single damages, and files whose member lists overflow the tables. Each
// gives the listing result of the step that reads the damaged part, reads
// nothing outside its buffers, and closes the file.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "faults/faults_fixture.h"
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

// Where the blocks of the base file lie: view names at 256, view comments at
// 460, size records from 664 (sorted: A, then BB), then the common list and
// the lists of A and BB.
constexpr size_t kSizeRecords = 664;
constexpr size_t kCommonList = kSizeRecords + 2 * 72;

struct BaseFile {
  Bytes bytes;
  std::string listing;  // the run log of its listing
};

struct Listed {
  int code = -1;
  std::string runLog;
  std::string diagnostics;
  bool leftOpen = false;
};

Listed ListBytes(const Bytes& bytes) {
  TempDir dir;
  ScopedChdir inDir(dir.path());
  const std::string path = dir.File("damaged.prt");
  WriteBytes(path, bytes);
  Listed listed;
  {
    CaptureFd console(1);
    ReportDiagnostic(kDiagOpenLog, kSeverityNone, kControlName, 0, {});
    OvFileIO runLog;
    runLog.Fopen("TALVIREN.LOG", "w");
    listed.code = ListPartsFile(path, runLog);
    listed.leftOpen = PartsFileState::Instance().partsFile.IsOpen();
    runLog.Fclose();
    ReportDiagnostic(kDiagCloseLog, kSeverityNone, MessageTable[0], 0, {});
  }
  ClearTables();
  listed.runLog = WithDirName(ReadFile(dir.File("TALVIREN.LOG")), dir.path());
  listed.diagnostics = ReadFile(dir.File(kErrorLogName));
  return listed;
}

const BaseFile& Base() {
  static const BaseFile base = [] {
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    TempDir dir;
    ScopedChdir inDir(dir.path());
    OvFile::ResetClassDirectories();
    WriteFile(dir.File("base.src"), kBaseSource);
    std::string outputPath;
    int result = -1;
    {
      CaptureFd console(1);
      result = CompilePartsSource(dir.File("base.src"), outputPath);
    }
    EXPECT_EQ(result, kCompileOk);
    BaseFile file;
    file.bytes = ReadBytes(outputPath);
    file.listing = ListBytes(file.bytes).runLog;
    return file;
  }();
  return base;
}

void Put16(Bytes& bytes, size_t offset, int value) {
  bytes.at(offset) = static_cast<uint8_t>(value & 0xFF);
  bytes.at(offset + 1) = static_cast<uint8_t>((value >> 8) & 0xFF);
}

void Put32(Bytes& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes.at(offset + static_cast<size_t>(i)) = static_cast<uint8_t>((value >> (8 * i)) & 0xFF);
  }
}

size_t MemberOffsetOf(const Bytes& bytes, int slot) {
  return U32At(bytes, kSizeRecords + 72 * static_cast<size_t>(slot) + 68);
}

// The listing code of a file cut to `length` bytes: that of the step whose
// block the cut falls in.
int CodeForCut(const Bytes& bytes, size_t length) {
  const size_t firstSizeList = MemberOffsetOf(bytes, 0);
  if (length == bytes.size()) {
    return 0;
  }
  if (length < 256) {
    return 2;
  }
  if (length < kSizeRecords) {
    return 4;
  }
  if (length < kCommonList) {
    return 5;
  }
  if (length < firstSizeList) {
    return 6;
  }
  return 7;
}

TEST(DamagedFiles, TheBaseFileHasTheExpectedLayout) {
  const Bytes& bytes = Base().bytes;
  ASSERT_EQ(I16At(bytes, 86), 2);                    // sizeCount
  ASSERT_EQ(I16At(bytes, 158), 1);                   // apgCommentCount
  ASSERT_EQ(I32At(bytes, 88), kCommonList);          // commonOffset
  ASSERT_GT(MemberOffsetOf(bytes, 0), kCommonList);  // A's list after the common list
  ASSERT_GT(MemberOffsetOf(bytes, 1), MemberOffsetOf(bytes, 0));
  EXPECT_EQ(ListBytes(bytes).code, 0);
}

TEST(DamagedFiles, AFileCutShortAnywhereFailsAtTheBlockItCuts) {
  const Bytes& whole = Base().bytes;
  int tried = 0;
  for (size_t length = 0; length <= whole.size(); ++length) {
    SCOPED_TRACE("cut to " + std::to_string(length) + " bytes");
    const Listed listed = ListBytes(Bytes(whole.begin(), whole.begin() + length));
    EXPECT_EQ(listed.code, CodeForCut(whole, length));
    EXPECT_TRUE(StartsWith(Base().listing, listed.runLog)) << listed.runLog;
    EXPECT_EQ(DiagnosticLines(listed.diagnostics), "");
    EXPECT_FALSE(listed.leftOpen);
    ++tried;
  }
  std::printf("[ faults   ] damaged files: %d cut short\n", tried);
}

struct Damage {
  const char* label;
  std::function<void(Bytes&)> apply;
  int code;
};

const std::vector<Damage>& Damages() {
  static const std::vector<Damage> damages = {
      {"version 101", [](Bytes& b) { Put16(b, 0, 101); }, 2},
      {"version 0", [](Bytes& b) { Put16(b, 0, 0); }, 2},
      {"comment length 65", [](Bytes& b) { Put16(b, 76, 65); }, 2},
      {"comment length -1", [](Bytes& b) { Put16(b, 76, -1); }, 2},
      {"title length 65", [](Bytes& b) { Put16(b, 156, 65); }, 2},
      {"title length -32768", [](Bytes& b) { Put16(b, 156, -32768); }, 2},
      {"view name length 32", [](Bytes& b) { Put16(b, 256, 32); }, 4},
      {"view name length -1", [](Bytes& b) { Put16(b, 256 + 34 * 2, -1); }, 4},
      {"no view name",
       [](Bytes& b) {
         for (size_t i = 256; i < 460; ++i) {
           b[i] = 0;
         }
       },
       4},
      {"view comment length 32", [](Bytes& b) { Put16(b, 460, 32); }, 4},
      {"sizeCount 2049", [](Bytes& b) { Put16(b, 86, 2049); }, 5},
      {"sizeCount 32767", [](Bytes& b) { Put16(b, 86, 32767); }, 5},
      {"sizeCount 2048, beyond the file", [](Bytes& b) { Put16(b, 86, 2048); }, 5},
      {"sizeCount 50, beyond the file", [](Bytes& b) { Put16(b, 86, 50); }, 5},
      {"sizeCount -1 reads as no sizes", [](Bytes& b) { Put16(b, 86, -1); }, 0},
      {"size name length 33", [](Bytes& b) { Put16(b, kSizeRecords, 33); }, 5},
      {"size title length 65535", [](Bytes& b) { Put16(b, kSizeRecords + 72 + 2, 0xFFFF); }, 5},
      {"memberOffset 0", [](Bytes& b) { Put32(b, kSizeRecords + 68, 0); }, 7},
      {"memberOffset past the end",
       [](Bytes& b) { Put32(b, kSizeRecords + 68, static_cast<uint32_t>(b.size() + 100)); }, 7},
      {"memberOffset 4294967295", [](Bytes& b) { Put32(b, kSizeRecords + 72 + 68, 0xFFFFFFFF); },
       7},
      {"commonOffset past the end", [](Bytes& b) { Put32(b, 88, 0x7FFFFFFF); }, 6},
      {"commonOffset negative", [](Bytes& b) { Put32(b, 88, 0x80000000); }, 6},
      {"size records out of order for sortMode 0",
       [](Bytes& b) {
         for (size_t i = 0; i < 72; ++i) {
           std::swap(b[kSizeRecords + i], b[kSizeRecords + 72 + i]);
         }
       },
       7},
      {"size records in any order for sortMode 2",
       [](Bytes& b) {
         Put16(b, 160, 2);
         for (size_t i = 0; i < 72; ++i) {
           std::swap(b[kSizeRecords + i], b[kSizeRecords + 72 + i]);
         }
       },
       0},
      // The common list: spec CS (12 + 2 bytes), then param CP.
      {"param name length 200", [](Bytes& b) { b[kCommonList + 14 + 1] = 200; }, 6},
      {"param name length 0", [](Bytes& b) { b[kCommonList + 14 + 1] = 0; }, 6},
      {"param name length 7", [](Bytes& b) { b[kCommonList + 14 + 1] = 7; }, 6},
      {"spec name length 255 past the end", [](Bytes& b) { b[MemberOffsetOf(b, 0) + 2] = 255; }, 7},
      {"no end record", [](Bytes& b) { b.resize(b.size() - 12); }, 7},
      {"common list without an end record before the file ends",
       [](Bytes& b) {
         b.resize(MemberOffsetOf(b, 0));
         b.resize(b.size() - 12);
         Put16(b, 86, 0);
       },
       6},
  };
  return damages;
}

TEST(DamagedFiles, EachDamageGivesTheResultOfTheStepThatReadsIt) {
  for (const Damage& damage : Damages()) {
    SCOPED_TRACE(damage.label);
    Bytes bytes = Base().bytes;
    damage.apply(bytes);
    const Listed listed = ListBytes(bytes);
    EXPECT_EQ(listed.code, damage.code);
    EXPECT_EQ(DiagnosticLines(listed.diagnostics), "");
    EXPECT_FALSE(listed.leftOpen);
  }
  std::printf("[ faults   ] damaged files: %zu single damages\n", Damages().size());
}

TEST(DamagedFiles, AnUnknownRecordKindEndsTheMemberList) {
  Bytes bytes = Base().bytes;
  bytes[MemberOffsetOf(bytes, 0)] = 7;  // A's first head
  const Listed listed = ListBytes(bytes);
  EXPECT_EQ(listed.code, 0);
  std::string expected = Base().listing;
  for (const std::string line : {"s [3] <5,1>\"SA\"\n", "p !PA! (2) <0,1>\" pa\"\n"}) {
    const size_t at = expected.find(line);
    ASSERT_NE(at, std::string::npos) << line;
    expected.erase(at, line.size());
  }
  EXPECT_EQ(listed.runLog, expected);
}

// A parts file built byte by byte: header (sortMode 2), one view name, one
// size "S" whose member list starts at 532 and holds `specs` spec records
// and `params` param records, without an end record when `endRecord` is
// false.
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
  for (int i = 0; i < specs; ++i) {
    const uint8_t head[12] = {1, 5, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    bytes.insert(bytes.end(), head, head + 12);
    bytes.push_back('N');
  }
  for (int i = 0; i < params; ++i) {
    const uint8_t head[12] = {2, 1, 1, 0, 0, 0, 'P', 0, 0, 0, 0, 0};
    bytes.insert(bytes.end(), head, head + 12);
    bytes.push_back('1');
  }
  if (endRecord) {
    bytes.resize(bytes.size() + 12, 0);
  }
  return bytes;
}

TEST(DamagedFiles, MemberListsBeyondTheTablesAreRefused) {
  struct Case {
    int specs;
    int params;
    bool endRecord;
    int code;
  };
  const Case cases[] = {
      {256, 0, true, 0}, {257, 0, true, 7},  {0, 512, true, 0},
      {0, 513, true, 7}, {257, 0, false, 7}, {3, 3, false, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.specs) + " specs, " + std::to_string(c.params) + " params");
    const Listed listed = ListBytes(MemberFile(c.specs, c.params, c.endRecord));
    EXPECT_EQ(listed.code, c.code);
    EXPECT_EQ(DiagnosticLines(listed.diagnostics), "");
    EXPECT_FALSE(listed.leftOpen);
  }
  std::printf("[ faults   ] damaged files: %zu member-list files\n", std::size(cases));
}

// A member list placed more than 2 GiB beyond the end of the file: the reader
// refuses it without asking the file for a single byte (a read there would
// name a count far beyond any buffer).
TEST(DamagedFiles, AMemberListFarBeyondTheEndIsRefusedWithoutARead) {
  for (const uint32_t offset : {0x80000000u, 0xE5000000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(offset);
    Bytes bytes = Base().bytes;
    Put16(bytes, 160, 2);  // sortMode 2: the records are found by scanning
    Put32(bytes, kSizeRecords + 68, offset);
    TempDir dir;
    const std::string path = dir.File("far.prt");
    WriteBytes(path, bytes);
    ClearTables();
    ASSERT_EQ(OpenPartsFile(0, path), 0);
    ASSERT_EQ(ReadHeader(), 0);
    ASSERT_EQ(ReadApgList(), 0);
    ASSERT_EQ(ReadSizeList(), 0);
    OvFaults::Reset();
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
