#include "compiler/parts_line.h"

#include <gtest/gtest.h>

#include <string>

#include "parser_fixture.h"
#include "platform/ov_faults.h"

namespace partsc::testing {
namespace {

using PartsLineTest = ParserTest;
using MacroTest = ParserTest;

constexpr int32_t kUnset = -77;  // a value the parser must not write

TEST_F(PartsLineTest, Table) {
  const std::string name23 = "ABCDEFGHIJKLMNOPQRSTUVW";
  const std::string comment65(65, 'c');
  const std::string nameCut = WithLine("W", "Parts name too long (cut)", 7);
  const std::string titleCut = WithLine("W", "Parts title too long (cut)", 7);
  const std::string notFound = WithLine("E", "Parts name not found", 7);
  const struct {
    std::string line;
    int result;
    std::string name, comment;
    int32_t value1, value2;
    std::string log;
  } cases[] = {
      {"$$PARTS \"hex bolt\" <3,5> !BOLT!", 0, "BOLT", "hex bolt", 3, 5, ""},
      {"$$PARTS !N! <12.7, -1.5>", 0, "N", "", 12, -1, ""},
      {"$$PARTS !N! <32768, 1e10>", 0, "N", "", -32768, -7168, ""},
      {"$$PARTS !N! <0, X>", 0, "N", "", kUnset, kUnset, ""},  // zero and names are not written
      {"$$PARTS !N! <X, 4>", 0, "N", "", kUnset, 4, ""},
      {"$$PARTS \"" + comment65 + "\" !" + name23 + "!", 0, name23.substr(0, 22),
       comment65.substr(0, 64), kUnset, kUnset, nameCut + titleCut},
      {"$$PARTS \"a!b\" !N!", 0, "b\"", "a!b", kUnset, kUnset, ""},
      {"$$PARTS !N! \"x<1\" <5,6>", 0, "N", "x<1", kUnset, 6, ""},
      {"$$PARTS !%s%n!", 0, "%s%n", "", kUnset, kUnset, ""},
      {"$$PARTS <1,2> \"c\"", -1, "old", "old", kUnset, kUnset, notFound},
      {"$$PARTS !  ! <1,2>", -1, "old", "old", kUnset, kUnset, notFound},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    std::string name = "old";
    std::string comment = "old";
    int32_t value1 = kUnset;
    int32_t value2 = kUnset;
    EXPECT_EQ(CompilePartsLine(c.line, 7, name, comment, value1, value2), c.result);
    EXPECT_EQ(name, c.name);
    EXPECT_EQ(comment, c.comment);
    EXPECT_EQ(value1, c.value1);
    EXPECT_EQ(value2, c.value2);
    EXPECT_EQ(TakeLog(), c.log);
  }
}

TEST_F(MacroTest, LineTable) {
  const std::string long70(70, 'n');
  const std::string noName = WithLine("W", "Macro Name Nothing", 3);
  const std::string noValue = WithLine("W", "Macro Value Nothing", 3);
  const struct {
    std::string line;
    std::string name;  // looked up afterwards; empty: nothing may be defined
    std::string value;
    std::string log;
  } cases[] = {
      {"t !A! (a(b))", "A", "a(b)", ""},
      {"t (  x y\t) !A!", "A", "x y", ""},
      {"t !" + long70 + "! (" + long70 + ")", long70.substr(0, 64), long70.substr(0, 64), ""},
      {"t (25)", "", "", noName},
      {"t !  ! (25)", "", "", noName},
      {"t !A!", "", "", noValue},
      {"t !A! ( \t )", "", "", noValue},
      {"t", "", "", noName},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    ClearMacros();
    EXPECT_EQ(CompileMacroLine(c.line, 3), 0);
    EXPECT_EQ(TakeLog(), c.log);
    EXPECT_EQ(MacroCount(), c.name.empty() ? 0 : 1);
    std::string value = "none";
    EXPECT_EQ(GetMacroValue(c.name, value), c.name.empty() ? -1 : 0);
    EXPECT_EQ(value, c.name.empty() ? "none" : c.value);
  }
}

TEST_F(MacroTest, GrowsBy256AndKeepsEveryEntry) {
  ClearMacros();
  const int32_t before = MacroCapacity();
  for (int i = 0; i < 2000; ++i) {
    ASSERT_EQ(DefineMacro("M" + std::to_string(i), "v" + std::to_string(i)), 0);
    if (i == 256) {
      EXPECT_EQ(MacroCapacity(), before > 512 ? before : 512);
    }
  }
  // A macro line redefines a name in its place; names are compared exactly.
  ASSERT_EQ(CompileMacroLine("t !M5! (again)", 1), 0);
  EXPECT_EQ(FindMacro("M5"), 5);
  EXPECT_EQ(FindMacro("m5"), -1);
  EXPECT_EQ(FindMacro("M5 "), -1);
  std::string value;
  EXPECT_EQ(GetMacroValue("M5", value), 0);
  EXPECT_EQ(value, "again");
  EXPECT_EQ(MacroCount(), 2000);
  EXPECT_EQ(MacroCapacity() % kMacroGrowth, 0);
  for (int i = 1999; i >= 0; --i) {
    const std::string name = "M" + std::to_string(i);
    ASSERT_EQ(FindMacro(name), i);
    ASSERT_EQ(GetMacroValue(name, value), 0);
    ASSERT_EQ(value, i == 5 ? "again" : "v" + std::to_string(i));
  }
  // Clearing empties the table but keeps its slots for reuse.
  const int32_t capacity = MacroCapacity();
  ClearMacros();
  EXPECT_EQ(MacroCount(), 0);
  EXPECT_EQ(FindMacro("M0"), -1);
  ASSERT_EQ(DefineMacro("M200", "again"), 0);
  EXPECT_EQ(FindMacro("M200"), 0);
  EXPECT_EQ(MacroCapacity(), capacity);
}

// Every allocation of a definition, failed in turn: the table is left as it
// was, and the next attempt succeeds. A new name in a full table costs the
// slot array, the name and the value; with room left the name and the value;
// a redefinition the value only.
TEST_F(MacroTest, EveryAllocationCanFail) {
  const struct {
    bool fillTable;  // define macros up to the capacity first
    bool redefine;   // the failing definition replaces a value
    int allocations;
  } steps[] = {{true, false, 3}, {false, false, 2}, {false, true, 1}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.allocations);
    ClearMacros();
    const int prefill = step.fillTable ? MacroCapacity() : 1;
    for (int i = 0; i < prefill; ++i) {
      ASSERT_EQ(DefineMacro("P" + std::to_string(i), "p"), 0);
    }
    const std::string name = step.redefine ? "P0" : "NEW";
    const int32_t count = MacroCount();
    const int32_t capacity = MacroCapacity();
    ASSERT_EQ(count == capacity, step.fillTable);
    for (int n = 1; n <= step.allocations; ++n) {
      OvFaults::Arm(OvFaultKind::kAllocation, n, false);
      EXPECT_EQ(DefineMacro(name, "fresh"), kNoMemory) << n;
      EXPECT_EQ(OvFaults::Injected(OvFaultKind::kAllocation), n);
      EXPECT_EQ(MacroCount(), count) << n;
      EXPECT_EQ(MacroCapacity(), capacity) << n;
      std::string value = "p";
      EXPECT_EQ(GetMacroValue(name, value), step.redefine ? 0 : -1) << n;
      EXPECT_EQ(value, "p") << n;
    }
    OvFaults::Reset();
    ASSERT_EQ(DefineMacro(name, "fresh"), 0);
    EXPECT_EQ(OvFaults::Count(OvFaultKind::kAllocation), step.allocations);
    EXPECT_EQ(FindMacro(name), step.redefine ? 0 : count);
    EXPECT_EQ(MacroCapacity(), step.fillTable ? capacity + kMacroGrowth : capacity);
    for (int i = 0; i < prefill; ++i) {
      ASSERT_EQ(FindMacro("P" + std::to_string(i)), i);
    }
  }
  // A macro line answers 109 and reports the bare message.
  ClearMacros();
  TakeLog();
  OvFaults::Arm(OvFaultKind::kAllocation, 1, true);
  EXPECT_EQ(CompileMacroLine("t !A! (1)", 9), 109);
  OvFaults::Reset();
  EXPECT_EQ(TakeLog(), Bare("E", "Memory Allocate Error"));
  EXPECT_EQ(MacroCount(), 0);
}

}  // namespace
}  // namespace partsc::testing
