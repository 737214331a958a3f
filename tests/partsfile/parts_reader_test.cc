// Reading parts files back: a round trip, the size search and every failure.
#include <random>
#include <set>

#include "parts_fixture.h"
#include "partsfile/parts_codec.h"
#include "partsfile/parts_file.h"

namespace partsc::testing {
namespace {

using ReaderTest = PartsFileTest;
using Bytes = std::vector<uint8_t>;

Source RichSource() {
  Source source{.apgNames = {"TOPV", "", "FRONTV", "", "", std::string(31, 'r')},
                .apgComments = {"", "", "front c"},
                .comment = std::string(64, 'c')};
  source.common =
      Block{{{256, 0, "CS"}, {3, 1, "CR", 5}, {0, 1, "ZERO"}}, {{"CP", "{x}", 10, "cc"}}};
  source.sizes = {
      {"SMALL", "Small one", {{{1, 0, "s1"}}, {{"D", "25"}}}},
      {std::string(32, 'L'), std::string(32, 't')},
      {"M", "", {{}, {{"Q", "", 1}, {"LENGTH", "a(b)", 11, std::string(63, 'x')}}}},
  };
  return source;
}

TEST_F(ReaderTest, ARichFileReadsBackAsWritten) {
  const Source source = RichSource();
  ASSERT_EQ(WriteSource(source, Path()), 0);
  std::set<std::string> seen;
  ASSERT_EQ(ReadBack(Path(),
                     [&](int slot, const std::string& name) {
                       const auto size =
                           std::find_if(source.sizes.begin(), source.sizes.end(),
                                        [&](const Size& s) { return s.name == name; });
                       ASSERT_NE(size, source.sizes.end()) << name;
                       std::string title;
                       GetSizeTitle(slot, title);
                       EXPECT_EQ(title, size->title);
                       EXPECT_EQ(SizeEntries(), Dump(size->members));
                       EXPECT_EQ(Entries(0, State().commonSpecCount, 0, State().commonParamCount),
                                 Dump(*source.common));
                       seen.insert(name);
                     }),
            0);
  EXPECT_EQ(seen.size(), 3u);
  int32_t version;
  std::string comment;
  HeaderVersion(1, version, comment);
  EXPECT_EQ(comment, source.comment);
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
    Source source{.sortMode = mode};
    for (const std::string& name : names) {
      source.sizes.push_back({name, std::string(name.rbegin(), name.rend()), {{{1, 0, name}}}});
    }
    std::shuffle(source.sizes.begin(), source.sizes.end(), rng);
    ASSERT_EQ(WriteSource(source, Path()), 0);
    int found = 0;
    EXPECT_EQ(ReadBack(Path(),
                       [&](int slot, const std::string& name) {
                         std::string title;
                         GetSizeTitle(slot, title);
                         found += title == std::string(name.rbegin(), name.rend()) &&
                                  SizeEntries() == Dump({{{1, 0, name}}});
                       }),
              0);
    EXPECT_EQ(found, kMaxSizes) << "mode " << mode;

    ASSERT_EQ(OpenPartsFile(0, Path()), 0);
    ASSERT_EQ(ReadHeader() + ReadApgList() + ReadSizeList(), 0);
    for (const char* missing : {"", "\x7f", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", "\xff\xff"}) {
      EXPECT_EQ(ReadSizeMembers(missing), kReadSizeNotFound) << "mode " << mode;
    }
  }
}

TEST_F(ReaderTest, CodesOfWholeFiles) {
  EXPECT_EQ(ReadHeader() + ReadApgList() + ReadSizeList() + ReadCommonList() + ReadSizeMembers(""),
            5 * kPartsNotOpen);

  ASSERT_EQ(WriteSource({.apgNames = {}, .sizes = {{"A"}}}, Path()), 0);
  EXPECT_EQ(ReadBack(Path()), kReadNoApgName);

  ASSERT_EQ(WriteSource({.common = Block{{{1, 0, "S"}}}}, Path()), 0);
  ASSERT_EQ(OpenPartsFile(0, Path()), 0);
  ASSERT_EQ(ReadHeader() + ReadApgList(), 0);
  EXPECT_EQ(ReadSizeList(), kReadNoSizes);
  EXPECT_EQ(ReadSizeMembers("S"), kReadSizeNotFound);
  EXPECT_EQ(ReadCommonList(), 0);
  EXPECT_EQ(State().commonSpecCount, 1);

  // Without a common list the tables stay as they are.
  ASSERT_EQ(WriteSource({.sizes = {{"A"}}}, Path()), 0);
  ASSERT_EQ(OpenPartsFile(0, Path()), 0);
  ASSERT_EQ(ReadHeader(), 0);
  FillTables({{{1, 0, "kept"}}});
  EXPECT_EQ(ReadCommonList(), 0);
  EXPECT_EQ(State().specCount * 10 + State().commonSpecCount, 10);

  Bytes bytes = ReadBytes(Path());
  bytes[0] = 101;
  WriteBytes(Path(), bytes);
  ASSERT_EQ(OpenPartsFile(0, Path()), 0);
  EXPECT_EQ(ReadHeader(), kReadBadVersion);
  uint8_t header[kHeaderSize];
  EncodeHeader(State().header, header);
  EXPECT_EQ(Bytes(header, header + kHeaderSize), Bytes(kHeaderSize, 0));
}

TEST_F(ReaderTest, EveryAllocationFailureGives109) {
  ASSERT_EQ(WriteSource(RichSource(), Path()), 0);
  OvFaults::Reset();
  ASSERT_EQ(ReadBack(Path()), 0);
  // One per size record, and per entry one for the entry and one per text.
  ASSERT_EQ(OvFaults::Count(OvFaultKind::kAllocation), 3 + (3 * 2 + 4) + (2 + 3) + (3 + 4));
  for (int n = 1; n <= 25; ++n) {
    OvFaults::Arm(OvFaultKind::kAllocation, n, false);
    EXPECT_EQ(ReadBack(Path()), kNoMemory) << "allocation " << n;
  }
}

TEST_F(ReaderTest, FullTablesGive200) {
  const std::vector<std::array<int, 5>> cases = {
      {256, 1, 0, 0, 200}, {100, 156, 0, 0, 0}, {0, 0, 300, 212, 0}, {0, 0, 300, 213, 200}};
  for (const auto& [commonSpecs, sizeSpecs, commonParams, sizeParams, expected] : cases) {
    Source source{.common = Block{}, .sizes = {{"A"}}};
    source.common->specs.resize(static_cast<size_t>(commonSpecs), {1, 0, "c"});
    source.common->params.resize(static_cast<size_t>(commonParams), {"c", "t"});
    source.sizes[0].members.specs.resize(static_cast<size_t>(sizeSpecs), {1, 0, "s"});
    source.sizes[0].members.params.resize(static_cast<size_t>(sizeParams), {"s", "t"});
    ASSERT_EQ(WriteSource(source, Path()), 0);
    EXPECT_EQ(ReadBack(Path()), expected) << commonSpecs << " " << sizeSpecs << " " << sizeParams;
  }
}

}  // namespace
}  // namespace partsc::testing
