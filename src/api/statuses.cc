#include "api/statuses.h"

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

WriteStatus PublicStatus(SinkStatus status) {
  switch (status) {
    case SinkStatus::kOk:
      return WriteStatus::kWritten;
    case SinkStatus::kBackupFailed:
      return WriteStatus::kBackupFailed;
    case SinkStatus::kOpenFailed:
    case SinkStatus::kReplaceFailed:
      break;
  }
  return WriteStatus::kNotCreated;
}

ListStatus PublicStatus(ListStep step) {
  switch (step) {
    case ListStep::kNone:
      return ListStatus::kListed;
    case ListStep::kBaseName:
      return ListStatus::kNoFullStop;
    case ListStep::kApg:
      return ListStatus::kViewsUnread;
    case ListStep::kSizes:
      return ListStatus::kSizeListUnread;
    case ListStep::kCommon:
      return ListStatus::kCommonListUnread;
    case ListStep::kSizeMembers:
      return ListStatus::kSizeMembersUnread;
    case ListStep::kOpen:
    case ListStep::kHeader:
      break;
  }
  return ListStatus::kHeaderUnread;
}

}  // namespace partsc
