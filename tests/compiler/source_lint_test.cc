#include "diagnostics/catalogue.h"

#include <gtest/gtest.h>

namespace partsc {
namespace {

// Insertions, deletions and changes count one each, and so does a swap of
// two neighbours; nothing is free at either end.
TEST(EditDistance, CountsEachEditOnce) {
  const struct {
    const char* from;
    const char* to;
    int distance;
  } cases[] = {{"$$SIZE", "$$SIZE", 0}, {"$$SZIE", "$$SIZE", 1}, {"$$SIZEX", "$$SIZE", 1},
               {"ZE", "$$SIZE", 4},     {"$$SI", "$$SIZE", 2},   {"", "abc", 3},
               {"abc", "", 3},          {"$$APG", "$$END", 3},   {"ab", "ba", 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(EditDistance(c.from, c.to), c.distance) << c.from << " -> " << c.to;
  }
}

}  // namespace
}  // namespace partsc
