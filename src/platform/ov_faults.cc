#include "platform/ov_faults.h"

#include <unistd.h>

namespace partsc {

void OvFaults::Arm(OvFaultKind kind, int64_t n, bool persistent) {
  assert(n >= 0 && "the failing operation is counted from 1");
  Seam& seam = SeamOf(kind);
  seam.failAt = n < 0 ? 0 : n;
  seam.persistent = persistent;
  seam.crash = false;
  seam.count = 0;
}

void OvFaults::ArmCrash(OvFaultKind kind, int64_t n) {
  Arm(kind, n, false);
  SeamOf(kind).crash = true;
}

void OvFaults::Reset() {
  for (Seam& seam : seams_) {
    seam = Seam{};
  }
}

int64_t OvFaults::Count(OvFaultKind kind) {
  return SeamOf(kind).count;
}

int64_t OvFaults::Injected(OvFaultKind kind) {
  return SeamOf(kind).injected;
}

bool OvFaults::Trips(Seam& seam) {
  const bool fails = seam.count == seam.failAt || (seam.persistent && seam.count > seam.failAt);
  if (fails && seam.crash) {
    ::_exit(kCrashStatus);
  }
  if (fails) {
    ++seam.injected;
  }
  return fails;
}

}  // namespace partsc
