// Byte-exact parts files and the writer's codes.
#include <filesystem>

#include "parts_fixture.h"
#include "partsfile/parts_file.h"

namespace partsc::testing {
namespace {

using WriterTest = PartsFileTest;
using Bytes = std::vector<uint8_t>;

// A 12-byte head from its first six bytes (the rest zero), then characters.
Bytes Record(std::initializer_list<int> head, const std::string& chars = "") {
  Bytes out(head.begin(), head.end());
  out.resize(kMemberHeadSize, 0);
  out.insert(out.end(), chars.begin(), chars.end());
  return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(WriterTest, OneSizeWithOneSpecEntryIsThe558ByteFile) {
  ASSERT_EQ(
      WriteSource({.apgNames = {"", "BOT"}, .sizes = {{"S1", "T", {{{7, 1, "AB"}}}}}}, Path()), 0);
  Bytes expected(460, 0);
  expected[0] = 102;
  expected[86] = 1;
  expected[256 + 34] = 3;
  std::copy_n("BOT", 3, expected.begin() + 256 + 36);
  Bytes size(72, 0);
  size[0] = 2;
  size[2] = 1;
  std::copy_n("S1", 2, size.begin() + 4);
  size[36] = 'T';
  size[68] = 532 & 0xFF;
  size[69] = 532 >> 8;
  expected = expected + size + Record({1, 7, 2, 1, 0}, "AB") + Record({});
  ASSERT_EQ(expected.size(), 558u);
  EXPECT_EQ(ReadBytes(Path()), expected);
}

TEST_F(WriterTest, MemberRecordsHaveTheirExactBytes) {
  const std::vector<std::tuple<const char*, Block, Bytes>> cases = {
      {"number 256 as 0", {{{256, 0, "N"}}}, Record({1, 0, 1, 0, 0}, "N")},
      {"record 5 is kind 3", {{{9, 1, "XY", 5}}}, Record({3, 9, 2, 1, 5}, "XY")},
      {"record low 8 bits", {{{9, 0, "X", 0x105}}}, Record({3, 9, 1, 0, 5}, "X")},
      {"param D", {{}, {{"D", "10", 10}}}, Record({2, 1, 2, 10, 0, 0, 'D'}, "10")},
      {"param with comment",
       {{}, {{"LENGTH", "", 11, "cm"}}},
       Record({2, 6, 0, 11, 2, 0, 'L', 'E', 'N', 'G', 'T', 'H'}, "cm")},
      {"comment before text", {{}, {{"P", "tx", 1, "c"}}}, Record({2, 1, 2, 1, 1, 0, 'P'}, "ctx")},
      {"specs before params",
       {{{1, 0, "S"}}, {{"P", "t"}}},
       Record({1, 1, 1, 0, 0}, "S") + Record({2, 1, 1, 0, 0, 0, 'P'}, "t")},
  };
  for (const auto& [label, block, records] : cases) {
    ASSERT_EQ(WriteSource({.common = block}, Path()), 0) << label;
    const Bytes bytes = ReadBytes(Path());
    EXPECT_EQ(Bytes(bytes.begin() + 460, bytes.end()), records + Record({})) << label;
  }
}

TEST_F(WriterTest, OpenAnswersItsCodes) {
  ASSERT_EQ(WriteSource({}, Path()), 0);
  std::filesystem::create_directories(Path("parts.prt.old/inside"));
  EXPECT_EQ(OpenPartsFile(1, Path()), kPartsBackupFailed);
  EXPECT_EQ(WriteHeader(), kPartsNotOpen);
  EXPECT_EQ(ReadBytes(Path()).size(), 460u);

  EXPECT_EQ(OpenPartsFile(0, Path("missing.prt")), kPartsNoFile);
  EXPECT_EQ(OpenPartsFile(1, Path("no/such/dir.prt")), kPartsOpenFailed);
  // Opened for reading, the file takes no writes.
  EXPECT_EQ(OpenPartsFile(0, Path()), kPartsOk);
  EXPECT_EQ(WriteHeader(), kPartsShortWrite);
  ClosePartsFile();
  EXPECT_EQ(WriteHeader(), kPartsNotOpen);
  EXPECT_EQ(WriteApgList(), kPartsNotOpen);
  EXPECT_EQ(WriteSizeList(), kPartsNotOpen);
  EXPECT_EQ(WriteMemberList(std::nullopt), kPartsShortWrite);
  BeginMemberLists();
  EXPECT_EQ(WriteMemberList("A"), kPartsShortWrite);
}

#ifdef NDEBUG
TEST_F(WriterTest, ALongParamNameIsCutToTheHead) {
  ASSERT_EQ(WriteSource({.common = Block{{}, {{"SEVENCH", "t"}}}}, Path()), 0);
  const Bytes bytes = ReadBytes(Path());
  EXPECT_EQ(Bytes(bytes.begin() + 460, bytes.end()),
            Record({2, 6, 1, 0, 0, 0, 'S', 'E', 'V', 'E', 'N', 'C'}, "t") + Record({}));
}
#endif

}  // namespace
}  // namespace partsc::testing
