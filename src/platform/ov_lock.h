// Advisory locks (flock) on files and directories, waited for as long as
// the lock wait allows, with the holder of one that was held too long.
#pragma once

#include <string>

namespace partsc {

// How an advisory lock is held: shared with other shared holders, or alone.
enum class OvLockMode { kShared, kExclusive };

// What taking a lock came to: held, held by another (only when not waiting),
// still held by another when the wait ran out, no file to lock, or a failure
// of the system.
enum class OvLockResult { kLocked, kBusy, kTimedOut, kMissing, kFailed };

// How long a run waits for a lock that another holds, in seconds: the
// environment variable PARTSC_LOCK_WAIT when it is set (0 to 86400), else 10.
int LockWaitSeconds();
// Whether `text`, a value of PARTSC_LOCK_WAIT, is a number of seconds that
// LockWaitSeconds takes.
bool IsLockWait(const char* text);

// Takes the lock on the file open on `fd`. With `wait`, a lock another holds
// is waited for, at most LockWaitSeconds() (a signal ends the wait sooner);
// kTimedOut then, with who held it in `holder`. Without, kBusy at once.
OvLockResult LockDescriptor(int fd, OvLockMode mode, bool wait, std::string& holder);
// Who holds a lock on the file open on `fd`, as far as the system tells:
// "process 1234 (partsc) of user alice"; "another process" when it cannot
// be told; "this process" for a lock of its own through another descriptor.
std::string LockHolder(int fd);

// An advisory lock (flock) on a file or a directory, held until Unlock() or
// the end of the object. It keeps out only those who lock the same file.
class OvFileLock {
 public:
  OvFileLock() = default;
  ~OvFileLock() { Unlock(); }
  OvFileLock(const OvFileLock&) = delete;
  OvFileLock& operator=(const OvFileLock&) = delete;

  // Opens `path` (a file or a directory) read-only and waits for the lock,
  // as LockDescriptor does; a lock held before is let go first. Nothing is
  // held unless the answer is kLocked.
  OvLockResult Lock(const std::string& path, OvLockMode mode);
  // Locks the file that `path` names when the lock is taken: a file that
  // lost the name while this run waited (replaced by a rename, or removed)
  // is let go and the lock taken anew. With `create` a missing file is made,
  // empty (a lock file), with O_EXCL and O_NOFOLLOW; a file that is there is
  // opened read-only without following a link, and must be a regular file.
  // Without `wait` the answer is kBusy at once when another holds the lock.
  OvLockResult LockNamed(const std::string& path, OvLockMode mode, bool create, bool wait);
  void Unlock();
  // Locks the file open on `fd`, which the lock then owns, without
  // waiting; false (and `fd` closed) when another holds it.
  bool LockDescriptor(int fd, OvLockMode mode);
  // Removes the file locked with LockNamed when this lock made it or it
  // belongs to the run's user, then lets the lock go; waiters then lock anew.
  void UnlockRemoving();
  // Who held the lock when the last wait ran out (see LockHolder).
  const std::string& Holder() const { return holder_; }

 private:
  OvLockResult Take(int fd, OvLockMode mode, bool wait);
  // Whether the descriptor of the lock is the file named `path` now.
  bool NamedBy(const std::string& path) const;
  int fd_ = -1;
  std::string path_;  // the file of LockNamed
  bool made_ = false;  // LockNamed made the file
  std::string holder_;
};

}  // namespace partsc
