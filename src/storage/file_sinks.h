// Where a compile writes a parts file on the disk: in place, after the
// backup of an older file, under the lock of its directory; or with --atomic
// into a new file that replaces the older one only when the run commits it,
// under the locks runs share. What dead runs left beside a file is cleared
// there.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "partsfile/parts_file.h"
#include "platform/ov_file_io.h"
#include "storage/file_lock.h"

namespace partsc {

// Writes the parts file in place. Open first renames an existing file to
// path + ".old" (".OLD" when the name is not in lower case). Whatever a run
// does to one parts file (its backup, write, read back and removal) happens
// under an exclusive advisory lock of the parts directory, taken by Open and
// let go by Release (other runs wait for it; where the system has no such
// locks, the work goes on without).
class PartsFileSink : public PartsSink {
 public:
  PartsFileSink() = default;
  PartsFileSink(const PartsFileSink&) = delete;
  PartsFileSink& operator=(const PartsFileSink&) = delete;
  ~PartsFileSink() override { PartsFileSink::Release(); }

  SinkResult Open(const std::string& path) override;
  SinkResult WriteAt(int64_t position, const uint8_t* bytes, size_t count) override;
  void Close() override { file_.Close(); }

  // Whether Open moved an older file to the backup (never with --atomic,
  // whose older file stays in place until the run puts the new one there).
  bool MadeBackup() const { return madeBackup_; }
  // Who held a lock that Open waited for until the lock wait ran out
  // ("process 1234 (partsc) of user alice"); none when Open did not fail so.
  const std::optional<std::string>& LockHolder() const { return lockHolder_; }
  // The parts file's full path, as Open was given it.
  const std::string& Path() const { return path_; }
  // Where what was written can be read back before it is put in place.
  virtual const std::string& WrittenPath() const { return path_; }
  // Whether what was written waits to take the parts file's name (--atomic);
  // written in place, it has the name already.
  virtual bool Replaces() const { return false; }
  // Drops what was written and not yet in place. False when nothing waited.
  virtual bool Discard() { return false; }
  // Ends the work on the parts file: closes it, discards what was not
  // committed, and lets the locks go. The run driver calls it after the file
  // was read back or removed.
  virtual void Release();

 protected:
  // Open's answer when the wait for a lock ran out: kOpenFailed with the
  // words of kRefusedLocked, and `holder` kept for LockHolder().
  SinkResult LockTimedOut(std::string holder);
  // Open's answer when a signal ended the wait for a lock.
  static SinkResult Interrupted();

  std::string path_;
  bool madeBackup_ = false;
  std::optional<std::string> lockHolder_;
  OvFileIO file_;
  FileLock directoryLock_;
};

class PendingReplacements;

// --atomic: leaves the older file and its backup as they are and writes into
// a new file under a random hidden name beside it (".NAME.new-XXXXXXXXXXXX",
// made with O_EXCL). Runs that replace parts files share the directory lock
// (held by PendingReplacements) and wait for each other on each parts file: on the file its name
// points at (the new file is locked before it takes the name), or on a lock file
// ".NAME.lock" while there is no file yet, which Release removes. The run
// that holds the lock clears what dead runs left beside the file. Once the
// new content is on the disk, Replace puts it in place: the older file
// becomes its backup and the new one takes its name, in renames that leave
// the name always on a complete file. When it fails, the older file and its
// backup are as they were and the new content is gone.
class ReplacingPartsFileSink : public PartsFileSink {
 public:
  // A parts file that waits in `pending` is put in place before this sink
  // opens it again.
  explicit ReplacingPartsFileSink(PendingReplacements& pending) : pending_(pending) {}
  ~ReplacingPartsFileSink() override { ReplacingPartsFileSink::Release(); }

  SinkResult Open(const std::string& path) override;
  // The new file is whole: it sets off for the disk while the run goes on.
  void Close() override;
  const std::string& WrittenPath() const override { return temporary_; }
  bool Replaces() const override { return true; }
  // Puts the new content, already on the disk, in place: kOk, or
  // kReplaceFailed with the system's reason.
  SinkResult Replace();
  bool Discard() override;
  void Release() override;

 private:
  // Takes the lock of the parts file: kLocked, kBusy when another run holds
  // it and `wait` is false, kTimedOut when the wait ran out, kFailed where
  // no lock can be had (the work then goes on without).
  OvResult<OvLockResult> LockPartsFile(bool wait);

  PendingReplacements& pending_;
  std::string temporary_;  // empty when nothing waits
  FileLock fileLock_;      // the parts file, or its lock file
  bool onLockFile_ = false;
  FileLock newLock_;  // the new file, which takes the name
};

// --atomic: the parts files of a run that compiled and listed, waiting to be
// put in place in batches. Each new content sets off for the disk when it
// comes; a batch then waits until all of them are on the disk (each file
// synced, side by side, and nothing else of the file system) and renames
// them into place one by one; at the end of the run each directory is synced
// once. A name never points at a new content before that content is on the
// disk.
class PendingReplacements {
 public:
  // The files that wait at most; the one after puts them in place.
  static constexpr size_t kBatch = 256;

  PendingReplacements() = default;
  ~PendingReplacements() { Finish(); }
  PendingReplacements(const PendingReplacements&) = delete;
  PendingReplacements& operator=(const PendingReplacements&) = delete;

  // Takes a sink whose parts file compiled and listed.
  void Add(std::unique_ptr<ReplacingPartsFileSink> sink);
  // Whether the parts file at `path` waits here.
  bool Holds(const std::string& path) const;
  // Puts every waiting file in place and lets it go; what became of each is
  // kept for TakeResults.
  void PutInPlace();
  // PutInPlace, then syncs the directories of every file put in place.
  void Finish();
  // What became of a parts file that waited: put in place (kOk), or
  // kReplaceFailed with the system's reason.
  struct Result : SinkResult {
    std::string path;
  };
  // The results since the last call.
  std::vector<Result> TakeResults();
  // The names that begin with "." in `directory`, as they were when the run
  // first asked: among them what dead runs left.
  const std::vector<std::string>& HiddenNames(const std::string& directory);
  // Takes the shared lock of `directory` unless it is held already; it is
  // held until Finish, so that no default-mode run works there meanwhile.
  // kTimedOut with who held it when the wait ran out; kLocked when it is
  // held (or could not be had at all: the work goes on without).
  OvResult<OvLockResult> HoldDirectory(const std::string& directory);

 private:
  std::vector<std::unique_ptr<ReplacingPartsFileSink>> waiting_;
  std::vector<Result> results_;
  std::map<std::string, std::vector<std::string>> hidden_;  // by directory
  std::set<std::string> unsyncedDirectories_;
  std::map<std::string, FileLock> directoryLocks_;
};

}  // namespace partsc
