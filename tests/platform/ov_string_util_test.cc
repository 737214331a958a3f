#include "platform/ov_string_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace partsc {
namespace {

TEST(TrimRightTest, RemovesBlanksTabsAndLineEndsOnlyAtTheEnd) {
  struct Case {
    std::string text;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"", ""},           {" \t\r\n", ""}, {"name \t\r\n", "name"}, {"  name", "  name"},
      {"a b\r\n", "a b"}, {"x\v", "x\v"},
  };
  for (Case c : cases) {
    OvStringUtil::TrimRight(c.text);
    EXPECT_EQ(c.text, c.expected);
  }
}

TEST(ParseDoubleTest, AcceptsPlainDecimalForms) {
  struct Case {
    const char* text;
    int trim;
    double expected;
  };
  const std::vector<Case> cases = {
      {"0", 1, 0.0},
      {"12", 1, 12.0},
      {"-3", 1, -3.0},
      {"+4", 1, 4.0},
      {".5", 1, 0.5},
      {"5.", 1, 5.0},
      {"5.25", 1, 5.25},
      {"-.5", 1, -0.5},
      {"1e3", 1, 1000.0},
      {"1E+3", 1, 1000.0},
      {"2.5e-1", 1, 0.25},
      {" \t7 \t", 1, 7.0},
      {"1e-400", 1, 0.0},  // underflow is zero, not an error
      {"1.7976931348623157e308", 1, 1.7976931348623157e308},
  };
  for (const Case& c : cases) {
    double result = -99.0;
    EXPECT_EQ(OvStringUtil::ParseDouble(c.text, c.trim, result), 0) << c.text;
    EXPECT_EQ(result, c.expected) << c.text;
  }
}

TEST(ParseDoubleTest, RefusesAnythingElseAndLeavesTheResultAlone) {
  struct Case {
    const char* text;
    int trim;
  };
  const std::vector<Case> cases = {
      {"", 1},       {" ", 1},    {".", 1},    {"-", 1},   {"+.", 1},    {"12abc", 1},
      {"0x10", 1},   {"inf", 1},  {"-inf", 1}, {"nan", 1}, {"1e", 1},    {"1e+", 1},
      {"e5", 1},     {" 1 2", 1}, {"1,5", 1},  {"--1", 1}, {"1.2.3", 1}, {"1e309", 1},
      {"-1e309", 1}, {" 7", 0},   {"7 ", 0},   {"1\r", 1}, {"١", 1},
  };
  for (const Case& c : cases) {
    double result = -99.0;
    EXPECT_EQ(OvStringUtil::ParseDouble(c.text, c.trim, result), -1) << '"' << c.text << '"';
    EXPECT_EQ(result, -99.0) << c.text;
  }
}

// The result of one ParseLine call, with the caller's presets.
struct Parsed {
  std::string quoted = "stale";
  std::string bang = "stale";
  float numbers[16] = {};
  int16_t numberCount = -7;
  float pairs[16][2] = {};
  int16_t pairCount = -7;
};

Parsed Parse(const std::string& line, int textSize = 64) {
  Parsed p;
  for (int i = 0; i < 16; ++i) {
    p.numbers[i] = -7.0f;
    p.pairs[i][0] = -7.0f;
    p.pairs[i][1] = -7.0f;
  }
  OvStringUtil::ParseLine(line, p.quoted, textSize, p.bang, textSize, p.numbers, p.numberCount, 16,
                          p.pairs, p.pairCount, 16);
  return p;
}

TEST(ParseLineTest, FindsTheQuotedAndExclamationTexts) {
  struct Case {
    std::string line;
    std::string quoted;
    std::string bang;
  };
  const std::vector<Case> cases = {
      {"s <1,0> \"name\"", "name", ""},
      {"p !NM! (x) \" a comment \"", "a comment", "NM"},
      {"no fields at all", "", ""},
      {"\"\t \"  ! !", "", ""},
      {"s \"unclosed text  ", "unclosed text", ""},
      {"p !a\"b! \"c\"", "b!", "a\"b"},  // the first mark anywhere opens the field
      {"\"one\" \"two\"", "one", ""},
      {"p ! x !y", "", "x"},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.line);
    EXPECT_EQ(p.quoted, c.quoted) << c.line;
    EXPECT_EQ(p.bang, c.bang) << c.line;
  }
}

TEST(ParseLineTest, CutsTextsToTheBufferSizeLessOne) {
  const std::string long70(70, 'q');
  Parsed p = Parse("s \"" + long70 + "\" !" + long70 + "!");
  EXPECT_EQ(p.quoted, std::string(63, 'q'));
  EXPECT_EQ(p.bang, std::string(63, 'q'));

  p = Parse("s \"" + std::string(63, 'z') + "\"");
  EXPECT_EQ(p.quoted, std::string(63, 'z'));

  p = Parse("s \"abcdef\"", 4);
  EXPECT_EQ(p.quoted, "abc");
}

TEST(ParseLineTest, ReadsTheBracketedNumbers) {
  struct Case {
    std::string line;
    std::vector<float> numbers;  // NaN stands for an item that is not a number
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<Case> cases = {
      {"s [12]", {12.0f}},       {"s [ 1.5 , -2 ,3e1 ]", {1.5f, -2.0f, 30.0f}},
      {"s [5,]", {5.0f, nan}},   {"s [x, 2]", {nan, 2.0f}},
      {"s [ \t ]", {}},          {"s []", {}},
      {"s [1, 2", {1.0f, 2.0f}},  // unclosed: runs to the end of the line
      {"s [1] [2, 3]", {1.0f}},   // only the first list
      {"s ]0[ 4 ]", {4.0f}},     {"s [1e300]", {std::numeric_limits<float>::infinity()}},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.line);
    ASSERT_EQ(p.numberCount, static_cast<int16_t>(c.numbers.size())) << c.line;
    for (size_t i = 0; i < c.numbers.size(); ++i) {
      if (std::isnan(c.numbers[i])) {
        EXPECT_TRUE(std::isnan(p.numbers[i])) << c.line << " item " << i;
      } else {
        EXPECT_EQ(p.numbers[i], c.numbers[i]) << c.line << " item " << i;
      }
    }
    EXPECT_EQ(p.numbers[c.numbers.size()], -7.0f) << c.line << ": slot after the count";
  }
}

TEST(ParseLineTest, StoresAtMostTheMaximumOfNumbersAndPairs) {
  std::string numbers;
  std::string pairs;
  for (int i = 1; i <= 40; ++i) {
    numbers += std::to_string(i) + ",";
    pairs += std::to_string(i) + ",";
  }
  const Parsed p = Parse("s [" + numbers + "] <" + pairs + ">");
  EXPECT_EQ(p.numberCount, 16);
  EXPECT_EQ(p.numbers[15], 16.0f);
  EXPECT_EQ(p.pairCount, 16);
  EXPECT_EQ(p.pairs[15][0], 31.0f);
  EXPECT_EQ(p.pairs[15][1], 32.0f);
}

TEST(ParseLineTest, TakesTheAngleListTwoAtATime) {
  Parsed p = Parse("s <1,0> <9,9>");
  EXPECT_EQ(p.pairCount, 1);
  EXPECT_EQ(p.pairs[0][0], 1.0f);
  EXPECT_EQ(p.pairs[0][1], 0.0f);
  EXPECT_EQ(p.pairs[1][0], -7.0f);

  p = Parse("p <1, 0, 2>");
  EXPECT_EQ(p.pairCount, 2);
  EXPECT_EQ(p.pairs[1][0], 2.0f);
  EXPECT_TRUE(std::isnan(p.pairs[1][1]));

  p = Parse("p <a,1");
  EXPECT_EQ(p.pairCount, 1);
  EXPECT_TRUE(std::isnan(p.pairs[0][0]));
  EXPECT_EQ(p.pairs[0][1], 1.0f);

  p = Parse("p < >");
  EXPECT_EQ(p.pairCount, 0);
  EXPECT_EQ(p.pairs[0][0], -7.0f);
}

TEST(ParseLineTest, LeavesTheCallersValuesForListsTheLineDoesNotHave) {
  const Parsed p = Parse("p !N! (text) \"c\"");
  EXPECT_EQ(p.numberCount, -7);
  EXPECT_EQ(p.numbers[0], -7.0f);
  EXPECT_EQ(p.pairCount, -7);
  EXPECT_EQ(p.pairs[0][0], -7.0f);
  EXPECT_EQ(p.pairs[0][1], -7.0f);
}

}  // namespace
}  // namespace partsc
