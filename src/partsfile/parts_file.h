// The parts file: read whole; where a compile writes one (a sink); and the
// sinks that keep it in memory. The sinks that write it to the disk are in
// storage/.
#pragma once

#include <partsc/model.h>

#include <cstdint>
#include <string>

#include "platform/ov_file_bytes.h"
#include "platform/ov_result.h"

namespace partsc {

// Reads the whole parts file at `path` (a full path) into `bytes`, mapped
// or in one read into the room `bytes` kept: kOk, kNoFile, kOpenFailed,
// kShort when the read falls short, or kNoMemory when there is no room for
// the bytes (`bytes` is then empty); a failure of the system with its reason.
OvResult<ReadStatus> ReadPartsFileBytes(const std::string& path, OvFileBytes& bytes);

// What making ready to write a parts file, writing it, or putting a new one
// in place came to; the result carries the system's reason.
enum class SinkStatus {
  kOk,
  kOpenFailed,     // the file cannot be made (or the wait for its lock ran out)
  kBackupFailed,   // the older file cannot be renamed to its backup
  kWriteFailed,    // a write fell short
  kReplaceFailed,  // the new content cannot be put in place (--atomic)
};
using SinkResult = OvResult<SinkStatus>;

// The backup name of a parts file: path + ".old", or ".OLD" when the file
// name is not in lower case.
std::string BackupPath(const std::string& path);

// Where the writer puts the bytes of one parts file.
class PartsSink {
 public:
  virtual ~PartsSink() = default;
  // Makes ready to take the parts file at `path` (a full path): kOk, or
  // kOpenFailed or kBackupFailed with the system's reason.
  virtual SinkResult Open(const std::string& path) = 0;
  // Writes `count` bytes at `position`: kOk, or kWriteFailed when not all
  // were written, with the system's reason ("a write fell short" when the
  // system gave none).
  virtual SinkResult WriteAt(int64_t position, const uint8_t* bytes, size_t count) = 0;
  // The file is whole: nothing more is written.
  virtual void Close() = 0;
  // Whether the parts file goes to the disk; false for one kept in memory.
  virtual bool WritesFile() const { return true; }
};

// Keeps the bytes of the parts file in memory; writes nothing anywhere.
class MemoryPartsSink : public PartsSink {
 public:
  SinkResult Open(const std::string& path) override;
  SinkResult WriteAt(int64_t position, const uint8_t* bytes, size_t count) override;
  void Close() override {}
  bool WritesFile() const override { return false; }

  // The full path the parts file would have, and its bytes.
  const std::string& Path() const { return path_; }
  const std::string& Bytes() const { return bytes_; }

 protected:
  // Puts the bytes in place, the file growing as needed.
  void Store(int64_t position, const uint8_t* bytes, size_t count);

 private:
  std::string path_;
  std::string bytes_;
};

// --check: keeps the bytes in memory as MemoryPartsSink does, but opens only
// where the file could be written, asked without touching anything.
class ProbingPartsSink : public MemoryPartsSink {
 public:
  SinkResult Open(const std::string& path) override;
};

}  // namespace partsc
