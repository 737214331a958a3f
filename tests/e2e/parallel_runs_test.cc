// Runs in parallel over two control files that share their sources: none
// destroys another's parts file, in the default mode and with --atomic, and
// with --atomic a reader never sees a partial file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace partsc::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kRuns = 8;
constexpr int kRounds = 25;
const std::vector<std::string> kPartsFiles = {"bolt.prt", "WASHER.PRT", "RAIL.PRT", "big.prt",
                                              "PLATE.PRT"};

// A source whose parts file takes long enough to write and read back that
// runs overlap on it.
std::string BigSource() {
  std::string text = "$$PARTS !big!\n$$APG\n$TOP !T!\n";
  for (int i = 0; i < 300; ++i) {
    const std::string n = std::to_string(i);
    text += "$$SIZE \"S" + n + "\"\np !A! (" + n + ") \"first\"\ns <5,0>\"PLAIN" + n + "\"\n";
  }
  return text + "$$END\n";
}

// The library: sources in src/, parts files in parts/, A.CTL and B.CTL
// sharing three of their four sources, and one directory per run.
void MakeLibrary(const TempDir& dir) {
  const std::string examples = std::string(PARTSC_SOURCE_DIR) + "/examples/src/";
  fs::create_directories(dir.File("src"));
  fs::create_directories(dir.File("parts"));
  for (const char* name : {"bolts.src", "washers.src", "rails.src", "plates.src"}) {
    fs::copy_file(examples + name, dir.File("src/") + name);
  }
  WriteFile(dir.File("src/big.src"), BigSource());
  WriteFile(dir.File("ORVA.SET"), "#PARTS:CTL# = .\n#PARTS:INP# = src\n#PARTS:BIN# = parts\n");
  WriteFile(dir.File("A.CTL"), "bolts.src\nwashers.src\nrails.src\nbig.src\n");
  WriteFile(dir.File("B.CTL"), "big.src\nrails.src\nplates.src\nbolts.src\n");
  for (int i = 0; i < kRuns; ++i) {
    fs::create_directories(dir.File("run" + std::to_string(i)));
  }
}

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

ProcessOptions ListEveryPartsFile(const TempDir& dir) {
  ProcessOptions options{{"-C", dir.File("parts"), "--list"}, "", "", {}, {}};
  options.args.insert(options.args.end(), kPartsFiles.begin(), kPartsFiles.end());
  return options;
}

TEST(ParallelRuns, RunsThatShareSourcesNeverDestroyEachOthersFiles) {
  for (const std::vector<std::string>& mode :
       {std::vector<std::string>{}, std::vector<std::string>{"--atomic"}}) {
    const bool atomic = !mode.empty();
    SCOPED_TRACE(atomic ? "--atomic" : "default mode");
    TempDir dir;
    MakeLibrary(dir);
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < kRounds; ++round) {
      std::vector<StartedProcess> runs;
      for (int i = 0; i < kRuns; ++i) {
        ProcessOptions options{{"-C", dir.File("run" + std::to_string(i)), "-p", "../ORVA.SET",
                                "-q", "--strict", "-c", i % 2 == 0 ? "A.CTL" : "B.CTL"},
                               "",
                               "",
                               {},
                               {}};
        options.args.insert(options.args.end(), mode.begin(), mode.end());
        runs.push_back(StartProcess(PARTSC_BINARY, options));
      }
      // Once every parts file exists, a reader beside the writers; only
      // --atomic promises that it never meets a partial file.
      std::vector<StartedProcess> readers;
      if (round > 0) {
        readers.push_back(StartProcess(PARTSC_BINARY, ListEveryPartsFile(dir)));
      }
      for (int i = 0; i < kRuns; ++i) {
        const ProcessResult run = WaitProcess(runs[static_cast<size_t>(i)]);
        SCOPED_TRACE("round " + std::to_string(round) + ", run " + std::to_string(i));
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, "\t*** W *** Keyword $$END not found[18]\n");  // rails.src
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(
            Count(ReadFile(dir.File("run" + std::to_string(i) + "/TALVIREN.LOG")), "\n$$END\n"),
            4u);
      }
      for (StartedProcess& reader : readers) {
        const ProcessResult read = WaitProcess(reader);
        if (atomic) {
          EXPECT_EQ(read.exitCode, 0) << read.err;
        }
      }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("[ parallel ] %s: %d rounds of %d runs in %.2f s\n",
                atomic ? "--atomic" : "default mode", kRounds, kRuns, seconds);
    const ProcessResult list = RunProcess(PARTSC_BINARY, ListEveryPartsFile(dir));
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(list.err, "");
    for (const auto& entry : fs::directory_iterator(dir.File("parts"))) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name.find(".new-") == std::string::npos &&
                  name.find(".old-") == std::string::npos)
          << name;
    }
  }
}

}  // namespace
}  // namespace partsc::testing
