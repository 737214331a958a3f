#include "compiler/size_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser_fixture.h"
#include "partsfile/parts_state.h"
#include "platform/ov_faults.h"

namespace partsc::testing {
namespace {

using SizeLineTest = ParserTest;

const SizeRecord* Slot(int index) {
  return PartsFileState::Instance().sizeTable[index].get();
}

struct SizeLine {
  std::string line;
  int result;
  std::string log;
  std::string name;  // expected in the slot afterwards; empty: the slot stays empty
  std::string title;
};

TEST_F(SizeLineTest, Table) {
  const std::string n40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789wxyz";
  const std::string n32 = n40.substr(0, 32);
  const std::string nameCut = "Size name too long (cut)";
  const std::string notFound = "Size name not found";
  // Line i of a case goes to slot i, line number 20 + i.
  const std::vector<SizeLine> cases[] = {
      {{"$$SIZE \"  A  \" !\tT !", 0, "", "A", "T"}},
      {{"$$SIZE \"A\" ! \t !", 0, "", "A", ""}},
      {{"$$SIZE !T! \"open", 0, "", "open", "T"}},
      {{"$$SIZE !T!", -1, WithLine("E", notFound, 20), "", ""}},
      {{"$$SIZE \"   \" !T!", -1, WithLine("E", notFound, 20), "", ""}},
      {{"$$SIZE \"" + n40 + "\"", 0, WithLine("W", nameCut, 20), n32, ""}},
      {{"$$SIZE \"A\" !" + n40 + "!", 0, WithLine("W", "Size title too long (cut)", 20), "A", n32}},
      {{"$$SIZE \"" + n32 + "\" !" + n32 + "!", 0, "", n32, n32}},
      {{"$$SIZE \"A\"", 0, "", "A", ""},
       {"$$SIZE \"a\"", 0, "", "a", ""},
       {"$$SIZE \"A\" !again!", 20, WithLine("E", "Size name multiple define", 22), "A", "again"}},
      {{"$$SIZE \"" + n32 + "\"", 0, "", n32, ""},
       {"$$SIZE \"" + n40 + "\"", 20,
        WithLine("W", nameCut, 21) + WithLine("E", "Size name multiple define", 21), n32, ""}},
      {{"$$SIZE \"%s%n\" !%d!", 0, "", "%s%n", "%d"}},
  };
  for (const auto& lines : cases) {
    ResetParserState();
    for (size_t i = 0; i < lines.size(); ++i) {
      const SizeLine& line = lines[i];
      SCOPED_TRACE(line.line);
      const int index = static_cast<int>(i);
      EXPECT_EQ(CompileSizeLine(line.line, index, 20 + index), line.result);
      EXPECT_EQ(TakeLog(), line.log);
      const SizeRecord* record = Slot(index);
      if (line.name.empty()) {
        EXPECT_EQ(record, nullptr);
        continue;
      }
      ASSERT_NE(record, nullptr);
      EXPECT_EQ(record->name.View(), line.name);
      EXPECT_EQ(record->name.Length(), line.name.size());
      EXPECT_EQ(record->title.View(), line.title);
      EXPECT_EQ(record->title.Length(), line.title.size());
      EXPECT_EQ(record->memberOffset, 0u);
    }
  }
}

TEST_F(SizeLineTest, ConsoleOrderWithBothCuts) {
  const std::string n40(40, 'N');
  const std::string t40(40, 'T');
  CaptureFd capture(1);
  EXPECT_EQ(CompileSizeLine("$$SIZE \"" + n40 + "\" !" + t40 + "!", 0, 5), 0);
  EXPECT_EQ(CompileSizeLine("$$SIZE !only a title!", 1, 6), -1);
  EXPECT_EQ(capture.Text(), WithLine("W", "Size name too long (cut)", 5) + "\tSize name\t\t" +
                                std::string(32, 'N') + "\n" +
                                WithLine("W", "Size title too long (cut)", 5) +
                                WithLine("E", "Size name not found", 6));
}

TEST_F(SizeLineTest, TheTableHolds2048Sizes) {
  for (int i = 0; i < kMaxSizes; ++i) {
    ASSERT_EQ(AddSize(i, "S" + std::to_string(i), ""), 0) << i;
  }
  EXPECT_EQ(CompileSizeLine("$$SIZE \"S2048\"", kMaxSizes, 4100), kTableFull);
  // A name already used is still only "too many" once the table is full.
  EXPECT_EQ(CompileSizeLine("$$SIZE \"S0\"", kMaxSizes, 4101), kTableFull);
  EXPECT_EQ(TakeLog(), WithLine("W", "Size member too many", 4100) +
                           WithLine("W", "Size member too many", 4101));
  EXPECT_EQ(AddSize(-1, "X", ""), kTableFull);
  // The last slot sees every name below it, and none of its own or above.
  EXPECT_EQ(AddSize(kMaxSizes - 1, "S0", ""), -1);
  EXPECT_EQ(AddSize(kMaxSizes - 1, "S2047", "new"), 0);
  EXPECT_EQ(Slot(kMaxSizes - 1)->title.View(), "new");
  EXPECT_EQ(AddSize(0, "S1", ""), 0);
  EXPECT_EQ(Slot(0)->name.View(), "S1");
}

TEST_F(SizeLineTest, ExhaustedMemoryLeavesTheSlotEmpty) {
  ASSERT_EQ(AddSize(0, "OLD", ""), 0);
  OvFaults::Arm(OvFaultKind::kAllocation, 1, false);
  EXPECT_EQ(CompileSizeLine("$$SIZE \"A\" !T!", 0, 8), kNoMemory);
  EXPECT_EQ(OvFaults::Injected(OvFaultKind::kAllocation), 1);
  EXPECT_EQ(TakeLog(), Bare("E", "Memory Allocate Error"));
  EXPECT_EQ(Slot(0), nullptr);
  OvFaults::Reset();
  EXPECT_EQ(CompileSizeLine("$$SIZE \"A\" !T!", 0, 8), 0);
  EXPECT_EQ(OvFaults::Count(OvFaultKind::kAllocation), 1);
  ASSERT_NE(Slot(0), nullptr);
  EXPECT_EQ(Slot(0)->name.View(), "A");
}

}  // namespace
}  // namespace partsc::testing
