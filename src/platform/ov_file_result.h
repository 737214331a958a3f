// What a call on one file came to (OvFile::Access, Remove, Rename, ...): kOk,
// or kFailed with the system's reason, taken where the call failed.
#pragma once

#include "platform/ov_result.h"
#include "platform/ov_util.h"

namespace partsc {

enum class OvFileStatus { kOk, kFailed };
using OvFileResult = OvResult<OvFileStatus>;
// The result of a system call that left the error number `error` (0: kOk).
inline OvFileResult FileResultOf(int error) {
  return error == 0 ? OvFileResult{} : OvFileResult{OvFileStatus::kFailed, SystemErrorText(error)};
}

}  // namespace partsc
