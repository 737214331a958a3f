#include "platform/ov_faults.h"

#include <array>
#include <cassert>
#include <cstddef>

namespace partsc {
namespace {

struct Seam {
  int64_t failAt = 0;  // 0: disarmed
  bool persistent = false;
  int64_t count = 0;
  int64_t injected = 0;
};

constexpr std::size_t kKinds = 3;

// The one process-wide record of the seams; the program is single-threaded.
std::array<Seam, kKinds>& Seams() {
  static std::array<Seam, kKinds> seams;
  return seams;
}

Seam& SeamOf(OvFaultKind kind) {
  const auto index = static_cast<std::size_t>(kind);
  assert(index < kKinds && "unknown fault kind");
  return Seams()[index];
}

}  // namespace

void OvFaults::Arm(OvFaultKind kind, int64_t n, bool persistent) {
  assert(n >= 0 && "the failing operation is counted from 1");
  Seam& seam = SeamOf(kind);
  seam.failAt = n < 0 ? 0 : n;
  seam.persistent = persistent;
  seam.count = 0;
}

void OvFaults::Reset() {
  for (Seam& seam : Seams()) {
    seam = Seam{};
  }
}

int64_t OvFaults::Count(OvFaultKind kind) {
  return SeamOf(kind).count;
}

int64_t OvFaults::Injected(OvFaultKind kind) {
  return SeamOf(kind).injected;
}

bool OvFaults::ShouldFail(OvFaultKind kind) {
  Seam& seam = SeamOf(kind);
  ++seam.count;
  if (seam.failAt == 0) {
    return false;
  }
  const bool fails = seam.count == seam.failAt || (seam.persistent && seam.count > seam.failAt);
  if (fails) {
    ++seam.injected;
  }
  return fails;
}

}  // namespace partsc
