// The header accessors, the text fields and the table operations.
#include <functional>

#include "parts_fixture.h"
#include "partsfile/parts_codec.h"

namespace partsc::testing {
namespace {

using StateTest = PartsFileTest;

std::vector<uint8_t> EncodedHeader() {
  std::vector<uint8_t> bytes(kHeaderSize);
  EncodeHeader(State().header, bytes.data());
  return bytes;
}

TEST_F(StateTest, NumbersKeepTheirLow16BitsAndFetchSignExtended) {
  int32_t x = 0;
  const std::vector<std::pair<size_t, std::function<void(int, int32_t&)>>> fields = {
      {0,
       [&](int m, int32_t& v) {
         std::string c;
         HeaderVersion(m, v, c);
       }},
      {6, [&](int m, int32_t& v) { HeaderDate(m, x, x, v, x, x); }},
      {80, [&](int m, int32_t& v) { HeaderSpec(m, x, v); }},
      {84, HeaderPartsValue2},
      {86, HeaderSizeCount},
      {160, HeaderSortMode},
  };
  for (const auto& [offset, access] : fields) {
    for (const auto& [stored, fetched] : {std::pair{-1, -1}, {0x8000, -32768}, {70000, 4464}}) {
      ClearTables();
      int32_t in = stored, out = 0;
      access(0, in);
      access(-1, out);
      EXPECT_EQ(out, fetched) << "offset " << offset;
      EXPECT_EQ(I16At(EncodedHeader(), offset), fetched) << "offset " << offset;
    }
  }
}

TEST_F(StateTest, TextFieldsAreCutAndFilledWholeHoweverOftenStored) {
  int32_t version = 102;
  std::string comment = std::string(64, 'c') + "cut";
  HeaderVersion(0, version, comment);
  SetTitle(std::string(64, 't'));
  const std::vector<uint8_t> full = EncodedHeader();
  EXPECT_EQ(std::string(full.begin() + 12, full.begin() + 76), std::string(64, 'c'));
  EXPECT_EQ(std::string(full.begin() + 92, full.begin() + 156), std::string(64, 't'));
  EXPECT_EQ(I16At(full, 76), 64);
  EXPECT_EQ(I16At(full, 156), 64);

  comment = "ab";
  HeaderVersion(0, version, comment);
  SetTitle("");
  const std::vector<uint8_t> overwritten = EncodedHeader();
  ClearTables();
  HeaderVersion(0, version, comment);
  EXPECT_EQ(overwritten, EncodedHeader());

  std::array<std::string, 6> names{std::string(40, 'n'), "", "B"};
  ApgNames(0, names);
  ApgNames(7, names);
  EXPECT_EQ(names[0], std::string(31, 'n'));
  uint8_t apg[kApgBlockSize];
  EncodeApgBlock(State().apgNames, apg);
  EXPECT_EQ(std::vector<uint8_t>(apg + 30, apg + 36),
            std::vector<uint8_t>({'n', 'n', 'n', 0, 0, 0}));
  EXPECT_EQ(apg[0] + apg[68] + apg[70], 31 + 1 + 'B');
}

TEST_F(StateTest, DropBlockEntriesKeepsTheCommonEntriesAndClearTablesAll) {
  FillTables({{{1, 0, "C1"}, {2, 0, "C2"}}, {{"P", "x"}}});
  State().commonSpecCount = 2;
  State().commonParamCount = 1;
  FillTables({{{3, 1, "S"}}, {{"Q", "y"}, {"R", "z"}}});
  DropBlockEntries();
  EXPECT_EQ(State().specCount * 10 + State().paramCount, 21);
  EXPECT_EQ(State().specTable[2], nullptr);
  EXPECT_EQ(State().paramTable[2], nullptr);
  EXPECT_EQ(State().specTable[1]->name, "C2");

  LoadSource({.sizes = {{"A"}}});
  ClearTables();
  EXPECT_EQ(
      State().specCount + State().paramCount + State().commonSpecCount + State().commonParamCount,
      0);
  EXPECT_EQ(State().specTable[0], nullptr);
  EXPECT_EQ(State().sizeTable[0], nullptr);
  EXPECT_EQ(EncodedHeader(), std::vector<uint8_t>(kHeaderSize, 0));
}

TEST_F(StateTest, AnEntryTakenAgainAfterDropBlockEntriesKeepsNothingOfBefore) {
  ASSERT_EQ(StoreSpecEntry(7, 1, "LONG SPEC NAME OF THE FIRST BLOCK", 3), 0);
  ASSERT_EQ(StoreParamEntry("P", "a text longer than sixteen", 11, "a comment to forget"), 0);
  const ParamEntry* first = State().paramTable[0].get();
  DropBlockEntries();
  ASSERT_EQ(StoreSpecEntry(256, 0, "S", 0), 0);
  ASSERT_EQ(StoreParamEntry("Q", "", 1, ""), 0);
  EXPECT_EQ(State().paramTable[0].get(), first) << "the emptied entry is taken again";
  int32_t number = 0, inverted = 0, record = 0, pairCode = 0;
  std::string name, text, comment;
  GetSpecEntry(0, number, inverted, name, record);
  EXPECT_EQ(std::make_tuple(number, inverted, name, record), std::make_tuple(256, 0, "S", 0));
  GetParamEntry(0, &name, &text, pairCode, &comment);
  EXPECT_EQ(std::make_tuple(name, text, pairCode, comment), std::make_tuple("Q", "", 1, ""));
}

TEST_F(StateTest, EntriesComeBackToTheirSlotsAndTakeTheNewTexts) {
  FillTables({{}, {{"C", "common"}}});
  State().commonParamCount = 1;
  for (const char* name : {"P1", "P2", "P3"}) {
    ASSERT_EQ(StoreParamEntry(name, "text", 11, "note"), 0);
  }
  const std::vector<const ParamEntry*> before = {State().paramTable[1].get(),
                                                 State().paramTable[2].get()};
  DropBlockEntries();
  // Same names and comment, texts and comments of the same length.
  ASSERT_EQ(StoreParamEntry("P1", "TEXT", 21, "note"), 0);
  ASSERT_EQ(StoreParamEntry("P2", "text", 0, "NOTE"), 0);
  ASSERT_EQ(StoreParamEntry("P4", "text", 0, ""), 0);
  EXPECT_EQ(State().paramTable[1].get(), before[0]);
  EXPECT_EQ(State().paramTable[2].get(), before[1]);
  std::string all;
  for (int i = 0; i < State().paramCount; ++i) {
    int32_t pairCode = 0;
    std::string name, text, comment;
    GetParamEntry(i, &name, &text, pairCode, &comment);
    all += name + "," + text + "," + std::to_string(pairCode) + "," + comment + ";";
  }
  EXPECT_EQ(all, "C,common,0,;P1,TEXT,21,note;P2,text,0,NOTE;P4,text,0,;");
}

TEST_F(StateTest, EntriesFetchSignExtendedAndOnlyIntoGivenBuffers) {
  FillTables({{{0xFFFF, 1, "S", 5}}, {{"P", "text", 11, "note"}, {"Q", "", 1}}});
  int32_t number = 0, inverted = 0, record = 0, pairCode = 0;
  std::string name, text, comment;
  GetSpecEntry(0, number, inverted, name, record);
  EXPECT_EQ(std::make_tuple(number, inverted, name, record), std::make_tuple(-1, 1, "S", 5));
  GetParamEntry(0, &name, &text, pairCode, &comment);
  EXPECT_EQ(name + text + comment + std::to_string(pairCode), "Ptextnote11");
  GetParamEntry(1, &name, &text, pairCode, &comment);
  EXPECT_EQ(name + text + comment + std::to_string(pairCode), "Q1");
  text = comment = "kept";
  GetParamEntry(0, &name, nullptr, pairCode, &comment);
  EXPECT_EQ(text + comment, "keptkept");
  GetSizeName(kMaxSizes, name);
  EXPECT_EQ(name, "");
}

TEST(SizeNameOrder, ComparesByModeUnsignedAndShorterFirst) {
  struct Case {
    int mode;
    std::string a, b;
    int expected;
  };
  const std::vector<Case> cases = {
      {0, "ZZ", "AAA", -1}, {1, "ZZ", "AAA", 1},  {-1, "ZZ", "AAA", 1}, {0, "AB", "AA", 1},
      {1, "AB", "AB", 0},   {1, "AB", "ABC", -1}, {1, "\x80", "a", 1},  {1, "a", "B", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareSizeNames(c.mode, c.a, c.b), c.expected) << c.mode << " " << c.a;
    EXPECT_EQ(CompareSizeNames(c.mode, c.b, c.a), -c.expected) << c.mode << " " << c.b;
  }
}

}  // namespace
}  // namespace partsc::testing
