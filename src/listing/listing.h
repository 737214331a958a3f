// The listing of a compiled parts file in the run log, rendered from the
// file's model.
#pragma once

#include <partsc/model.h>

#include <optional>
#include <string>
#include <string_view>

#include "partsfile/parts_file.h"
#include "platform/ov_result.h"

namespace partsc {

class Diagnostics;
class OvFileIO;

// The step of a listing that failed, by its number.
enum class ListStep : int {
  kNone = 0,  // the file was listed whole
  kOpen = 1,
  kHeader = 2,
  kBaseName = 3,
  kApg = 4,
  kSizes = 5,
  kCommon = 6,
  kSizeMembers = 7,
};

// What a listing answers: the step that failed, and the result of reading
// the parts file behind it (kOk for a file name without a full stop).
struct ListResult {
  ListStep step = ListStep::kNone;
  ReadStatus read = ReadStatus::kOk;

  bool Listed() const { return step == ListStep::kNone; }
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

// The spec lines, then the param lines, of a member list.
void ListMembers(OvFileIO& runLog, const MemberList& list);
// The listing's line of one entry, without its line feed:
// s [7] <6,0>"HEAD" and p !D! (6) <0,1>" nominal".
std::string MemberLine(const SpecEntry& entry);
std::string MemberLine(const ParamEntry& entry);
// What the listing of `model` would answer (a member list that no size
// record points to plays no part in it); with `path`, also what it answers
// of the file's name, which it reads after the header.
ListResult Listability(const PartsModel& model, std::optional<std::string_view> path = {});

// Why a listing failed, in words; kNone, with no reason, when it did not.
using ListVerdict = OvResult<ListStep>;
ListVerdict Verdict(const ListResult& listed);

// The file name after the last "/", cut before its first full stop; none
// when the path is empty or that name has no full stop.
std::optional<std::string> FileBaseName(std::string_view path);

}  // namespace partsc
