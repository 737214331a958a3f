// The listing of a compiled parts file in the run log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace partsc {

class OvFileIO;

// 0 when the whole listing was written; 1 to 7 name the step that failed.
int ListPartsFile(const std::string& path, OvFileIO& runLog);
// The result of the parts-file operation that made the last ListPartsFile
// fail (the open's 10 or 11, or the reader's code); 0 after a listing that
// succeeded or failed on its file name.
int LastReadResult();
// Scope 1 the common block, 2 the size read last; kind 1 spec lines, 2 param.
void ListMembers(OvFileIO& runLog, int scope, int kind);
bool WalkSpecEntries(int mode, int32_t& number, int32_t& invertedFlag, int32_t& record,
                     std::string& name);
bool WalkParamEntries(int mode, std::string& name, int32_t& pairCode, std::string& text,
                      std::string& comment);
// The file name after the last "/", cut before its first full stop; -1 when
// the path is empty or that name has no full stop.
int FileBaseName(std::string_view path, std::string& result);

}  // namespace partsc
