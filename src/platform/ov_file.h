// File names by file class, and operations on whole files.
#pragma once

#include <sys/types.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ov_file_result.h"
#include "platform/ov_result.h"

namespace partsc {

inline constexpr std::string_view kClassControl = "#PARTS:CTL#";
inline constexpr std::string_view kClassInput = "#PARTS:INP#";
inline constexpr std::string_view kClassParts = "#PARTS:BIN#";
// The three file classes, in the order their directories are kept.
inline constexpr std::array<std::string_view, 3> kClassKeys = {kClassControl, kClassInput,
                                                               kClassParts};

// What an open came to: the descriptor, and whether this open made the file;
// or fd -1 and kFailed with the reason and its number (the system's error,
// or one of the kRefused reasons of ov_util.h), taken where the open failed.
struct OvOpened : OvFileResult {
  int fd = -1;
  bool created = false;
  int error = 0;
};
// open(2) with O_CLOEXEC added, tried again when a signal interrupts it.
OvOpened OpenRetrying(const std::string& path, int flags, mode_t permission);
// Opens `path` for writing with the host's open flags `flags` (O_CREAT is
// added), never through a link or into a file that another user planted:
// a missing file is made with O_EXCL and O_NOFOLLOW; a symbolic link is
// followed only when it belongs to the run's user or to root; in a directory
// that another user can write to, an existing file must belong to the run's
// user (or root) and have no other name (else kRefusedForeignLink,
// kRefusedForeignFile or kRefusedOtherNames). O_TRUNC is left to the caller
// (OvFileIO truncates once it holds the file's lock).
OvOpened OpenOutputFile(const std::string& path, int flags, int permission);
// Opens `path` for reading without waiting for a writer (a FIFO) and refuses
// a directory (EISDIR) and, with `regularOnly`, anything but a regular file
// (kRefusedNotRegular), with the host's open flags `flags` added.
OvOpened OpenInputFile(const std::string& path, bool regularOnly, int flags = 0);

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

enum class OvMade { kExisted, kMade, kFailed };
enum class OvEnter { kEntered, kRefused };
// A directory that could be entered, or why not.
struct OvEntered : OvResult<OvEnter> {
  std::string directory;
};

class OvFile {
 public:
  // kOk when the file exists (a symbolic link counts, whatever its target).
  static OvFileResult Access(const std::string& path);
  // kOk when the file is gone (also when there was none).
  static OvFileResult Remove(const std::string& path);
  static OvFileResult Rename(const std::string& from, const std::string& to);
  // Writes what the system holds of each file or directory of `paths` to
  // the disk, and nothing else: they are synced side by side, a few at once,
  // so that the file system can commit them together. What came of each
  // (kOk when it is on the disk). Each counts as one write for the test
  // seams, in the order of `paths`, on the calling thread.
  static std::vector<OvFileResult> SyncEach(const std::vector<std::string>& paths);
  // True when both paths name one file (the same inode); a symbolic link is
  // the link itself.
  static bool SameFile(const std::string& first, const std::string& second);
  // True when `path` is a regular file (not a link) of the run's user.
  static bool IsOwnFile(const std::string& path);
  // True when the file `path` names (a link itself, not its target) belongs
  // to a user other than the run's.
  static bool BelongsToAnother(const std::string& path);
  // kOk when a file at `path` (or none) is one partsc may replace or write,
  // else the reason (a kRefused one of ov_util.h: a link of another user;
  // another user's file, or one with other names, in a directory others can
  // write to). See OpenOutputFile.
  static OvFileResult MayReplace(const std::string& path);
  // The permission bits of the regular file `path` (a link is not
  // followed); none when it is none.
  static std::optional<int> PermissionOf(const std::string& path);
  // The names in `directory` that begin with `prefix`, in no order; none
  // when it cannot be read.
  static std::vector<std::string> NamesStartingWith(const std::string& directory,
                                                    std::string_view prefix);
  // `stem` followed by random characters that nobody can guess; empty when
  // the system gives no random bytes (kRefusedNoRandom).
  static std::string RandomName(const std::string& stem);
  // True when the file name after the last "/" holds no capital letter.
  static bool IsLowerCase(std::string_view path);
  // The directory part of a path: "/a/b" gives "/a", "/b" gives "/", a path
  // without "/" the current directory, ".".
  static std::string DirectoryOf(const std::string& path);
  // A hidden name beside a file: "/dir/bolt.prt" and ".lock" give
  // "/dir/.bolt.prt.lock".
  static std::string HiddenBeside(const std::string& path, std::string_view suffix);
  // True when `name` can be a file name inside a class directory: not empty,
  // not "." or "..", and without "/".
  static bool IsPlainName(std::string_view name);

  // The directory `path` names, taken from `directory` when it is relative,
  // as changing into it would make it the current directory: absolute, with
  // every symbolic link resolved; kRefused with the system's reason when one
  // could not change into it.
  static OvEntered ChangeDirectory(const std::string& directory, const std::string& path);
  // The current directory of the process; empty when it cannot be told.
  static std::string CurrentDirectory();
  // `path` taken from `directory` when it is relative: "directory/path".
  static std::string Resolve(const std::string& directory, const std::string& path);
  // `path` relative to `directory` when it lies below it, else `path` as it
  // stands.
  static std::string RelativeTo(const std::string& directory, std::string_view path);

  // Makes the directory `path` and those above it that are missing: kMade,
  // kExisted when it was a directory already, or kFailed with the system's
  // reason.
  static OvResult<OvMade> MakeDirectory(const std::string& path);
  // True when `path` names a regular file (after symbolic links).
  static bool IsFile(const std::string& path);
  // Whether creating or truncating the file at `path` would work, asked
  // without touching it; the reason is that of EISDIR for a directory, the
  // system's for a missing, unwritable or no directory, an unwritable file.
  static OvFileResult ProbeCreate(const std::string& path);
  // The names of the regular files in `directory`, sorted by their bytes;
  // none when it cannot be read.
  static std::vector<std::string> FileNames(const std::string& directory);
};

}  // namespace partsc
