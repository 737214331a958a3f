// Byte-exact parts files, the backup of an older file and the writer's codes.
#include <filesystem>

#include "parts_fixture.h"

namespace partsc::testing {
namespace {

using WriterTest = PartsFileTest;

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) {
    out.push_back(static_cast<uint8_t>(v));
  }
  return out;
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) {
  out.insert(out.end(), more.begin(), more.end());
}

void Append(std::vector<uint8_t>& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
}

std::vector<uint8_t> Cat(std::vector<uint8_t> out, const std::vector<uint8_t>& more) {
  Append(out, more);
  return out;
}

void PutI16(std::vector<uint8_t>& out, size_t at, int value) {
  out[at] = static_cast<uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

std::vector<uint8_t> Tail(const std::vector<uint8_t>& bytes, size_t from) {
  return from <= bytes.size()
             ? std::vector<uint8_t>(bytes.begin() + static_cast<long>(from), bytes.end())
             : std::vector<uint8_t>{};
}

TEST_F(WriterTest, OneSizeWithOneSpecEntryIsThe558ByteFile) {
  Source source;
  source.apgNames = {"", "BOT"};
  source.sizes = {{"S1", "T", {{{7, 1, "AB"}}}}};
  ASSERT_EQ(WriteSource(source, Path()), 0);

  std::vector<uint8_t> expected(460, 0);
  PutI16(expected, 0, 102);
  for (auto [at, value] : {std::pair{2, 5}, {4, 12}, {6, 2026}, {8, 15}, {10, 57}, {86, 1}}) {
    PutI16(expected, static_cast<size_t>(at), value);
  }
  PutI16(expected, 256 + 34, 3);
  std::copy_n("BOT", 3, expected.begin() + 256 + 34 + 2);
  std::vector<uint8_t> size(72, 0);
  size[0] = 2;
  size[2] = 1;
  std::copy_n("S1", 2, size.begin() + 4);
  size[36] = 'T';
  size[68] = 532 & 0xFF;
  size[69] = 532 >> 8;
  Append(expected, size);
  Append(expected, Bytes({1, 7, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
  Append(expected, std::string("AB"));
  Append(expected, std::vector<uint8_t>(12, 0));
  ASSERT_EQ(expected.size(), 558u);
  EXPECT_EQ(ReadBytes(Path()), expected);
}

TEST_F(WriterTest, MemberRecordsHaveTheirExactBytes) {
  struct Case {
    const char* label;
    Block block;
    std::vector<uint8_t> expected;  // the list without its end record
  };
  auto with = [](std::vector<uint8_t> head, const std::string& chars) {
    Append(head, chars);
    return head;
  };
  const std::vector<Case> cases = {
      {"number 256 as 0",
       {{{256, 0, "N"}}},
       with(Bytes({1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}), "N")},
      {"record 5 is kind 3",
       {{{9, 1, "XY", 5}}},
       with(Bytes({3, 9, 2, 1, 5, 0, 0, 0, 0, 0, 0, 0}), "XY")},
      {"record low 8 bits",
       {{{9, 0, "X", 0x105}}},
       with(Bytes({3, 9, 1, 0, 5, 0, 0, 0, 0, 0, 0, 0}), "X")},
      {"param D",
       {{}, {{"D", "10", 10}}},
       with(Bytes({2, 1, 2, 10, 0, 0, 'D', 0, 0, 0, 0, 0}), "10")},
      {"param with comment",
       {{}, {{"LENGTH", "", 11, "cm"}}},
       with(Bytes({2, 6, 0, 11, 2, 0, 'L', 'E', 'N', 'G', 'T', 'H'}), "cm")},
      {"specs before params",
       {{{1, 0, "S"}}, {{"P", "t", 1}}},
       with(Cat(with(Bytes({1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}), "S"),
                Bytes({2, 1, 1, 1, 0, 0, 'P', 0, 0, 0, 0, 0})),
            "t")},
  };
  for (const Case& c : cases) {
    Source source;
    source.common = c.block;
    ASSERT_EQ(WriteSource(source, Path()), 0) << c.label;
    std::vector<uint8_t> expected = c.expected;
    Append(expected, std::vector<uint8_t>(12, 0));
    EXPECT_EQ(Tail(ReadBytes(Path()), 460), expected) << c.label;
  }
}

TEST_F(WriterTest, ApgCommentBlockDecidesWhereSizesAndListsStart) {
  for (const bool withComment : {false, true}) {
    Source source;
    if (withComment) {
      source.apgComments[3] = "back view";
    }
    source.common = Block{};
    source.sizes = {{"A", ""}, {"B", ""}};
    ASSERT_EQ(WriteSource(source, Path()), 0);
    const std::vector<uint8_t> bytes = ReadBytes(Path());
    const size_t start = withComment ? 664 : 460;
    EXPECT_EQ(I16At(bytes, 158), withComment ? 1 : 0);
    EXPECT_EQ(I32At(bytes, 88), static_cast<int32_t>(start + 144));
    EXPECT_EQ(bytes[start + 4], 'A');
    EXPECT_EQ(bytes[start + 72 + 4], 'B');
    // Common list, then one 12-byte list for each size.
    EXPECT_EQ(U32At(bytes, start + 68), start + 144 + 12);
    EXPECT_EQ(U32At(bytes, start + 72 + 68), start + 144 + 24);
    EXPECT_EQ(bytes.size(), start + 144 + 36);
    if (withComment) {
      EXPECT_EQ(I16At(bytes, 460 + 3 * 34), 9);
      EXPECT_EQ(std::string(bytes.begin() + 460 + 3 * 34 + 2, bytes.begin() + 460 + 3 * 34 + 11),
                "back view");
    }
  }
}

TEST_F(WriterTest, ListsFollowEachOtherAndAnUnknownNameTiesNothing) {
  Source source;
  source.sizes = {{"A", "", {{{1, 0, "abc"}}, {{"P", "12345", 0, "c"}}}}, {"B", ""}};
  LoadSource(source);
  ASSERT_EQ(OpenPartsFile(1, Path()), 0);
  BeginMemberLists();
  FillTables(source.sizes[0].members);
  ASSERT_EQ(WriteMemberList("A"), 0);
  DropBlockEntries();
  ASSERT_EQ(WriteMemberList("NOSUCH"), 0);
  ASSERT_EQ(WriteMemberList("B"), 0);
  ASSERT_EQ(WriteSizeList(), 0);
  ClosePartsFile();
  const std::vector<uint8_t> bytes = ReadBytes(Path());
  const uint32_t first = 460 + 144;
  const uint32_t second = first + 15 + 18 + 12;
  EXPECT_EQ(U32At(bytes, 460 + 68), first);
  EXPECT_EQ(U32At(bytes, 460 + 72 + 68), second + 12);
  EXPECT_EQ(bytes.size(), second + 24);
  EXPECT_EQ(State().memberWritePosition, static_cast<int32_t>(bytes.size()));
}

TEST_F(WriterTest, SortModeOrdersTheSizeRecords) {
  const std::vector<std::pair<int, std::vector<std::string>>> cases = {
      {0, {"B", "ZZ", "AAA"}}, {1, {"AAA", "B", "ZZ"}}, {-3, {"AAA", "B", "ZZ"}},
      {2, {"ZZ", "AAA", "B"}}, {7, {"ZZ", "AAA", "B"}},
  };
  for (const auto& [mode, order] : cases) {
    Source source;
    source.sortMode = mode;
    source.sizes = {{"ZZ", ""}, {"AAA", ""}, {"B", ""}};
    ASSERT_EQ(WriteSource(source, Path()), 0);
    const std::vector<uint8_t> bytes = ReadBytes(Path());
    for (size_t i = 0; i < order.size(); ++i) {
      const size_t at = 460 + 72 * i;
      EXPECT_EQ(std::string(bytes.begin() + static_cast<long>(at) + 4,
                            bytes.begin() + static_cast<long>(at) + 4 + bytes[at]),
                order[i])
          << "mode " << mode << " slot " << i;
    }
    // Each record still points at its own list: ZZ's list is the first.
    const size_t zz = std::find(order.begin(), order.end(), "ZZ") - order.begin();
    EXPECT_EQ(U32At(bytes, 460 + 72 * zz + 68), 460u + 216);
  }
}

TEST_F(WriterTest, NeitherCommonNorSizesIsHeaderAndNamesOnly) {
  ASSERT_EQ(WriteSource(Source{}, Path()), 0);
  EXPECT_EQ(ReadBytes(Path()).size(), 460u);
}

TEST_F(WriterTest, AnOlderFileIsKeptAsItsBackup) {
  const std::string upper = Path("PARTS.PRT");
  const std::string lower = Path("parts.prt");
  auto write = [](const std::string& path, const std::string& comment) {
    Source source;
    source.comment = comment;
    return WriteSource(source, path);
  };
  auto commentOf = [](const std::string& path) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin() + 12, bytes.begin() + 12 + bytes[76]);
  };
  ASSERT_EQ(write(upper, "first"), 0);
  EXPECT_FALSE(FileExists(upper + ".OLD"));
  ASSERT_EQ(write(upper, "second"), 0);
  EXPECT_EQ(commentOf(upper + ".OLD"), "first");
  ASSERT_EQ(write(upper, "third"), 0);
  EXPECT_EQ(commentOf(upper + ".OLD"), "second");
  EXPECT_EQ(commentOf(upper), "third");
  EXPECT_FALSE(FileExists(upper + ".old"));

  ASSERT_EQ(write(lower, "one"), 0);
  ASSERT_EQ(write(lower, "two"), 0);
  EXPECT_EQ(commentOf(lower + ".old"), "one");
  EXPECT_FALSE(FileExists(lower + ".OLD"));

  // The directory does not count for the case of the name.
  std::filesystem::create_directory(Path("DIR"));
  const std::string inUpperDir = Path("DIR/x.prt");
  ASSERT_EQ(write(inUpperDir, "a"), 0);
  ASSERT_EQ(write(inUpperDir, "b"), 0);
  EXPECT_TRUE(FileExists(inUpperDir + ".old"));
}

TEST_F(WriterTest, FailedBackupOpensNothingAndKeepsTheOlderFile) {
  Source source;
  ASSERT_EQ(WriteSource(source, Path()), 0);
  std::filesystem::create_directories(Path("parts.prt.old/inside"));
  EXPECT_EQ(OpenPartsFile(1, Path()), kPartsBackupFailed);
  EXPECT_FALSE(State().partsFile.IsOpen());
  EXPECT_EQ(WriteHeader(), kPartsNotOpen);
  EXPECT_EQ(ReadBytes(Path()).size(), 460u);
}

TEST_F(WriterTest, OpenAnswersItsCodes) {
  EXPECT_EQ(OpenPartsFile(0, Path("missing.prt")), kPartsNoFile);
  EXPECT_EQ(OpenPartsFile(1, Path("no/such/dir.prt")), kPartsOpenFailed);
  EXPECT_FALSE(FileExists(Path("missing.prt")));
  EXPECT_EQ(OpenPartsFile(1, Path()), kPartsOk);
  // A second open closes the first file.
  EXPECT_EQ(OpenPartsFile(0, Path()), kPartsOk);
  EXPECT_EQ(WriteHeader(), kPartsShortWrite);
}

TEST_F(WriterTest, ClosedFileAnswers30Or22) {
  EXPECT_EQ(WriteHeader(), kPartsNotOpen);
  EXPECT_EQ(WriteApgList(), kPartsNotOpen);
  EXPECT_EQ(WriteSizeList(), kPartsNotOpen);
  EXPECT_EQ(WriteMemberList(std::nullopt), kPartsShortWrite);
  BeginMemberLists();
  EXPECT_EQ(WriteMemberList("A"), kPartsShortWrite);
}

TEST_F(WriterTest, EveryShortWriteGives22) {
  Source source;
  source.apgComments[0] = "c";
  source.common = Block{{{1, 0, "S"}}, {}};
  source.sizes = {{"A", "", {{}, {{"P", "t"}}}}};
  ASSERT_EQ(WriteSource(source, Path()), 0);
  const int64_t writes = OvFaults::Count(OvFaultKind::kWrite);
  ASSERT_EQ(writes, 6);  // header, two APG blocks, two member lists, sizes
  for (int64_t n = 1; n <= writes; ++n) {
    OvFaults::Arm(OvFaultKind::kWrite, n, false);
    EXPECT_EQ(WriteSource(source, Path()), kPartsShortWrite) << "write " << n;
  }
}

#ifdef NDEBUG
TEST_F(WriterTest, ALongParamNameIsCutToTheHead) {
  Source source;
  source.common = Block{{}, {{"SEVENCH", "t"}}};
  ASSERT_EQ(WriteSource(source, Path()), 0);
  std::vector<uint8_t> expected = Bytes({2, 6, 1, 0, 0, 0, 'S', 'E', 'V', 'E', 'N', 'C', 't'});
  Append(expected, std::vector<uint8_t>(12, 0));
  EXPECT_EQ(Tail(ReadBytes(Path()), 460), expected);
}
#endif

}  // namespace
}  // namespace partsc::testing
