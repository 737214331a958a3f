// Runs in parallel over two control files that share their sources: none
// destroys another's parts file, in the default mode and with --atomic, and
// with --atomic a reader never meets a partial file. Two jobs in one working
// directory, each with logs of its own, never write into each other's.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kRuns = 8;
constexpr int kRounds = 25;

// The library: sources in src/ (one large enough that runs overlap on its
// parts file), parts files in parts/, A.CTL and B.CTL sharing three of their
// four sources, and one directory per run.
void MakeLibrary(const TempDir& dir) {
  fs::create_directories(dir.File("src"));
  fs::create_directories(dir.File("parts"));
  for (const char* name : {"bolts.src", "washers.src", "rails.src", "plates.src"}) {
    fs::copy_file(std::string(PARTSC_SOURCE_DIR) + "/examples/src/" + name,
                  dir.File("src/") + name);
  }
  std::string big = "$$PARTS !big!\n$$APG\n$TOP !T!\n";
  for (int i = 0; i < 300; ++i) {
    big += "$$SIZE \"S" + std::to_string(i) + "\"\np !A! (" + std::to_string(i) + ") \"a\"\n";
  }
  WriteFile(dir.File("src/big.src"), big + "$$END\n");
  WriteFile(dir.File("ORVA.SET"), "#PARTS:CTL# = .\n#PARTS:INP# = src\n#PARTS:BIN# = parts\n");
  WriteFile(dir.File("A.CTL"), "bolts.src\nwashers.src\nrails.src\nbig.src\n");
  WriteFile(dir.File("B.CTL"), "big.src\nrails.src\nplates.src\nbolts.src\n");
  for (int i = 0; i < kRuns; ++i) {
    fs::create_directories(dir.File("run" + std::to_string(i)));
  }
}

ProcessOptions ListEveryPartsFile(const TempDir& dir) {
  return {{"-C", dir.File("parts"), "--list", "bolt.prt", "WASHER.PRT", "RAIL.PRT", "big.prt",
           "PLATE.PRT"},
          "",
          "",
          {},
          {}};
}

TEST(ParallelRuns, RunsThatShareSourcesNeverDestroyEachOthersFiles) {
  // Every run in the default mode, every one with --atomic, and both kinds.
  for (const std::string mode : {"default", "--atomic", "mixed"}) {
    SCOPED_TRACE(mode);
    const bool atomic = mode == "--atomic";
    TempDir dir;
    MakeLibrary(dir);
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < kRounds; ++round) {
      std::vector<StartedProcess> runs;
      for (int i = 0; i < kRuns; ++i) {
        runs.push_back(
            StartProcess(PARTSC_BINARY,
                         {{"-C", dir.File("run" + std::to_string(i)), "-p", "../ORVA.SET", "-q",
                           "--strict", atomic || (mode == "mixed" && i / 2 % 2) ? "--atomic" : "-q",
                           "-c", i % 2 ? "B.CTL" : "A.CTL"},
                          "",
                          "",
                          {},
                          {}}));
      }
      // Once every parts file exists, a reader beside the writers; only
      // --atomic promises that it never meets a partial file.
      StartedProcess reader = StartProcess(PARTSC_BINARY, ListEveryPartsFile(dir));
      for (int i = 0; i < kRuns; ++i) {
        SCOPED_TRACE("round " + std::to_string(round) + ", run " + std::to_string(i));
        const ProcessResult run = WaitProcess(runs[static_cast<size_t>(i)]);
        EXPECT_EQ(run.exitCode, 0);
        // rails.src, named by its progress line only now (-q).
        EXPECT_EQ(run.out, "\n  Input file name\t\t" + dir.File("run" + std::to_string(i)) +
                               "/../src/rails.src\n\t*** W *** Keyword $$END not found[18]\n");
        EXPECT_EQ(run.err, "");
        const std::string runLog = ReadFile(dir.File("run" + std::to_string(i) + "/TALVIREN.LOG"));
        EXPECT_EQ(ReplaceAll(runLog, "\n$$END\n", "").size() + 4 * 7, runLog.size());
      }
      const ProcessResult read = WaitProcess(reader);
      EXPECT_TRUE(!atomic || round == 0 || read.exitCode == 0) << read.err;
    }
    std::printf("[ parallel ] %s: %d rounds of %d runs in %.2f s\n", mode.c_str(), kRounds, kRuns,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    const ProcessResult list = RunProcess(PARTSC_BINARY, ListEveryPartsFile(dir));
    EXPECT_EQ(list.exitCode, 0) << list.err;
    for (const auto& entry : fs::directory_iterator(dir.File("parts"))) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name.find(".new-") == std::string::npos &&
                  name.find(".old-") == std::string::npos)
          << name;
    }
  }
}

// A source of `sizes` sizes whose titles are too long: a warning in the
// error log for each size.
std::string LongSource(const std::string& name, int sizes) {
  std::string text = "$$PARTS !" + name + "!\n$$APG\n$TOP !T!\n";
  for (int i = 0; i < sizes; ++i) {
    text += "$$SIZE \"S" + std::to_string(i) + "\" !a size title of more than 32 characters!\n" +
            "p !A! (" + std::to_string(i) + ")\n";
  }
  return text + "$$END\n";
}

TEST(ParallelRuns, TwoJobsInOneDirectoryKeepTheirOwnLogs) {
  constexpr int kJobRounds = 10;
  TempDir dir;
  const std::vector<std::string> jobs = {"a", "b"};
  for (const std::string& job : jobs) {
    WriteFile(dir.File(job + ".src"), LongSource(job, 200));
    WriteFile(dir.File(job + ".CTL"), job + ".src\n");
  }
  const auto args = [](const std::string& job) {
    return std::vector<std::string>{"-q",         "-c",          job + ".CTL", "--run-log",
                                    job + ".run", "--error-log", job + ".err"};
  };
  // What each job gives alone.
  std::map<std::string, std::string> runLog;
  std::map<std::string, std::string> errorLog;
  for (const std::string& job : jobs) {
    ASSERT_EQ(RunPartsc(dir.path(), args(job)).exitCode, 0);
    runLog[job] = ReadFile(dir.File(job + ".run"));
    errorLog[job] = ReadFile(dir.File(job + ".err"));
    fs::remove(dir.File(job + ".err"));
    EXPECT_NE(runLog[job].find("/ PARTS FILE NAME : " + dir.File(job + ".prt")), std::string::npos);
    EXPECT_NE(errorLog[job].find("Input File [" + dir.File(job + ".src") + "]"), std::string::npos);
  }
  for (int round = 0; round < kJobRounds; ++round) {
    std::vector<StartedProcess> runs;
    for (const std::string& job : jobs) {
      runs.push_back(StartProcess(
          PARTSC_BINARY, {args(job), dir.path(), "", {{"SOURCE_DATE_EPOCH", "1700000000"}}, {}}));
    }
    for (size_t i = 0; i < jobs.size(); ++i) {
      EXPECT_EQ(WaitProcess(runs[i]).exitCode, 0);
      EXPECT_EQ(ReadFile(dir.File(jobs[i] + ".run")), runLog[jobs[i]]);
    }
  }
  for (const std::string& job : jobs) {
    std::string appended;
    for (int round = 0; round < kJobRounds; ++round) {
      appended += errorLog[job];
    }
    EXPECT_EQ(ReadFile(dir.File(job + ".err")), appended);
  }
  EXPECT_FALSE(fs::exists(dir.File("TALVIREN.LOG")));
  EXPECT_FALSE(fs::exists(dir.File("a.CTL.LOG")) || fs::exists(dir.File("b.CTL.LOG")));
}

}  // namespace
}  // namespace partsc::testing
