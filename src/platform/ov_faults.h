// Test seams: counted allocations, reads, writes (a sync counts as a write)
// and renames (a link counts as a rename) that can be made to fail.
// Unused, they cost one comparison per operation. The seams are kept per
// thread: a fault armed on one thread never trips a run on another.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>

namespace partsc {

enum class OvFaultKind { kAllocation, kRead, kWrite, kRename };

class OvFaults {
 public:
  // The n-th operation of `kind` from now (n >= 1) fails; with `persistent`
  // every one from the n-th on fails. n = 0 disarms.
  static void Arm(OvFaultKind kind, int64_t n, bool persistent);
  // The n-th operation of `kind` from now ends the process at once, before
  // it happens, with kCrashStatus: what a kill or a power cut leaves there.
  static void ArmCrash(OvFaultKind kind, int64_t n);
  static constexpr int kCrashStatus = 86;
  // Disarms every kind and zeroes the counters.
  static void Reset();
  // Operations of `kind` counted since the last Arm or Reset.
  static int64_t Count(OvFaultKind kind);
  // Faults injected since the last Reset.
  static int64_t Injected(OvFaultKind kind);

  // Called by the platform before each operation: counts it and answers
  // whether it must fail. Disarmed, it is a count and a comparison.
  static bool ShouldFail(OvFaultKind kind) {
    Seam& seam = SeamOf(kind);
    ++seam.count;
    return seam.failAt != 0 && Trips(seam);
  }

 private:
  struct Seam {
    int64_t failAt = 0;  // 0: disarmed
    bool persistent = false;
    bool crash = false;
    int64_t count = 0;
    int64_t injected = 0;
  };
  static constexpr std::size_t kKinds = 4;

  static Seam& SeamOf(OvFaultKind kind) {
    const auto index = static_cast<std::size_t>(kind);
    assert(index < kKinds && "unknown fault kind");
    return seams_[index];
  }
  // Whether the operation just counted by an armed seam fails.
  static bool Trips(Seam& seam);

  // The seams of the calling thread.
  static thread_local std::array<Seam, kKinds> seams_;
};

inline thread_local constinit std::array<OvFaults::Seam, OvFaults::kKinds> OvFaults::seams_{};

}  // namespace partsc
