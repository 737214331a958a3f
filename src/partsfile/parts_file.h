// The one parts file object of the process: opening, with the backup of an
// older file, positioning and closing.
#pragma once

#include <cstdint>
#include <string>

namespace partsc {

// The first argument of OpenPartsFile.
inline constexpr int kOpenForReading = 0;
inline constexpr int kOpenForWriting = 1;

// Mode kOpenForReading (0) opens `path` for reading; any other mode creates
// it for writing, first renaming an existing file to path + ".old" (".OLD"
// when the name is not in lower case). Writing first waits for an exclusive
// advisory lock of the parts directory, which ReleasePartsFile lets go (other
// runs wait for it; where the system has no such locks, the work goes on
// without). kPartsOk, kPartsNoFile, kPartsOpenFailed or kPartsBackupFailed.
int OpenPartsFile(int mode, const std::string& path);
// Moves the parts file to `position`; false for a negative position or a
// seek that fails.
bool SeekTo(int64_t position);
void ClosePartsFile();
// Ends the work on the parts file last opened for writing: closes it and lets
// its lock go. The run driver calls it after the file was read back or
// removed.
void ReleasePartsFile();
// The system's reason for the first failed write of the parts file since it
// was opened ("a write fell short" when the system gave none).
std::string PartsFileError();

}  // namespace partsc
