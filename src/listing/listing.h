// The listing of a compiled parts file in the run log, rendered from the
// file's model.
#pragma once

#include <partsc/model.h>

#include <string>
#include <string_view>

#include "partsfile/parts_file.h"

namespace partsc {

class Diagnostics;
class OvFileIO;

// Failure codes of ListPartsFile, by the step that failed.
inline constexpr int kListOpen = 1;
inline constexpr int kListHeader = 2;
inline constexpr int kListBaseName = 3;
inline constexpr int kListApg = 4;
inline constexpr int kListSizes = 5;
inline constexpr int kListCommon = 6;
inline constexpr int kListSizeMembers = 7;

// What a listing answers: 0, or the code of the step that failed, and the
// result of the parts-file operation behind it (the open's 10 or 11, or the
// reader's code; 0 for a file name without a full stop).
struct ListResult {
  int code = 0;
  int readResult = 0;
};

// Reads the parts file at `readPath` whole, in one read, into `bytes`. A
// file that cannot be opened fails as the listing's first step; one that
// cannot be read as its header.
ListResult ReadListedFile(const std::string& readPath, OvFileBytes& bytes);

// Writes the listing of `model`, the parts file at `path`, into the run log,
// step by step, and stops at the first step whose part of the file could
// not be read: what was written until then stays. An exhausted memory is
// reported through `diagnostics`.
ListResult ListOpenFile(Diagnostics& diagnostics, const PartsModel& model, const std::string& path,
                        OvFileIO& runLog);

// ListOpenFile on the model of `bytes`, the parts file at `path`, with the
// same text and result; but each size's member list is decoded when the
// listing comes to it, into the entries of the one before, so that the
// listing holds the bytes and one list, not the model of every list.
ListResult ListFileBytes(Diagnostics& diagnostics, std::string_view bytes, const std::string& path,
                         OvFileIO& runLog);

// ReadListedFile into `bytes` (whose memory is used again), then
// ListFileBytes: the file is read from `readPath` (a new parts file not yet
// in place, or `path` itself).
ListResult ListPartsFile(Diagnostics& diagnostics, const std::string& path, OvFileIO& runLog,
                         const std::string& readPath, OvFileBytes& bytes);

// Kinds of ListMembers.
inline constexpr int kSpecLines = 1;
inline constexpr int kParamLines = 2;

// The spec lines (kSpecLines) or the param lines (kParamLines) of a member
// list.
void ListMembers(OvFileIO& runLog, const MemberList& list, int kind);
// The listing's line of one entry, without its line feed:
// s [7] <6,0>"HEAD" and p !D! (6) <0,1>" nominal".
std::string MemberLine(const SpecEntry& entry);
std::string MemberLine(const ParamEntry& entry);
// Why the listing of `model` would fail, as UnreadableReason says it; empty
// when the listing would be whole (a member list that no size record points
// to plays no part in it).
std::string UnlistableReason(const PartsModel& model);
// What is wrong with a parts file whose listing failed.
std::string UnreadableReason(const ListResult& listed);
// The file name after the last "/", cut before its first full stop; -1 when
// the path is empty or that name has no full stop.
int FileBaseName(std::string_view path, std::string& result);

}  // namespace partsc
