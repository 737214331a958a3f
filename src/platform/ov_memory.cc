#include "platform/ov_memory.h"

namespace partsc {

bool OvCopyText(std::string& out, std::string_view text) {
  if (OvFaults::ShouldFail(OvFaultKind::kAllocation)) {
    return false;
  }
  // assign takes its new storage before it lets go of the old, so a failed
  // copy leaves `out` as it was.
  try {
    out.assign(text);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace partsc
