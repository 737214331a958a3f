// The parts file: read whole; and where a compile writes one: the file in place (with the backup of
// an older file), a new file that replaces the older one only when committed, or memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/ov_file.h"
#include "platform/ov_file_io.h"

namespace partsc {

// The bytes of a parts file read whole, in room that was not cleared first.
struct PartsFileBytes {
  std::unique_ptr<char[]> data;
  size_t size = 0;
  std::string_view View() const { return {data.get(), size}; }
};

// Reads the whole parts file at `path` (a full path) into `bytes`, in one
// read: kPartsOk, kPartsNoFile, kPartsOpenFailed, kReadShort when the read
// falls short, or kNoMemory when there is no room for the bytes (`bytes` is
// then empty).
int ReadPartsFileBytes(const std::string& path, PartsFileBytes& bytes);

// The backup name of a parts file: path + ".old", or ".OLD" when the file
// name is not in lower case.
std::string BackupPath(const std::string& path);

// Where the writer puts the bytes of one parts file.
class PartsSink {
 public:
  virtual ~PartsSink() = default;
  // Makes ready to take the parts file at `path` (a full path): kPartsOk, or
  // kPartsOpenFailed or kPartsBackupFailed with the system's reason in errno.
  virtual int Open(const std::string& path) = 0;
  // Writes `count` bytes at `position`; false when not all were written.
  virtual bool WriteAt(int64_t position, const uint8_t* bytes, size_t count) = 0;
  // The system's reason for the first failed write ("a write fell short"
  // when the system gave none).
  virtual std::string WriteError() const = 0;
  // The file is whole: nothing more is written.
  virtual void Close() = 0;
};

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

  int Open(const std::string& path) override;
  bool WriteAt(int64_t position, const uint8_t* bytes, size_t count) override;
  std::string WriteError() const override;
  void Close() override { file_.Close(); }

  // Whether Open (with --atomic, a Commit that put the new file in place)
  // moved an older file to the backup.
  bool MadeBackup() const { return madeBackup_; }
  // Where what was written can be read back before it is committed.
  virtual const std::string& WrittenPath() const { return path_; }
  // Whether what was written waits for Commit to take the parts file's name
  // (--atomic); written in place, it has the name already.
  virtual bool Replaces() const { return false; }
  // Puts what was written in place: kPartsOk, or kPartsReplaceFailed with
  // the system's reason in `reason`.
  virtual int Commit(std::string& /*reason*/) { return 0; }
  // Drops what was written and not yet in place. False when nothing waited.
  virtual bool Discard() { return false; }
  // Ends the work on the parts file: closes it, discards what was not
  // committed, and lets the locks go. The run driver calls it after the file
  // was read back or removed.
  virtual void Release();

 protected:
  std::string path_;
  bool madeBackup_ = false;
  OvFileIO file_;
  OvFileLock directoryLock_;
};

// --atomic: leaves the older file and its backup as they are and writes into
// a new file under a random hidden name beside it (".NAME.new-XXXXXXXXXXXX",
// made with O_EXCL), under a lock file ".NAME.lock" that Release removes. Runs that
// replace parts files share the directory lock and wait for each other on
// the lock file of each parts file. Commit puts the new content in place:
// the older file becomes its backup and the new one takes its name, in
// renames that leave the name always on a complete file; then the directory
// is synced. When it fails, the older file and its backup are as they were
// and the new content is gone.
class ReplacingPartsFileSink : public PartsFileSink {
 public:
  ~ReplacingPartsFileSink() override { ReplacingPartsFileSink::Release(); }

  int Open(const std::string& path) override;
  const std::string& WrittenPath() const override { return temporary_; }
  bool Replaces() const override { return true; }
  int Commit(std::string& reason) override;
  bool Discard() override;
  void Release() override;

 private:
  std::string temporary_;  // empty when nothing waits
  OvFileLock fileLock_;
};

// Keeps the bytes of the parts file in memory; writes nothing anywhere.
class MemoryPartsSink : public PartsSink {
 public:
  int Open(const std::string& path) override;
  bool WriteAt(int64_t position, const uint8_t* bytes, size_t count) override;
  std::string WriteError() const override { return "a write fell short"; }
  void Close() override {}

  // The full path the parts file would have, and its bytes.
  const std::string& Path() const { return path_; }
  const std::string& Bytes() const { return bytes_; }

 private:
  void Store(int64_t position, const uint8_t* bytes, size_t count);

  std::string path_;
  std::string bytes_;
};

}  // namespace partsc
