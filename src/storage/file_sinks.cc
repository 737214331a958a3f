#include "storage/file_sinks.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "platform/ov_faults.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_signals.h"
#include "platform/ov_util.h"
#include "storage/file_lock.h"

namespace partsc {
namespace {

// A second name a file was given, or why it was given none.
struct SecondName : SinkResult {
  std::string name;
};

// Gives the file `from` a second name: `stem` followed by random characters,
// a name no file had; kReplaceFailed with the system's reason when none
// could be given.
SecondName LinkUnique(const std::string& from, const std::string& stem) {
  constexpr int kTries = 16;
  int error = EEXIST;
  for (int i = 0; i < kTries && error == EEXIST; ++i) {
    if (OvFaults::ShouldFail(OvFaultKind::kRename)) {
      error = EIO;
      break;
    }
    std::string to = OvFile::RandomName(stem);
    error = to.empty() ? kRefusedNoRandom : ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
    if (error == 0) {
      return {{}, std::move(to)};
    }
  }
  return {SinkResult::Failed(SinkStatus::kReplaceFailed, SystemErrorText(error)), {}};
}

// Renames `from` to `to`: kOk, or `failure` with the system's reason.
SinkResult Renamed(const std::string& from, const std::string& to, SinkStatus failure) {
  OvFileResult renamed = OvFile::Rename(from, to);
  return renamed.Ok() ? SinkResult{} : SinkResult::Failed(failure, std::move(renamed.reason));
}

// Puts `temporary`, already on the disk, in place of `path`, and the older
// file, if any, in place of its backup. `path` names a complete file at
// every moment: the older file takes a second, hidden name first, and the
// new file replaces it in one rename. When a step fails, the files are put
// back as they were (as far as the system lets) and the result says why.
SinkResult PutInPlace(const std::string& path, const std::string& temporary) {
  if (!OvFile::Access(path).Ok()) {
    return Renamed(temporary, path, SinkStatus::kReplaceFailed);
  }
  const SecondName older = LinkUnique(path, OvFile::HiddenBeside(path, ".old-"));
  if (!older.Ok()) {
    return older;
  }
  if (SinkResult placed = Renamed(temporary, path, SinkStatus::kReplaceFailed); !placed.Ok()) {
    OvFile::Remove(older.name);
    return placed;
  }
  SinkResult backedUp = Renamed(older.name, BackupPath(path), SinkStatus::kReplaceFailed);
  if (!backedUp.Ok() && !OvFile::Rename(older.name, path).Ok()) {
    backedUp.reason += "; the previous file is left as " + older.name;
  }
  return backedUp;
}

// Whether `rest` is `kind` ("new-", "old-") followed by the twelve random
// characters of OvFile::RandomName.
bool IsHiddenName(std::string_view rest, std::string_view kind) {
  constexpr size_t kRandom = 12;
  return rest.size() == kind.size() + kRandom && rest.starts_with(kind) &&
         rest.find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyz", kind.size()) ==
             std::string_view::npos;
}

// Whether no run holds a lock on the file `path` names now: a file that
// cannot be opened counts as held.
bool LockIsFree(const std::string& path) {
  FileLock lock;
  return lock.LockNamed(path, OvLockMode::kExclusive, false, false).Ok();
}

// A previous file that a dead run had given its hidden second name: the
// same file as `path` when the run died before the new file took the name
// (the name stays), else the previous file on its way to the backup name.
void FinishPutInPlace(const std::string& path, const std::string& older) {
  if (OvFile::SameFile(path, older)) {
    OvFile::Remove(older);
    return;
  }
  const std::string to = OvFile::Access(path).Ok() ? BackupPath(path) : path;
  if (LockIsFree(older) && OvFile::MayReplace(to).Ok()) {
    OvFile::Rename(older, to);
  }
}

// Clears what dead runs of this user left beside `path`, whose lock this
// run holds, so that no live run is writing it: new contents that never
// took the name go, a previous file halfway to its backup name gets there,
// and a lock file goes while the file itself is what is locked. Only a
// regular file of the run's user that no run holds a lock on is touched:
// a file another user put there under such a name is left alone. `hidden`
// are the hidden names of its directory when the run first looked.
void ClearLeftovers(const std::string& path, const std::vector<std::string>& hidden,
                    bool onLockFile) {
  const std::string directory = OvFile::DirectoryOf(path);
  const size_t slash = path.rfind('/');
  // Appended piece by piece: g++ 12 at -O2 warns of `"." + path.substr(...)`
  // (a false positive of its -Wrestrict).
  const std::string prefix =
      std::string(".").append(path, slash == std::string::npos ? 0 : slash + 1).append(".");
  for (const std::string& name : hidden) {
    const std::string full = OvFile::Resolve(directory, name);
    if (!name.starts_with(prefix) || !OvFile::IsOwnFile(full)) {
      continue;
    }
    const std::string_view rest = std::string_view(name).substr(prefix.size());
    const bool stale = (rest == "lock" && !onLockFile) || IsHiddenName(rest, "new-");
    if (stale && LockIsFree(full)) {
      OvFile::Remove(full);
    } else if (IsHiddenName(rest, "old-")) {
      FinishPutInPlace(path, full);
    }
  }
}

}  // namespace

SinkResult PartsFileSink::Open(const std::string& path) {
  path_ = path;
  madeBackup_ = false;
  lockHolder_.reset();
  OvResult<OvLockResult> locked =
      directoryLock_.Lock(OvFile::DirectoryOf(path), OvLockMode::kExclusive);
  if (OvSignals::Caught() != 0) {
    return Interrupted();
  }
  if (locked.status == OvLockResult::kTimedOut) {
    return LockTimedOut(std::move(locked.reason));
  }
  // The new file keeps the permission bits of the one it replaces.
  const std::optional<int> permission = OvFile::PermissionOf(path);
  if (OvFile::Access(path).Ok()) {
    const std::string backup = BackupPath(path);
    if (OvFileResult refused = OvFile::MayReplace(backup); !refused.Ok()) {
      return SinkResult::Failed(SinkStatus::kBackupFailed, std::move(refused.reason));
    }
    // The rename replaces an older backup in one step.
    if (SinkResult moved = Renamed(path, backup, SinkStatus::kBackupFailed); !moved.Ok()) {
      return moved;
    }
    madeBackup_ = true;
  }
  // The name is free now: the new file is made there, never through a link
  // that appeared meanwhile.
  if (!file_.Open(path, kOpenPartsWrite | kOpenExclusive, kOpenPermission)) {
    return SinkResult::Failed(SinkStatus::kOpenFailed, file_.ErrorText());
  }
  if (permission) {
    file_.SetPermission(*permission);
  }
  return {};
}

SinkResult PartsFileSink::LockTimedOut(std::string holder) {
  lockHolder_ = std::move(holder);
  return SinkResult::Failed(SinkStatus::kOpenFailed, SystemErrorText(kRefusedLocked));
}

SinkResult PartsFileSink::Interrupted() {
  return SinkResult::Failed(SinkStatus::kOpenFailed, "the wait for the lock ended with a signal");
}

SinkResult PartsFileSink::WriteAt(int64_t position, const uint8_t* bytes, size_t count) {
  const int asked = static_cast<int>(count);
  if (file_.Lseek(position, kSeekStart) == position && file_.Write(bytes, asked) == asked) {
    return {};
  }
  const std::string reason = file_.ErrorText();
  return SinkResult::Failed(SinkStatus::kWriteFailed,
                            reason.empty() ? std::string("a write fell short") : reason);
}

void PartsFileSink::Release() {
  file_.Close();
  directoryLock_.Unlock();
}

OvResult<OvLockResult> ReplacingPartsFileSink::LockPartsFile(bool wait) {
  constexpr int kTries = 100;
  for (int i = 0; i < kTries; ++i) {
    OvResult<OvLockResult> taken = fileLock_.LockNamed(path_, OvLockMode::kExclusive, false, wait);
    onLockFile_ = false;
    if (taken.status != OvLockResult::kMissing) {
      return taken;
    }
    taken = fileLock_.LockNamed(OvFile::HiddenBeside(path_, ".lock"), OvLockMode::kExclusive, true,
                                wait);
    if (!taken.Ok()) {
      return taken;
    }
    onLockFile_ = true;
    if (!OvFile::Access(path_).Ok()) {
      return taken;
    }
    // The file came while this run waited: its own lock counts now.
    fileLock_.UnlockRemoving();
  }
  return {OvLockResult::kFailed, {}};
}

SinkResult ReplacingPartsFileSink::Open(const std::string& path) {
  // This run's own earlier file of that name takes it first: the same lock
  // cannot be taken twice.
  if (pending_.Holds(path)) {
    pending_.PutInPlace();
  }
  path_ = path;
  lockHolder_.reset();
  OvResult<OvLockResult> taken = pending_.HoldDirectory(OvFile::DirectoryOf(path));
  if (taken.Ok()) {
    taken = LockPartsFile(false);
  }
  // No run waits for another's lock while it holds the locks of waiting
  // files, which the other may wait for in turn: those go in place first.
  if (taken.status == OvLockResult::kBusy) {
    pending_.PutInPlace();
    taken = LockPartsFile(true);
  }
  if (OvSignals::Caught() != 0) {
    return Interrupted();
  }
  if (taken.status == OvLockResult::kTimedOut) {
    return LockTimedOut(std::move(taken.reason));
  }
  // Where no lock can be had (kFailed) the work goes on without.
  ClearLeftovers(path, pending_.HiddenNames(OvFile::DirectoryOf(path)), onLockFile_);
  std::optional<std::string> temporary = file_.OpenUnique(OvFile::HiddenBeside(path, ".new-"));
  if (!temporary) {
    return SinkResult::Failed(SinkStatus::kOpenFailed, file_.ErrorText());
  }
  temporary_ = std::move(*temporary);
  // The new file keeps the permission bits of the one it replaces.
  if (const std::optional<int> permission = OvFile::PermissionOf(path)) {
    file_.SetPermission(*permission);
  }
  // Nobody else knows the new file yet; once it has the name, its lock
  // keeps other runs out until this one lets it go.
  newLock_.LockDescriptor(file_.Duplicate(), OvLockMode::kExclusive);
  return {};
}

void ReplacingPartsFileSink::Close() {
  file_.StartWriteBack();
  file_.Close();
}

SinkResult ReplacingPartsFileSink::Replace() {
  if (temporary_.empty()) {
    return {};
  }
  file_.Close();
  SinkResult result = PutInPlace(path_, temporary_);
  if (result.Ok()) {
    temporary_.clear();
  }
  Discard();
  return result;
}

bool ReplacingPartsFileSink::Discard() {
  if (temporary_.empty()) {
    return false;
  }
  file_.Close();
  OvFile::Remove(temporary_);
  temporary_.clear();
  return true;
}

void ReplacingPartsFileSink::Release() {
  Discard();
  newLock_.Unlock();
  if (onLockFile_) {
    fileLock_.UnlockRemoving();
  }
  fileLock_.Unlock();
  onLockFile_ = false;
  PartsFileSink::Release();
}

void PendingReplacements::Add(std::unique_ptr<ReplacingPartsFileSink> sink) {
  waiting_.push_back(std::move(sink));
  if (waiting_.size() >= kBatch) {
    PutInPlace();
  }
}

bool PendingReplacements::Holds(const std::string& path) const {
  return std::ranges::any_of(waiting_, [&path](const auto& sink) { return sink->Path() == path; });
}

void PendingReplacements::PutInPlace() {
  if (waiting_.empty()) {
    return;
  }
  // Every new content is on the disk before any takes a name: the new files
  // of the batch, and nothing else of their file system, are synced side by
  // side; one that could not be written is not put in place.
  std::vector<std::string> written;
  for (const std::unique_ptr<ReplacingPartsFileSink>& sink : waiting_) {
    written.push_back(sink->WrittenPath());
  }
  std::vector<OvFileResult> synced = OvFile::SyncEach(written);
  for (size_t i = 0; i < waiting_.size(); ++i) {
    ReplacingPartsFileSink& sink = *waiting_[i];
    SinkResult replaced = synced[i].Ok() ? sink.Replace()
                                         : SinkResult::Failed(SinkStatus::kReplaceFailed,
                                                              std::move(synced[i].reason));
    if (replaced.Ok()) {
      unsyncedDirectories_.insert(OvFile::DirectoryOf(sink.Path()));
    }
    results_.push_back({std::move(replaced), sink.Path()});
  }
  waiting_.clear();
}

void PendingReplacements::Finish() {
  PutInPlace();
  // The new names reach the disk too, each directory once. They are in
  // place already; a directory that cannot be synced is no reason to undo
  // them.
  OvFile::SyncEach({unsyncedDirectories_.begin(), unsyncedDirectories_.end()});
  unsyncedDirectories_.clear();
  directoryLocks_.clear();
}

OvResult<OvLockResult> PendingReplacements::HoldDirectory(const std::string& directory) {
  const auto [lock, added] = directoryLocks_.try_emplace(directory);
  OvResult<OvLockResult> taken =
      added ? lock->second.Lock(directory, OvLockMode::kShared) : OvResult<OvLockResult>{};
  if (taken.status != OvLockResult::kTimedOut) {
    return {};
  }
  // Asked again by the next parts file of that directory.
  directoryLocks_.erase(lock);
  return taken;
}

const std::vector<std::string>& PendingReplacements::HiddenNames(const std::string& directory) {
  const auto [known, added] = hidden_.try_emplace(directory);
  if (added) {
    known->second = OvFile::NamesStartingWith(directory, ".");
  }
  return known->second;
}

std::vector<PendingReplacements::Result> PendingReplacements::TakeResults() {
  return std::exchange(results_, {});
}

}  // namespace partsc
