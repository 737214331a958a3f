#include "compiler/tokenizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace partsc {
namespace {

TEST(TruncateTo16BitsTest, Table) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const struct {
    double value;
    int16_t expected;
  } cases[] = {
      {12.7, 12},
      {-0.9, 0},
      {32767.9, 32767},
      {32768, -32768},
      {-32769, 32767},
      {65537, 1},
      {-70000, -4464},
      {4294967301.0, 5},
      {-1e10, 7168},
      {1e300, 0},
      {std::numeric_limits<double>::quiet_NaN(), 0},
      {-kInf, 0},
      {std::ldexp(1.0, 52) + 5, 5},
      {-(std::ldexp(1.0, 52) + 5), -5},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TruncateTo16Bits(c.value), c.expected) << c.value;
  }
}

}  // namespace
}  // namespace partsc
