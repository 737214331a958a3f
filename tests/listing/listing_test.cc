// The base name the listing takes for the parts name. The listing itself is
// pinned by the golden runs, and each of its failure codes, with the run log
// written before it, by the damaged-file and fault tests.
#include "listing/listing.h"

#include <gtest/gtest.h>

#include <string>

namespace partsc::testing {
namespace {

TEST(FileBaseName, NameAfterLastSlashCutBeforeFirstFullStop) {
  const struct {
    std::string path;
    int result;
    std::string base;
  } cases[] = {
      {"/parts/a.b.c", 0, "a"}, {"/parts/ lead.PRT", 0, " lead"}, {"/parts/.prt", 0, ""},
      {"name.prt", 0, "name"},  {"/dir.d/noext", -1, "kept"},     {"/parts/", -1, "kept"},
      {"", -1, "kept"},
  };
  for (const auto& c : cases) {
    std::string base = "kept";
    EXPECT_EQ(FileBaseName(c.path, base), c.result) << c.path;
    EXPECT_EQ(base, c.base) << c.path;
  }
}

}  // namespace
}  // namespace partsc::testing
