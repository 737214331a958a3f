#include "compiler/member_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "compiler/parts_line.h"
#include "parser_fixture.h"
#include "partsfile/parts_state.h"
#include "platform/ov_faults.h"

namespace partsc::testing {
namespace {

using MemberLineTest = ParserTest;
using ExpandMacrosTest = ParserTest;

PartsFileState& State() {
  return PartsFileState::Instance();
}

void SetDefaultRecord(int32_t record) {
  int32_t file = 0;
  HeaderSpec(0, file, record);
}

const std::string kIllegalSpec = "Illegal spec defination";
const std::string kIllegalParam = "Illegal param defination";

struct SpecCase {
  const char* label;
  std::string line;
  int32_t defaultRecord;
  int result;
  uint16_t number;
  uint16_t invertedFlag;
  uint16_t record;
  std::string name;
};

TEST_F(MemberLineTest, SpecTable) {
  const SpecCase cases[] = {
      {"record equal to the default", "s [2] <5,1> \"ABC\"", 2, 0, 5, 0, 0, "ABC"},
      {"record differs from the default", "s [2] <5,1> \"ABC\"", 0, 0, 5, 0, 2, "ABC"},
      {"no list gives record 0", "s <3,0> \"N\"", 7, 0, 3, 1, 0, "N"},
      {"empty list gives record 0", "s [] <3,0> \"N\"", 7, 0, 3, 1, 0, "N"},
      {"no pair", "s \"N\"", 0, 0, 0, 1, 0, "N"},
      {"fraction dropped", "s <2.9,1> \"N\"", 0, 0, 2, 0, 0, "N"},
      {"negative number keeps 16 bits", "s <-1,1> \"N\"", 0, 0, 65535, 0, 0, "N"},
      {"large number keeps 16 bits", "s <70000,1> \"N\"", 0, 0, 4464, 0, 0, "N"},
      {"only the first pair counts", "s <1,1,2,0.5> \"N\"", 0, 0, 1, 0, 0, "N"},
      {"record truncated", "s [2.7] <1,1> \"N\"", 0, 0, 1, 0, 2, "N"},
      {"negative record", "s [-3] <1,1> \"N\"", 0, 0, 1, 0, 65533, "N"},
      {"default -1 and record -1", "s [-1] <1,1> \"N\"", -1, 0, 1, 0, 0, "N"},
      {"16-bit patterns compared", "s [65535] <1,1> \"N\"", -1, 0, 1, 0, 0, "N"},
      {"record that is no number", "s [x] <1,1> \"N\"", 5, 0, 1, 0, 0, "N"},
      {"fields in any order", "s \"N\" <4,0> [9]", 0, 0, 4, 1, 9, "N"},
      {"second number 2", "s <2,2> \"N\"", 0, -1, 0, 0, 0, ""},
      {"second number 0.5", "s <2,0.5> \"N\"", 0, -1, 0, 0, 0, ""},
      {"second number missing", "s <5> \"N\"", 0, -1, 0, 0, 0, ""},
      {"first number no number", "s <x,1> \"N\"", 0, -1, 0, 0, 0, ""},
      {"first number out of range", "s <1e39,1> \"N\"", 0, -1, 0, 0, 0, ""},
      {"empty pair list", "s <> \"N\"", 0, -1, 0, 0, 0, ""},
      {"empty name", "s <1,1> \"\"", 0, -1, 0, 0, 0, ""},
      {"blank name", "s <1,1> \"  \"", 0, -1, 0, 0, 0, ""},
      {"no name", "s <1,1>", 0, -1, 0, 0, 0, ""},
  };
  for (const SpecCase& c : cases) {
    ResetParserState();
    SetDefaultRecord(c.defaultRecord);
    EXPECT_EQ(CompileMemberLine(c.line, 12), c.result) << c.label;
    if (c.result != 0) {
      EXPECT_EQ(TakeLog(), WithLine("W", kIllegalSpec, 12)) << c.label;
      EXPECT_EQ(State().specCount, 0) << c.label;
      continue;
    }
    EXPECT_EQ(TakeLog(), "") << c.label;
    ASSERT_EQ(State().specCount, 1) << c.label;
    const SpecEntry& entry = *State().specTable[0];
    EXPECT_EQ(entry.number, c.number) << c.label;
    EXPECT_EQ(entry.invertedFlag, c.invertedFlag) << c.label;
    EXPECT_EQ(entry.record, c.record) << c.label;
    EXPECT_EQ(entry.name, c.name) << c.label;
    EXPECT_EQ(State().paramCount, 0) << c.label;
  }
}

struct ParamCase {
  const char* label;
  std::string line;
  int result;
  int16_t pairCode;
  std::string text;
  std::optional<std::string> comment;
};

TEST_F(MemberLineTest, ParamTable) {
  const std::string t70 = std::string(35, 'x') + std::string(35, 'y');
  const ParamCase cases[] = {
      {"text, no pair", "p !W! (10)", 0, 0, "10", std::nullopt},
      {"no text, no pair", "p !W!", -1, 0, "", std::nullopt},
      {"pair (1,0) needs no text", "p !W! <1,0>", 0, 1, "", std::nullopt},
      {"pair (0,1) with text", "p !W! (t) <0,1>", 0, 10, "t", std::nullopt},
      {"pair (0,1) needs text", "p !W! <0,1>", -1, 0, "", std::nullopt},
      {"pair (1,1)", "p !W! <1,1>", 0, 11, "", std::nullopt},
      {"pair (2,0)", "p !W! (t) <2,0>", -1, 0, "", std::nullopt},
      {"pair (0.5,0.5) gives 5", "p !W! (t) <0.5,0.5>", -1, 0, "", std::nullopt},
      {"pair (0.99,0) gives 0", "p !W! (t) <0.99,0>", 0, 0, "t", std::nullopt},
      {"pair (-0.5,0) gives 0", "p !W! (t) <-0.5,0>", 0, 0, "t", std::nullopt},
      {"pair (1,0.99) gives 10", "p !W! (t) <1,0.99>", 0, 10, "t", std::nullopt},
      {"pair (1,-0.09) gives 0", "p !W! (t) <1,-0.09>", 0, 0, "t", std::nullopt},
      {"huge pair", "p !W! (t) <1e30,0>", -1, 0, "", std::nullopt},
      {"pair not finite", "p !W! (t) <1e39,0>", -1, 0, "", std::nullopt},
      {"pair missing its second", "p !W! (t) <1>", -1, 0, "", std::nullopt},
      {"empty pair list, text", "p !W! (t) <>", 0, 0, "t", std::nullopt},
      {"empty pair list, no text", "p !W! <>", -1, 0, "", std::nullopt},
      {"comment", "p !W! (t) \"a comment\"", 0, 0, "t", "a comment"},
      {"empty comment is none", "p !W! (t) \"\"", 0, 0, "t", std::nullopt},
      {"nested text", "p !W! (a(b)c) <0,1>", 0, 10, "a(b)c", std::nullopt},
      {"text cut to 64", "p !W! (" + t70 + ")", 0, 0, t70.substr(0, 64), std::nullopt},
      {"name of six", "p !ABCDEF! (t)", 0, 0, "t", std::nullopt},
      {"name of seven", "p !ABCDEFG! (t)", -1, 0, "", std::nullopt},
      {"empty name", "p !! (t)", -1, 0, "", std::nullopt},
      {"no name", "p (t) <0,1>", -1, 0, "", std::nullopt},
      {"percent signs are text", "p !%s! (%n%d) \"%s\"", 0, 0, "%n%d", "%s"},
  };
  for (const ParamCase& c : cases) {
    ResetParserState();
    EXPECT_EQ(CompileMemberLine(c.line, 31), c.result) << c.label;
    if (c.result != 0) {
      EXPECT_EQ(TakeLog(), WithLine("W", kIllegalParam, 31)) << c.label;
      EXPECT_EQ(State().paramCount, 0) << c.label;
      continue;
    }
    EXPECT_EQ(TakeLog(), "") << c.label;
    ASSERT_EQ(State().paramCount, 1) << c.label;
    const ParamEntry& entry = *State().paramTable[0];
    EXPECT_EQ(entry.pairCode, c.pairCode) << c.label;
    EXPECT_EQ(entry.text, c.text) << c.label;
    EXPECT_EQ(entry.comment, c.comment) << c.label;
    EXPECT_EQ(State().specCount, 0) << c.label;
  }
}

TEST_F(MemberLineTest, OtherLinesAreNotStored) {
  for (const char* line : {"", "q !W! (t)", "S <1,1> \"N\"", "P !W! (t)", " s <1,1> \"N\""}) {
    EXPECT_EQ(CompileMemberLine(line, 1), 0) << line;
  }
  EXPECT_EQ(State().specCount, 0);
  EXPECT_EQ(State().paramCount, 0);
  EXPECT_EQ(TakeLog(), "");
}

TEST_F(MemberLineTest, ParamTextSeesTheMacros) {
  const struct {
    const char* line;
    std::string text;
  } cases[] = {
      {"p !W! ({A}+{A})", "25+25"},
      {"p !W! ({B})", "{"},
      {"p !W! (x{A)", "x25"},
      {"p !W! ({L}{L})", std::string(64, 'L')},
  };
  for (const auto& c : cases) {
    ResetParserState();
    ASSERT_EQ(DefineMacro("A", "25"), 0);
    ASSERT_EQ(DefineMacro("L", std::string(40, 'L')), 0);
    EXPECT_EQ(CompileMemberLine(c.line, 1), 0) << c.line;
    ASSERT_EQ(State().paramCount, 1) << c.line;
    EXPECT_EQ(State().paramTable[0]->text, c.text) << c.line;
  }
  EXPECT_EQ(TakeLog(), "");
}

TEST_F(MemberLineTest, SpecTableHolds256) {
  for (int i = 0; i < kMaxSpecEntries; ++i) {
    ASSERT_EQ(CompileMemberLine("s <" + std::to_string(i) + ",1> \"N\"", i + 1), 0) << i;
  }
  EXPECT_EQ(CompileMemberLine("s <1,1> \"N\"", 257), kMemberTableFull);
  EXPECT_EQ(TakeLog(), WithLine("W", kIllegalSpec, 257));
  EXPECT_EQ(State().specCount, kMaxSpecEntries);
  // A line that is not valid is still "not valid" in a full table.
  EXPECT_EQ(CompileMemberLine("s <1,1> \"\"", 258), -1);
  // The param table is separate.
  EXPECT_EQ(CompileMemberLine("p !W! (t)", 259), 0);
  EXPECT_EQ(State().specTable[255]->number, 255);
}

TEST_F(MemberLineTest, ParamTableHolds512) {
  for (int i = 0; i < kMaxParamEntries; ++i) {
    ASSERT_EQ(CompileMemberLine("p !W! (" + std::to_string(i) + ")", i + 1), 0) << i;
  }
  EXPECT_EQ(CompileMemberLine("p !W! (t)", 513), kMemberTableFull);
  EXPECT_EQ(TakeLog(), WithLine("W", kIllegalParam, 513));
  EXPECT_EQ(State().paramCount, kMaxParamEntries);
  EXPECT_EQ(CompileMemberLine("p !ABCDEFG! (t)", 514), -1);
  EXPECT_EQ(State().paramTable[511]->text, "511");
}

// Every allocation of an entry, failed in turn: nothing is counted, the
// message is bare, and the next attempt succeeds.
TEST_F(MemberLineTest, EveryAllocationCanFail) {
  const struct {
    const char* line;
    int allocations;  // entry, then each text copy
  } cases[] = {
      {"s [3] <1,1> \"N\"", 2},
      {"p !W! (t) <0,1> \"c\"", 4},
      {"p !W! <1,0>", 3},
  };
  for (const auto& c : cases) {
    for (int n = 1; n <= c.allocations; ++n) {
      ResetParserState();
      OvFaults::Arm(OvFaultKind::kAllocation, n, false);
      EXPECT_EQ(CompileMemberLine(c.line, 6), kMemberNoMemory) << c.line << " allocation " << n;
      EXPECT_EQ(OvFaults::Injected(OvFaultKind::kAllocation), 1) << c.line;
      EXPECT_EQ(TakeLog(), Bare("E", "Memory Allocate Error")) << c.line << " allocation " << n;
      EXPECT_EQ(State().specCount, 0) << c.line;
      EXPECT_EQ(State().paramCount, 0) << c.line;
      OvFaults::Reset();
      // The slot is filled afresh by the next line.
      EXPECT_EQ(CompileMemberLine(c.line, 7), 0) << c.line << " allocation " << n;
      EXPECT_EQ(OvFaults::Count(OvFaultKind::kAllocation), c.allocations) << c.line;
      EXPECT_EQ(State().specCount + State().paramCount, 1) << c.line;
    }
  }
  EXPECT_EQ(State().paramTable[0]->name, "W");
  EXPECT_EQ(State().paramTable[0]->pairCode, 1);
}

struct ExpandCase {
  const char* label;
  std::string text;
  int maxLength;
  int result;
  std::string expanded;
};

TEST_F(ExpandMacrosTest, Table) {
  const std::string v64(64, 'v');
  ASSERT_EQ(DefineMacro("A", "25"), 0);
  ASSERT_EQ(DefineMacro("R", "{A}"), 0);
  ASSERT_EQ(DefineMacro("V", v64), 0);
  ASSERT_EQ(DefineMacro("%s", "pct"), 0);
  const ExpandCase cases[] = {
      {"empty", "", 64, 0, ""},
      {"twice", "{A}+{A}", 64, 0, "25+25"},
      {"unknown name", "{B}", 64, 0, "{"},
      {"case matters", "{a}", 64, 0, "{"},
      {"unclosed at the end", "x{A", 64, 0, "x25"},
      {"brace at the end", "x{", 64, 0, "x{"},
      {"lone brace", "{", 64, 0, "{"},
      {"empty name", "{}", 64, 0, "{"},
      {"closing outside is text", "}{A}}", 64, 0, "}25}"},
      {"opening inside is part of the name", "{{A}", 64, 0, "{"},
      {"values are not expanded again", "{R}{R}", 64, 0, "{A}{A}"},
      {"percent in a name", "{%s}%d", 64, 0, "pct%d"},
      {"value fills the limit", "{V}", 64, 0, v64},
      {"one over the limit", "{V}x", 64, 1, v64},
      {"far over the limit", "{V}{V}{V}{V}{V}{V}{V}{V}", 64, 1, v64},
      {"text of 64", std::string(64, 't'), 64, 0, std::string(64, 't')},
      {"text of 65", std::string(65, 't'), 64, 1, std::string(64, 't')},
      {"small limit", "ab{A}", 3, 1, "ab2"},
      {"limit zero", "a", 0, 1, ""},
  };
  for (const ExpandCase& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(ExpandMacros(text, c.maxLength), c.result) << c.label;
    EXPECT_EQ(text, c.expanded) << c.label;
  }
  EXPECT_EQ(TakeLog(), "");
}

TEST_F(ExpandMacrosTest, ThousandsOfMacrosAndReferences) {
  std::string text;
  for (int i = 0; i < 2000; ++i) {
    ASSERT_EQ(DefineMacro("M" + std::to_string(i), "<" + std::to_string(i) + ">"), 0);
    text += "{M" + std::to_string(1999 - i) + "}";
  }
  std::string one = "{M1234}";
  EXPECT_EQ(ExpandMacros(one, 64), 0);
  EXPECT_EQ(one, "<1234>");

  std::string expected;
  for (int i = 1999; expected.size() < 64; --i) {
    expected += "<" + std::to_string(i) + ">";
  }
  EXPECT_EQ(ExpandMacros(text, 64), 1);
  EXPECT_EQ(text, expected.substr(0, 64));
}

}  // namespace
}  // namespace partsc::testing
