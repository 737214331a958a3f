#include "storage/file_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/ov_file.h"
#include "platform/ov_util.h"

namespace partsc {

OvResult<OvLockResult> FileLock::Lock(const std::string& path, OvLockMode mode) {
  Unlock();
  const OvOpened opened = OpenRetrying(path, O_RDONLY, 0);
  if (!opened.Ok()) {
    return {OvLockResult::kFailed, opened.reason};
  }
  return Take(opened.fd, mode, true);
}

OvResult<OvLockResult> FileLock::LockNamed(const std::string& path, OvLockMode mode, bool create,
                                           bool wait) {
  Unlock();
  constexpr int kTries = 100;
  for (int i = 0; i < kTries; ++i) {
    // A lock file is made anew, or one that is there is only opened to be
    // locked: never through a link, never anything but a regular file.
    OvOpened opened = create ? OpenRetrying(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0666)
                             : OpenInputFile(path, true, O_NOFOLLOW);
    const bool made = create && opened.Ok();
    if (create && opened.error == EEXIST) {
      opened = OpenInputFile(path, true, O_NOFOLLOW);
    }
    if (!opened.Ok()) {
      if (opened.error == ENOENT && create) {
        continue;  // gone between the two opens
      }
      return {opened.error == ENOENT ? OvLockResult::kMissing : OvLockResult::kFailed,
              opened.reason};
    }
    OvResult<OvLockResult> taken = Take(opened.fd, mode, wait);
    if (!taken.Ok()) {
      return taken;
    }
    if (NamedBy(path)) {
      path_ = path;
      made_ = made;
      return {};
    }
    Unlock();
  }
  return {OvLockResult::kFailed,
          "the lock file was replaced under its name " + std::to_string(kTries) + " times"};
}

bool FileLock::LockDescriptor(int fd, OvLockMode mode) {
  Unlock();
  return Take(fd, mode, false).Ok();
}

bool FileLock::NamedBy(const std::string& path) const {
  struct stat held {};
  struct stat named {};
  return ::fstat(fd_, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

void FileLock::UnlockRemoving() {
  if (fd_ >= 0 && !path_.empty() && (made_ || OvFile::IsOwnFile(path_))) {
    ::unlink(path_.c_str());
  }
  Unlock();
}

OvResult<OvLockResult> FileLock::Take(int fd, OvLockMode mode, bool wait) {
  if (fd < 0) {
    return {OvLockResult::kFailed, SystemErrorText(EBADF)};
  }
  OvResult<OvLockResult> taken = partsc::LockDescriptor(fd, mode, wait);
  if (!taken.Ok()) {
    ::close(fd);
    return taken;
  }
  fd_ = fd;
  return taken;
}

void FileLock::Unlock() {
  // Closing the only descriptor of the lock lets the lock go.
  if (fd_ >= 0) {
    ::close(fd_);
  }
  fd_ = -1;
  path_.clear();
  made_ = false;
}

}  // namespace partsc
