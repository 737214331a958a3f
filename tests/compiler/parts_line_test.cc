#include "compiler/parts_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser_fixture.h"
#include "platform/ov_faults.h"

namespace partsc::testing {
namespace {

using PartsLineTest = ParserTest;
using MacroTest = ParserTest;

constexpr int32_t kUnset = -77;  // a value the parser must not write

struct PartsCase {
  const char* label;
  std::string line;
  int result;
  std::string name;
  std::string comment;
  int32_t value1;
  int32_t value2;
  std::string log;
};

TEST_F(PartsLineTest, Table) {
  const std::string name23 = "ABCDEFGHIJKLMNOPQRSTUVW";
  const std::string comment65(65, 'c');
  const PartsCase cases[] = {
      {"name, values and comment", "$$PARTS !BOLT! <3,5> \"hex bolt\"", 0, "BOLT", "hex bolt", 3, 5,
       ""},
      {"fields in any order", "$$PARTS \"hex bolt\" <3,5> !BOLT!", 0, "BOLT", "hex bolt", 3, 5, ""},
      {"conversions", "$$PARTS !N! <12.7, -1.5>", 0, "N", "", 12, -1, ""},
      {"16-bit wrap", "$$PARTS !N! <32768, 1e10>", 0, "N", "", -32768, -7168, ""},
      {"no list", "$$PARTS !N! \"c\"", 0, "N", "c", kUnset, kUnset, ""},
      {"zero and a name are not written", "$$PARTS !N! <0, X>", 0, "N", "", kUnset, kUnset, ""},
      {"only the second is a number", "$$PARTS !N! <X, 4>", 0, "N", "", kUnset, 4, ""},
      {"name cut to 22", "$$PARTS !" + name23 + "!", 0, name23.substr(0, 22), "", kUnset, kUnset,
       WithLine("W", "Parts name too long (cut)", 7)},
      {"comment cut to 64", "$$PARTS !N! \"" + comment65 + "\"", 0, "N", comment65.substr(0, 64),
       kUnset, kUnset, WithLine("W", "Parts title too long (cut)", 7)},
      {"both cut, name first", "$$PARTS \"" + comment65 + "\" !" + name23 + "!", 0,
       name23.substr(0, 22), comment65.substr(0, 64), kUnset, kUnset,
       WithLine("W", "Parts name too long (cut)", 7) +
           WithLine("W", "Parts title too long (cut)", 7)},
      {"comment before the name gives up its mark", "$$PARTS \"a!b\" !N!", 0, "b\"", "a!b", kUnset,
       kUnset, ""},
      {"comment before the list gives up its bracket", "$$PARTS !N! \"x<1\" <5,6>", 0, "N", "x<1",
       kUnset, 6, ""},
      {"percent in the name", "$$PARTS !%s%n!", 0, "%s%n", "", kUnset, kUnset, ""},
      {"no exclamation marks", "$$PARTS <1,2> \"c\"", -1, "old", "old", kUnset, kUnset,
       WithLine("E", "Parts name not found", 7)},
      {"blank name", "$$PARTS !  ! <1,2>", -1, "old", "old", kUnset, kUnset,
       WithLine("E", "Parts name not found", 7)},
  };
  for (const PartsCase& c : cases) {
    std::string name = "old";
    std::string comment = "old";
    int32_t value1 = kUnset;
    int32_t value2 = kUnset;
    EXPECT_EQ(CompilePartsLine(c.line, 7, name, comment, value1, value2), c.result) << c.label;
    EXPECT_EQ(name, c.name) << c.label;
    EXPECT_EQ(comment, c.comment) << c.label;
    EXPECT_EQ(value1, c.value1) << c.label;
    EXPECT_EQ(value2, c.value2) << c.label;
    EXPECT_EQ(TakeLog(), c.log) << c.label;
  }
}

struct MacroCase {
  const char* label;
  std::string line;
  std::string name;  // looked up afterwards; empty: nothing may be defined
  std::string value;
  std::string log;
};

TEST_F(MacroTest, LineTable) {
  const std::string long70(70, 'n');
  const MacroCase cases[] = {
      {"name and value", "t !A! (25)", "A", "25", ""},
      {"value keeps inner parentheses", "t !A! (a(b))", "A", "a(b)", ""},
      {"value trimmed", "t !A! (  x y\t)", "A", "x y", ""},
      {"fields in any order", "t (7) !A!", "A", "7", ""},
      {"name and value cut silently", "t !" + long70 + "! (" + long70 + ")", long70.substr(0, 64),
       long70.substr(0, 64), ""},
      {"no name", "t (25)", "", "", WithLine("W", "Macro Name Nothing", 3)},
      {"blank name", "t !  ! (25)", "", "", WithLine("W", "Macro Name Nothing", 3)},
      {"no value", "t !A!", "", "", WithLine("W", "Macro Value Nothing", 3)},
      {"blank value", "t !A! ( \t )", "", "", WithLine("W", "Macro Value Nothing", 3)},
      {"nothing at all", "t", "", "", WithLine("W", "Macro Name Nothing", 3)},
  };
  for (const MacroCase& c : cases) {
    ClearMacros();
    EXPECT_EQ(CompileMacroLine(c.line, 3), 0) << c.label;
    EXPECT_EQ(TakeLog(), c.log) << c.label;
    if (c.name.empty()) {
      EXPECT_EQ(MacroCount(), 0) << c.label;
      continue;
    }
    EXPECT_EQ(MacroCount(), 1) << c.label;
    std::string value;
    EXPECT_EQ(GetMacroValue(c.name, value), 0) << c.label;
    EXPECT_EQ(value, c.value) << c.label;
  }
}

TEST_F(MacroTest, RedefinitionKeepsTheIndexAndNamesAreCaseSensitive) {
  ASSERT_EQ(CompileMacroLine("t !A! (1)", 1), 0);
  ASSERT_EQ(CompileMacroLine("t !B! (2)", 2), 0);
  ASSERT_EQ(CompileMacroLine("t !A! (3)", 3), 0);
  EXPECT_EQ(MacroCount(), 2);
  EXPECT_EQ(FindMacro("A"), 0);
  EXPECT_EQ(FindMacro("B"), 1);
  EXPECT_EQ(FindMacro("a"), -1);
  EXPECT_EQ(FindMacro("A "), -1);
  EXPECT_EQ(FindMacro(""), -1);
  std::string value;
  EXPECT_EQ(GetMacroValue("A", value), 0);
  EXPECT_EQ(value, "3");
  EXPECT_EQ(TakeLog(), "");
}

TEST_F(MacroTest, UndefinedNameLeavesTheBuffer) {
  std::string value = "keep";
  EXPECT_EQ(GetMacroValue("X", value), -1);
  EXPECT_EQ(value, "keep");
  ASSERT_EQ(DefineMacro("Y", "1"), 0);
  EXPECT_EQ(GetMacroValue("X", value), -1);
  EXPECT_EQ(value, "keep");
}

TEST_F(MacroTest, GrowsBy256AndKeepsEveryEntry) {
  const int32_t before = MacroCapacity();
  EXPECT_EQ(before % kMacroGrowth, 0);
  ClearMacros();
  for (int i = 0; i < 257; ++i) {
    ASSERT_EQ(DefineMacro("M" + std::to_string(i), "v" + std::to_string(i)), 0);
    if (i == 255 && before == 0) {
      EXPECT_EQ(MacroCapacity(), 256);
    }
  }
  EXPECT_EQ(MacroCount(), 257);
  EXPECT_EQ(MacroCapacity(), before > 512 ? before : 512);
  for (int i = 0; i < 257; ++i) {
    const std::string name = "M" + std::to_string(i);
    ASSERT_EQ(FindMacro(name), i);
    std::string value;
    ASSERT_EQ(GetMacroValue(name, value), 0);
    ASSERT_EQ(value, "v" + std::to_string(i));
  }
  // Clearing empties the table but keeps its slots for reuse.
  const int32_t capacity = MacroCapacity();
  ClearMacros();
  EXPECT_EQ(MacroCount(), 0);
  EXPECT_EQ(MacroCapacity(), capacity);
  EXPECT_EQ(FindMacro("M0"), -1);
  ASSERT_EQ(DefineMacro("M200", "again"), 0);
  EXPECT_EQ(FindMacro("M200"), 0);
  EXPECT_EQ(MacroCapacity(), capacity);
}

TEST_F(MacroTest, ThousandsOfMacros) {
  for (int i = 0; i < 2000; ++i) {
    ASSERT_EQ(DefineMacro("N" + std::to_string(i), std::to_string(i * 3)), 0);
  }
  EXPECT_EQ(MacroCount(), 2000);
  EXPECT_GE(MacroCapacity(), 2048);
  EXPECT_EQ(MacroCapacity() % kMacroGrowth, 0);
  for (int i = 1999; i >= 0; --i) {
    ASSERT_EQ(FindMacro("N" + std::to_string(i)), i);
  }
  EXPECT_EQ(FindMacro("N2000"), -1);
}

// Every allocation of a definition, failed in turn: the table is left as it
// was, and the next attempt succeeds. A new name in a full table costs the
// slot array, the name and the value; with room left the name and the value;
// a redefinition the value only.
TEST_F(MacroTest, EveryAllocationCanFail) {
  struct Step {
    const char* label;
    bool fillTable;  // define macros up to the capacity first
    bool redefine;   // the failing definition replaces a value
    int allocations;
  };
  const Step steps[] = {
      {"new name, table full", true, false, 3},
      {"new name, room left", false, false, 2},
      {"redefinition", false, true, 1},
  };
  for (const Step& step : steps) {
    ClearMacros();
    const int prefill = step.fillTable ? MacroCapacity() : 1;
    for (int i = 0; i < prefill; ++i) {
      ASSERT_EQ(DefineMacro("P" + std::to_string(i), "p"), 0);
    }
    const std::string name = step.redefine ? "P0" : "NEW";
    const int32_t count = MacroCount();
    const int32_t capacity = MacroCapacity();
    ASSERT_EQ(count == capacity, step.fillTable) << step.label;
    for (int n = 1; n <= step.allocations; ++n) {
      OvFaults::Arm(OvFaultKind::kAllocation, n, false);
      EXPECT_EQ(DefineMacro(name, "fresh"), kMacroNoMemory) << step.label << " allocation " << n;
      EXPECT_EQ(OvFaults::Injected(OvFaultKind::kAllocation), n) << step.label;
      EXPECT_EQ(MacroCount(), count) << step.label << " allocation " << n;
      EXPECT_EQ(MacroCapacity(), capacity) << step.label << " allocation " << n;
      std::string value;
      if (step.redefine) {
        EXPECT_EQ(GetMacroValue(name, value), 0) << step.label;
        EXPECT_EQ(value, "p") << step.label << " allocation " << n;
      } else {
        EXPECT_EQ(FindMacro(name), -1) << step.label << " allocation " << n;
      }
    }
    OvFaults::Reset();
    ASSERT_EQ(DefineMacro(name, "fresh"), 0) << step.label;
    EXPECT_EQ(OvFaults::Count(OvFaultKind::kAllocation), step.allocations) << step.label;
    EXPECT_EQ(FindMacro(name), step.redefine ? 0 : count) << step.label;
    EXPECT_EQ(MacroCapacity(), step.fillTable ? capacity + kMacroGrowth : capacity) << step.label;
    for (int i = 0; i < prefill; ++i) {
      ASSERT_EQ(FindMacro("P" + std::to_string(i)), i) << step.label;
    }
  }
}

TEST_F(MacroTest, LineReportsExhaustedMemory) {
  OvFaults::Arm(OvFaultKind::kAllocation, 1, true);
  EXPECT_EQ(CompileMacroLine("t !A! (1)", 9), 109);
  OvFaults::Reset();
  EXPECT_EQ(TakeLog(), Bare("E", "Memory Allocate Error"));
  EXPECT_EQ(MacroCount(), 0);
}

}  // namespace
}  // namespace partsc::testing
