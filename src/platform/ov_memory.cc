#include "platform/ov_memory.h"

namespace partsc {

bool OvCopyText(std::string& out, std::string_view text) {
  if (OvFaults::ShouldFail(OvFaultKind::kAllocation)) {
    return false;
  }
  try {
    std::string copy(text);
    out.swap(copy);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace partsc
