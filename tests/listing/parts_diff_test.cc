// What --changes says of member lists no size record points to: a list on
// both sides is compared entry by entry, one on one side only is added or
// removed whole, after the lists of the file. And the sort line --diff shows
// for each sort mode.
#include "listing/parts_diff.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace partsc {
namespace {

UnlistedList List(uint32_t offset, std::vector<ParamEntry> params) {
  return {offset, {{}, std::move(params)}};
}

TEST(PartsDiff, SummariesOfListsNoSizeRecordPointsTo) {
  const ParamEntry d10{"D", 0, "10", ""};
  const ParamEntry l40{"L", 0, "40", ""};
  const ParamEntry l45{"L", 0, "45", ""};
  struct Case {
    std::vector<UnlistedList> from;
    std::vector<UnlistedList> to;
    const char* summary;
  };
  const std::vector<Case> cases = {
      {{List(10, {d10, l40})}, {List(99, {d10, l40})}, "no change"},
      {{List(10, {d10, l40})},
       {List(10, {d10, l45}), List(40, {d10})},
       "unlisted list 1: 1 entry changed; unlisted list 2 added"},
      {{List(10, {d10}), List(40, {l40})},
       {List(10, {})},
       "unlisted list 1: 1 entry removed; unlisted list 2 removed"},
  };
  for (const Case& c : cases) {
    PartsModel from;
    PartsModel to;
    from.unlisted = c.from;
    to.unlisted = c.to;
    EXPECT_EQ(ChangeSummary(DiffModels(from, to)), c.summary);
  }
}

// Each of the three modes is its keyword alone; any other number shows too.
TEST(PartsDiff, SortLineOfEachMode) {
  const std::vector<std::pair<int16_t, const char*>> cases = {
      {1, "$$CSORT"}, {2, "$$NSORT"}, {3, "$$NSORT\tsort_mode=3"}, {-1, "$$NSORT\tsort_mode=-1"}};
  for (const auto& [mode, line] : cases) {
    PartsModel from;
    PartsModel to;
    to.header.sortMode = mode;
    const std::vector<Change> changes = DiffModels(from, to);
    ASSERT_EQ(changes.size(), 1u) << mode;
    EXPECT_EQ(changes[0].key, "sort");
    EXPECT_EQ(changes[0].oldLines, std::vector<std::string>{"$$LSORT"});
    EXPECT_EQ(changes[0].newLines, std::vector<std::string>{line});
  }
}

}  // namespace
}  // namespace partsc
