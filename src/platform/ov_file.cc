#include "platform/ov_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/ov_faults.h"
#include "platform/ov_util.h"

namespace partsc {
namespace {

// The index of `key` in kClassKeys, or -1.
int ClassIndex(std::string_view key) {
  const auto* found = std::find(kClassKeys.begin(), kClassKeys.end(), key);
  return found == kClassKeys.end() ? -1 : static_cast<int>(found - kClassKeys.begin());
}

// directory + "/" + name, where the directory "/" gives "/name".
std::string Join(const std::string& directory, std::string_view name) {
  std::string path = directory;
  if (path.empty() || path.back() != '/') {
    path += '/';
  }
  path += name;
  return path;
}

bool HasCapital(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// What lstat(2) tells of `path` (a link itself, not its target); none when
// there is nothing there.
std::optional<struct stat> Lstat(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 ? std::optional<struct stat>(status) : std::nullopt;
}

// The current directory, or "." when it cannot be told.
std::string CurrentOrDot() {
  std::string directory = OvFile::CurrentDirectory();
  return directory.empty() ? std::string(".") : directory;
}

// True when a user other than the run's can make or replace files in
// `directory`: it belongs to another, or its group or others may write to
// it. A directory that cannot be looked at counts as shared.
bool IsSharedDirectory(const std::string& directory) {
  struct stat status {};
  if (::stat(directory.c_str(), &status) != 0) {
    return true;
  }
  return status.st_uid != ::geteuid() || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// Whether a file of `owner` is one the run may write into or follow: its
// own, or root's (the system's: /dev/null, /dev/stdout).
bool TrustedOwner(uid_t owner) {
  return owner == ::geteuid() || owner == 0;
}

// Why an existing file, `status` its lstat, is no place to write in:
// a kRefused reason, or 0.
int WriteRefusal(const std::string& path, const struct stat& status) {
  if (S_ISLNK(status.st_mode)) {
    return TrustedOwner(status.st_uid) ? 0 : kRefusedForeignLink;
  }
  const bool foreign = !TrustedOwner(status.st_uid);
  const bool otherNames = S_ISREG(status.st_mode) && status.st_nlink > 1;
  if ((!foreign && !otherNames) || !IsSharedDirectory(OvFile::DirectoryOf(path))) {
    return 0;
  }
  return foreign ? kRefusedForeignFile : kRefusedOtherNames;
}

// The names in `directory` that `keep` takes, in no order; none when it
// cannot be read.
template <class Keep>
std::vector<std::string> NamesIn(const std::string& directory, Keep keep) {
  std::vector<std::string> names;
  DIR* listing = ::opendir(directory.c_str());
  if (listing == nullptr) {
    return names;
  }
  while (const dirent* entry = ::readdir(listing)) {
    if (keep(std::string_view(entry->d_name))) {
      names.emplace_back(entry->d_name);
    }
  }
  ::closedir(listing);
  return names;
}

// A failed open, `error` its reason.
OvOpened OpenFailed(int error) {
  return {FileResultOf(error), -1, false, error};
}

}  // namespace

OvOpened OpenRetrying(const std::string& path, int flags, mode_t permission) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, permission);
  } while (fd < 0 && errno == EINTR);
  return fd >= 0 ? OvOpened{{}, fd} : OpenFailed(errno);
}

OvOpened OpenOutputFile(const std::string& path, int flags, int permission) {
  flags = (flags | O_CREAT) & ~O_TRUNC;
  const auto mode = static_cast<mode_t>(permission);
  // A name that changes between the look and the open is looked at again.
  constexpr int kTries = 8;
  for (int i = 0; i < kTries; ++i) {
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0) {
      if (errno != ENOENT) {
        return OpenFailed(errno);
      }
      OvOpened made = OpenRetrying(path, flags | O_EXCL | O_NOFOLLOW, mode);
      made.created = made.Ok();
      if (made.error != EEXIST || (flags & O_EXCL) != 0) {
        return made;
      }
      continue;
    }
    if ((flags & O_EXCL) != 0) {
      return OpenFailed(EEXIST);
    }
    if (const int refusal = WriteRefusal(path, named); refusal != 0) {
      return OpenFailed(refusal);
    }
    const bool link = S_ISLNK(named.st_mode);
    OvOpened opened = OpenRetrying(path, flags | (link ? 0 : O_NOFOLLOW), mode);
    if (!opened.Ok()) {
      if (opened.error == ELOOP && !link) {
        continue;
      }
      return opened;
    }
    struct stat status {};
    if (link || (::fstat(opened.fd, &status) == 0 && status.st_dev == named.st_dev &&
                 status.st_ino == named.st_ino)) {
      return opened;
    }
    ::close(opened.fd);
  }
  return OpenFailed(EAGAIN);
}

OvOpened OpenInputFile(const std::string& path, bool regularOnly, int flags) {
  OvOpened opened = OpenRetrying(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | flags, 0);
  if (!opened.Ok()) {
    return opened;
  }
  struct stat status {};
  const int refusal = ::fstat(opened.fd, &status) != 0          ? errno
                      : S_ISDIR(status.st_mode)                 ? EISDIR
                      : regularOnly && !S_ISREG(status.st_mode) ? kRefusedNotRegular
                                                                : 0;
  if (refusal != 0) {
    ::close(opened.fd);
    return OpenFailed(refusal);
  }
  // Reads of a pipe wait for their bytes again.
  ::fcntl(opened.fd, F_SETFL, ::fcntl(opened.fd, F_GETFL) & ~O_NONBLOCK);
  return opened;
}

std::string OvClassDirectories::ToFullPath(std::string_view key, std::string_view name) const {
  const int index = ClassIndex(key);
  if (index < 0) {
    return std::string(name);
  }
  const bool parts = key == kClassParts;
  std::string path;
  if (!parts && !name.empty() && name.front() == '/') {
    path = std::string(name);
  } else {
    const std::string& directory = directories_[static_cast<std::size_t>(index)];
    path = Join(directory.empty() ? CurrentOrDot() : directory, name);
  }
  if (parts) {
    path += HasCapital(name) ? ".PRT" : ".prt";
  }
  return path;
}

OvFileResult OvFile::Access(const std::string& path) {
  return FileResultOf(Lstat(path) ? 0 : errno);
}

OvFileResult OvFile::Remove(const std::string& path) {
  const int error = ::unlink(path.c_str()) == 0 ? 0 : errno;
  const bool gone = error == 0 || (!Lstat(path) && (errno == ENOENT || errno == ENOTDIR));
  return FileResultOf(gone ? 0 : error);
}

OvFileResult OvFile::Rename(const std::string& from, const std::string& to) {
  if (OvFaults::ShouldFail(OvFaultKind::kRename)) {
    return FileResultOf(EIO);
  }
  return FileResultOf(std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno);
}

std::vector<OvFileResult> OvFile::SyncEach(const std::vector<std::string>& paths) {
  std::vector<OvFileResult> results(paths.size());
  std::vector<size_t> todo;
  for (size_t i = 0; i < paths.size(); ++i) {
    if (OvFaults::ShouldFail(OvFaultKind::kWrite)) {
      results[i] = FileResultOf(EIO);
    } else {
      todo.push_back(i);
    }
  }
  // Each sync waits for the disk; side by side the waits overlap, and a
  // journaling file system commits the files of one wait together.
  constexpr size_t kAtOnce = 16;
  std::atomic<size_t> next{0};
  const auto work = [&] {
    for (size_t k = next++; k < todo.size(); k = next++) {
      const size_t i = todo[k];
      const OvOpened opened = OpenRetrying(paths[i], O_RDONLY, 0);
      results[i] = opened;
      if (opened.Ok()) {
        results[i] = FileResultOf(::fsync(opened.fd) == 0 ? 0 : errno);
        ::close(opened.fd);
      }
    }
  };
  std::vector<std::thread> helpers;
  try {
    for (size_t t = 1; t < std::min(kAtOnce, todo.size()); ++t) {
      helpers.emplace_back(work);
    }
  } catch (const std::system_error&) {
    // No more threads: those there are, and this one, do the rest.
  }
  work();
  for (std::thread& helper : helpers) {
    helper.join();
  }
  return results;
}

bool OvFile::SameFile(const std::string& first, const std::string& second) {
  const std::optional<struct stat> one = Lstat(first);
  const std::optional<struct stat> other = Lstat(second);
  return one && other && one->st_dev == other->st_dev && one->st_ino == other->st_ino;
}

bool OvFile::IsOwnFile(const std::string& path) {
  const std::optional<struct stat> status = Lstat(path);
  return status && S_ISREG(status->st_mode) && status->st_uid == ::geteuid();
}

bool OvFile::BelongsToAnother(const std::string& path) {
  const std::optional<struct stat> status = Lstat(path);
  return status && status->st_uid != ::geteuid();
}

OvFileResult OvFile::MayReplace(const std::string& path) {
  const std::optional<struct stat> status = Lstat(path);
  return FileResultOf(status ? WriteRefusal(path, *status) : 0);
}

std::optional<int> OvFile::PermissionOf(const std::string& path) {
  const std::optional<struct stat> status = Lstat(path);
  return status && S_ISREG(status->st_mode)
             ? std::optional(static_cast<int>(status->st_mode & 0777))
             : std::nullopt;
}

std::vector<std::string> OvFile::NamesStartingWith(const std::string& directory,
                                                   std::string_view prefix) {
  return NamesIn(directory, [&](std::string_view name) { return name.starts_with(prefix); });
}

std::string OvFile::RandomName(const std::string& stem) {
  constexpr const char* kDigits = "0123456789abcdefghijklmnopqrstuvwxyz";
  uint8_t bytes[12] = {};
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    return std::string();
  }
  std::string name = stem;
  for (const uint8_t byte : bytes) {
    name += kDigits[byte % 36];
  }
  return name;
}

bool OvFile::IsLowerCase(std::string_view path) {
  return !HasCapital(path.substr(path.rfind('/') + 1));  // npos + 1: the whole path
}

std::string OvFile::DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string OvFile::HiddenBeside(const std::string& path, std::string_view suffix) {
  const size_t name = path.rfind('/') + 1;  // npos + 1: 0
  return path.substr(0, name).append(".").append(path, name).append(suffix);
}

bool OvFile::IsPlainName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") {
    return false;
  }
  return name.find('/') == std::string_view::npos;
}

void OvClassDirectories::Set(std::string_view key, const std::string& directory) {
  if (const int index = ClassIndex(key); index >= 0) {
    directories_[static_cast<std::size_t>(index)] = directory;
  }
}

std::string OvClassDirectories::Of(std::string_view key) const {
  const int index = ClassIndex(key);
  return index < 0 ? std::string() : directories_[static_cast<std::size_t>(index)];
}

OvEntered OvFile::ChangeDirectory(const std::string& directory, const std::string& path) {
  // chdir(2) refuses what it cannot enter for these reasons, in this order:
  // a path that does not lead anywhere, a file that is no directory, a
  // directory without search permission.
  const std::string joined = Resolve(directory, path);
  char* real = ::realpath(joined.c_str(), nullptr);
  if (real == nullptr) {
    return {{OvEnter::kRefused, SystemErrorText(errno)}, {}};
  }
  const std::string resolved(real);
  std::free(real);
  struct stat status {};
  const int error = ::stat(resolved.c_str(), &status) != 0  ? errno
                    : !S_ISDIR(status.st_mode)              ? ENOTDIR
                    : ::access(resolved.c_str(), X_OK) != 0 ? errno
                                                            : 0;
  if (error != 0) {
    return {{OvEnter::kRefused, SystemErrorText(error)}, {}};
  }
  return {{}, resolved};
}

std::string OvFile::Resolve(const std::string& directory, const std::string& path) {
  if (directory.empty() || (!path.empty() && path.front() == '/')) {
    return path;
  }
  return Join(directory, path);
}

std::string OvFile::CurrentDirectory() {
  // getcwd makes room for a directory of any length.
  const std::unique_ptr<char, decltype(&std::free)> current(::getcwd(nullptr, 0), &std::free);
  return current ? std::string(current.get()) : std::string();
}

std::string OvFile::RelativeTo(const std::string& current, std::string_view path) {
  if (current.empty() || current == "/" || !path.starts_with(current) ||
      path.size() <= current.size() + 1 || path[current.size()] != '/') {
    return std::string(path);
  }
  return std::string(path.substr(current.size() + 1));
}

OvResult<OvMade> OvFile::MakeDirectory(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) {
    return S_ISDIR(status.st_mode) ? OvResult<OvMade>{}
                                   : OvResult<OvMade>{OvMade::kFailed, SystemErrorText(ENOTDIR)};
  }
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    OvResult<OvMade> above = MakeDirectory(path.substr(0, slash));
    if (above.status == OvMade::kFailed) {
      return above;
    }
  }
  if (::mkdir(path.c_str(), 0777) != 0) {
    return {OvMade::kFailed, SystemErrorText(errno)};
  }
  return {OvMade::kMade, {}};
}

bool OvFile::IsFile(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

OvFileResult OvFile::ProbeCreate(const std::string& path) {
  // What a run would refuse to write into, a check refuses too.
  if (OvFileResult replace = MayReplace(path); !replace.Ok()) {
    return replace;
  }
  struct stat status {};
  const bool exists = ::stat(path.c_str(), &status) == 0;
  const std::string directory = DirectoryOf(path);
  struct stat parent {};
  return FileResultOf(exists && S_ISDIR(status.st_mode)               ? EISDIR
                      : ::stat(directory.c_str(), &parent) != 0       ? errno
                      : !S_ISDIR(parent.st_mode)                      ? ENOTDIR
                      : ::access(directory.c_str(), W_OK | X_OK) != 0 ? errno
                      : exists && ::access(path.c_str(), W_OK) != 0   ? errno
                                                                      : 0);
}

std::vector<std::string> OvFile::FileNames(const std::string& directory) {
  std::vector<std::string> names =
      NamesIn(directory, [&](std::string_view name) { return IsFile(Join(directory, name)); });
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace partsc
