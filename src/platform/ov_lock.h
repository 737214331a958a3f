// Advisory locks (flock) on open files, waited for as long as the lock wait
// allows, with the holder of one that was held too long.
#pragma once

#include <string>

#include "platform/ov_result.h"

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

// What taking a lock came to; with kFailed the system's error number too.
struct OvLocked : OvResult<OvLockResult> {
  int error = 0;
};
// Takes the lock on the file open on `fd`. With `wait`, a lock another holds
// is waited for, at most LockWaitSeconds() (a signal ends the wait sooner);
// kTimedOut then, with who held it as the reason ("process 1234 (partsc)
// of user alice", "another process" when the system cannot tell). Without, kBusy
// at once.
OvLocked LockDescriptor(int fd, OvLockMode mode, bool wait);

}  // namespace partsc
