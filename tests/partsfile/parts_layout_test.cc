// The order of size names in each sort mode, and how the reader searches for
// a size record in a file whose records are out of that order. Writing and reading parts files
// is checked through whole files: the golden runs, the damaged-file patches,
// the fault loops and the whole-run tests.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "partsfile/parts_decoder.h"
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

// In the sorted modes the reader halves the range of records between two
// ends it keeps inclusive, so a record out of order may be missed, and which
// one depends on the probes; in the written order every record is found.
TEST(SizeSearch, ProbesAsTheReaderDoesInRecordsOutOfOrder) {
  struct Case {
    int mode;
    std::vector<std::optional<size_t>> found;  // for each record's own name
  };
  const std::vector<std::string> names = {"D", "A", "B", "C", "E"};
  const std::vector<Case> cases = {
      {kSortByName, {std::nullopt, std::nullopt, 2, 3, 4}},
      {kSortLengthThenName, {std::nullopt, std::nullopt, 2, 3, 4}},
      {kSortAsWritten, {0, 1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    PartsModel model;
    model.header.sortMode = static_cast<int16_t>(c.mode);
    for (const std::string& name : names) {
      model.sizes.emplace_back().record.name.AssignCut(name);
    }
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(FindSizeRecord(model, names[i]), c.found[i]) << c.mode << " " << names[i];
    }
    EXPECT_EQ(FindSizeRecord(model, "F"), std::nullopt);
  }
}

}  // namespace
}  // namespace partsc
