// The header accessors, the text fields and the table operations.
#include <functional>

#include "parts_fixture.h"

namespace partsc::testing {
namespace {

using StateTest = PartsFileTest;

std::vector<uint8_t> EncodedHeader() {
  std::vector<uint8_t> bytes(kHeaderSize);
  EncodeHeader(State().header, bytes.data());
  return bytes;
}

TEST_F(StateTest, NumbersKeepTheirLow16BitsAndFetchSignExtended) {
  struct Field {
    const char* name;
    size_t offset;
    std::function<void(int, int32_t&)> access;
  };
  int32_t spare = 0;
  const std::vector<Field> fields = {
      {"specFile", 78, [&](int m, int32_t& v) { HeaderSpec(m, v, spare); }},
      {"specRecord", 80, [&](int m, int32_t& v) { HeaderSpec(m, spare, v); }},
      {"partsValue1", 82, HeaderPartsValue1},
      {"partsValue2", 84, HeaderPartsValue2},
      {"sizeCount", 86, HeaderSizeCount},
      {"sortMode", 160, HeaderSortMode},
      {"version", 0,
       [](int m, int32_t& v) {
         std::string comment;
         HeaderVersion(m, v, comment);
       }},
      {"createdYear", 6, [&](int m, int32_t& v) { HeaderDate(m, spare, spare, v, spare, spare); }},
      {"createdMinute", 10,
       [&](int m, int32_t& v) { HeaderDate(m, spare, spare, spare, spare, v); }},
  };
  const std::vector<std::pair<int32_t, int32_t>> cases = {
      {0, 0},           {102, 102},    {-1, -1},     {0x7FFF, 0x7FFF},
      {0x8000, -32768}, {0x1FFFF, -1}, {70000, 4464}};
  for (const Field& field : fields) {
    for (const auto& [stored, fetched] : cases) {
      ClearTables();
      spare = 0;
      int32_t in = stored;
      field.access(0, in);
      int32_t out = 12345;
      field.access(1, out);
      EXPECT_EQ(out, fetched) << field.name << " stored " << stored;
      EXPECT_EQ(I16At(EncodedHeader(), field.offset), fetched) << field.name;
    }
  }
}

TEST_F(StateTest, HeaderTextsFillTheirFieldAndStoringIsRepeatable) {
  const std::string full(64, 'c');
  std::string comment = full + "cut";
  int32_t version = 102;
  HeaderVersion(0, version, comment);
  SetTitle(std::string(64, 't'));
  std::vector<uint8_t> bytes = EncodedHeader();
  EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 76), full);
  EXPECT_EQ(I16At(bytes, 76), 64);
  EXPECT_EQ(std::string(bytes.begin() + 92, bytes.begin() + 156), std::string(64, 't'));
  EXPECT_EQ(I16At(bytes, 156), 64);
  std::string fetched;
  HeaderVersion(1, version, fetched);
  EXPECT_EQ(fetched, full);

  // A shorter text stored over a longer one leaves no trace of the longer one.
  comment = "ab";
  HeaderVersion(0, version, comment);
  SetTitle("");
  const std::vector<uint8_t> overwritten = EncodedHeader();
  ClearTables();
  HeaderVersion(0, version, comment);
  EXPECT_EQ(overwritten, EncodedHeader());
  EXPECT_EQ(I16At(overwritten, 76), 2);
  EXPECT_EQ(overwritten[14], 0);
}

TEST_F(StateTest, ApgTextsAreCutTo31AndLeaveTheLastFieldByteZero) {
  std::array<std::string, 6> names{std::string(40, 'n'), "", "B"};
  ApgNames(0, names);
  std::array<std::string, 6> fetched;
  ApgNames(1, fetched);
  EXPECT_EQ(fetched[0], std::string(31, 'n'));
  EXPECT_EQ(fetched[2], "B");
  uint8_t bytes[kApgBlockSize];
  EncodeApgBlock(State().apgNames, bytes);
  EXPECT_EQ(bytes[0], 31);
  EXPECT_EQ(bytes[2 + 30], 'n');
  EXPECT_EQ(bytes[2 + 31], 0);
  EXPECT_EQ(bytes[34], 0);
  EXPECT_EQ(bytes[68], 1);
  EXPECT_EQ(bytes[70], 'B');
}

TEST_F(StateTest, CommonOffsetFollowsTheApgCommentBlock) {
  struct Case {
    std::array<std::string, 6> comments;
    int expectedCount;
    int32_t sizes;
    int32_t expectedOffset;
  };
  const std::vector<Case> cases = {
      {{}, 0, 0, 460},
      {{}, 0, 3, 460 + 216},
      {{"", "", "", "", "", "x"}, 1, 2, 664 + 144},
      {{"a", "b", "c", "d", "e", "f"}, 6, 0, 664},
  };
  for (Case c : cases) {
    ClearTables();
    EXPECT_FALSE(HasCommonList());
    ApgComments(0, c.comments);
    CountApgComments();
    SetCommonOffset(c.sizes);
    EXPECT_EQ(State().header.apgCommentCount, c.expectedCount);
    EXPECT_EQ(State().header.commonOffset, c.expectedOffset);
    EXPECT_TRUE(HasCommonList());
  }
}

TEST_F(StateTest, DropBlockEntriesKeepsTheCommonEntries) {
  FillTables({{{1, 0, "C1"}, {2, 0, "C2"}}, {{"P", "x"}}});
  State().commonSpecCount = 2;
  State().commonParamCount = 1;
  FillTables({{{3, 1, "S"}}, {{"Q", "y"}, {"R", "z"}}});
  DropBlockEntries();
  EXPECT_EQ(State().specCount, 2);
  EXPECT_EQ(State().paramCount, 1);
  EXPECT_EQ(State().specTable[2], nullptr);
  EXPECT_EQ(State().paramTable[2], nullptr);
  ASSERT_NE(State().specTable[1], nullptr);
  EXPECT_EQ(State().specTable[1]->name, "C2");

  AddSizeRecord(0, "A", "");
  State().header.sizeCount = 1;
  ClearTables();
  for (int32_t count :
       {State().specCount, State().paramCount, State().commonSpecCount, State().commonParamCount}) {
    EXPECT_EQ(count, 0);
  }
  EXPECT_EQ(State().specTable[0], nullptr);
  EXPECT_EQ(State().paramTable[0], nullptr);
  EXPECT_EQ(State().sizeTable[0], nullptr);
  EXPECT_EQ(EncodedHeader(), std::vector<uint8_t>(kHeaderSize, 0));
}

TEST_F(StateTest, EntriesFetchAsTheListingExpects) {
  FillTables({{{0xFFFF, 1, "S", 5}}, {{"P", "text", 11, "note"}, {"Q", "", 1}}});
  int32_t number = 0, inverted = 0, record = 0, pairCode = 0;
  std::string name, text, comment = "old";
  GetSpecEntry(0, number, inverted, name, record);
  EXPECT_EQ(std::make_tuple(number, inverted, name, record), std::make_tuple(-1, 1, "S", 5));
  GetParamEntry(0, &name, &text, pairCode, &comment);
  EXPECT_EQ(std::make_tuple(name, text, pairCode, comment),
            std::make_tuple("P", "text", 11, "note"));
  GetParamEntry(1, &name, &text, pairCode, &comment);
  EXPECT_EQ(comment, "");
  text = "kept";
  comment = "kept";
  GetParamEntry(0, &name, nullptr, pairCode, &comment);
  EXPECT_EQ(text + comment, "keptkept");
  GetSizeName(-1, name);
  EXPECT_EQ(name, "");
  GetSizeTitle(kMaxSizes, name);
  EXPECT_EQ(name, "");
}

TEST(SizeNameOrder, ComparesByModeUnsignedAndShorterFirst) {
  struct Case {
    int mode;
    std::string a, b;
    int expected;
  };
  const std::vector<Case> cases = {
      {0, "ZZ", "AAA", -1}, {1, "ZZ", "AAA", 1},   {-1, "ZZ", "AAA", 1}, {2, "ZZ", "AAA", 1},
      {0, "AB", "AA", 1},   {1, "AB", "AB", 0},    {1, "AB", "ABC", -1}, {0, "", "A", -1},
      {1, "\x80", "a", 1},  {0, "a\xff", "ab", 1}, {1, "a", "B", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareSizeNames(c.mode, c.a, c.b), c.expected) << c.mode << " " << c.a << " " << c.b;
    EXPECT_EQ(CompareSizeNames(c.mode, c.b, c.a), -c.expected) << c.mode << " " << c.b;
  }
}

}  // namespace
}  // namespace partsc::testing
