// The parts file of a run: opening, with the backup of an older file,
// positioning and closing.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ov_file.h"
#include "platform/ov_file_io.h"

namespace partsc {

// The parts file object of a run, shared by the writer and the reader, with
// what they keep of it.
struct PartsFile {
  PartsFile() = default;
  // A relative path is taken from `directory`, the run's current directory.
  explicit PartsFile(std::string directory) : directory(std::move(directory)) {}
  PartsFile(const PartsFile&) = delete;
  PartsFile& operator=(const PartsFile&) = delete;

  std::string directory;
  OvFileIO file;
  // Whatever a run does to one parts file (its backup, write, read back and
  // removal) happens under an advisory lock of the parts directory, taken by
  // OpenPartsFile for writing and let go by ReleasePartsFile.
  OvFileLock directoryLock;
  // With kOpenForReplacing: the lock file of the parts file, and the parts
  // file whose new content waits with the temporary file that holds it.
  OvFileLock fileLock;
  struct Replacement {
    std::string path;
    std::string temporary;
  };
  std::unique_ptr<Replacement> pending;
  // Writer state.
  int32_t memberWritePosition = 0;
  bool listStartPending = false;
  std::vector<uint8_t> memberListBytes;  // the list being written
  // Reader state: the length of the file open for reading (-1 until the
  // reader first asks) and the bytes it read last, kept from
  // readWindowStart on. Every open, close and write forgets them.
  static constexpr int kReadWindowSize = 4096;
  int64_t readFileEnd = -1;
  int64_t readWindowStart = 0;
  int32_t readWindowLength = 0;
  std::array<uint8_t, kReadWindowSize> readWindow{};
  void ForgetRead() {
    readFileEnd = -1;
    readWindowLength = 0;
  }
};

// The first argument of OpenPartsFile.
inline constexpr int kOpenForReading = 0;
inline constexpr int kOpenForWriting = 1;
// Writes the new content under a temporary name beside the parts file; see
// CommitPartsFile.
inline constexpr int kOpenForReplacing = 2;

// Mode kOpenForReading (0) opens `path` for reading; any other mode creates
// it for writing, first renaming an existing file to path + ".old" (".OLD"
// when the name is not in lower case). Writing first waits for an exclusive
// advisory lock of the parts directory, which ReleasePartsFile lets go (other
// runs wait for it; where the system has no such locks, the work goes on
// without). kPartsOk, kPartsNoFile, kPartsOpenFailed or kPartsBackupFailed.
//
// Mode kOpenForReplacing leaves the older file and its backup as they are and
// writes into a new file under a random hidden name beside it
// (".NAME.new-XXXXXXXXXXXX", made with O_EXCL), under a lock file
// ".NAME.lock" that stays. Until CommitPartsFile or DiscardPartsFile, opening
// `path` for reading reads the new content.
int OpenPartsFile(PartsFile& parts, int mode, const std::string& path);
// Moves the parts file to `position`; false for a negative position or a
// seek that fails.
bool SeekTo(PartsFile& parts, int64_t position);
void ClosePartsFile(PartsFile& parts);
// Puts the new content of a parts file opened with kOpenForReplacing in
// place: the older file becomes its backup and the new one takes its name,
// in renames that leave the name always on a complete file; then the
// directory is synced. kPartsOk (also when nothing waits), or
// kPartsReplaceFailed with the system's reason in `reason`: the older file
// and its backup are then as they were and the new content is gone.
int CommitPartsFile(PartsFile& parts, std::string& reason);
// Removes the new content of a parts file opened with kOpenForReplacing,
// leaving the older file and its backup as they were. False when nothing
// waited.
bool DiscardPartsFile(PartsFile& parts);
// Whether new content of a parts file waits for CommitPartsFile.
bool PartsFilePending(const PartsFile& parts);
// Ends the work on the parts file last opened for writing: closes it,
// discards new content that was not committed, and lets its locks go. The run driver calls it after
// the file was read back or removed.
void ReleasePartsFile(PartsFile& parts);
// The system's reason for the first failed write of the parts file since it
// was opened ("a write fell short" when the system gave none).
std::string PartsFileError(const PartsFile& parts);

}  // namespace partsc
