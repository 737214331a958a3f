// Test seams: counted allocations, reads and writes that can be made to fail.
// Unused, they cost one comparison per operation.
#pragma once

#include <cstdint>

namespace partsc {

enum class OvFaultKind { kAllocation, kRead, kWrite };

class OvFaults {
 public:
  // The n-th operation of `kind` from now (n >= 1) fails; with `persistent`
  // every one from the n-th on fails. n = 0 disarms.
  static void Arm(OvFaultKind kind, int64_t n, bool persistent);
  // Disarms every kind and zeroes the counters.
  static void Reset();
  // Operations of `kind` counted since the last Arm or Reset.
  static int64_t Count(OvFaultKind kind);
  // Faults injected since the last Reset.
  static int64_t Injected(OvFaultKind kind);

  // Called by the platform before each operation: counts it and answers
  // whether it must fail.
  static bool ShouldFail(OvFaultKind kind);
};

}  // namespace partsc
