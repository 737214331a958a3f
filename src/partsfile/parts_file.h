// The one parts file object of the process: opening, with the backup of an
// older file, positioning and closing.
#pragma once

#include <cstdint>
#include <string>

namespace partsc {

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
int OpenPartsFile(int mode, const std::string& path);
// Moves the parts file to `position`; false for a negative position or a
// seek that fails.
bool SeekTo(int64_t position);
void ClosePartsFile();
// Puts the new content of a parts file opened with kOpenForReplacing in
// place: the older file becomes its backup and the new one takes its name,
// in renames that leave the name always on a complete file; then the
// directory is synced. kPartsOk (also when nothing waits), or
// kPartsReplaceFailed with the system's reason in `reason`: the older file
// and its backup are then as they were and the new content is gone.
int CommitPartsFile(std::string& reason);
// Removes the new content of a parts file opened with kOpenForReplacing,
// leaving the older file and its backup as they were. False when nothing
// waited.
bool DiscardPartsFile();
// Whether new content of a parts file waits for CommitPartsFile.
bool PartsFilePending();
// Ends the work on the parts file last opened for writing: closes it,
// discards new content that was not committed, and lets its locks go. The run driver calls it after
// the file was read back or removed.
void ReleasePartsFile();
// The system's reason for the first failed write of the parts file since it
// was opened ("a write fell short" when the system gave none).
std::string PartsFileError();

}  // namespace partsc
