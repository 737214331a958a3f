// Reads and writes of parts files that fall short: through the test seam for
// every n-th read and write, and once for real, with the kernel refusing a
// write beyond the file-size limit of the process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/run_driver.h"
#include "faults/faults_fixture.h"
#include "platform/ov_session.h"

namespace partsc::testing {
namespace {

constexpr const char* kDeleteLine = "\t*** E *** Illegal File Delete It\n";

// The write messages of a compile, in the order of the writes.
const std::vector<std::string> kWriteMessages = {
    "\t*** E *** Header Write Error\n",
    "\t*** E *** APG List Write Error\n",
    "\t*** E *** Data Write Error\n",
    "\t*** E *** Size list Write Error\n",
};

// The position of the write message a run ends with, or -1.
int WriteMessageIndex(const std::string& diagnostics) {
  for (size_t i = 0; i < kWriteMessages.size(); ++i) {
    if (EndsWith(diagnostics, kWriteMessages[i])) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool HasSizes(const FaultSource& source) {
  return source.text.find("\n$$SIZE") != std::string::npos;
}

void PrintTotals(const char* what, const FaultTotals& totals) {
  std::printf("[ faults   ] %s: %lld runs, %lld failures injected\n", what,
              static_cast<long long>(totals.runs), static_cast<long long>(totals.injected));
}

void CheckReadLoop(const FaultSource& source, bool persistent, FaultTotals& totals) {
  const FaultLoop loop = RunFaultLoop(source, OvFaultKind::kRead, persistent);
  totals.runs += static_cast<int64_t>(loop.faulted.size()) + 1;
  totals.injected += loop.injected;
  {
    EXPECT_EQ(loop.clean.list, 0);
    int previousCode = 0;
    for (size_t i = 0; i < loop.faulted.size(); ++i) {
      SCOPED_TRACE("read " + std::to_string(i + 1));
      const FaultOutcome& run = loop.faulted[i];
      // The compile reads text only; every binary read belongs to the listing.
      ASSERT_EQ(run.compile, kCompileOk);
      EXPECT_TRUE(run.list == 2 || run.list == 4 || run.list == 5 || run.list == 6 || run.list == 7)
          << run.list;
      // A later read belongs to the same or a later step of the listing.
      EXPECT_GE(run.list, previousCode);
      previousCode = run.list;
      EXPECT_EQ(DiagnosticLines(run.errorLog), DiagnosticLines(loop.clean.errorLog) + kDeleteLine);
      EXPECT_TRUE(StartsWith(loop.clean.runLog, run.runLog)) << run.runLog;
      EXPECT_FALSE(run.partsFileExists);
      EXPECT_EQ(run.backupContent, kOlderContent);
    }
  }
}

// The example sources, and one whose parts file takes many reads.
std::vector<FaultSource> IoSources() {
  std::vector<FaultSource> sources = FaultSources();
  sources.push_back(LargeSource());
  return sources;
}

FaultTotals RunReadLoops(bool persistent) {
  FaultTotals totals;
  for (const FaultSource& source : IoSources()) {
    SCOPED_TRACE(source.label);
    CheckReadLoop(source, persistent, totals);
  }
  return totals;
}

void CheckWriteLoop(const FaultSource& source, bool persistent, FaultTotals& totals) {
  const FaultLoop loop = RunFaultLoop(source, OvFaultKind::kWrite, persistent);
  totals.runs += static_cast<int64_t>(loop.faulted.size()) + 1;
  totals.injected += loop.injected;
  {
    EXPECT_EQ(loop.clean.compile, kCompileOk);
    ASSERT_FALSE(loop.faulted.empty());
    int previous = 0;
    for (size_t i = 0; i < loop.faulted.size(); ++i) {
      SCOPED_TRACE("write " + std::to_string(i + 1));
      const FaultOutcome& run = loop.faulted[i];
      ASSERT_EQ(run.compile, kCompileWriteFailed);
      const std::string diagnostics = DiagnosticLines(run.errorLog);
      const int message = WriteMessageIndex(diagnostics);
      ASSERT_GE(message, 0) << diagnostics;
      EXPECT_TRUE(
          StartsWith(DiagnosticLines(loop.clean.errorLog),
                     diagnostics.substr(0, diagnostics.size() - kWriteMessages[message].size())));
      EXPECT_GE(message, previous);
      previous = message;
      EXPECT_EQ(run.list, -1);
      EXPECT_EQ(run.runLog, "");
      EXPECT_TRUE(run.partsFileExists);
      EXPECT_EQ(run.backupContent, kOlderContent);
    }
    EXPECT_EQ(WriteMessageIndex(DiagnosticLines(loop.faulted.front().errorLog)), 0);
    if (HasSizes(source)) {
      EXPECT_EQ(WriteMessageIndex(DiagnosticLines(loop.faulted.back().errorLog)), 3);
    }
  }
}

FaultTotals RunWriteLoops(bool persistent) {
  FaultTotals totals;
  for (const FaultSource& source : IoSources()) {
    SCOPED_TRACE(source.label);
    CheckWriteLoop(source, persistent, totals);
  }
  return totals;
}

TEST(ReadFaults, TheNthReadFallsShortForEveryN) {
  PrintTotals("n-th read falls short", RunReadLoops(false));
}

TEST(ReadFaults, EveryReadFromTheNthOnFallsShort) {
  PrintTotals("every read from the n-th on falls short", RunReadLoops(true));
}

TEST(WriteFaults, TheNthWriteFallsShortForEveryN) {
  PrintTotals("n-th write falls short", RunWriteLoops(false));
}

TEST(WriteFaults, EveryWriteFromTheNthOnFallsShort) {
  PrintTotals("every write from the n-th on falls short", RunWriteLoops(true));
}

// Runs the whole program in this process on plates.src, with the n-th read
// falling short; answers the faults injected.
int64_t RunDriverWithReadFault(const TempDir& dir, int64_t n, int& status, std::string& console) {
  ScopedChdir inDir(dir.path());
  WriteFile(dir.File("stdin"), "LIB.CTL\n");
  if (std::freopen(dir.File("stdin").c_str(), "r", stdin) == nullptr) {
    ADD_FAILURE() << "standard input cannot be redirected";
    return 0;
  }
  OvSession::GetInstance().Reset();
  char program[] = "partsc";
  char* argv[] = {program, nullptr};
  int64_t injected = 0;
  {
    CaptureFd out(1);
    OvFaults::Reset();
    OvFaults::Arm(OvFaultKind::kRead, n, false);
    status = RunPartsc(1, argv);
    injected = OvFaults::Injected(OvFaultKind::kRead);
    OvFaults::Reset();
    console = out.Text();
  }
  std::freopen("/dev/null", "r", stdin);
  OvFile::ResetClassDirectories();
  return injected;
}

// The driver removes a new parts file whose listing falls short, reports it,
// and keeps the older file as its backup.
TEST(ReadFaults, TheDriverRemovesAFileThatCannotBeReadBack) {
  const FaultSource source = FaultSources()[3];
  ASSERT_EQ(source.partsFile, "PLATE.PRT");
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  int64_t n = 1;
  for (;; ++n) {
    SCOPED_TRACE("read " + std::to_string(n));
    TempDir dir;
    WriteFile(dir.File("plates.src"), source.text);
    WriteFile(dir.File("LIB.CTL"), "plates.src\n");
    WriteFile(dir.File("PLATE.PRT"), kOlderContent);
    int status = -1;
    std::string console;
    const int64_t injected = RunDriverWithReadFault(dir, n, status, console);
    EXPECT_EQ(status, 0);
    const std::string diagnostics = injected == 0 ? "" : kDeleteLine;
    EXPECT_EQ(ReadFile(dir.File("LIB.CTL.LOG")),
              "Input File [" + dir.File("plates.src") + "]\n" + diagnostics);
    EXPECT_EQ(FileExists(dir.File("PLATE.PRT")), injected == 0);
    EXPECT_EQ(ReadFile(dir.File("PLATE.PRT.OLD")), kOlderContent);
    if (injected == 0) {
      break;
    }
    EXPECT_NE(console.find(kDeleteLine), std::string::npos) << console;
    ASSERT_LT(n, 1000);
  }
  EXPECT_GT(n, 1);
}

// Compiles `source` in a child process whose files may not grow beyond
// `limit` bytes, with SIGXFSZ ignored so that the kernel answers the write
// with an error instead of ending the process. Answers the compile's result.
int CompileUnderFileSizeLimit(const TempDir& dir, const std::string& input, rlim_t limit) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) {
    return -1000;
  }
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null < 0 || dup2(null, 1) < 0 || chdir(dir.path().c_str()) != 0) {
      _exit(200);
    }
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit fileSize{limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &fileSize) != 0) {
      _exit(201);
    }
    OvFile::ResetClassDirectories();
    ReportDiagnostic(kDiagOpenLog, kSeverityNone, kControlName, 0, {});
    std::string outputPath;
    const int result = CompilePartsSource(input, outputPath);
    ReportDiagnostic(kDiagCloseLog, kSeverityNone, MessageTable[0], 0, {});
    _exit(result & 0xFF);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -2000 - WTERMSIG(status);
}

TEST(WriteFaults, TheKernelRefusesAWriteBeyondTheFileSizeLimit) {
  // bolts: header 256 bytes, view names and comments to 664, three size
  // records to 880, then the member lists.
  struct Case {
    rlim_t limit;
    const char* message;
  };
  const Case cases[] = {
      {100, "\t*** E *** Header Write Error\n"},
      {300, "\t*** E *** APG List Write Error\n"},
      {900, "\t*** E *** Data Write Error\n"},
  };
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    TempDir dir;
    const std::string input = dir.File("bolts.src");
    WriteFile(input, ExampleText("bolts.src"));
    WriteFile(dir.File("bolt.prt"), kOlderContent);
    EXPECT_EQ(CompileUnderFileSizeLimit(dir, input, c.limit), kCompileWriteFailed);
    EXPECT_EQ(ReadFile(dir.File(kErrorLogName)), "Input File [" + input + "]\n" + c.message);
    EXPECT_EQ(ReadFile(dir.File("bolt.prt.old")), kOlderContent);
    EXPECT_EQ(ReadBytes(dir.File("bolt.prt")).size(), c.limit);
  }
}

}  // namespace
}  // namespace partsc::testing
