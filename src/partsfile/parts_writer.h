// Writes the parts-file state as a parts file, after saving an older file of
// the same name as its backup.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace partsc {

// Result codes of the parts file object operations.
inline constexpr int kPartsOk = 0;
inline constexpr int kPartsNoFile = 10;        // open for reading: no such file
inline constexpr int kPartsOpenFailed = 11;    // OvFileIO::Open failed
inline constexpr int kPartsBackupFailed = 20;  // renaming the older file failed
inline constexpr int kPartsShortWrite = 22;
inline constexpr int kPartsNotOpen = 30;

// Mode 0 opens `path` for reading; any other mode creates it for writing,
// first renaming an existing file to path + ".old" (".OLD" when the name is
// not in lower case). 0, 10, 11 or 20.
int OpenPartsFile(int mode, const std::string& path);
int WriteHeader();
int WriteApgList();
void BeginMemberLists();
// Writes the current spec and param entries as one member list; with a size
// name, the first counted size record of that name gets its position.
int WriteMemberList(std::optional<std::string_view> sizeName);
// Sorts the size records by the sort mode of the header and writes them.
int WriteSizeList();
void ClosePartsFile();

}  // namespace partsc
