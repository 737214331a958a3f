// Allocation failures: every source compiled and listed with the n-th table
// entry or text allocation failing, for every n, and with every allocation
// from the n-th on failing. Each run must end with its documented code and
// message, keep the older parts file, and leak nothing (LeakSanitizer checks
// the last point in the sanitizer build).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "faults/faults_fixture.h"

namespace partsc::testing {
namespace {

constexpr const char* kMemoryLine = "\t*** E *** Memory Allocate Error\n";
constexpr const char* kDeleteLine = "\t*** E *** Illegal File Delete It\n";

// The diagnostics a run must end with, by where the allocation failed: the
// compile (109 from a macro or size line, 40 from a member line) or the
// listing (5 size list and 7 size members with a report, 6 common list
// without one).
std::string ExpectedTail(const FaultOutcome& outcome) {
  if (outcome.compile != kCompileOk) {
    return kMemoryLine;
  }
  if (outcome.list == 6) {
    return kDeleteLine;
  }
  return std::string(kMemoryLine) + kDeleteLine;
}

void CheckFaultedRun(const FaultOutcome& run, const FaultOutcome& clean) {
  ASSERT_GT(run.injected, 0);
  const bool compileFailed = run.compile == kCompileNoMemory || run.compile == kCompileMemberLine;
  const bool listFailed =
      run.compile == kCompileOk && (run.list == 5 || run.list == 6 || run.list == 7);
  ASSERT_TRUE(compileFailed || listFailed)
      << "compile " << run.compile << ", listing " << run.list
      << ": a failed allocation must end the compile or the listing";

  // Everything reported before the failure is what a clean run reports.
  const std::string diagnostics = DiagnosticLines(run.errorLog);
  const std::string tail = ExpectedTail(run);
  ASSERT_TRUE(EndsWith(diagnostics, tail)) << diagnostics;
  EXPECT_TRUE(StartsWith(DiagnosticLines(clean.errorLog),
                         diagnostics.substr(0, diagnostics.size() - tail.size())))
      << diagnostics;

  EXPECT_TRUE(OlderFileKept(run));
  if (compileFailed) {
    EXPECT_EQ(run.list, -1);
    EXPECT_EQ(run.runLog, "");
    return;
  }
  // A listing stopped part way leaves what it wrote so far, and the driver
  // removes the file it could not read back.
  EXPECT_TRUE(StartsWith(clean.runLog, run.runLog)) << run.runLog;
  EXPECT_FALSE(run.partsFileExists);
}

void CheckCleanRun(const FaultOutcome& clean, int64_t runsBefore) {
  EXPECT_EQ(clean.compile, kCompileOk);
  EXPECT_EQ(clean.list, 0);
  EXPECT_EQ(clean.backupContent, kOlderContent);
  // The loop stops right after the last allocation of a whole run.
  EXPECT_EQ(clean.operations, runsBefore);
}

FaultTotals RunAllocationLoops(bool persistent) {
  FaultTotals totals;
  for (const FaultSource& source : FaultSources()) {
    SCOPED_TRACE(source.label);
    const FaultLoop loop = RunFaultLoop(source, OvFaultKind::kAllocation, persistent);
    CheckCleanRun(loop.clean, static_cast<int64_t>(loop.faulted.size()));
    for (size_t i = 0; i < loop.faulted.size(); ++i) {
      SCOPED_TRACE("allocation " + std::to_string(i + 1));
      CheckFaultedRun(loop.faulted[i], loop.clean);
    }
    totals.runs += static_cast<int64_t>(loop.faulted.size()) + 1;
    totals.injected += loop.injected;
  }
  return totals;
}

TEST(AllocationFaults, TheNthAllocationFailsForEveryN) {
  const FaultTotals totals = RunAllocationLoops(false);
  std::printf("[ faults   ] n-th allocation fails: %lld runs, %lld failures injected\n",
              static_cast<long long>(totals.runs), static_cast<long long>(totals.injected));
}

TEST(AllocationFaults, EveryAllocationFromTheNthOnFails) {
  const FaultTotals totals = RunAllocationLoops(true);
  std::printf(
      "[ faults   ] every allocation from the n-th on fails: %lld runs, %lld failures "
      "injected\n",
      static_cast<long long>(totals.runs), static_cast<long long>(totals.injected));
}

}  // namespace
}  // namespace partsc::testing
