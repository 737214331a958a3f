// The order of size names in each sort mode. Writing and reading parts files
// is checked through whole files: the golden runs, the damaged-file patches,
// the fault loops and the whole-run tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "partsfile/parts_layout.h"

namespace partsc {
namespace {

TEST(SizeNameOrder, ComparesByModeUnsignedAndShorterFirst) {
  struct Case {
    int mode;
    std::string a, b;
    int expected;
  };
  const std::vector<Case> cases = {
      {0, "ZZ", "AAA", -1}, {1, "ZZ", "AAA", 1},  {-1, "ZZ", "AAA", 1}, {0, "AB", "AA", 1},
      {1, "AB", "AB", 0},   {1, "AB", "ABC", -1}, {1, "\x80", "a", 1},  {1, "a", "B", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareSizeNames(c.mode, c.a, c.b), c.expected) << c.mode << " " << c.a;
    EXPECT_EQ(CompareSizeNames(c.mode, c.b, c.a), -c.expected) << c.mode << " " << c.b;
  }
}

}  // namespace
}  // namespace partsc
