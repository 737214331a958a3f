// The byte streams of a program that talks to another over its standard
// input and output, and the state of a file that may change under it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace partsc {

// What OvPipe::Read found.
enum class OvReadResult { kData, kTimeout, kEnd, kError };

// A pair of file descriptors read and written as raw bytes: the standard
// input and output of the process, or the two ends a test hands over.
class OvPipe {
 public:
  OvPipe(int readFd, int writeFd) : readFd_(readFd), writeFd_(writeFd) {}
  // Standard input and output. A client that closes its end makes writes
  // fail with a result, not end the process with SIGPIPE.
  static OvPipe Standard();

  // Waits at most `timeoutMs` milliseconds (-1: for ever) for bytes and
  // appends what one read gives to `bytes`. A signal that interrupts the wait
  // ends it as a timeout.
  OvReadResult Read(std::string& bytes, int timeoutMs);
  // Writes all of `bytes`; false when the other end is gone.
  bool Write(std::string_view bytes);

 private:
  int readFd_;
  int writeFd_;
};

// What tells one version of a file from the next: its modification time,
// size and inode.
struct OvFileStamp {
  int64_t modifiedNs = 0;
  int64_t size = 0;
  uint64_t inode = 0;
  bool operator==(const OvFileStamp&) const = default;
};
// The stamp of the file at `path`; empty when there is no such file.
std::optional<OvFileStamp> FileStamp(const std::string& path);

}  // namespace partsc
