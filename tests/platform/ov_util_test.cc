#include "platform/ov_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc {
namespace {

using testing::CaptureFd;

struct Clock {
  int16_t date[3] = {-1, -1, -1};
  int16_t time[4] = {-1, -1, -1, -1};
};

Clock ReadClock(const char* epoch) {
  const char* old = std::getenv("SOURCE_DATE_EPOCH");
  const std::string saved = old != nullptr ? old : "";
  if (epoch != nullptr) {
    ::setenv("SOURCE_DATE_EPOCH", epoch, 1);
  } else {
    ::unsetenv("SOURCE_DATE_EPOCH");
  }
  Clock clock;
  OvUtil::GetLocalTime(clock.date, clock.time);
  if (old != nullptr) {
    ::setenv("SOURCE_DATE_EPOCH", saved.c_str(), 1);
  } else {
    ::unsetenv("SOURCE_DATE_EPOCH");
  }
  return clock;
}

TEST(GetLocalTimeTest, SourceDateEpochIsTakenInUtc) {
  struct Case {
    const char* epoch;
    std::vector<int16_t> expected;  // day, month, year, hour, minute, second, hundredths
  };
  const std::vector<Case> cases = {
      {"1700000000", {14, 11, 2023, 22, 13, 20, 0}},
      {"0", {1, 1, 1970, 0, 0, 0, 0}},
      {"951782399", {28, 2, 2000, 23, 59, 59, 0}},
      {"951782400", {29, 2, 2000, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const Clock clock = ReadClock(c.epoch);
    const std::vector<int16_t> got = {clock.date[0], clock.date[1], clock.date[2], clock.time[0],
                                      clock.time[1], clock.time[2], clock.time[3]};
    EXPECT_EQ(got, c.expected) << c.epoch;
  }
}

TEST(GetLocalTimeTest, WithoutAValidEpochItIsTheLocalTimeNow) {
  for (const char* epoch : {static_cast<const char*>(nullptr), "soon", "-5"}) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ASSERT_NE(::localtime_r(&now, &local), nullptr);
    const Clock clock = ReadClock(epoch);
    EXPECT_EQ(clock.date[2], local.tm_year + 1900);
    EXPECT_EQ(clock.date[1], local.tm_mon + 1);
    EXPECT_GE(clock.date[0], 1);
    EXPECT_LE(clock.time[0], 23);
    EXPECT_EQ(clock.time[3], 0);
  }
}

TEST(DbgprintTest, LevelChoosesTheConsoleStream) {
  CaptureFd out(1);
  CaptureFd err(2);
  dbgprint(2, "progress %s\n", "100%");
  dbgprint(4, "fatal %d\n", 4);
  dbgprint(3, "%s", "other\n");
  EXPECT_EQ(out.Text(), "progress 100%\nother\n");
  EXPECT_EQ(err.Text(), "fatal 4\n");
}

}  // namespace
}  // namespace partsc
