#include "storage/file_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "support/test_support.h"

namespace partsc {
namespace {

using testing::TempDir;

bool Exists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

// A lock file is only ever a regular file that the run made or found: what
// another user planted at its name (a directory, a pipe, a link) is refused and left
// as it is.
TEST(FileLock, TakesOnlyARegularLockFileAndLeavesWhatItFound) {
  TempDir dir;
  const std::string target = dir.File("target");
  ASSERT_EQ(::mkdir(target.c_str(), 0755), 0);
  struct Case {
    const char* name;
    void (*plant)(const std::string& path, const std::string& target);
    OvLockResult expected;
  };
  const Case cases[] = {
      {"missing", [](const std::string&, const std::string&) {}, OvLockResult::kLocked},
      {"directory",
       [](const std::string& path, const std::string&) { ::mkdir(path.c_str(), 0755); },
       OvLockResult::kFailed},
      {"fifo", [](const std::string& path, const std::string&) { ::mkfifo(path.c_str(), 0644); },
       OvLockResult::kFailed},
      {"link",
       [](const std::string& path, const std::string& to) { ::symlink(to.c_str(), path.c_str()); },
       OvLockResult::kFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(std::string(c.name) + ".lock");
    c.plant(path, target);
    FileLock lock;
    EXPECT_EQ(lock.LockNamed(path, OvLockMode::kExclusive, true, false).status, c.expected);
    lock.UnlockRemoving();
    // The lock file the run made goes with the lock; what it found stays.
    EXPECT_EQ(Exists(path), c.expected != OvLockResult::kLocked);
  }
  EXPECT_TRUE(Exists(target));
}

// A second run does not get a lock file that another holds: at once without
// waiting, and the file stays for the holder.
TEST(FileLock, AHeldLockFileIsBusyToOthers) {
  TempDir dir;
  const std::string path = dir.File("parts.lock");
  FileLock holder;
  ASSERT_EQ(holder.LockNamed(path, OvLockMode::kExclusive, true, false).status,
            OvLockResult::kLocked);
  FileLock other;
  EXPECT_EQ(other.LockNamed(path, OvLockMode::kExclusive, true, false).status, OvLockResult::kBusy);
  other.UnlockRemoving();
  EXPECT_TRUE(Exists(path));
  holder.UnlockRemoving();
  EXPECT_FALSE(Exists(path));
  EXPECT_EQ(other.LockNamed(path, OvLockMode::kExclusive, false, false).status,
            OvLockResult::kMissing);
}

}  // namespace
}  // namespace partsc
