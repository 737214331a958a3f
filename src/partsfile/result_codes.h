// The result codes of the parts-file operations and the line parsers: 0 for
// success, any other value names the failure. The results of reading a parts
// file are the numbers of the public ReadStatus (<partsc/model.h>).
#pragma once

#include <partsc/model.h>

namespace partsc {

inline constexpr int kPartsOk = 0;
inline constexpr int kPartsNoFile = static_cast<int>(ReadStatus::kNoFile);
inline constexpr int kPartsOpenFailed = static_cast<int>(ReadStatus::kOpenFailed);
inline constexpr int kReadBadVersion = static_cast<int>(ReadStatus::kBadVersion);
inline constexpr int kReadNoApgName = static_cast<int>(ReadStatus::kNoView);
inline constexpr int kReadShort = static_cast<int>(ReadStatus::kShort);
inline constexpr int kReadDamaged = static_cast<int>(ReadStatus::kDamaged);
inline constexpr int kReadSharedList = static_cast<int>(ReadStatus::kSharedList);
inline constexpr int kReadSizeNotFound = static_cast<int>(ReadStatus::kSizeNotFound);
inline constexpr int kNoMemory = static_cast<int>(ReadStatus::kNoMemory);
inline constexpr int kTableFull = static_cast<int>(ReadStatus::kTableFull);
inline constexpr int kPartsBackupFailed = 20;  // renaming the older file failed
inline constexpr int kPartsShortWrite = 22;
// A model breaks the rule for a good parts file: nothing is written.
inline constexpr int kPartsModelRefused = 24;
// The new content of a parts file could not be put in place.
inline constexpr int kPartsReplaceFailed = 25;

// A read result as the model keeps it, and back.
constexpr ReadStatus AsReadStatus(int result) {
  return static_cast<ReadStatus>(result);
}
constexpr int ReadCode(ReadStatus status) {
  return static_cast<int>(status);
}

}  // namespace partsc
