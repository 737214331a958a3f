#include "platform/ov_pipe.h"

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace partsc {

OvPipe OvPipe::Standard() {
  // Writing to a pipe whose reader is gone raises SIGPIPE, which would end
  // the process without a word; with it ignored the write answers EPIPE.
  ::signal(SIGPIPE, SIG_IGN);
  return OvPipe(STDIN_FILENO, STDOUT_FILENO);
}

OvReadResult OvPipe::Read(std::string& bytes, int timeoutMs) {
  pollfd wanted{readFd_, POLLIN, 0};
  const int ready = ::poll(&wanted, 1, timeoutMs);
  // A signal cuts the wait short; the caller looks at what was caught.
  if (ready == 0 || (ready < 0 && errno == EINTR)) {
    return OvReadResult::kTimeout;
  }
  if (ready < 0) {
    return OvReadResult::kError;
  }
  char buffer[65536];
  ssize_t count = 0;
  do {
    count = ::read(readFd_, buffer, sizeof buffer);
  } while (count < 0 && errno == EINTR);
  if (count < 0) {
    return OvReadResult::kError;
  }
  if (count == 0) {
    return OvReadResult::kEnd;
  }
  bytes.append(buffer, static_cast<size_t>(count));
  return OvReadResult::kData;
}

bool OvPipe::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t count = ::write(writeFd_, bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(count));
  }
  return true;
}

std::optional<OvFileStamp> FileStamp(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) {
    return std::nullopt;
  }
  return OvFileStamp{.modifiedNs = static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 +
                                   static_cast<int64_t>(status.st_mtim.tv_nsec),
                     .size = static_cast<int64_t>(status.st_size),
                     .inode = static_cast<uint64_t>(status.st_ino)};
}

}  // namespace partsc
