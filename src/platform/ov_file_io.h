// Text and positioned binary file access, and standard input.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ov_file_bytes.h"
#include "platform/ov_file_result.h"
#include "platform/ov_memory_stream.h"
#include "platform/ov_result.h"

namespace partsc {

// Flag values of OvFileIO::Open. They are the values the parts file code
// passes; Open translates them to the host's own flags.
inline constexpr int kOpenReadOnly = 0x0000;
inline constexpr int kOpenWriteOnly = 0x0001;
inline constexpr int kOpenReadWrite = 0x0002;
inline constexpr int kOpenAppend = 0x0008;
inline constexpr int kOpenCreate = 0x0100;
inline constexpr int kOpenTruncate = 0x0200;
inline constexpr int kOpenExclusive = 0x0400;
inline constexpr int kOpenBinary = 0x8000;  // no translation of bytes; always so here

// Read-write, create, truncate, binary: 33538.
inline constexpr int kOpenPartsWrite = kOpenReadWrite | kOpenCreate | kOpenTruncate | kOpenBinary;
// Read-only, binary: 32768.
inline constexpr int kOpenPartsRead = kOpenReadOnly | kOpenBinary;
// Octal 666.
inline constexpr int kOpenPermission = 438;

inline constexpr int kSeekStart = 0;
inline constexpr int kSeekCurrent = 1;
inline constexpr int kSeekEnd = 2;

// What became of reading a text file whole (OvFileIO::ReadText).
enum class OvTextRead {
  kRead,        // the text was read whole
  kOpenFailed,  // it could not be opened (the system's error kept)
  kNotRegular,  // it is a directory (EISDIR kept), a device, a pipe or the like
  kTooLarge,    // it holds more bytes than the limit
  kReadFailed,  // a read failed (the system's error kept)
  kNoMemory,    // there is no room for its bytes
};
// A whole read with the reason of a failure: the system's words, "not a
// regular file", "out of memory", or for kTooLarge those of kRefusedTooLarge.
using OvTextResult = OvResult<OvTextRead>;
// A file's whole content, or why it could not be read (it is then empty).
struct OvWholeFile : OvTextResult {
  std::string bytes;
};

// One file: either a text stream (Fopen/FopenStdin) or a binary descriptor
// (Open). Constructed closed; the destructor closes it.
class OvFileIO {
 public:
  OvFileIO() = default;
  ~OvFileIO();
  OvFileIO(const OvFileIO&) = delete;
  OvFileIO& operator=(const OvFileIO&) = delete;

  // Text files. Mode is "r", "w", "a" or "wx" (create a new file: an existing
  // one is not opened, and AlreadyExists() then answers true). A file already
  // open is closed first. "r" opens only a regular file of at most
  // kTextReadLimit bytes, and Fgets reads no further than that. The others
  // open as OpenOutputFile (ov_file.h) does, never through a link or into a
  // file that another user planted; a regular file is then locked
  // (flock, exclusive) for as long as it is open, waiting for another holder
  // at most LockWaitSeconds() (kRefusedLocked after that, see ErrorText),
  // and "w" empties it only once it holds the lock.
  bool Fopen(const std::string& path, const char* mode);
  void FopenStdin() { FopenStandard(stdin); }
  // Reads or writes a standard stream (stdin, stdout or stderr); closing
  // leaves it open. When it is a terminal, text written with Fprintf,
  // Vfprintf and Fwrite shows every control character but the tab and the
  // line feed escaped ("\x1b"), so that a name or a quoted source line cannot
  // move the cursor or retitle the window; to a file or a pipe its bytes
  // pass as they are.
  bool FopenStandard(std::FILE* stream);
  // Asks those who write names and texts into this stream line by line (the
  // listing on standard output) to show the line feeds and carriage returns
  // inside them escaped (EscapeLineBreaks); a run log keeps its bytes.
  void SetEscapeLineBreaks(bool escape) { escapeLineBreaks_ = escape; }
  bool EscapesLineBreaks() const { return escapeLineBreaks_; }
  // A text file in memory: reading gives `text`, piece by piece as Fgets
  // reads a file.
  bool FopenText(std::string_view text);
  // A text file in memory that keeps what is written, for MemoryText().
  bool FopenMemory();
  // What a file opened with FopenMemory holds so far (also once closed).
  std::string MemoryText();
  // Reads one piece as C fgets does: at most size-1 characters, up to and
  // including a line feed. The text ends at the first zero byte of the piece.
  // Returns false at end of file when nothing was read. Reading standard
  // input first flushes standard output, so that a prompt shows.
  bool Fgets(std::string& line, int size);
  // Repositions a text file; 0 on success.
  int Fseek(long offset, int origin);
  void Fprintf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Vfprintf(const char* format, va_list args) __attribute__((format(printf, 2, 0)));
  // Writes `text`, zero bytes included; escaped on a terminal (see
  // FopenStandard).
  void Fwrite(std::string_view text);
  // Writes `text` as it stands even on a terminal: a document another
  // program reads (a JSON line), whose own escapes keep it safe.
  void FwriteData(std::string_view text);
  // Hands what was written so far to the system.
  void Fflush();
  void Fclose();

  // Binary files. Flags as above; permission as for POSIX open. With
  // kOpenCreate the file is opened as OpenOutputFile (ov_file.h) does; a
  // file opened only for reading must be a regular file.
  bool Open(const std::string& path, int flags, int permission);
  // Whether the last Fopen or Open made the file: it did not exist before.
  bool Created() const { return created_; }
  // Gives the open binary file the permission bits `permission`.
  OvFileResult SetPermission(int permission);
  void Close();
  // Creates a new file for reading and writing under `stem` followed by
  // random characters, a name no file had (O_EXCL), and opens it as Open
  // does. Its name; none when none could be made (see Error()).
  std::optional<std::string> OpenUnique(const std::string& stem);
  // New position, or -1 when the seek failed (a failed lseek is kept, see Error()).
  int64_t Lseek(int64_t offset, int origin);
  // Bytes transferred; fewer than count on a short transfer, -1 on error.
  int Read(void* buffer, int count);
  int Write(const void* buffer, int count);

  // Starts writing what the system holds of a binary file to the disk and
  // returns at once (nothing where the system cannot).
  void StartWriteBack();
  // A second descriptor of a binary file, for a lock that outlives the file
  // object's own; -1 when it is not open.
  int Duplicate() const;

  // The whole content of a file, read from its start until a read gives no
  // more, of at most `limit` bytes: a regular file, or with `anyKind` also a
  // pipe or a device. kOpenFailed or kReadFailed, kTooLarge when it holds
  // more, kNoMemory (std::bad_alloc is not thrown).
  static OvWholeFile ReadWholeFile(const std::string& path, size_t limit, bool anyKind);
  // The whole text of a regular file of at most `limit` bytes, mapped where
  // it can be, else read into the room `bytes` kept from the call before
  // (see OvFileBytes). A text file read so gives the same pieces to
  // Fgets-like cutting as a stream read with Fgets.
  static OvTextResult ReadText(const std::string& path, size_t limit, OvFileBytes& bytes);
  // The descriptor of a binary file (-1 when none is open).
  int Descriptor() const { return fd_; }

  bool IsOpen() const { return stream_ != nullptr || fd_ >= 0; }

  // The system's error number of the first failure since the file was last
  // opened: the open itself, or a seek, write, flush or close that failed
  // or fell short. 0 when there was none. Closing keeps it, so that the
  // close of a file can be asked about.
  int Error() const { return error_; }
  // The system's text for Error(), or partsc's own (a lock held by another
  // names its holder); empty when there was no failure.
  std::string ErrorText() const;
  // The last open failed because the file exists (mode "wx").
  bool AlreadyExists() const;

  // What a transfer came to (see Transfer).
  struct Moved {
    int bytes = 0;
    int error = 0;
  };

 private:
  static constexpr size_t kStreamBuffer = 32 * 1024;

  // Keeps `error` unless a failure is already kept.
  void Note(int error);
  // Read (into char) or Write (from const char) at the position of a
  // positioned file, which moves on: the bytes moved (-1 when an error came
  // before any byte), and the system's error number of the call that
  // stopped it short (EBADF when it cannot begin; 0 at the end of the file).
  template <class Byte>
  Moved Transfer(Byte* bytes, int count);
  // The seek of a positioned file from `base`, without a system call.
  int64_t MovePosition(int64_t base, int64_t offset);

  // Makes `stream` (closed with the file when `owns`) the open stream; false
  // after Note when there is none.
  bool Adopt(std::FILE* stream, bool owns);
  // The descriptor of Open, or with `text` of Fopen (see each), for the
  // host's flags `hostFlags` (-1: invalid); -1 with the failure noted.
  int OpenDescriptor(const std::string& path, int hostFlags, int permission, bool text);

  std::FILE* stream_ = nullptr;
  bool ownsStream_ = false;
  bool terminal_ = false;  // standard output or error on a terminal
  bool escapeLineBreaks_ = false;
  OvMemoryStream memory_;           // FopenText, FopenMemory
  std::unique_ptr<char[]> buffer_;  // the buffer of a stream opened by Fopen
  int fd_ = -1;
  // A regular file opened without append: reads and writes name their
  // position (pread, pwrite), so the descriptor's own offset is never used
  // and only a seek from the end asks the system.
  bool positioned_ = false;
  int64_t position_ = 0;  // where a positioned file stands
  int error_ = 0;         // see Error()
  std::string holder_;    // who held the lock when the wait ran out
  bool created_ = false;  // see Created()
  // A text file to read: the bytes Fgets may still take, and has taken.
  int64_t readLimit_ = 0;
  int64_t readSoFar_ = 0;
};

}  // namespace partsc
