// Reads and writes of parts files that fall short: through the test seam for
// every n-th read and write, and once for real, with the kernel refusing a
// write beyond the file-size limit of the process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "faults/faults_fixture.h"

namespace partsc::testing {
namespace {

constexpr const char* kDeleteLine = "\t*** E *** Illegal File Delete It\n";

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

// The example sources, and one whose parts file takes many reads and writes.
std::vector<FaultSource> IoSources() {
  std::vector<FaultSource> sources = FaultSources();
  sources.push_back(LargeSource());
  return sources;
}

// The compile reads text only: every binary read belongs to the listing,
// which fails at the step of the read, later reads at the same or a later
// step; the driver then removes the new file.
void CheckReadLoop(const FaultSource&, const FaultLoop& loop) {
  EXPECT_EQ(loop.clean.list, 0);
  int previousCode = 0;
  for (size_t i = 0; i < loop.faulted.size(); ++i) {
    SCOPED_TRACE("read " + std::to_string(i + 1));
    const FaultOutcome& run = loop.faulted[i];
    ASSERT_EQ(run.compile, kCompileOk);
    EXPECT_TRUE(run.list == 2 || (run.list >= 4 && run.list <= 7)) << run.list;
    EXPECT_GE(run.list, previousCode);
    previousCode = run.list;
    EXPECT_EQ(run.errorLog, loop.clean.errorLog + kDeleteLine);
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(loop.clean.runLog.starts_with(run.runLog)) << run.runLog;
    EXPECT_FALSE(run.partsFile);
    EXPECT_EQ(run.backup, kOlderContent);
  }
}

// A short write ends the compile with 122 and the message of the part
// written, in the order of the parts; the incomplete file stays, the older
// one is its backup, and nothing is listed.
void CheckWriteLoop(const FaultSource& source, const FaultLoop& loop) {
  EXPECT_EQ(loop.clean.compile, kCompileOk);
  ASSERT_FALSE(loop.faulted.empty());
  int previous = 0;
  for (size_t i = 0; i < loop.faulted.size(); ++i) {
    SCOPED_TRACE("write " + std::to_string(i + 1));
    const FaultOutcome& run = loop.faulted[i];
    ASSERT_EQ(run.compile, kCompileWriteFailed);
    const int message = WriteMessageIndex(run.errorLog);
    ASSERT_GE(message, 0) << run.errorLog;
    const size_t before = run.errorLog.size() - kWriteMessages[message].size();
    EXPECT_TRUE(loop.clean.errorLog.starts_with(run.errorLog.substr(0, before)));
    EXPECT_GE(message, previous);
    previous = message;
    EXPECT_EQ(run.list, -1);
    EXPECT_EQ(run.err, "partsc: $DIR/" + source.partsFile +
                           ": cannot be written: No space left on device\n");
    EXPECT_EQ(run.runLog, "");
    EXPECT_TRUE(run.partsFile);
    EXPECT_EQ(run.backup, kOlderContent);
  }
  EXPECT_EQ(WriteMessageIndex(loop.faulted.front().errorLog), 0);
  if (source.text.find("\n$$SIZE") != std::string::npos) {
    EXPECT_EQ(WriteMessageIndex(loop.faulted.back().errorLog), 3);
  }
}

// The n-th read or write, and every one from the n-th on.
TEST(ReadFaults, TheNthReadFallsShortForEveryN) {
  for (const bool persistent : {false, true}) {
    RunLoops("the n-th read falls short", IoSources(), OvFaultKind::kRead, persistent,
             CheckReadLoop);
  }
}

TEST(WriteFaults, TheNthWriteFallsShortForEveryN) {
  for (const bool persistent : {false, true}) {
    RunLoops("the n-th write falls short", IoSources(), OvFaultKind::kWrite, persistent,
             CheckWriteLoop);
  }
}

// Compiles `input` in a child process whose files may not grow beyond
// `limit` bytes, with SIGXFSZ ignored so that the kernel answers the write
// with an error instead of ending the process. Answers the compile's result.
int CompileUnderFileSizeLimit(const TempDir& dir, const std::string& input, rlim_t limit) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    const rlimit fileSize{limit, limit};
    if (null < 0 || dup2(null, 1) < 0 || chdir(dir.path().c_str()) != 0 ||
        std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &fileSize) != 0) {
      _exit(200);
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
  const std::pair<rlim_t, std::string> cases[] = {
      {100, kWriteMessages[0]}, {300, kWriteMessages[1]}, {900, kWriteMessages[2]}};
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  for (const auto& [limit, message] : cases) {
    SCOPED_TRACE(message);
    TempDir dir;
    const std::string input = dir.File("bolts.src");
    WriteFile(input, ExampleText("bolts.src"));
    WriteFile(dir.File("bolt.prt"), kOlderContent);
    EXPECT_EQ(CompileUnderFileSizeLimit(dir, input, limit), kCompileWriteFailed);
    EXPECT_EQ(ReadFile(dir.File(kErrorLogName)), "Input File [" + input + "]\n" + message);
    EXPECT_EQ(ReadFile(dir.File("bolt.prt.old")), kOlderContent);
    EXPECT_EQ(ReadBytes(dir.File("bolt.prt")).size(), limit);
  }
}

}  // namespace
}  // namespace partsc::testing
