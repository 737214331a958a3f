#include "platform/ov_string_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace partsc {
namespace {

TEST(StringUtilTest, TrimRightRemovesBlanksTabsAndLineEndsAtTheEnd) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""}, {" \t\r\n", ""}, {"name \t\r\n", "name"}, {"  a b", "  a b"}, {"x\v", "x\v"}};
  for (auto [text, expected] : cases) {
    OvStringUtil::TrimRight(text);
    EXPECT_EQ(text, expected);
  }
}

// Every accepted form parses to the very double the C library makes of it.
TEST(StringUtilTest, ParseDoubleAcceptsPlainDecimalFormsBitForBit) {
  std::vector<std::string> texts = {
      "0",      "-0",      "+0",   "-000",   "007",     "-32768",
      ".5",     "5.",      "5.25", "-.5",    "1e3",     "1E+3",
      "2.5e-1", " \t7 \t", "\t-1", "1e-400", "-1e-400", "1.7976931348623157e308"};
  std::string digits;
  for (int length = 1; length <= 20; ++length) {
    digits += static_cast<char>('0' + (length * 7) % 10);
    texts.push_back(digits);
    texts.push_back("-" + digits);
    texts.push_back(std::string(length, '9'));
  }
  for (const std::string& text : texts) {
    double result = -99.0;
    ASSERT_EQ(OvStringUtil::ParseDouble(text, 1, result), 0) << text;
    const double expected = std::strtod(text.c_str(), nullptr);
    EXPECT_EQ(std::memcmp(&result, &expected, sizeof result), 0) << text << " " << result;
  }
}

TEST(StringUtilTest, ParseDoubleRefusesAnythingElseAndLeavesTheResultAlone) {
  const std::vector<std::pair<const char*, int>> cases = {
      {"", 1},      {" ", 1},     {".", 1},      {"-", 1},     {"+.", 1},   {"+-1", 1},
      {"1-", 1},    {"- 1", 1},   {"1_0", 1},    {"12abc", 1}, {"0x10", 1}, {"inf", 1},
      {"nan", 1},   {"1e", 1},    {"1e+", 1},    {"e5", 1},    {" 1 2", 1}, {"1,5", 1},
      {"1.2.3", 1}, {"1e309", 1}, {"-1e309", 1}, {" 7", 0},    {"7 ", 0},   {"1\r", 1}};
  for (const auto& [text, trim] : cases) {
    double result = -99.0;
    EXPECT_EQ(OvStringUtil::ParseDouble(text, trim, result), -1) << '"' << text << '"';
    EXPECT_EQ(result, -99.0) << text;
  }
}

// One ParseLine call with room for 16 numbers and 16 pairs, over arrays preset
// to -7 as a caller presets them; one pair more than the room shows whether
// anything is written beyond it.
struct Parsed {
  explicit Parsed(const std::string& line, int textSize = 64) {
    std::fill(std::begin(numbers), std::end(numbers), -7.0f);
    for (float(&pair)[2] : pairs) {
      pair[0] = pair[1] = -7.0f;
    }
    OvStringUtil::ParseLine(line, quoted, textSize, bang, textSize, numbers, numberCount, 16, pairs,
                            pairCount, 16);
  }
  std::string quoted = "stale";
  std::string bang = "stale";
  float numbers[17];
  int16_t numberCount = -7;
  float pairs[17][2];
  int16_t pairCount = -7;
};

TEST(ParseLineTest, FindsTheQuotedAndExclamationTexts) {
  struct Case {
    std::string line, quoted, bang;
  };
  const std::vector<Case> cases = {
      {"s <1,0> \"name\"", "name", ""},
      {"p !NM! (x) \" a comment \"", "a comment", "NM"},
      {"\"\t \"  ! !", "", ""},
      {"s \"unclosed text  ", "unclosed text", ""},
      {"p !a\"b! \"c\"", "b!", "a\"b"},  // the first mark anywhere opens the field
      {"\"one\" \"two\"", "one", ""},
      {"s \"" + std::string(70, 'q') + "\" !" + std::string(64, 'b'), std::string(63, 'q'),
       std::string(63, 'b')},
      {"s \"" + std::string(63, 'z') + "\"", std::string(63, 'z'), ""}};
  for (const Case& c : cases) {
    const Parsed p(c.line);
    EXPECT_EQ(p.quoted, c.quoted) << c.line;
    EXPECT_EQ(p.bang, c.bang) << c.line;
  }
  EXPECT_EQ(Parsed("s \"abcdef\"", 4).quoted, "abc");
}

TEST(ParseLineTest, ReadsTheBracketedNumbers) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<std::pair<std::string, std::vector<float>>> cases = {
      {"s [12]", {12.0f}},       {"s [ 1.5 , -2 ,3e1 ]", {1.5f, -2.0f, 30.0f}},
      {"s [5,]", {5.0f, nan}},   {"s [x, 2]", {nan, 2.0f}},
      {"s [ \t ]", {}},          {"s []", {}},
      {"s [1, 2", {1.0f, 2.0f}}, {"s [1] [2, 3]", {1.0f}},
      {"s ]0[ 4 ]", {4.0f}},     {"s [1e300, -1e39]", {inf, -inf}}};
  for (const auto& [line, numbers] : cases) {
    const Parsed p(line);
    ASSERT_EQ(p.numberCount, static_cast<int16_t>(numbers.size())) << line;
    for (size_t i = 0; i < numbers.size(); ++i) {
      EXPECT_TRUE(std::isnan(numbers[i]) ? std::isnan(p.numbers[i]) : p.numbers[i] == numbers[i])
          << line << " item " << i;
    }
    EXPECT_EQ(p.numbers[numbers.size()], -7.0f) << line << ": slot after the count";
  }
}

// Every item, however it is written, reads as ParseDouble reads its trimmed
// text (NaN when it refuses it), bit for bit, first, between and last.
TEST(ParseLineTest, ReadsEachItemAsParseDoubleReadsIt) {
  const std::vector<std::string> items = {"0",
                                          "-0",
                                          "+0",
                                          "7",
                                          " \t7\t ",
                                          "+12",
                                          "-12",
                                          "007",
                                          "999999999999999",
                                          "-999999999999999",
                                          "9999999999999999",
                                          "12345678901234567",
                                          "000000000000000000001",
                                          "16777217",
                                          "-16777217",
                                          "1.5",
                                          "1e3",
                                          "1 2",
                                          "12abc",
                                          "-",
                                          "+",
                                          "--1",
                                          "1-",
                                          "",
                                          " ",
                                          "\r1",
                                          "1\r",
                                          "0x10"};
  for (const std::string& item : items) {
    double parsed = 0.0;
    const bool number = OvStringUtil::ParseDouble(item, 1, parsed) == 0;
    const float expected =
        number ? static_cast<float>(parsed) : std::numeric_limits<float>::quiet_NaN();
    const Parsed p("s [" + item + "] <" + item + ",5," + item + ">");
    ASSERT_EQ(p.numberCount, item.find_first_not_of(" \t") == std::string::npos ? 0 : 1) << item;
    ASSERT_EQ(p.pairCount, 2) << item;
    const float read[] = {p.numberCount == 1 ? p.numbers[0] : expected, p.pairs[0][0],
                          p.pairs[1][0]};
    for (const float value : read) {
      if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(value)) << '"' << item << '"';
        continue;
      }
      EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0)
          << '"' << item << "\" " << value << " " << expected;
    }
    EXPECT_EQ(p.pairs[0][1], 5.0f) << item;
  }
}

TEST(ParseLineTest, TakesTheAngleListTwoAtATime) {
  Parsed p("s <1,0> <9,9>");
  EXPECT_EQ(p.pairCount, 1);
  EXPECT_EQ(p.pairs[0][0], 1.0f);
  EXPECT_EQ(p.pairs[0][1], 0.0f);
  EXPECT_EQ(p.pairs[1][0], -7.0f);

  p = Parsed("p <a, 0, 2>");
  EXPECT_EQ(p.pairCount, 2);
  EXPECT_TRUE(std::isnan(p.pairs[0][0]));
  EXPECT_EQ(p.pairs[1][0], 2.0f);
  EXPECT_TRUE(std::isnan(p.pairs[1][1]));

  p = Parsed("p < >");
  EXPECT_EQ(p.pairCount, 0);
  EXPECT_EQ(p.pairs[0][0], -7.0f);
}

// The items 1, 2, ... n of a list in brackets `open` and `close`.
std::string List(char open, int items, char close) {
  std::string list(1, open);
  for (int i = 1; i <= items; ++i) {
    list += std::to_string(i) + (i < items ? "," : "");
  }
  return list + close;
}

TEST(ParseLineTest, StoresAtMostTheRoomAndLeavesMissingListsAlone) {
  Parsed p("s " + List('[', 40, ']') + " " + List('<', 33, '>'));
  EXPECT_EQ(p.numberCount, 16);
  EXPECT_EQ(p.numbers[15], 16.0f);
  EXPECT_EQ(p.numbers[16], -7.0f);
  EXPECT_EQ(p.pairCount, 16);
  EXPECT_EQ(p.pairs[15][0], 31.0f);
  EXPECT_EQ(p.pairs[15][1], 32.0f);
  EXPECT_EQ(p.pairs[16][0], -7.0f);
  EXPECT_EQ(p.pairs[16][1], -7.0f);

  // An odd list that fits ends in a half pair.
  p = Parsed("p " + List('<', 31, '>'));
  EXPECT_EQ(p.pairCount, 16);
  EXPECT_EQ(p.pairs[15][0], 31.0f);
  EXPECT_TRUE(std::isnan(p.pairs[15][1]));

  p = Parsed("p !N! (text) \"c\"");
  EXPECT_EQ(p.numberCount, -7);
  EXPECT_EQ(p.numbers[0], -7.0f);
  EXPECT_EQ(p.pairCount, -7);
  EXPECT_EQ(p.pairs[0][1], -7.0f);
}

}  // namespace
}  // namespace partsc
