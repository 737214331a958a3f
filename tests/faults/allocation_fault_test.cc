// Allocation failures: every source compiled and listed by the real driver
// with the n-th allocation failing, for every n, and with every allocation
// from the n-th on failing; and every parts file decompiled the same way.
// Each run must end with its documented message, keep the older parts file,
// and leak nothing (LeakSanitizer checks the last point in the sanitizer
// build).
#include <gtest/gtest.h>

#include <string>

#include "faults/faults_fixture.h"

namespace partsc::testing {
namespace {

// A failed allocation ends the compile, or the listing (with the message,
// but without it for the common list); the driver then removes the new file.
void CheckFaultedRun(const DriverRun& run, const DriverRun& clean) {
  EXPECT_EQ(run.exitCode, 1);
  const bool listFailed = run.errorLog.ends_with(kDeleteLine);
  const std::string tail = !listFailed ? kMemoryLine
                           : run.errorLog.ends_with(std::string(kMemoryLine) + kDeleteLine)
                               ? std::string(kMemoryLine) + kDeleteLine
                               : kDeleteLine;
  ASSERT_TRUE(run.errorLog.ends_with(tail)) << run.errorLog;
  // Everything reported before the failure is what a clean run reports.
  EXPECT_TRUE(clean.errorLog.starts_with(run.errorLog.substr(0, run.errorLog.size() - tail.size())))
      << run.errorLog;
  EXPECT_TRUE(run.backup ? run.backup == kOlderContent : run.partsFile == kOlderContent);
  if (!listFailed) {
    EXPECT_EQ(run.runLog, "");
    return;
  }
  // A listing stopped part way leaves what it wrote so far.
  EXPECT_TRUE(clean.runLog.starts_with(run.runLog)) << run.runLog;
  EXPECT_FALSE(run.partsFile);
}

TEST(AllocationFaults, TheNthAllocationFailsForEveryN) {
  std::vector<FaultSource> sources = FaultSources();
  sources.pop_back();  // the large source adds nothing but time here
  for (const bool persistent : {false, true}) {
    for (const FaultSource& source : sources) {
      SCOPED_TRACE(source.label + (persistent ? ", and every one after it" : ""));
      DriverRun clean;
      ForEachFault(OvFaultKind::kAllocation, persistent, [&](int64_t n) {
        if (n == 0) {
          clean = RunSource(source);
          EXPECT_EQ(clean.exitCode, 0);
          EXPECT_EQ(clean.backup, kOlderContent);
          return;
        }
        SCOPED_TRACE("allocation " + std::to_string(n));
        CheckFaultedRun(RunSource(source), clean);
      });
    }
  }
  // The macros past the first 256 slots keep their values.
  const DriverRun macros = RunSource(FaultSources()[4]);
  EXPECT_NE(macros.runLog.find("p !A! (0259)\n"), std::string::npos) << macros.runLog;
}

// A refused allocation, a short read or a short write anywhere in the work of
// --decompile (the reading, the check's compile) never gives a source other
// than the one an undisturbed run gives: that source, or none and one line
// on standard error.
TEST(AllocationFaults, DecompileNeverGivesAnotherSource) {
  TempDir dir;
  WriteFile(dir.File("bolts.src"), ExampleText("bolts.src"));
  WriteFile(dir.File("b.ctl"), "bolts.src\n");
  ASSERT_EQ(RunDriver(dir.path(), {"-q", "-c", "b.ctl"}, nullptr), 0);
  const std::vector<std::string> args = {"--decompile", "bolt.prt", "-o", "out.src"};
  for (const OvFaultKind kind :
       {OvFaultKind::kAllocation, OvFaultKind::kRead, OvFaultKind::kWrite}) {
    std::string expected;
    ForEachFault(kind, false, [&](int64_t n) {
      SCOPED_TRACE(::testing::Message()
                   << "operation " << n << " of kind " << static_cast<int>(kind));
      std::filesystem::remove(dir.File("out.src"));
      std::string err;
      const int status = RunDriver(dir.path(), args, &err);
      if (n == 0) {
        ASSERT_EQ(status, 0) << err;
        expected = ReadFile(dir.File("out.src"));
        return;
      }
      if (status == 0) {
        EXPECT_EQ(ReadFile(dir.File("out.src")), expected);
        return;
      }
      EXPECT_FALSE(FileExists(dir.File("out.src")));
      EXPECT_TRUE(err.ends_with("\n") && err.find('\n') == err.size() - 1) << err;
    });
  }
}

}  // namespace
}  // namespace partsc::testing
