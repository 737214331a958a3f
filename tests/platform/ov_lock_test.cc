#include "platform/ov_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

#include "support/test_support.h"

namespace partsc {
namespace {

using testing::TempDir;
using testing::WriteFile;

TEST(OvLockTest, TheLockWaitIsAWholeNumberOfSecondsUpToADay) {
  for (const char* good : {"0", "10", "00001", "86400"}) {
    EXPECT_TRUE(IsLockWait(good)) << good;
  }
  for (const char* bad : {"", "86401", "99999", "100000", "-1", "+5", "1.5", "5 ", "ten"}) {
    EXPECT_FALSE(IsLockWait(bad)) << bad;
  }
}

// A lock another open file holds is busy at once without a wait, and names
// its holder (here the test itself) when the wait runs out.
TEST(OvLockTest, ALockHeldElsewhereIsBusyOrTimesOutNamingItsHolder) {
  TempDir dir;
  WriteFile(dir.File("lock"), "");
  const int holder = ::open(dir.File("lock").c_str(), O_RDONLY);
  const int fd = ::open(dir.File("lock").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(holder, LOCK_SH), 0);
  EXPECT_EQ(LockDescriptor(fd, OvLockMode::kShared, false).status, OvLockResult::kLocked);
  ::flock(fd, LOCK_UN);
  EXPECT_EQ(LockDescriptor(fd, OvLockMode::kExclusive, false).status, OvLockResult::kBusy);
  ::setenv("PARTSC_LOCK_WAIT", "0", 1);
  const OvResult<OvLockResult> waited = LockDescriptor(fd, OvLockMode::kExclusive, true);
  ::unsetenv("PARTSC_LOCK_WAIT");
  EXPECT_EQ(waited.status, OvLockResult::kTimedOut);
  EXPECT_EQ(waited.reason, "this process");
  ::close(holder);
  ::close(fd);
}

}  // namespace
}  // namespace partsc
