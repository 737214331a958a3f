// Reads and writes of parts files that fall short: through the test seam for
// every n-th read and write, and once for real, with the kernel refusing a
// write beyond the file-size limit of the process.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "faults/faults_fixture.h"

namespace partsc::testing {
namespace {

// The write messages of a compile, in the order of the writes.
const std::vector<std::string> kWriteMessages = {
    "\t*** E *** Header Write Error\n", "\t*** E *** APG List Write Error\n",
    "\t*** E *** Data Write Error\n", "\t*** E *** Size list Write Error\n"};

// The position of the write message a run ends with, or -1.
int WriteMessageIndex(const std::string& diagnostics) {
  for (size_t i = 0; i < kWriteMessages.size(); ++i) {
    if (diagnostics.ends_with(kWriteMessages[i])) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// The compile reads text only: every binary read belongs to the listing; the
// driver then removes the new file. A short write ends the compile with the
// message of the part written, in the order of the parts; the incomplete
// file stays, the older one is its backup, and nothing is listed.
TEST(IoFaults, TheNthReadOrWriteFallsShortForEveryN) {
  for (const OvFaultKind kind : {OvFaultKind::kRead, OvFaultKind::kWrite}) {
    for (const bool persistent : {false, true}) {
      for (const FaultSource& source : FaultSources()) {
        SCOPED_TRACE(source.label + (kind == OvFaultKind::kRead ? " read" : " write") +
                     (persistent ? ", and every one after it" : ""));
        DriverRun clean;
        int previous = 0;
        const std::string backupSuffix = source.partsFile.ends_with(".prt") ? ".old" : ".OLD";
        const int64_t runs = ForEachFault(kind, persistent, [&](int64_t n) {
          const DriverRun run = RunSource(source);
          if (n == 0) {
            clean = run;
            EXPECT_EQ(clean.exitCode, 0);
            return;
          }
          SCOPED_TRACE("operation " + std::to_string(n));
          EXPECT_EQ(run.exitCode, 1);
          EXPECT_EQ(run.backup, kOlderContent);
          if (kind == OvFaultKind::kRead) {
            EXPECT_EQ(run.errorLog, clean.errorLog + kDeleteLine);
            // The summary names what stopped the input and what it left.
            EXPECT_TRUE(
                run.err.starts_with("partsc: summary: 0 sources compiled, 1 failed\n"
                                    "partsc: failed: input.src: Illegal File Delete It: "))
                << run.err;
            EXPECT_TRUE(run.err.ends_with("left: " + source.partsFile +
                                          " was removed again; the previous file is kept as " +
                                          source.partsFile + backupSuffix + "\n"))
                << run.err;
            EXPECT_TRUE(clean.runLog.starts_with(run.runLog)) << run.runLog;
            EXPECT_FALSE(run.partsFile);
            return;
          }
          const int message = WriteMessageIndex(run.errorLog);
          ASSERT_GE(message, n == 1 ? 0 : previous) << run.errorLog;
          EXPECT_TRUE(n != 1 || message == 0);
          const size_t before = run.errorLog.size() - kWriteMessages[message].size();
          EXPECT_TRUE(clean.errorLog.starts_with(run.errorLog.substr(0, before)));
          previous = message;
          EXPECT_TRUE(run.err.starts_with("partsc: $DIR/" + source.partsFile +
                                          ": cannot be written: No space left on device\n"))
              << run.err;
          EXPECT_TRUE(run.err.ends_with("left: " + source.partsFile +
                                        " is left incomplete; the previous file is kept as " +
                                        source.partsFile + backupSuffix + "\n"))
              << run.err;
          EXPECT_EQ(run.runLog, "");
          EXPECT_TRUE(run.partsFile);
        });
        EXPECT_GT(runs, 0);
        EXPECT_TRUE(kind == OvFaultKind::kRead || previous == 3 ||
                    source.text.find("\n$$SIZE") == std::string::npos);
      }
    }
  }
}

// Runs the driver on faults.ctl in a child process whose files may not grow
// beyond `limit` bytes, with SIGXFSZ ignored so that the kernel answers the
// write with an error instead of ending the process. Answers its status.
int RunUnderFileSizeLimit(const TempDir& dir, rlim_t limit) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const rlimit fileSize{limit, limit};
    if (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &fileSize) != 0) {
      _exit(200);
    }
    _exit(RunDriver(dir.path(), {"-q", "--strict", "-c", "faults.ctl"}, nullptr));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -2000 - WTERMSIG(status);
}

TEST(IoFaults, TheKernelRefusesAWriteBeyondTheFileSizeLimit) {
  // bolts: header 256 bytes, view names and comments to 664, three size
  // records to 880, then the member lists.
  const std::pair<rlim_t, std::string> cases[] = {
      {100, kWriteMessages[0]}, {300, kWriteMessages[1]}, {900, kWriteMessages[2]}};
  for (const auto& [limit, message] : cases) {
    SCOPED_TRACE(message);
    TempDir dir;
    WriteFile(dir.File("bolts.src"), ExampleText("bolts.src"));
    WriteFile(dir.File("faults.ctl"), "bolts.src\n");
    WriteFile(dir.File("bolt.prt"), kOlderContent);
    EXPECT_EQ(RunUnderFileSizeLimit(dir, limit), 1);
    EXPECT_EQ(ReadFile(dir.File("faults.ctl.LOG")),
              "Input File [" + dir.File("bolts.src") + "]\n" + message);
    EXPECT_EQ(ReadFile(dir.File("bolt.prt.old")), kOlderContent);
    EXPECT_EQ(ReadBytes(dir.File("bolt.prt")).size(), limit);
  }
}

// In the SARIF log a parts file that could not be written, or did not read
// back and was removed, is no place to point at: the result points at the
// source and its message names the parts file.
TEST(IoFaults, TheSarifLogPointsAFailedPartsFileAtItsSource) {
  const std::pair<OvFaultKind, std::string> cases[] = {
      {OvFaultKind::kWrite, "Header Write Error: bolt.prt: No space left on device"},
      {OvFaultKind::kRead, "Illegal File Delete It: bolt.prt: truncated header"},
  };
  for (const auto& [kind, message] : cases) {
    SCOPED_TRACE(message);
    TempDir dir;
    WriteFile(dir.File("bolts.src"), ExampleText("bolts.src"));
    WriteFile(dir.File("faults.ctl"), "bolts.src\n");
    OvFaults::Arm(kind, 1, false);
    RunDriver(dir.path(), {"-q", "--sarif", "run.sarif", "-c", "faults.ctl"}, nullptr);
    OvFaults::Reset();
    const nlohmann::json results =
        nlohmann::json::parse(ReadFile(dir.File("run.sarif")))["runs"][0]["results"];
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0]["message"]["text"], message);
    EXPECT_EQ(results[0]["locations"][0]["physicalLocation"].dump(),
              R"({"artifactLocation":{"uri":"bolts.src","uriBaseId":"SRCROOT"}})");
  }
}

// --changes reads the older file back beside the new one the listing read:
// a read that falls short is named on the file's line, never taken as a file
// that changed in everything.
TEST(IoFaults, ChangesNameAFileThatCannotBeReadBack) {
  int64_t reads = 0;
  const auto run = [&reads](int64_t failAt) {
    TempDir dir;
    WriteFile(dir.File("bolts.src"), ExampleText("bolts.src"));
    WriteFile(dir.File("faults.ctl"), "bolts.src\n");
    WriteFile(dir.File("bolt.prt"), kOlderContent);
    OvFaults::Reset();
    OvFaults::Arm(OvFaultKind::kRead, failAt, false);
    std::string out;
    RunDriver(dir.path(), {"-q", "--changes", "-c", "faults.ctl"}, nullptr, &out);
    reads = OvFaults::Count(OvFaultKind::kRead);
    OvFaults::Reset();
    return out;
  };
  EXPECT_TRUE(run(0).starts_with("bolt.prt: version changed; ")) << "the older file is text";
  EXPECT_EQ(run(reads), "bolt.prt: changes unknown: bolt.prt.old: the read fell short\n")
      << reads << " reads";
}

}  // namespace
}  // namespace partsc::testing
