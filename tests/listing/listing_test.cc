// The base name the listing takes for the parts name. The listing itself is
// pinned by the golden runs, and each of its failure codes, with the run log
// written before it, by the damaged-file and fault tests.
#include "listing/listing.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace partsc::testing {
namespace {

TEST(FileBaseName, NameAfterLastSlashCutBeforeFirstFullStop) {
  const struct {
    std::string path;
    std::optional<std::string> base;
  } cases[] = {
      {"/parts/a.b.c", "a"}, {"/parts/ lead.PRT", " lead"},  {"/parts/.prt", ""},
      {"name.prt", "name"},  {"/dir.d/noext", std::nullopt}, {"/parts/", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileBaseName(c.path), c.base) << c.path;
  }
}

}  // namespace
}  // namespace partsc::testing
