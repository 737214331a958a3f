// The CPU time (user + system) this process has used so far, in
// milliseconds: what the benchmarks report beside the wall clock, being less
// disturbed by other work on the machine.
#pragma once

#include <sys/resource.h>

namespace partsc::bench {

inline double CpuMilliseconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

}  // namespace partsc::bench
