#include "api/statuses.h"

#include "listing/listing.h"
#include "partsfile/result_codes.h"

namespace partsc {

CompileEnd PublicStatus(CompileStatus status) {
  switch (status) {
    case CompileStatus::kOk:
      return CompileEnd::kCompiled;
    case CompileStatus::kNotParts:
      return CompileEnd::kNotPartsSource;
    case CompileStatus::kInputUnreadable:
      return CompileEnd::kSourceUnreadable;
    case CompileStatus::kPartsLineRefused:
      return CompileEnd::kNoPartsName;
    case CompileStatus::kMemberLineRefused:
      return CompileEnd::kMemberLineRefused;
    case CompileStatus::kSizeLineRefused:
      return CompileEnd::kNoSizeName;
    case CompileStatus::kSizeNameTwice:
      return CompileEnd::kSizeNamedTwice;
    case CompileStatus::kTableFull:
      return CompileEnd::kTableFull;
    case CompileStatus::kOutOfMemory:
      return CompileEnd::kNoMemory;
    case CompileStatus::kOutputUnopened:
      return CompileEnd::kPartsFileNotOpened;
    case CompileStatus::kWriteFailed:
      return CompileEnd::kWriteFailed;
    case CompileStatus::kInterrupted:
      break;
  }
  return CompileEnd::kInterrupted;
}

WriteStatus WriteStatusOf(int code) {
  switch (code) {
    case kPartsOk:
      return WriteStatus::kWritten;
    case kPartsModelRefused:
      return WriteStatus::kRefused;
    case kPartsBackupFailed:
      return WriteStatus::kBackupFailed;
    case kPartsShortWrite:
      return WriteStatus::kWriteFailed;
    default:
      break;
  }
  return WriteStatus::kNotCreated;
}

ListStatus ListStatusOf(int code) {
  switch (code) {
    case 0:
      return ListStatus::kListed;
    case kListBaseName:
      return ListStatus::kNoFullStop;
    case kListApg:
      return ListStatus::kViewsUnread;
    case kListSizes:
      return ListStatus::kSizeListUnread;
    case kListCommon:
      return ListStatus::kCommonListUnread;
    case kListSizeMembers:
      return ListStatus::kSizeMembersUnread;
    default:
      break;
  }
  return ListStatus::kHeaderUnread;
}

}  // namespace partsc
