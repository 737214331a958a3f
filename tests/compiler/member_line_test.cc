#include "compiler/member_line.h"

#include <gtest/gtest.h>

#include <string>

#include "compiler/parts_line.h"
#include "parser_fixture.h"
#include "partsfile/parts_state.h"
#include "platform/ov_faults.h"

namespace partsc::testing {
namespace {

using MemberLineTest = ParserTest;

PartsFileState& State() {
  return PartsFileState::Instance();
}

const std::string kIllegalSpec = "Illegal spec defination";
const std::string kIllegalParam = "Illegal param defination";

TEST_F(MemberLineTest, SpecTable) {
  const struct {
    std::string line;
    int32_t defaultRecord;
    int result;
    uint16_t number, invertedFlag, record;
    std::string name;
  } cases[] = {
      {"s [2] <5,1> \"ABC\"", 2, 0, 5, 0, 0, "ABC"},  // the default record is stored as 0
      {"s [2] <5,1> \"ABC\"", 0, 0, 5, 0, 2, "ABC"},
      {"s [] <3,0> \"N\"", 7, 0, 3, 1, 0, "N"},
      {"s \"N\"", 0, 0, 0, 1, 0, "N"},
      {"s <2.9,1> \"N\"", 0, 0, 2, 0, 0, "N"},
      {"s <70000,1> \"N\"", 0, 0, 4464, 0, 0, "N"},
      {"s <1,1,2,0.5> \"N\"", 0, 0, 1, 0, 0, "N"},
      {"s [-3] <1,1> \"N\"", 0, 0, 1, 0, 65533, "N"},
      {"s [65535] <1,1> \"N\"", -1, 0, 1, 0, 0, "N"},  // 16-bit patterns compared
      {"s [x] <1,1> \"N\"", 5, 0, 1, 0, 0, "N"},
      {"s \"N\" <4,0> [9]", 0, 0, 4, 1, 9, "N"},
      {"s <2,0.5> \"N\"", 0, -1, 0, 0, 0, ""},
      {"s <5> \"N\"", 0, -1, 0, 0, 0, ""},
      {"s <x,1> \"N\"", 0, -1, 0, 0, 0, ""},
      {"s <1e39,1> \"N\"", 0, -1, 0, 0, 0, ""},
      {"s <1,1> \"  \"", 0, -1, 0, 0, 0, ""},
      {"s <1,1>", 0, -1, 0, 0, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    ResetParserState();
    int32_t file = 0;
    int32_t record = c.defaultRecord;
    HeaderSpec(0, file, record);
    EXPECT_EQ(CompileMemberLine(c.line, 12), c.result);
    EXPECT_EQ(State().paramCount, 0);
    if (c.result != 0) {
      EXPECT_EQ(TakeLog(), WithLine("W", kIllegalSpec, 12));
      EXPECT_EQ(State().specCount, 0);
      continue;
    }
    EXPECT_EQ(TakeLog(), "");
    ASSERT_EQ(State().specCount, 1);
    const SpecEntry& entry = *State().specTable[0];
    EXPECT_EQ(entry.number, c.number);
    EXPECT_EQ(entry.invertedFlag, c.invertedFlag);
    EXPECT_EQ(entry.record, c.record);
    EXPECT_EQ(entry.name, c.name);
  }
}

TEST_F(MemberLineTest, ParamTable) {
  const std::string t70 = std::string(35, 'x') + std::string(35, 'y');
  const struct {
    std::string line;
    int result;
    int16_t pairCode;
    std::string text;
    std::string comment;  // empty: none
  } cases[] = {
      {"p !W! (10)", 0, 0, "10", ""},
      {"p !W!", -1, 0, "", ""},
      {"p !W! <1,0>", 0, 1, "", ""},
      {"p !W! (t) <0,1>", 0, 10, "t", ""},
      {"p !W! <0,1>", -1, 0, "", ""},
      {"p !W! <1,1>", 0, 11, "", ""},
      {"p !W! (t) <2,0>", -1, 0, "", ""},
      {"p !W! (t) <0.5,0.5>", -1, 0, "", ""},
      {"p !W! (t) <-0.5,0>", 0, 0, "t", ""},
      {"p !W! (t) <1,0.99>", 0, 10, "t", ""},
      {"p !W! (t) <1e30,0>", -1, 0, "", ""},
      {"p !W! (t) <1>", -1, 0, "", ""},
      {"p !W! <>", -1, 0, "", ""},
      {"p !W! (t) \"\"", 0, 0, "t", ""},
      {"p !W! (a(b)c) <0,1>", 0, 10, "a(b)c", ""},
      {"p !W! (" + t70 + ")", 0, 0, t70.substr(0, 64), ""},
      {"p !ABCDEF! (t)", 0, 0, "t", ""},
      {"p !ABCDEFG! (t)", -1, 0, "", ""},
      {"p (t) <0,1>", -1, 0, "", ""},
      {"p !%s! (%n%d) \"%s\"", 0, 0, "%n%d", "%s"},
      {"p !W! ({A}+{B})", 0, 0, "25+{", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    ResetParserState();
    ASSERT_EQ(DefineMacro("A", "25"), 0);
    EXPECT_EQ(CompileMemberLine(c.line, 31), c.result);
    EXPECT_EQ(State().specCount, 0);
    if (c.result != 0) {
      EXPECT_EQ(TakeLog(), WithLine("W", kIllegalParam, 31));
      EXPECT_EQ(State().paramCount, 0);
      continue;
    }
    EXPECT_EQ(TakeLog(), "");
    ASSERT_EQ(State().paramCount, 1);
    const ParamEntry& entry = *State().paramTable[0];
    EXPECT_EQ(entry.pairCode, c.pairCode);
    EXPECT_EQ(entry.text, c.text);
    EXPECT_EQ(entry.comment, c.comment);
  }
}

TEST_F(MemberLineTest, OtherLinesAreNotStored) {
  for (const char* line : {"", "q !W! (t)", "S <1,1> \"N\"", " s <1,1> \"N\""}) {
    EXPECT_EQ(CompileMemberLine(line, 1), 0) << line;
  }
  EXPECT_EQ(State().specCount + State().paramCount, 0);
  EXPECT_EQ(TakeLog(), "");
}

TEST_F(MemberLineTest, TablesHold256SpecsAnd512Params) {
  for (int i = 0; i < kMaxSpecEntries; ++i) {
    ASSERT_EQ(CompileMemberLine("s <" + std::to_string(i) + ",1> \"N\"", 1), 0) << i;
  }
  for (int i = 0; i < kMaxParamEntries; ++i) {
    ASSERT_EQ(CompileMemberLine("p !W! (" + std::to_string(i) + ")", 1), 0) << i;
  }
  EXPECT_EQ(CompileMemberLine("s <1,1> \"N\"", 257), kTableFull);
  EXPECT_EQ(CompileMemberLine("p !W! (t)", 513), kTableFull);
  EXPECT_EQ(TakeLog(), WithLine("W", kIllegalSpec, 257) + WithLine("W", kIllegalParam, 513));
  // A line that is not valid is still "not valid" in a full table.
  EXPECT_EQ(CompileMemberLine("s <1,1> \"\"", 258), -1);
  EXPECT_EQ(CompileMemberLine("p !ABCDEFG! (t)", 514), -1);
  EXPECT_EQ(State().specCount, kMaxSpecEntries);
  EXPECT_EQ(State().paramCount, kMaxParamEntries);
  EXPECT_EQ(State().specTable[255]->number, 255);
  EXPECT_EQ(State().paramTable[511]->text, "511");
}

// Every allocation of an entry, failed in turn: nothing is counted, the
// message is bare, and the next attempt succeeds.
TEST_F(MemberLineTest, EveryAllocationCanFail) {
  const struct {
    const char* line;
    int allocations;  // entry, then each text copy
  } cases[] = {{"s [3] <1,1> \"N\"", 2}, {"p !W! (t) <0,1> \"c\"", 4}, {"p !W! <1,0>", 3}};
  for (const auto& c : cases) {
    for (int n = 1; n <= c.allocations; ++n) {
      SCOPED_TRACE(std::string(c.line) + " allocation " + std::to_string(n));
      ResetParserState();
      OvFaults::Arm(OvFaultKind::kAllocation, n, false);
      EXPECT_EQ(CompileMemberLine(c.line, 6), kNoMemory);
      EXPECT_EQ(OvFaults::Injected(OvFaultKind::kAllocation), 1);
      EXPECT_EQ(TakeLog(), Bare("E", "Memory Allocate Error"));
      EXPECT_EQ(State().specCount + State().paramCount, 0);
      OvFaults::Reset();
      EXPECT_EQ(CompileMemberLine(c.line, 7), 0);
      EXPECT_EQ(OvFaults::Count(OvFaultKind::kAllocation), c.allocations);
      EXPECT_EQ(State().specCount + State().paramCount, 1);
    }
  }
  EXPECT_EQ(State().paramTable[0]->pairCode, 1);
}

TEST_F(MemberLineTest, ExpandMacros) {
  const std::string v64(64, 'v');
  ASSERT_EQ(DefineMacro("A", "25"), 0);
  ASSERT_EQ(DefineMacro("R", "{A}"), 0);
  ASSERT_EQ(DefineMacro("V", v64), 0);
  ASSERT_EQ(DefineMacro("%s", "pct"), 0);
  const struct {
    std::string text;
    int maxLength;
    int result;
    std::string expanded;
  } cases[] = {
      {"{A}+{A}", 64, 0, "25+25"},
      {"x{A", 64, 0, "x25"},
      {"x{", 64, 0, "x{"},
      {"{}", 64, 0, "{"},
      {"}{A}}", 64, 0, "}25}"},
      {"{{A}", 64, 0, "{"},
      {"{R}{R}", 64, 0, "{A}{A}"},
      {"{%s}%d", 64, 0, "pct%d"},
      {"{V}", 64, 0, v64},
      {"{V}x", 64, 1, v64},
      {std::string(65, 't'), 64, 1, std::string(64, 't')},
      {"ab{A}", 3, 1, "ab2"},
      {"{V}{V}{V}", 200, 0, v64 + v64 + v64},  // beyond the buffer kept at hand
      {"a", 0, 1, ""},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    EXPECT_EQ(ExpandMacros(text, c.maxLength), c.result) << c.text;
    EXPECT_EQ(text, c.expanded) << c.text;
  }
}

}  // namespace
}  // namespace partsc::testing
