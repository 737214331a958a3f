// Real signals at many points of a run over a generated library: after each,
// every parts file is the older complete one or the new complete one (in the
// default mode but the one named incomplete on standard error), the logs end
// at a line, the interruption is said on standard error and in the error
// log, and the run ends with 128 + the signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kSources = 40;
constexpr int kPoints = 12;  // signals spread over one whole run, per mode

// Source `i`; the versions differ in a text of every size.
std::string Source(int i, char version) {
  std::string source =
      "$$PARTS !p" + std::to_string(i) + "! <1,2> \"generated\"\n$$APG\n$TOP !T!\n";
  for (int size = 0; size < 40; ++size) {
    source += "$$SIZE \"S" + std::to_string(size) + "\"\n";
    for (int member = 0; member < 12; ++member) {
      source += "p !P" + std::to_string(member) + "! (" + version + std::to_string(size) + ")\n";
    }
  }
  return source + "$$END\n";
}

void WriteSources(const TempDir& dir, char version) {
  for (int i = 0; i < kSources; ++i) {
    WriteFile(dir.File("src/s" + std::to_string(i) + ".src"), Source(i, version));
  }
}

// Sets up the library in `dir`: its settings, control file and sources of
// version `version`.
void MakeLibrary(const TempDir& dir, char version) {
  fs::create_directories(dir.File("src"));
  fs::create_directories(dir.File("parts"));
  WriteFile(dir.File("ORVA.SET"), "#PARTS:INP# = src\n#PARTS:BIN# = parts\n");
  std::string control;
  for (int i = 0; i < kSources; ++i) {
    control += "s" + std::to_string(i) + ".src\n";
  }
  WriteFile(dir.File("LIB.CTL"), control);
  WriteSources(dir, version);
}

// A library compiled from version `version`; answers each parts file's
// bytes by name.
std::map<std::string, std::string> Compiled(char version) {
  TempDir dir;
  MakeLibrary(dir, version);
  EXPECT_EQ(RunPartsc(dir.path(), {"-q", "-pORVA.SET", "-c", "LIB.CTL"}).exitCode, 0);
  std::map<std::string, std::string> bytes;
  for (int i = 0; i < kSources; ++i) {
    const std::string name = "p" + std::to_string(i) + ".prt";
    bytes[name] = ReadFile(dir.File("parts/" + name));
  }
  return bytes;
}

// A library of version b sources whose parts files and backups are of
// version a.
void MakeCompiledLibrary(const TempDir& dir, const std::map<std::string, std::string>& older) {
  MakeLibrary(dir, 'b');
  for (const auto& [name, bytes] : older) {
    WriteFile(dir.File("parts/" + name), bytes);
    WriteFile(dir.File("parts/" + name + ".old"), bytes);
  }
}

// Waits until the process `pid` catches `signal`: partsc has started.
void WaitUntilCaught(int pid, int signal) {
  const unsigned long long bit = 1ULL << (signal - 1);
  for (int i = 0; i < 5000; ++i) {
    const std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
    const size_t at = status.find("SigCgt:\t");
    if (at != std::string::npos && (std::stoull(status.substr(at + 8, 16), nullptr, 16) & bit)) {
      return;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

bool EndsAtALine(const std::string& text) {
  return text.empty() || text.back() == '\n';
}

// What one interrupted run left.
void CheckLeftovers(const TempDir& dir, const ProcessResult& run, int signal, bool atomic,
                    const std::map<std::string, std::string>& older,
                    const std::map<std::string, std::string>& newer) {
  ASSERT_EQ(run.signal, 0) << "killed instead of ending";
  const std::string name = signal == SIGTERM ? "SIGTERM" : signal == SIGINT ? "SIGINT" : "SIGHUP";
  if (run.exitCode == 0) {
    return;  // the run was done before the signal came
  }
  ASSERT_EQ(run.exitCode, 128 + signal) << run.err;
  EXPECT_EQ(run.err.rfind("partsc: run interrupted by " + name + " ", 0), 0u) << run.err;
  const std::string errorLog = ReadFile(dir.File("LIB.CTL.LOG"));
  EXPECT_NE(errorLog.find("\t*** E *** Run interrupted by " + name + " "), std::string::npos);
  EXPECT_TRUE(EndsAtALine(errorLog));
  const std::string runLog = ReadFile(dir.File("TALVIREN.LOG"));
  EXPECT_TRUE(runLog.empty() || runLog.ends_with("/---------------------------------------/\n"));
  for (const auto& entry : fs::directory_iterator(dir.File("parts"))) {
    const std::string file = entry.path().filename().string();
    SCOPED_TRACE(file);
    const std::string base = file.substr(0, file.find(".prt") + 4);
    ASSERT_TRUE(older.count(base) == 1 && (file == base || file == base + ".old"));
    const std::string bytes = ReadFile(entry.path().string());
    const bool incomplete = run.err.find("/parts/" + file + ": incomplete: ") != std::string::npos;
    EXPECT_TRUE(bytes == older.at(base) || bytes == newer.at(base) || (!atomic && incomplete));
  }
}

TEST(Signals, EveryInterruptedRunLeavesCompleteFilesAndLogsCutAtALine) {
  const std::map<std::string, std::string> older = Compiled('a');
  const std::map<std::string, std::string> newer = Compiled('b');
  const int signals[] = {SIGTERM, SIGINT, SIGHUP};
  for (const bool atomic : {false, true}) {
    std::vector<std::string> args = {"-q", "-pORVA.SET", "-c", "LIB.CTL"};
    if (atomic) {
      args.push_back("--atomic");
    }
    ProcessOptions options{args, "", "", {{"SOURCE_DATE_EPOCH", "1700000000"}}, {}};
    // How long a whole run takes from the moment it catches signals: the
    // shortest of three, so that a slow first run does not spread the points
    // past the end of the others.
    auto whole = std::chrono::steady_clock::duration::max();
    for (int timing = 0; timing < 3; ++timing) {
      TempDir timed;
      MakeCompiledLibrary(timed, older);
      options.cwd = timed.path();
      StartedProcess process = StartProcess(PARTSC_BINARY, options);
      WaitUntilCaught(process.pid, SIGTERM);
      const auto start = std::chrono::steady_clock::now();
      ASSERT_EQ(WaitProcess(process).exitCode, 0);
      whole = std::min(whole, std::chrono::steady_clock::now() - start);
    }
    int interrupted = 0;
    for (int point = 0; point < kPoints; ++point) {
      const int signal = signals[point % 3];
      SCOPED_TRACE((atomic ? "--atomic, point " : "default mode, point ") + std::to_string(point));
      TempDir dir;
      MakeCompiledLibrary(dir, older);
      options.cwd = dir.path();
      StartedProcess process = StartProcess(PARTSC_BINARY, options);
      WaitUntilCaught(process.pid, signal);
      // The points spread over the first three quarters of a run.
      std::this_thread::sleep_for(whole * 3 * point / (4 * kPoints));
      ::kill(process.pid, signal);
      const ProcessResult run = WaitProcess(process);
      CheckLeftovers(dir, run, signal, atomic, older, newer);
      interrupted += run.exitCode == 0 ? 0 : 1;
    }
    EXPECT_GE(interrupted, kPoints / 3) << "too few runs were interrupted to tell";
  }
}

// A run that waits for the lock another run holds on a parts file ends on a
// signal as any other run does, and leaves the file as it was.
TEST(Signals, ASignalEndsTheWaitForAPartsFileThatAnotherRunHolds) {
  const std::map<std::string, std::string> older = Compiled('a');
  TempDir dir;
  MakeCompiledLibrary(dir, older);
  const int held = ::open(dir.File("parts/p0.prt").c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  ProcessOptions options{{"-q", "-pORVA.SET", "-c", "LIB.CTL", "--atomic"},
                         dir.path(),
                         "",
                         {{"SOURCE_DATE_EPOCH", "1700000000"}},
                         {}};
  StartedProcess process = StartProcess(PARTSC_BINARY, options);
  const int pid = process.pid;
  // Until partsc sleeps on the lock (a kernel that hides where a process
  // sleeps gets two seconds).
  const std::string wchan = "/proc/" + std::to_string(pid) + "/wchan";
  for (int i = 0; i < 200 && ReadFile(wchan).find("lock") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid, SIGTERM);
  // A run that goes on waiting is killed after 20 seconds, and fails.
  std::atomic<bool> ended = false;
  std::thread watchdog([&ended, pid] {
    for (int i = 0; i < 200 && !ended; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!ended) {
      ::kill(pid, SIGKILL);
    }
  });
  const ProcessResult run = WaitProcess(process);
  ended = true;
  watchdog.join();
  ::close(held);
  EXPECT_EQ(run.signal, 0);
  EXPECT_EQ(run.exitCode, 128 + SIGTERM);
  EXPECT_EQ(run.err.rfind("partsc: run interrupted by SIGTERM ", 0), 0u) << run.err;
  EXPECT_EQ(ReadFile(dir.File("parts/p0.prt")), older.at("p0.prt"));
}

}  // namespace
}  // namespace partsc::testing
