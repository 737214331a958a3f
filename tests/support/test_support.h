// Helpers shared by the test suites.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ov_faults.h"

namespace partsc::testing {

// A fresh directory under the system's temporary directory, removed with all
// it holds when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// A device that refuses every write with "No space left on device". As root,
// a node of the full device in a directory of the tests' own, so that a fault
// which replaces the output it was given never replaces the machine's
// /dev/full; elsewhere /dev/full itself, which only root could replace.
const std::string& FullDevice();

// Changes the working directory for the life of the object.
class ScopedChdir {
 public:
  explicit ScopedChdir(const std::string& dir);
  ~ScopedChdir();
  ScopedChdir(const ScopedChdir&) = delete;
  ScopedChdir& operator=(const ScopedChdir&) = delete;

 private:
  std::string previous_;
};

bool FileExists(const std::string& path);
std::string ReadFile(const std::string& path);
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// `text` with every occurrence of `from` replaced by `to`.
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);

// The bytes of a hex dump: 16 bytes a line after their offset, then the
// bytes as text between bars; a "*" line stands for repeats of the line
// above it, up to the offset of the next line (a last line with an offset
// only gives the length).
std::vector<uint8_t> FromHex(const std::string& text);

// Little-endian readers over a byte vector, for checking written files.
int16_t I16At(const std::vector<uint8_t>& bytes, size_t offset);
int32_t I32At(const std::vector<uint8_t>& bytes, size_t offset);
uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset);

// Redirects standard output (or standard error) to a temporary file while the
// object lives; Text() answers what was written so far.
class CaptureFd {
 public:
  explicit CaptureFd(int fd);
  ~CaptureFd();
  CaptureFd(const CaptureFd&) = delete;
  CaptureFd& operator=(const CaptureFd&) = delete;
  std::string Text();

 private:
  int fd_;
  int saved_;
  std::string file_;
};

// Calls `run(0)` twice with no fault armed (the second run counts, with the
// storage a run keeps for the next already in place), then `run(n)` for every n from 1 to the
// number of operations of `kind` that clean run counted, with the n-th of
// them failing (with `persistent`, every one from the n-th on). Each faulted
// run must have a fault injected. Answers the number of faulted runs.
int64_t ForEachFault(OvFaultKind kind, bool persistent, const std::function<void(int64_t)>& run);

}  // namespace partsc::testing

namespace partsc::testing {

struct ProcessResult {
  int exitCode = -1;  // the low 8 bits, as the shell sees them (-1 is 255)
  int signal = 0;     // the signal that killed the process, or 0
  std::string out;
  std::string err;
};

struct ProcessOptions {
  std::vector<std::string> args;  // after the program name
  std::string cwd;
  std::string stdinText;
  // Variables to set (name, value) and to remove, on top of this process's.
  std::vector<std::pair<std::string, std::string>> env;
  std::vector<std::string> unsetEnv;
  // Above 0: no file of the child may grow beyond this many bytes, and a
  // write beyond it fails (SIGXFSZ ignored) as on a full disk.
  uint64_t fileSizeLimit = 0;
  // With fileSizeLimit: SIGXFSZ left to the child, as a shell's ulimit -f.
  bool sizeSignal = false;
  // Above 0: the child's address space in bytes (ulimit -v).
  uint64_t memoryLimit = 0;
  // The child starts with its standard output closed, or (brokenPipe) a pipe
  // whose reader has gone.
  bool closedStdout = false;
  bool brokenPipe = false;
};

// A child process started by StartProcess, with the files that take its
// standard input, output and error.
struct StartedProcess {
  int pid = -1;
  std::unique_ptr<TempDir> io;
};
StartedProcess StartProcess(const std::string& binary, const ProcessOptions& options);
// Waits for a started process and answers what it gave.
ProcessResult WaitProcess(StartedProcess& process);

// Runs `binary` in a child process and waits for it.
inline ProcessResult RunProcess(const std::string& binary, const ProcessOptions& options) {
  StartedProcess process = StartProcess(binary, options);
  return WaitProcess(process);
}

#ifdef PARTSC_BINARY
// Runs partsc in `dir` with a fixed SOURCE_DATE_EPOCH, `stdinText` typed at
// the prompt.
inline ProcessResult RunPartsc(const std::string& dir, const std::vector<std::string>& args,
                               const std::string& stdinText = "") {
  return RunProcess(PARTSC_BINARY,
                    {args, dir, stdinText, {{"SOURCE_DATE_EPOCH", "1700000000"}}, {}});
}
#endif

}  // namespace partsc::testing
