// The two searches of the size table by name, against the plain rule they
// stand for: AddSize refuses a name that a slot below its index holds, and a
// member list is tied to the first of the counted records of its name. Long
// random sequences with duplicates, empty slots, restarts and cleared tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "compiler/size_line.h"
#include "parser_fixture.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_state.h"
#include "partsfile/parts_writer.h"

namespace partsc::testing {
namespace {

using SizeNameSearchTest = ParserTest;
using Draw = std::minstd_rand;  // fixed seeds: every run checks the same sequences

int Below(Draw& draw, int bound) {
  return static_cast<int>(draw() % static_cast<uint32_t>(bound));
}

// Few names, so that they repeat: empty, bytes above 127, 32 characters, and
// names that are the beginning of another.
std::string AName(Draw& draw) {
  static const std::string kNames[] = {"",
                                       "A",
                                       "AB",
                                       "ABC",
                                       "B",
                                       "\x80",
                                       "\xff",
                                       "a",
                                       std::string(32, 'Z'),
                                       std::string(31, 'Z'),
                                       "S10",
                                       "S1",
                                       "S100"};
  return kNames[Below(draw, static_cast<int>(std::size(kNames)))];
}

SizeTable& Table() {
  return PartsFileState::Instance().sizeTable;
}

// The rule: the first slot below `end` that holds a record of that name.
std::optional<int> FirstSlotOf(const std::string& name, int end) {
  for (int i = 0; i < end; ++i) {
    if (Table()[i] != nullptr && Table()[i]->name.View() == name) {
      return i;
    }
  }
  return std::nullopt;
}

TEST_F(SizeNameSearchTest, AddSizeRefusesExactlyTheNamesHeldBelowItsIndex) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    Draw draw(seed);
    int next = 0;
    for (int step = 0; step < 400; ++step) {
      const int choice = Below(draw, 20);
      if (choice == 0) {
        ClearTables();  // the size slots stay: the header counts none
        next = Below(draw, 4);
        continue;
      }
      // Mostly the next slot, as a compile goes; now and then a restart, a
      // slot again or a slot further on.
      const int index = choice == 1   ? 0
                        : choice == 2 ? Below(draw, next + 1)
                        : choice == 3 ? next + Below(draw, 3)
                                      : next;
      const std::string name = AName(draw);
      const int expected = FirstSlotOf(name, index).has_value() ? -1 : 0;
      ASSERT_EQ(AddSize(index, name, "t"), expected)
          << "seed " << seed << " step " << step << " index " << index << " name " << name;
      next = expected == 0 ? index + 1 : index;
    }
    ResetParserState();
  }
}

TEST_F(SizeNameSearchTest, AListIsTiedToTheFirstCountedRecordOfItsName) {
  for (uint32_t seed = 1; seed <= 10; ++seed) {
    Draw draw(seed);
    ResetParserState();
    const int count = 1 + Below(draw, 40);
    // Slots filled directly, as a damaged table may be: repeated names and
    // empty slots; one slot past the count that must never be tied.
    for (int i = 0; i <= count; ++i) {
      if (Below(draw, 6) != 0) {
        Table()[i] = std::make_unique<SizeRecord>();
        Table()[i]->name.Assign(AName(draw));
      }
    }
    int32_t sizeCount = count;
    HeaderSizeCount(0, sizeCount);
    ASSERT_EQ(OpenPartsFile(1, "tie.prt"), 0);
    BeginMemberLists();
    std::vector<uint32_t> expected(static_cast<size_t>(count) + 1, 0);
    uint32_t position = static_cast<uint32_t>(MemberListsOffset());
    for (int list = 0; list < 30; ++list) {
      const std::string name = AName(draw);
      if (const std::optional<int> slot = FirstSlotOf(name, count)) {
        expected[static_cast<size_t>(*slot)] = position;
      }
      ASSERT_EQ(WriteMemberList(name), 0);
      position += kMemberHeadSize;  // an empty list: its end record only
    }
    ClosePartsFile();
    for (int i = 0; i <= count; ++i) {
      const SizeRecord* record = Table()[i].get();
      EXPECT_EQ(record != nullptr ? record->memberOffset : 0u, expected[static_cast<size_t>(i)])
          << "seed " << seed << " slot " << i;
    }
  }
}

}  // namespace
}  // namespace partsc::testing
