// The listing of a compiled parts file in the run log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace partsc {

class Diagnostics;
class OvFileIO;
struct PartsFile;
struct PartsFileState;

// Failure codes of ListPartsFile, by the step that failed.
inline constexpr int kListOpen = 1;
inline constexpr int kListHeader = 2;
inline constexpr int kListBaseName = 3;
inline constexpr int kListApg = 4;
inline constexpr int kListSizes = 5;
inline constexpr int kListCommon = 6;
inline constexpr int kListSizeMembers = 7;

// 0 when the whole listing was written, else the code of the failed step.
// The file is read through `parts` into `state`, from `readPath` when it is
// given (a new parts file not yet in place); an exhausted memory is reported
// through `diagnostics`.
int ListPartsFile(Diagnostics& diagnostics, PartsFileState& state, PartsFile& parts,
                  const std::string& path, OvFileIO& runLog, const std::string& readPath = {});
// The result of the parts-file operation that made the last ListPartsFile
// fail (the open's 10 or 11, or the reader's code); 0 after a listing that
// succeeded or failed on its file name.
int LastReadResult();
// Scopes and kinds of ListMembers.
inline constexpr int kScopeCommon = 1;  // the common block
inline constexpr int kScopeSize = 2;    // the size read last
inline constexpr int kSpecLines = 1;
inline constexpr int kParamLines = 2;

void ListMembers(const PartsFileState& state, OvFileIO& runLog, int scope, int kind);
// What is wrong with a parts file whose listing failed with `listCode`, the
// parts-file operation having answered `readResult`.
std::string UnreadableReason(int listCode, int readResult);
// The file name after the last "/", cut before its first full stop; -1 when
// the path is empty or that name has no full stop.
int FileBaseName(std::string_view path, std::string& result);

}  // namespace partsc
