// Integers of every length and sign parse to the very double the C library
// makes of them, and angle lists of odd length at the edge of the pair array.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ov_string_util.h"

namespace partsc {
namespace {

bool SameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(NumberFormsTest, IntegersParseToTheLibraryValueBitForBit) {
  std::vector<std::string> texts = {"0",  "-0",  "+0",   "00",    "-000",  "007",
                                    "+7", " 9 ", "\t-1", "65536", "-32768"};
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
    EXPECT_TRUE(SameBits(result, std::strtod(text.c_str(), nullptr))) << text << " " << result;
  }
}

TEST(NumberFormsTest, SignsAndBlanksAloneAreNoNumbers) {
  for (const char* text : {"+", "-", "+-1", "1-", "1 2", "- 1", "1_0"}) {
    double result = -99.0;
    EXPECT_EQ(OvStringUtil::ParseDouble(text, 1, result), -1) << text;
    EXPECT_EQ(result, -99.0) << text;
  }
}

// An angle list of n items, 1 to n, with room for 16 pairs.
struct Pairs {
  explicit Pairs(int items) {
    std::string line = "p !X! <";
    for (int i = 1; i <= items; ++i) {
      line += std::to_string(i) + (i < items ? "," : ">");
    }
    std::string quoted;
    std::string bang;
    float numbers[16] = {};
    int16_t numberCount = 0;
    for (auto& pair : pairs) {
      pair[0] = pair[1] = -7.0f;
    }
    OvStringUtil::ParseLine(line, quoted, 64, bang, 64, numbers, numberCount, 16, pairs, count, 16);
  }
  float pairs[17][2];  // one pair more than the room given, to see it untouched
  int16_t count = -7;
};

TEST(NumberFormsTest, AnOddAngleListEndsInAHalfPairOnlyWithinTheRoom) {
  const Pairs thirtyOne(31);
  EXPECT_EQ(thirtyOne.count, 16);
  EXPECT_EQ(thirtyOne.pairs[15][0], 31.0f);
  EXPECT_TRUE(std::isnan(thirtyOne.pairs[15][1]));

  const Pairs thirtyThree(33);
  EXPECT_EQ(thirtyThree.count, 16);
  EXPECT_EQ(thirtyThree.pairs[15][1], 32.0f);
  EXPECT_EQ(thirtyThree.pairs[16][0], -7.0f);
  EXPECT_EQ(thirtyThree.pairs[16][1], -7.0f);
}

}  // namespace
}  // namespace partsc
