// Reading parts files back: round trips, the size search and every failure.
#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>

#include "parts_fixture.h"

namespace partsc::testing {
namespace {

using ReaderTest = PartsFileTest;

// Table entries as text.
std::string DumpEntries(int specFrom, int specTo, int paramFrom, int paramTo) {
  std::ostringstream out;
  for (int i = specFrom; i < specTo; ++i) {
    int32_t number, inverted, record;
    std::string name;
    GetSpecEntry(i, number, inverted, name, record);
    out << "s " << number << "," << inverted << "," << record << " " << name << "\n";
  }
  for (int i = paramFrom; i < paramTo; ++i) {
    int32_t pairCode;
    std::string name, text, comment;
    GetParamEntry(i, &name, &text, pairCode, &comment);
    out << "p " << name << " (" << text << ") " << pairCode << " \"" << comment << "\"\n";
  }
  return out.str();
}

// The same text for a block as the writer was given it: a number 0 comes
// back as 256, an empty comment as none.
std::string DumpBlock(const Block& block) {
  std::ostringstream out;
  for (const Spec& s : block.specs) {
    const int number = (s.number & 0xFF) == 0 ? 256 : s.number & 0xFF;
    out << "s " << number << "," << s.inverted << "," << (s.record & 0xFF) << " " << s.name << "\n";
  }
  for (const Param& p : block.params) {
    out << "p " << p.name << " (" << p.text << ") " << p.pairCode << " \"" << p.comment.value_or("")
        << "\"\n";
  }
  return out.str();
}

Source RichSource() {
  Source source;
  source.apgNames = {"TOPV", "", "FRONTV", "", "", std::string(31, 'r')};
  source.apgComments = {"", "", "front c", "", "", ""};
  source.comment = std::string(64, 'c');
  source.title = "Title";
  source.specFile = 12;
  source.specRecord = -1;
  source.partsValue1 = 3;
  source.partsValue2 = -4;
  source.common =
      Block{{{256, 0, "CS"}, {3, 1, "CR", 5}, {0, 1, "ZERO"}}, {{"CP", "{x}", 10, "cc"}}};
  source.sizes = {
      {"SMALL", "Small one", {{{1, 0, "s1"}}, {{"D", "25"}}}},
      {std::string(32, 'L'), std::string(32, 't'), {}},
      {"M", "", {{}, {{"Q", "", 1}, {"LENGTH", "a(b)", 11, std::string(63, 'x')}}}},
  };
  return source;
}

TEST_F(ReaderTest, ARichFileReadsBackAsWritten) {
  const Source source = RichSource();
  ASSERT_EQ(WriteSource(source, Path()), 0);
  std::set<std::string> seen;
  const int result = ReadBack(Path(), [&](int slot) {
    std::string name, title;
    GetSizeName(slot, name);
    GetSizeTitle(slot, title);
    const auto size = std::find_if(source.sizes.begin(), source.sizes.end(),
                                   [&](const Size& s) { return s.name == name; });
    ASSERT_NE(size, source.sizes.end()) << name;
    EXPECT_EQ(title, size->title);
    const PartsFileState& state = State();
    EXPECT_EQ(DumpEntries(state.commonSpecCount, state.specCount, state.commonParamCount,
                          state.paramCount),
              DumpBlock(size->members));
    EXPECT_EQ(DumpEntries(0, state.commonSpecCount, 0, state.commonParamCount),
              DumpBlock(*source.common));
    seen.insert(name);
  });
  ASSERT_EQ(result, 0);
  EXPECT_EQ(seen.size(), 3u);
  EXPECT_EQ(State().commonSpecCount, 3);
  EXPECT_EQ(State().commonParamCount, 1);

  int32_t version, file, record, value1, value2, count, sortMode;
  std::string comment, title;
  HeaderVersion(1, version, comment);
  HeaderSpec(1, file, record);
  HeaderPartsValue1(1, value1);
  HeaderPartsValue2(1, value2);
  HeaderSizeCount(1, count);
  HeaderSortMode(1, sortMode);
  GetTitle(title);
  EXPECT_EQ(std::make_tuple(version, comment, file, record, value1, value2, count, sortMode, title),
            std::make_tuple(102, source.comment, 12, -1, 3, -4, 3, 0, std::string("Title")));
  std::array<std::string, 6> names, comments;
  ApgNames(1, names);
  ApgComments(1, comments);
  EXPECT_EQ(names, source.apgNames);
  EXPECT_EQ(comments, source.apgComments);
}

TEST_F(ReaderTest, SizesAreFoundInEveryModeAmongMany) {
  std::mt19937 rng(2048);
  std::set<std::string> names;
  while (names.size() < kMaxSizes) {
    std::string name(1 + rng() % 32, ' ');
    for (char& c : name) {
      c = static_cast<char>(rng() % 2 ? 'A' + rng() % 3 : 1 + rng() % 255);
    }
    names.insert(name);
  }
  for (const int mode : {0, 1, 2}) {
    Source source;
    source.sortMode = mode;
    for (const std::string& name : names) {
      source.sizes.push_back({name, "", {{{1, 0, name}}}});
    }
    std::shuffle(source.sizes.begin(), source.sizes.end(), rng);
    ASSERT_EQ(WriteSource(source, Path()), 0);
    int found = 0;
    const int result = ReadBack(Path(), [&](int slot) {
      std::string name;
      GetSizeName(slot, name);
      ASSERT_EQ(State().specCount, 1);
      EXPECT_EQ(State().specTable[0]->name, name) << "mode " << mode;
      ++found;
    });
    EXPECT_EQ(result, 0) << "mode " << mode;
    EXPECT_EQ(found, kMaxSizes);

    ASSERT_EQ(OpenPartsFile(0, Path()), 0);
    ASSERT_EQ(ReadHeader(), 0);
    ASSERT_EQ(ReadApgList(), 0);
    ASSERT_EQ(ReadSizeList(), 0);
    for (const char* missing : {"", "\x7f", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", "\xff\xff"}) {
      EXPECT_EQ(ReadSizeMembers(missing), kReadSizeNotFound) << "mode " << mode;
    }
    ClosePartsFile();
  }
}

TEST_F(ReaderTest, ClosedFileGives30) {
  EXPECT_EQ(ReadHeader(), kPartsNotOpen);
  EXPECT_EQ(ReadApgList(), kPartsNotOpen);
  EXPECT_EQ(ReadSizeList(), kPartsNotOpen);
  EXPECT_EQ(ReadCommonList(), kPartsNotOpen);
  EXPECT_EQ(ReadSizeMembers("A"), kPartsNotOpen);
}

TEST_F(ReaderTest, AWrongVersionGives13AndClearsTheHeader) {
  ASSERT_EQ(WriteSource(RichSource(), Path()), 0);
  std::vector<uint8_t> bytes = ReadBytes(Path());
  bytes[0] = 101;
  WriteBytes(Path(), bytes);
  ASSERT_EQ(OpenPartsFile(0, Path()), 0);
  EXPECT_EQ(ReadHeader(), kReadBadVersion);
  uint8_t header[kHeaderSize];
  EncodeHeader(State().header, header);
  EXPECT_EQ(std::vector<uint8_t>(header, header + kHeaderSize),
            std::vector<uint8_t>(kHeaderSize, 0));
}

TEST_F(ReaderTest, NoApgNameGives14) {
  Source source = RichSource();
  source.apgNames = {};
  ASSERT_EQ(WriteSource(source, Path()), 0);
  EXPECT_EQ(ReadBack(Path()), kReadNoApgName);
}

TEST_F(ReaderTest, NoSizesGive15AndAnyNameGives50) {
  Source source;
  source.common = Block{{{1, 0, "S"}}, {}};
  ASSERT_EQ(WriteSource(source, Path()), 0);
  ASSERT_EQ(OpenPartsFile(0, Path()), 0);
  ASSERT_EQ(ReadHeader(), 0);
  ASSERT_EQ(ReadApgList(), 0);
  EXPECT_EQ(ReadSizeList(), kReadNoSizes);
  EXPECT_EQ(ReadSizeMembers("S"), kReadSizeNotFound);
  ASSERT_EQ(ReadCommonList(), 0);
  EXPECT_EQ(State().commonSpecCount, 1);
}

TEST_F(ReaderTest, NoCommonListLeavesTheTablesAlone) {
  Source source;
  source.sizes = {{"A", ""}};
  ASSERT_EQ(WriteSource(source, Path()), 0);
  ASSERT_EQ(OpenPartsFile(0, Path()), 0);
  ASSERT_EQ(ReadHeader(), 0);
  FillTables({{{1, 0, "kept"}}, {}});
  EXPECT_EQ(ReadCommonList(), 0);
  EXPECT_EQ(State().specCount, 1);
  EXPECT_EQ(State().commonSpecCount, 0);
}

TEST_F(ReaderTest, EveryTruncationGives21) {
  ASSERT_EQ(WriteSource(RichSource(), Path()), 0);
  const std::vector<uint8_t> bytes = ReadBytes(Path());
  for (size_t length = 0; length < bytes.size(); ++length) {
    WriteBytes(Path("cut.prt"),
               std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(length)));
    EXPECT_EQ(ReadBack(Path("cut.prt")), kReadShort) << "length " << length;
  }
  WriteBytes(Path("cut.prt"), bytes);
  EXPECT_EQ(ReadBack(Path("cut.prt")), 0);
}

// Patches of a sound file, and the answer of reading it back.
struct Damage {
  const char* label;
  size_t at;
  std::vector<uint8_t> patch;
  int expected;
};

TEST_F(ReaderTest, DamagedFilesAreRefused) {
  // APG comments at 460, one size record at 664, the common list at 736.
  Source source;
  source.apgComments[1] = "c";
  source.common = Block{{}, {{"P", "t"}}};
  source.sizes = {{"A", "T"}};
  ASSERT_EQ(WriteSource(source, Path()), 0);
  const std::vector<uint8_t> sound = ReadBytes(Path());
  ASSERT_EQ(I32At(sound, 88), 736);
  const std::vector<Damage> cases = {
      {"comment length 65", 76, {65, 0}, kReadDamaged},
      {"comment length -1", 76, {0xFF, 0xFF}, kReadDamaged},
      {"title length 65", 156, {65, 0}, kReadDamaged},
      {"title length -64", 156, {0xC0, 0xFF}, kReadDamaged},
      {"APG name length 32", 256 + 34, {32, 0}, kReadDamaged},
      {"APG name length -1", 256, {0xFF, 0xFF}, kReadDamaged},
      {"APG comment length 32", 460 + 5 * 34, {32, 0}, kReadDamaged},
      {"size count 2049", 86, {0x01, 0x08}, kReadDamaged},
      {"size name length 33", 664, {33, 0}, kReadDamaged},
      {"size title length 33", 666, {33, 0}, kReadDamaged},
      {"param name length 0", 737, {0}, kReadDamaged},
      {"param name length 7", 737, {7}, kReadDamaged},
      {"negative common offset", 88, {0xFF, 0xFF, 0xFF, 0xFF}, kReadShort},
      {"common offset past the end", 88, {0, 0, 1, 0}, kReadShort},
      {"member offset past the end", 664 + 68, {0, 0, 0, 0x80}, kReadShort},
      {"member offset 0", 664 + 68, {0, 0, 0, 0}, kReadSizeNotFound},
      {"kind 7 ends the common list", 736, {7}, 0},
      {"negative size count", 86, {0xFF, 0xFF}, 0},
      {"apg comment count 9", 158, {9, 0}, 0},
      {"shorter texts end at a zero byte", 256 + 2, {0}, kReadNoApgName},
  };
  for (const Damage& d : cases) {
    std::vector<uint8_t> bytes = sound;
    std::copy(d.patch.begin(), d.patch.end(), bytes.begin() + static_cast<long>(d.at));
    WriteBytes(Path("damaged.prt"), bytes);
    EXPECT_EQ(ReadBack(Path("damaged.prt")), d.expected) << d.label;
  }
}

TEST_F(ReaderTest, EveryAllocationFailureGives109) {
  ASSERT_EQ(WriteSource(RichSource(), Path()), 0);
  OvFaults::Reset();
  ASSERT_EQ(ReadBack(Path()), 0);
  // One record per size, and per entry one record plus one copy of each text.
  const int64_t allocations = OvFaults::Count(OvFaultKind::kAllocation);
  EXPECT_EQ(allocations, 3 + (3 * 2 + 4) + (2 + 3) + (3 + 4));
  for (int64_t n = 1; n <= allocations; ++n) {
    OvFaults::Arm(OvFaultKind::kAllocation, n, false);
    EXPECT_EQ(ReadBack(Path()), kReadNoMemory) << "allocation " << n;
  }
}

TEST_F(ReaderTest, FullTablesGive200) {
  struct Case {
    int commonSpecs, sizeSpecs, commonParams, sizeParams, expected;
  };
  const std::vector<Case> cases = {
      {256, 0, 0, 0, 0},   {256, 1, 0, 0, kReadTableFull},   {100, 156, 0, 0, 0},
      {0, 0, 300, 212, 0}, {0, 0, 300, 213, kReadTableFull},
  };
  for (const Case& c : cases) {
    Source source;
    source.common = Block{};
    source.sizes = {{"A", ""}};
    for (int i = 0; i < c.commonSpecs; ++i) {
      source.common->specs.push_back({i, 0, "c"});
    }
    for (int i = 0; i < c.sizeSpecs; ++i) {
      source.sizes[0].members.specs.push_back({i, 0, "s"});
    }
    for (int i = 0; i < c.commonParams; ++i) {
      source.common->params.push_back({"c", "t"});
    }
    for (int i = 0; i < c.sizeParams; ++i) {
      source.sizes[0].members.params.push_back({"s", "t"});
    }
    ASSERT_EQ(WriteSource(source, Path()), 0);
    EXPECT_EQ(ReadBack(Path()), c.expected)
        << c.commonSpecs << "+" << c.sizeSpecs << " " << c.commonParams << "+" << c.sizeParams;
  }
}

}  // namespace
}  // namespace partsc::testing
