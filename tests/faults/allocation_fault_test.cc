// Allocation failures: every source compiled and listed with the n-th table
// entry or text allocation failing, for every n, and with every allocation
// from the n-th on failing. Each run must end with its documented code and
// message, keep the older parts file, and leak nothing (LeakSanitizer checks
// the last point in the sanitizer build).
#include <gtest/gtest.h>

#include <string>

#include "faults/faults_fixture.h"

namespace partsc::testing {
namespace {

constexpr const char* kMemoryLine = "\t*** E *** Memory Allocate Error\n";
constexpr const char* kDeleteLine = "\t*** E *** Illegal File Delete It\n";

// A failed allocation ends the compile (109 from a macro or size line, 40
// from a member line) or the listing (5 size list and 7 size members with a
// report, 6 common list without one); the driver then removes the new file.
void CheckFaultedRun(const FaultOutcome& run, const FaultOutcome& clean) {
  const bool compileFailed = run.compile == kNoMemory || run.compile == kCompileMemberLine;
  const bool listFailed = run.compile == kCompileOk && run.list >= 5 && run.list <= 7;
  ASSERT_TRUE(compileFailed || listFailed) << "compile " << run.compile << ", listing " << run.list;
  const std::string tail = compileFailed   ? kMemoryLine
                           : run.list == 6 ? kDeleteLine
                                           : std::string(kMemoryLine) + kDeleteLine;
  // Everything reported before the failure is what a clean run reports.
  ASSERT_TRUE(run.errorLog.ends_with(tail)) << run.errorLog;
  EXPECT_TRUE(clean.errorLog.starts_with(run.errorLog.substr(0, run.errorLog.size() - tail.size())))
      << run.errorLog;
  EXPECT_TRUE(OlderFileKept(run));
  if (compileFailed) {
    EXPECT_EQ(run.list, -1);
    EXPECT_EQ(run.runLog, "");
    return;
  }
  // A listing stopped part way leaves what it wrote so far.
  EXPECT_TRUE(clean.runLog.starts_with(run.runLog)) << run.runLog;
  EXPECT_FALSE(run.partsFile);
}

// The n-th allocation, and every one from the n-th on.
TEST(AllocationFaults, TheNthAllocationFailsForEveryN) {
  for (const bool persistent : {false, true}) {
    RunLoops("the n-th allocation fails", FaultSources(), OvFaultKind::kAllocation, persistent,
             [](const FaultSource&, const FaultLoop& loop) {
               EXPECT_EQ(loop.clean.compile, kCompileOk);
               EXPECT_EQ(loop.clean.list, 0);
               EXPECT_EQ(loop.clean.backup, kOlderContent);
               // The loop stops right after the last allocation of a whole run.
               EXPECT_EQ(loop.clean.operations, static_cast<int64_t>(loop.faulted.size()));
               for (size_t i = 0; i < loop.faulted.size(); ++i) {
                 SCOPED_TRACE("allocation " + std::to_string(i + 1));
                 CheckFaultedRun(loop.faulted[i], loop.clean);
               }
             });
  }
}

}  // namespace
}  // namespace partsc::testing
