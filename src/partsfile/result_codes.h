// The result codes of the parts-file operations and the line parsers: 0 for
// success, any other value names the failure.
#pragma once

namespace partsc {

inline constexpr int kPartsOk = 0;
inline constexpr int kPartsNoFile = 10;      // open for reading: no such file
inline constexpr int kPartsOpenFailed = 11;  // OvFileIO::Open failed
inline constexpr int kReadBadVersion = 13;
inline constexpr int kReadNoApgName = 14;
inline constexpr int kReadNoSizes = 15;
inline constexpr int kPartsBackupFailed = 20;  // renaming the older file failed
inline constexpr int kReadShort = 21;
inline constexpr int kPartsShortWrite = 22;
// A length or count in the file lies outside its field or table: the file is
// damaged and is refused before anything is copied.
inline constexpr int kReadDamaged = 23;
// The new content of a parts file could not be put in place.
inline constexpr int kPartsReplaceFailed = 25;
inline constexpr int kPartsNotOpen = 30;
inline constexpr int kReadSizeNotFound = 50;
// An allocation failed: a table entry or one of its texts.
inline constexpr int kNoMemory = 109;
// A table has no free slot.
inline constexpr int kTableFull = 200;

}  // namespace partsc
