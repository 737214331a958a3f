// The result codes of the parts-file operations and the line parsers: 0 for
// success, any other value names the failure. The results of reading a parts
// file (10, 11, 13, 14, 21, 23, 50, 109, 200) are those of <partsc/model.h>.
#pragma once

#include <partsc/model.h>

namespace partsc {

inline constexpr int kPartsOk = 0;
inline constexpr int kPartsBackupFailed = 20;  // renaming the older file failed
inline constexpr int kPartsShortWrite = 22;
// A model breaks the rule for a good parts file: nothing is written.
inline constexpr int kPartsModelRefused = 24;
// The new content of a parts file could not be put in place.
inline constexpr int kPartsReplaceFailed = 25;

}  // namespace partsc
