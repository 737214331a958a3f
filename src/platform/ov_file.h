// File names by file class, and operations on whole files.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace partsc {

inline constexpr std::string_view kClassControl = "#PARTS:CTL#";
inline constexpr std::string_view kClassInput = "#PARTS:INP#";
inline constexpr std::string_view kClassParts = "#PARTS:BIN#";
// The three file classes, in the order their directories are kept.
inline constexpr std::array<std::string_view, 3> kClassKeys = {kClassControl, kClassInput,
                                                               kClassParts};

// The mode of OvFile::Access that asks whether a file exists.
inline constexpr int kAccessExists = 0;

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

// Opens `path` for writing with the host's open flags `flags` (O_CREAT is
// added), never through a link or into a file that another user planted:
// a missing file is made with O_EXCL and O_NOFOLLOW; a symbolic link is
// followed only when it belongs to the run's user or to root; in a directory
// that another user can write to, an existing file must belong to the run's
// user (or root) and have no other name. O_TRUNC is left to the caller
// (OvFileIO truncates once it holds the file's lock). The descriptor, with
// `created` telling whether this open made the file; -1 with errno, a system
// error or one of the kRefused reasons of ov_util.h.
int OpenOutputFile(const std::string& path, int flags, int permission, bool& created);
// Opens `path` for reading without waiting for a writer (a FIFO) and refuses
// a directory (EISDIR) and, with `regularOnly`, anything but a regular file
// (kRefusedNotRegular). The descriptor, or -1 with errno.
int OpenInputFile(const std::string& path, bool regularOnly);

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

// The directories of the three file classes of a run, set by initfiles.
class OvClassDirectories {
 public:
  // The full path of `name` in the directory of file class `key`: the class
  // directory, "/", then the name with every character kept. An absolute name
  // is used as it stands, except for the parts class, whose names always stay
  // in the parts directory and get ".prt" when they hold no capital letter
  // and ".PRT" otherwise. An unknown key answers the name.
  std::string ToFullPath(std::string_view key, std::string_view name) const;

  // The directory of a file class, absolute and without a trailing "/"
  // (except "/" itself). Until it is set, a class is the current directory
  // of the process.
  void Set(std::string_view key, const std::string& directory);
  // The directory set for a file class; empty when none was (and for an
  // unknown key).
  std::string Of(std::string_view key) const;

 private:
  std::array<std::string, 3> directories_;  // in the order of kClassKeys
};

class OvFile {
 public:
  // 0 when the file exists (mode kAccessExists, 0), -1 otherwise. A
  // symbolic link counts as a file, whether or not its target exists.
  static int Access(const std::string& path, int mode);
  // 0 when the file is gone.
  static int Remove(const std::string& path);
  // 0 on success.
  static int Rename(const std::string& from, const std::string& to);
  // Gives the file `from` a second name: `stem` followed by random
  // characters, a name no file had; that name goes to `to`. 0 on success.
  static int LinkUnique(const std::string& from, const std::string& stem, std::string& to);
  // Writes what the system holds of a file or a directory to the disk. 0 on
  // success.
  static int Sync(const std::string& path);
  // Writes what the system holds of each file of `paths` to the disk, and
  // nothing else: the files are synced side by side, a few at once, so that
  // the file system can commit them together. The error number of each (0
  // when it is on the disk). Each counts as one write for the test seams,
  // in the order of `paths`, on the calling thread.
  static std::vector<int> SyncEach(const std::vector<std::string>& paths);
  // True when both paths name one file (the same inode); a symbolic link is
  // the link itself.
  static bool SameFile(const std::string& first, const std::string& second);
  // True when `path` is a regular file (not a link) of the run's user.
  static bool IsOwnFile(const std::string& path);
  // True when the file `path` names (a link itself, not its target) belongs
  // to a user other than the run's.
  static bool BelongsToAnother(const std::string& path);
  // True when a user other than the run's can make or replace files in
  // `directory`: it belongs to another, or its group or others may write
  // to it. A directory that cannot be looked at counts as shared.
  static bool IsSharedDirectory(const std::string& directory);
  // Why a file at `path` is no file for partsc to replace or write: a
  // kRefused reason of ov_util.h (a link of another user; another user's
  // file, or one with other names, in a directory others can write to), or
  // 0 (also when there is none). See OpenOutputFile.
  static int ReplaceRefusal(const std::string& path);
  // The permission bits of the regular file `path` (a link is not
  // followed); -1 when it is none.
  static int PermissionOf(const std::string& path);
  // The names in `directory` that begin with `prefix`, in no order; none
  // when it cannot be read.
  static std::vector<std::string> NamesStartingWith(const std::string& directory,
                                                    std::string_view prefix);
  // `stem` followed by random characters that nobody can guess; empty when
  // the system gives no random bytes.
  static std::string RandomName(const std::string& stem);
  // True when the file name after the last "/" holds no capital letter.
  static bool IsLowerCase(std::string_view path);
  // True when `name` can be a file name inside a class directory: not empty,
  // not "." or "..", and without "/".
  static bool IsPlainName(std::string_view name);

  // The directory `path` names, taken from `directory` when it is relative,
  // as changing into it would make it the current directory: absolute, with
  // every symbolic link resolved. False with the system's reason in `reason`
  // when one could not change into it.
  static bool ChangeDirectory(const std::string& directory, const std::string& path,
                              std::string& result, std::string& reason);
  // The current directory of the process; empty when it cannot be told.
  static std::string CurrentDirectory();
  // `path` taken from `directory` when it is relative: "directory/path".
  static std::string Resolve(const std::string& directory, const std::string& path);
  // `path` relative to `directory` when it lies below it, else `path` as it
  // stands.
  static std::string RelativeTo(const std::string& directory, std::string_view path);

  // Makes the directory `path` and those above it that are missing. True
  // when it is a directory now, with `made` telling whether it was made;
  // false with the system's reason.
  static bool MakeDirectory(const std::string& path, bool& made, std::string& reason);
  // True when `path` names a regular file (after symbolic links).
  static bool IsFile(const std::string& path);
  // What creating or truncating the file at `path` would fail with, asked
  // without touching it: 0, or the system's error number (EISDIR for a
  // directory, the errors of a directory that is missing, is no directory
  // or cannot be written, of a file that cannot be written).
  static int ProbeCreate(const std::string& path);
  // The names of the regular files in `directory`, sorted by their bytes;
  // none when it cannot be read.
  static std::vector<std::string> FileNames(const std::string& directory);
};

}  // namespace partsc
