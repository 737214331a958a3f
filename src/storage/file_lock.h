// The locks runs share on parts files and their directories: a file or a
// directory locked by its path, or a lock file beside a file that is not
// there yet.
#pragma once

#include <string>

#include "platform/ov_lock.h"

namespace partsc {

// An advisory lock (flock) on a file or a directory, held until Unlock() or
// the end of the object. It keeps out only those who lock the same file.
class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { Unlock(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Opens `path` (a file or a directory) read-only and waits for the lock, as LockDescriptor
  // (platform/ov_lock.h) does; a lock held before is let go first. Nothing is held unless the
  // answer is kLocked; kTimedOut names who held it, kFailed why it could not be opened or locked.
  OvResult<OvLockResult> Lock(const std::string& path, OvLockMode mode);
  // Locks the file that `path` names when the lock is taken: a file that
  // lost the name while this run waited (replaced by a rename, or removed)
  // is let go and the lock taken anew. With `create` a missing file is made,
  // empty (a lock file), with O_EXCL and O_NOFOLLOW; a file that is there is
  // opened read-only without following a link, and must be a regular file.
  // Without `wait` the answer is kBusy at once when another holds the lock.
  OvResult<OvLockResult> LockNamed(const std::string& path, OvLockMode mode, bool create,
                                   bool wait);
  void Unlock();
  // Locks the file open on `fd`, which the lock then owns, without
  // waiting; false (and `fd` closed) when another holds it.
  bool LockDescriptor(int fd, OvLockMode mode);
  // Removes the file locked with LockNamed when this lock made it or it
  // belongs to the run's user, then lets the lock go; waiters then lock anew.
  void UnlockRemoving();

 private:
  OvResult<OvLockResult> Take(int fd, OvLockMode mode, bool wait);
  // Whether the descriptor of the lock is the file named `path` now.
  bool NamedBy(const std::string& path) const;
  int fd_ = -1;
  std::string path_;   // the file of LockNamed
  bool made_ = false;  // LockNamed made the file
};

}  // namespace partsc
