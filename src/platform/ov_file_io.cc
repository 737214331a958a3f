#include "platform/ov_file_io.h"
#include "platform/ov_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>
#include <optional>
#include <type_traits>
#include <utility>

#include "platform/ov_escape.h"
#include "platform/ov_faults.h"
#include "platform/ov_file.h"
#include "platform/ov_signals.h"
#include "platform/ov_util.h"

namespace partsc {
namespace {

// The flag values of ov_file_io.h that are no access mode, with the host's
// flag of each. The access modes and the seek origins are the host's own.
constexpr std::pair<int, int> kHostFlags[] = {{kOpenAppend, O_APPEND},
                                              {kOpenCreate, O_CREAT},
                                              {kOpenTruncate, O_TRUNC},
                                              {kOpenExclusive, O_EXCL}};
static_assert(kOpenReadOnly == O_RDONLY && kOpenWriteOnly == O_WRONLY && kOpenReadWrite == O_RDWR);
static_assert(kSeekStart == SEEK_SET && kSeekCurrent == SEEK_CUR && kSeekEnd == SEEK_END);

// The modes of Fopen: the mode of the C stream, always binary so that bytes
// pass untranslated (and without "x": the descriptor is made so already),
// and the host's open flags. "w" and "wx" empty a file only once it is
// locked.
struct TextMode {
  std::string_view name;
  const char* stream;
  int flags;
};
constexpr TextMode kTextModes[] = {{"r", "rb", O_RDONLY},
                                   {"w", "wb", O_WRONLY | O_CREAT | O_TRUNC},
                                   {"a", "ab", O_WRONLY | O_CREAT | O_APPEND},
                                   {"wx", "wb", O_WRONLY | O_CREAT | O_EXCL}};

bool IsOrigin(int origin) {
  return origin >= kSeekStart && origin <= kSeekEnd;
}

// The host's open flags for the flag values of ov_file_io.h; -1 when the
// access mode is not one of read-only, write-only or read-write.
int HostFlags(int flags) {
  if ((flags & O_ACCMODE) == O_ACCMODE) {
    return -1;
  }
  int host = (flags & O_ACCMODE) | O_CLOEXEC;
  for (const auto& [ours, theirs] : kHostFlags) {
    if ((flags & ours) != 0) {
      host |= theirs;
    }
  }
  return host;
}

// Calls `transfer(done)`, which moves the bytes from `done` on and answers as
// read or write does, until `count` bytes are moved, the end of the file or an
// error.
template <typename Transfer>
OvFileIO::Moved TransferFully(int count, Transfer transfer) {
  int done = 0;
  while (done < count) {
    const ssize_t moved = transfer(done);
    if (moved < 0 && errno == EINTR) {
      continue;
    }
    if (moved < 0) {
      return {done > 0 ? done : -1, errno};
    }
    if (moved == 0) {
      break;
    }
    done += static_cast<int>(moved);
  }
  return {done, 0};
}

}  // namespace

OvFileIO::~OvFileIO() {
  Fclose();
  Close();
}

void OvFileIO::Note(int error) {
  if (error_ == 0) {
    error_ = error != 0 ? error : EIO;
  }
}

std::string OvFileIO::ErrorText() const {
  if (error_ == kRefusedLocked && !holder_.empty()) {
    return "in use by " + holder_ + ", which held its lock longer than partsc waits (" +
           std::to_string(LockWaitSeconds()) + " s)";
  }
  return error_ == 0 ? std::string() : SystemErrorText(error_);
}

bool OvFileIO::AlreadyExists() const {
  return error_ == EEXIST;
}

bool OvFileIO::Fopen(const std::string& path, const char* mode) {
  Fclose();
  const std::string_view given = mode == nullptr ? "" : mode;
  const auto* text = std::ranges::find(kTextModes, given, &TextMode::name);
  const bool known = text != std::end(kTextModes);
  const int fd = OpenDescriptor(path, known ? text->flags : -1, kOpenPermission, true);
  if (fd < 0) {
    return false;
  }
  if (!Adopt(::fdopen(fd, text->stream), true)) {
    ::close(fd);
    return false;
  }
  readLimit_ = text->flags == O_RDONLY ? kTextReadLimit : 0;
  readSoFar_ = 0;
  // A buffer larger than the C library's, so that a long source or run log
  // takes few reads and writes; without one the library's own serves.
  buffer_.reset(new (std::nothrow) char[kStreamBuffer]);
  if (buffer_ != nullptr) {
    std::setvbuf(stream_, buffer_.get(), _IOFBF, kStreamBuffer);
  }
  return true;
}

int OvFileIO::OpenDescriptor(const std::string& path, int hostFlags, int permission, bool text) {
  error_ = 0;
  holder_.clear();
  created_ = false;
  if (hostFlags < 0) {
    Note(EINVAL);
    return -1;
  }
  // A file that is made or written is never one another user planted; one
  // that is read is a regular file (a FIFO would wait for a writer).
  const bool reading = (hostFlags & O_ACCMODE) == O_RDONLY;
  const bool making = (hostFlags & O_CREAT) != 0;
  const auto mode = static_cast<mode_t>(permission);
  const OvOpened opened = making    ? OpenOutputFile(path, hostFlags, permission)
                          : reading ? OpenInputFile(path, true)
                                    : OpenRetrying(path, hostFlags, mode);
  if (!opened.Ok()) {
    Note(opened.error);
    return -1;
  }
  const int fd = opened.fd;
  created_ = opened.created;
  struct stat status {};
  const bool known = ::fstat(fd, &status) == 0;
  const bool regular = known && S_ISREG(status.st_mode);
  int error = known && S_ISDIR(status.st_mode) ? EISDIR : 0;
  // A source or control file is a regular file of at most kTextReadLimit
  // bytes: a device or a FIFO could be read for ever.
  if (error == 0 && text && reading && status.st_size > kTextReadLimit) {
    error = kRefusedTooLarge;
  }
  // Two runs never write one log at once: the second waits for the first,
  // as long as the lock wait allows, and only then empties the file.
  if (error == 0 && text && !reading && regular) {
    OvLocked locked = LockDescriptor(fd, OvLockMode::kExclusive, true);
    const bool timedOut = locked.status == OvLockResult::kTimedOut;
    error = locked.Ok() ? 0 : timedOut ? kRefusedLocked : locked.error;
    holder_ = timedOut ? std::move(locked.reason) : std::string();
  }
  if (error == 0 && (hostFlags & O_TRUNC) != 0 && !created_ && regular && ::ftruncate(fd, 0) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::close(fd);
    Note(error);
    return -1;
  }
  // Appending writes land at the end, wherever the file stood: such a file
  // keeps no position of its own.
  positioned_ = text ? positioned_ : regular && (hostFlags & O_APPEND) == 0;
  return fd;
}

bool OvFileIO::Adopt(std::FILE* stream, bool owns) {
  error_ = 0;
  stream_ = stream;
  ownsStream_ = owns && stream != nullptr;
  if (stream == nullptr) {
    Note(errno);
    return false;
  }
  terminal_ = !owns && ::isatty(::fileno(stream)) == 1;
  return true;
}

bool OvFileIO::FopenStandard(std::FILE* stream) {
  Fclose();
  return Adopt(stream, false);
}

bool OvFileIO::FopenText(std::string_view text) {
  Fclose();
  return Adopt(memory_.OpenText(text), true);
}

bool OvFileIO::FopenMemory() {
  Fclose();
  return Adopt(memory_.OpenOutput(), true);
}

std::string OvFileIO::MemoryText() {
  if (memory_.Writing() && stream_ != nullptr) {
    Fflush();
  }
  return memory_.Text();
}

bool OvFileIO::Fgets(std::string& line, int size) {
  line.clear();
  // A piece of at most size-1 characters; below 2 nothing could ever be read.
  if (stream_ == nullptr || size < 2) {
    return false;
  }
  // A prompt written to the console shows before the console is read, and a
  // signal ends the wait for an answer.
  std::optional<OvInterruptibleWait> wait;
  if (stream_ == stdin) {
    std::fflush(stdout);
    wait.emplace();
  }
  line.resize(static_cast<size_t>(size));
  if (std::fgets(line.data(), size, stream_) == nullptr) {
    if (wait) {
      std::clearerr(stream_);  // an interrupted read is no end of the console
    }
    line.clear();
    return false;
  }
  line.resize(std::strlen(line.c_str()));
  // A file that grew beyond the limit after it was opened ends there.
  readSoFar_ += static_cast<int64_t>(line.size());
  if (readLimit_ > 0 && readSoFar_ > readLimit_) {
    Note(kRefusedTooLarge);
    line.clear();
    return false;
  }
  return true;
}

int OvFileIO::Fseek(long offset, int origin) {
  if (stream_ == nullptr || !IsOrigin(origin)) {
    return -1;
  }
  if (origin == kSeekStart && offset == 0) {
    readSoFar_ = 0;
  }
  return std::fseek(stream_, offset, origin) == 0 ? 0 : -1;
}

void OvFileIO::Fprintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Vfprintf(format, args);
  va_end(args);
}

void OvFileIO::Vfprintf(const char* format, va_list args) {
  if (stream_ == nullptr) {
    return;
  }
  // On a terminal the text is formatted first, to be escaped.
  char* text = nullptr;
  const int size =
      terminal_ ? ::vasprintf(&text, format, args) : std::vfprintf(stream_, format, args);
  if (size < 0) {
    Note(errno);
    return;
  }
  if (text != nullptr) {
    Fwrite(std::string_view(text, static_cast<size_t>(size)));
    std::free(text);
  }
}

void OvFileIO::Fwrite(std::string_view text) {
  if (terminal_) {
    FwriteData(EscapeForTerminal(text));
    return;
  }
  FwriteData(text);
}

void OvFileIO::FwriteData(std::string_view text) {
  if (stream_ != nullptr && !text.empty() &&
      std::fwrite(text.data(), 1, text.size(), stream_) != text.size()) {
    Note(errno);
  }
}

void OvFileIO::Fflush() {
  // Flushing an input stream means nothing defined.
  if (stream_ != nullptr && stream_ != stdin && std::fflush(stream_) != 0) {
    Note(errno);
  }
}

void OvFileIO::Fclose() {
  if (stream_ != nullptr && ownsStream_ && std::fclose(stream_) != 0) {
    Note(errno);
  }
  stream_ = nullptr;
  ownsStream_ = false;
  terminal_ = false;
  buffer_.reset();
}

bool OvFileIO::Open(const std::string& path, int flags, int permission) {
  Close();
  fd_ = OpenDescriptor(path, HostFlags(flags), permission, false);
  return fd_ >= 0;
}

OvFileResult OvFileIO::SetPermission(int permission) {
  const bool set = fd_ >= 0 && ::fchmod(fd_, static_cast<mode_t>(permission)) == 0;
  return FileResultOf(set ? 0 : fd_ < 0 ? EBADF : errno);
}

std::optional<std::string> OvFileIO::OpenUnique(const std::string& stem) {
  constexpr int kTries = 16;
  constexpr int kFlags = kOpenReadWrite | kOpenCreate | kOpenExclusive | kOpenBinary;
  for (int i = 0; i < kTries; ++i) {
    std::string path = OvFile::RandomName(stem);
    if (path.empty()) {
      Note(kRefusedNoRandom);
      break;
    }
    if (Open(path, kFlags, kOpenPermission)) {
      return path;
    }
    if (error_ != EEXIST) {
      break;
    }
  }
  return std::nullopt;
}

void OvFileIO::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
  fd_ = -1;
  positioned_ = false;
  position_ = 0;
}

int64_t OvFileIO::Lseek(int64_t offset, int origin) {
  if (fd_ < 0 || !IsOrigin(origin)) {
    return -1;
  }
  if (positioned_ && origin != kSeekEnd) {
    return MovePosition(origin == kSeekStart ? 0 : position_, offset);
  }
  const off_t position = ::lseek(fd_, static_cast<off_t>(offset), origin);
  if (position < 0) {
    Note(errno);
    return -1;
  }
  position_ = static_cast<int64_t>(position);
  return position_;
}

int64_t OvFileIO::MovePosition(int64_t base, int64_t offset) {
  // The system refuses a position before the start and leaves the file where
  // it stood; so does a position beyond what a file offset can hold.
  const bool overflows = offset > 0 && base > std::numeric_limits<int64_t>::max() - offset;
  if (overflows || base + offset < 0) {
    return -1;
  }
  position_ = base + offset;
  return position_;
}

template <class Byte>
OvFileIO::Moved OvFileIO::Transfer(Byte* bytes, int count) {
  if (fd_ < 0 || count < 0 || (bytes == nullptr && count > 0)) {
    return {-1, EBADF};
  }
  const Moved moved = TransferFully(count, [&](int done) {
    const size_t rest = static_cast<size_t>(count - done);
    const auto at = static_cast<off_t>(position_ + done);
    if constexpr (std::is_const_v<Byte>) {
      return positioned_ ? ::pwrite(fd_, bytes + done, rest, at) : ::write(fd_, bytes + done, rest);
    } else {
      return positioned_ ? ::pread(fd_, bytes + done, rest, at) : ::read(fd_, bytes + done, rest);
    }
  });
  // A failed transfer (-1) moved nothing.
  if (positioned_ && moved.bytes > 0) {
    position_ += moved.bytes;
  }
  return moved;
}

int OvFileIO::Read(void* buffer, int count) {
  // A refused read really reads half the bytes and reports only those.
  if (OvFaults::ShouldFail(OvFaultKind::kRead)) {
    count /= 2;
  }
  return Transfer(static_cast<char*>(buffer), count).bytes;
}

int OvFileIO::Write(const void* buffer, int count) {
  // A refused write writes half the bytes and reports only those, as a full
  // disk does.
  if (OvFaults::ShouldFail(OvFaultKind::kWrite)) {
    Note(ENOSPC);
    count /= 2;
  }
  const Moved put = Transfer(static_cast<const char*>(buffer), count);
  if (put.bytes < count) {
    Note(put.error);
  }
  return put.bytes;
}

void OvFileIO::StartWriteBack() {
  if (fd_ >= 0) {
    ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
  }
}

int OvFileIO::Duplicate() const {
  return fd_ >= 0 ? ::fcntl(fd_, F_DUPFD_CLOEXEC, 0) : -1;
}

namespace {

// A whole read's result with the words of its reason.
OvTextResult TextResult(OvTextRead read, int error) {
  if (read == OvTextRead::kRead) {
    return {};
  }
  if (read == OvTextRead::kNoMemory) {
    return {read, "out of memory"};
  }
  return {read, SystemErrorText(read == OvTextRead::kTooLarge ? kRefusedTooLarge : error)};
}

// Fills `text`, already sized, from `fd`, then reads on until the end of the
// file, in pieces of a buffer on the stack, never past `limit`: kRead,
// kTooLarge, kReadFailed or kNoMemory.
OvTextResult ReadRest(int fd, size_t limit, std::string& text) {
  size_t done = 0;
  char more[64 * 1024];
  try {
    for (;;) {
      const bool room = done < text.size();
      const ssize_t got =
          room ? ::read(fd, text.data() + done, text.size() - done) : ::read(fd, more, sizeof more);
      if (got < 0 && errno == EINTR) {
        continue;
      }
      if (got < 0) {
        return TextResult(OvTextRead::kReadFailed, errno);
      }
      if (got == 0) {
        text.resize(done);
        return {};
      }
      done += static_cast<size_t>(got);
      if (done > limit) {
        return TextResult(OvTextRead::kTooLarge, 0);
      }
      if (!room) {
        text.append(more, static_cast<size_t>(got));
      }
    }
  } catch (const std::bad_alloc&) {
    return TextResult(OvTextRead::kNoMemory, 0);
  }
}

}  // namespace

OvWholeFile OvFileIO::ReadWholeFile(const std::string& path, size_t limit, bool anyKind) {
  const OvOpened opened = OpenInputFile(path, !anyKind);
  if (!opened.Ok()) {
    return {TextResult(OvTextRead::kOpenFailed, opened.error), {}};
  }
  std::string bytes;
  const OvTextResult read = ReadRest(opened.fd, limit, bytes);
  ::close(opened.fd);
  return {read, read.Ok() ? std::move(bytes) : std::string()};
}

// Mapped, the file is what it held when it was opened; read, it is read in
// one read of its size, and a file that grew meanwhile is read on, never
// past the limit.
OvTextResult OvFileIO::ReadText(const std::string& path, size_t limit, OvFileBytes& bytes) {
  bytes.Clear();
  const OvOpened opened = OpenInputFile(path, true);
  if (!opened.Ok()) {
    const bool regular = opened.error != EISDIR && opened.error != kRefusedNotRegular;
    return TextResult(regular ? OvTextRead::kOpenFailed : OvTextRead::kNotRegular, opened.error);
  }
  struct stat status {};
  const bool known = ::fstat(opened.fd, &status) == 0;
  const auto size = static_cast<size_t>(std::max<off_t>(status.st_size, 0));
  OvTextResult read = !known         ? TextResult(OvTextRead::kReadFailed, errno)
                      : size > limit ? TextResult(OvTextRead::kTooLarge, 0)
                                     : OvTextResult();
  if (read.Ok() && !bytes.Map(opened.fd, size)) {
    try {
      read = ReadRest(opened.fd, limit, bytes.Room(size));
    } catch (const std::bad_alloc&) {
      read = TextResult(OvTextRead::kNoMemory, 0);
    }
  }
  ::close(opened.fd);
  if (!read.Ok()) {
    bytes.Clear();
  }
  return read;
}

}  // namespace partsc
