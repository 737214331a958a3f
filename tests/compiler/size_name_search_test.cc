// The two searches of the size table by name, against the plain rule they
// stand for: AddSize refuses a name that a slot below its index holds, and a
// member list is tied to the first of the counted records of its name. Long
// random sequences with duplicates, empty slots, restarts and cleared tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compiler/size_line.h"
#include "parser_fixture.h"
#include "partsfile/parts_state.h"
#include "partsfile/parts_writer.h"

namespace partsc::testing {
namespace {

using SizeNameSearchTest = ParserTest;

// A fixed generator, so that every run checks the same sequences.
class Draw {
 public:
  explicit Draw(uint32_t seed) : state_(seed) {}
  int Below(int bound) {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<int>((state_ >> 8) % static_cast<uint32_t>(bound));
  }

 private:
  uint32_t state_;
};

// Few names, so that they repeat: empty, one byte, bytes above 127, 32
// characters, and names that are the beginning of another.
std::string AName(Draw& draw) {
  static const std::vector<std::string> kNames = {"",
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
                                                  "S100",
                                                  "M6",
                                                  "M12"};
  return kNames[static_cast<size_t>(draw.Below(static_cast<int>(kNames.size())))];
}

SizeTable& Table() {
  return PartsFileState::Instance().sizeTable;
}

// The rule: the first slot below `end` that holds a record of that name.
std::optional<int> FirstSlotOf(const std::string& name, int end) {
  for (int i = 0; i < end; ++i) {
    if (Table()[static_cast<size_t>(i)] != nullptr &&
        Table()[static_cast<size_t>(i)]->name.View() == name) {
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
      const int choice = draw.Below(20);
      if (choice == 0) {
        ClearTables();  // the size slots stay: the header counts none
        next = draw.Below(4);
        continue;
      }
      // Mostly the next slot, as a compile goes; now and then a restart, a
      // slot again or a slot further on.
      int index = next;
      if (choice == 1) {
        index = 0;
      } else if (choice == 2) {
        index = draw.Below(next + 1);
      } else if (choice == 3) {
        index = next + draw.Below(3);
      }
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
    const int count = 1 + draw.Below(40);
    // Slots filled directly, as a damaged table may be: repeated names and
    // empty slots; one slot past the count that must never be tied.
    for (int i = 0; i <= count; ++i) {
      if (draw.Below(6) == 0) {
        continue;
      }
      auto record = std::make_unique<SizeRecord>();
      record->name.Assign(AName(draw));
      Table()[static_cast<size_t>(i)] = std::move(record);
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
      const SizeRecord* record = Table()[static_cast<size_t>(i)].get();
      EXPECT_EQ(record != nullptr ? record->memberOffset : 0u, expected[static_cast<size_t>(i)])
          << "seed " << seed << " slot " << i;
    }
  }
}

}  // namespace
}  // namespace partsc::testing
