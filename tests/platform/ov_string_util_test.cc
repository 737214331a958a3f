#include "platform/ov_string_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <optional>
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
    const std::optional<double> result = OvStringUtil::ParseDouble(text, NumberTrim::kTrimFirst);
    ASSERT_TRUE(result) << text;
    const double expected = std::strtod(text.c_str(), nullptr);
    EXPECT_EQ(std::memcmp(&*result, &expected, sizeof expected), 0) << text << " " << *result;
  }
}

TEST(StringUtilTest, ParseDoubleRefusesAnythingElse) {
  constexpr NumberTrim kTrim = NumberTrim::kTrimFirst;
  constexpr NumberTrim kAsIs = NumberTrim::kAsItStands;
  const std::vector<std::pair<const char*, NumberTrim>> cases = {
      {"", kTrim},       {" ", kTrim},    {".", kTrim},   {"-", kTrim},     {"+.", kTrim},
      {"+-1", kTrim},    {"1-", kTrim},   {"- 1", kTrim}, {"1_0", kTrim},   {"12abc", kTrim},
      {"0x10", kTrim},   {"inf", kTrim},  {"nan", kTrim}, {"1e", kTrim},    {"1e+", kTrim},
      {"e5", kTrim},     {" 1 2", kTrim}, {"1,5", kTrim}, {"1.2.3", kTrim}, {"1e309", kTrim},
      {"-1e309", kTrim}, {" 7", kAsIs},   {"7 ", kAsIs},  {"1\r", kTrim}};
  for (const auto& [text, trim] : cases) {
    EXPECT_FALSE(OvStringUtil::ParseDouble(text, trim)) << '"' << text << '"';
  }
}

// The first and last sequence of each range of lead bytes is UTF-8; one byte
// beyond either end of a range, a surrogate or an overlong form is not.
TEST(StringUtilTest, IsUtf8TakesEachRangeToItsLastByte) {
  const std::pair<const char*, bool> cases[] = {
      {"\xC2\x80", true},          {"\xC2\xBF", true},         {"\xDF\xBF", true},
      {"\xE0\xA0\x80", true},      {"\xE0\xBF\xBF", true},     {"\xED\x9F\xBF", true},
      {"\xEF\xBF\xBD", true},      {"\xF0\x90\x80\x80", true}, {"\xF4\x8F\xBF\xBF", true},
      {"\xC2\xC0", false},         {"\xE0\x9F\xBF", false},    {"\xED\xA0\x80", false},
      {"\xF4\x90\x80\x80", false}, {"\xC0\xAF", false},        {"\xE2\x82", false},
  };
  for (const auto& [bytes, utf8] : cases) {
    EXPECT_EQ(IsUtf8(bytes), utf8) << bytes;
  }
}

// Every byte from 0 to 255 comes back from its UTF-8 form; a character above
// U+00FF, a lone lead or a lone continuation byte has no Latin-1 byte.
TEST(StringUtilTest, Utf8ToLatin1TakesBackWhatLatin1ToUtf8Gives) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    all += static_cast<char>(b);
  }
  EXPECT_EQ(Utf8ToLatin1(Latin1ToUtf8(all)), all);
  for (const char* text : {"\xC4\x80", "\xE2\x82\xAC", "a\xC3", "\xC3!", "\xA9", "\xC3\xC3\xA9"}) {
    EXPECT_EQ(Utf8ToLatin1(text), std::nullopt) << text;
  }
}

// A URI keeps the unreserved characters and "/" of a path; every other byte,
// the delimiters a URI could also hold as they stand among them, is escaped.
TEST(StringUtilTest, UriPathEscapesAllButUnreservedCharactersAndSlash) {
  EXPECT_EQ(UriPath("/az/AZ/09/-._~"), "/az/AZ/09/-._~");
  EXPECT_EQ(UriPath("a b%#?[]"), "a%20b%25%23%3F%5B%5D");
  EXPECT_EQ(UriPath("!$&'()*+,;=:@"), "%21%24%26%27%28%29%2A%2B%2C%3B%3D%3A%40");
  EXPECT_EQ(UriPath("\x01\x7F\xC3\xA9\xFF"), "%01%7F%C3%A9%FF");
  EXPECT_EQ(FileUri("/x/a b.src"), "file:///x/a%20b.src");
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
  std::string_view quoted = "stale";
  std::string_view bang = "stale";
  float numbers[17];
  int16_t numberCount = -7;
  float pairs[17][2];
  int16_t pairCount = -7;
};

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

  // An even list that fits fills its pairs and no more.
  p = Parsed("p " + List('<', 4, '>'));
  EXPECT_EQ(p.pairCount, 2);

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
