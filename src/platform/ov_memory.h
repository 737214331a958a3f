// Allocation of table entries and owned texts. Every call is one counted
// allocation: the allocation test seam can refuse it, and real exhaustion
// (std::bad_alloc) is answered the same way.
#pragma once

#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>

#include "platform/ov_faults.h"

namespace partsc {

// A new T, or null when memory cannot be had.
template <class T, class... Args>
std::unique_ptr<T> OvNew(Args&&... args) {
  if (OvFaults::ShouldFail(OvFaultKind::kAllocation)) {
    return nullptr;
  }
  try {
    return std::make_unique<T>(std::forward<Args>(args)...);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// Makes `out` an owned copy of `text`; false (and `out` unchanged) when
// memory cannot be had.
bool OvCopyText(std::string& out, std::string_view text);

}  // namespace partsc
