// Runs in one process share nothing: a compile, a --list and a --decompile
// give the same in any order, and runs on several threads at once give what
// each gives alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "driver/run_driver.h"
#include "platform/ov_console.h"
#include "support/test_support.h"

namespace partsc::testing {
namespace {

namespace fs = std::filesystem;

// Everything a run leaves: its exit status, its console and every file of its
// directory with its bytes.
struct RunResult {
  int status = 0;
  std::string out;
  std::string err;
  std::map<std::string, std::string> files;
  bool operator==(const RunResult&) const = default;
};

void PrintTo(const RunResult& r, std::ostream* os) {
  *os << "status " << r.status << "\n--- out:\n" << r.out << "--- err:\n" << r.err;
  for (const auto& [name, bytes] : r.files) {
    *os << "--- " << name << " (" << bytes.size() << " bytes):\n"
        << (name.ends_with(".prt") || name.ends_with(".PRT") || name.ends_with(".OLD") ||
                    name.ends_with(".old")
                ? std::string("(binary)\n")
                : bytes);
  }
}

RunResult RunIn(const std::string& dir, std::vector<std::string> args, const std::string& input) {
  args.insert(args.begin(), "partsc");
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  OvConsole console(OvConsole::InMemory{input});
  RunResult result;
  result.status = RunPartsc(static_cast<int>(args.size()), argv.data(), console, dir);
  // The directory differs from run to run; the texts name it DIR.
  result.out = ReplaceAll(console.OutText(), dir, "DIR");
  result.err = ReplaceAll(console.ErrText(), dir, "DIR");
  for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
    result.files[entry.path().filename().string()] =
        ReplaceAll(ReadFile(entry.path().string()), dir, "DIR");
  }
  return result;
}

class RunsInOneProcess : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { setenv("SOURCE_DATE_EPOCH", "1700000000", 1); }
};

// A compile, a --list and a --decompile of the same parts file, one after the
// other in one process: each gives what it gives alone, in every order.
TEST_F(RunsInOneProcess, CompileListAndDecompileInAnyOrder) {
  const std::string examples = std::string(PARTSC_SOURCE_DIR) + "/examples/src/";
  const std::string source = ReadFile(examples + "rails.src");
  enum Action { kCompile, kList, kDecompile };
  const auto run = [&](const std::string& dir, Action action) {
    switch (action) {
      case kCompile:
        return RunIn(dir, {"-c", "RUN.CTL"}, "");
      case kList:
        return RunIn(dir, {"-q", "--format=listing", "--list", "RAIL.PRT"}, "");
      case kDecompile:
        break;
    }
    return RunIn(dir, {"-q", "-C", ".", "--decompile", "RAIL.PRT"}, "");
  };
  // The compile shows its progress and its warning as the error log has it;
  // were an option of the others kept, it would not.
  // Each directory starts with the source, its control file and the parts
  // file a compile of it writes.
  const auto prepare = [&](const TempDir& dir) {
    WriteFile(dir.File("rails.src"), source);
    WriteFile(dir.File("RUN.CTL"), "rails.src\n");
    TempDir first;
    WriteFile(first.File("rails.src"), source);
    WriteFile(first.File("RUN.CTL"), "rails.src\n");
    ASSERT_EQ(run(first.path(), kCompile).status, 0);
    WriteFile(dir.File("RAIL.PRT"), ReadFile(first.File("RAIL.PRT")));
  };
  std::array<RunResult, 3> alone;
  for (const Action action : {kCompile, kList, kDecompile}) {
    TempDir dir;
    prepare(dir);
    alone[action] = run(dir.path(), action);
  }
  EXPECT_NE(alone[kCompile].out.find("Input file name"), std::string::npos);
  EXPECT_NE(alone[kList].out.find("$$PARTS\t!RAIL!"), std::string::npos);
  EXPECT_NE(alone[kDecompile].out.find("$$PARTS !RAIL!"), std::string::npos);

  std::array<Action, 3> order = {kCompile, kDecompile, kList};
  std::sort(order.begin(), order.end());
  do {
    TempDir dir;
    prepare(dir);
    for (const Action action : order) {
      RunResult result = run(dir.path(), action);
      RunResult expected = alone[action];
      // Only the compile writes; the files the others see are not theirs.
      if (action != kCompile) {
        result.files.clear();
        expected.files.clear();
      }
      EXPECT_EQ(result, expected) << "action " << action << " in the order " << order[0] << order[1]
                                  << order[2];
    }
  } while (std::next_permutation(order.begin(), order.end()));
}

// Eight different sources: the example library (one of them with mistakes)
// and three generated ones, the last of them broken part way.
std::vector<std::pair<std::string, std::string>> EightSources() {
  const std::string examples = std::string(PARTSC_SOURCE_DIR) + "/examples/src/";
  std::vector<std::pair<std::string, std::string>> sources;
  for (const char* name : {"bolts.src", "washers.src", "rails.src", "plates.src", "brackets.src"}) {
    sources.emplace_back(name, ReadFile(examples + name));
  }
  for (int i = 0; i < 3; ++i) {
    std::string text =
        "$$PARTS !gen" + std::to_string(i) + "! <1,2> \"generated\"\n$$APG\n$TOP !T!\n";
    for (int size = 0; size < 10 + 5 * i; ++size) {
      text += "$$SIZE \"S" + std::to_string(size) + "\"\n";
      for (int member = 0; member < 6; ++member) {
        text += "p !P" + std::to_string(member) + "! (" + std::to_string(size * member) + ")\n";
      }
      if (i == 2 && size == 12) {
        text += "s <1,1 \"MAT\"\n";
      }
    }
    sources.emplace_back("gen" + std::to_string(i) + ".src", text + "$$END\n");
  }
  return sources;
}

// One job: the source compiled in a directory of its own, with its
// diagnostics also as JSON lines, then each parts file it wrote listed.
std::vector<RunResult> CompileAndList(const std::pair<std::string, std::string>& source) {
  TempDir dir;
  WriteFile(dir.File(source.first), source.second);
  WriteFile(dir.File("RUN.CTL"), source.first + "\n");
  std::vector<RunResult> results;
  results.push_back(RunIn(dir.path(), {"-Wall", "--diagnostics-format=json", "-c", "RUN.CTL"}, ""));
  const std::map<std::string, std::string> compiled = results.front().files;
  for (const auto& [name, bytes] : compiled) {
    if (name.ends_with(".prt") || name.ends_with(".PRT")) {
      RunResult listed = RunIn(dir.path(), {"-q", "--list", name}, "");
      listed.files.clear();  // the directory the compile left
      results.push_back(listed);
    }
  }
  return results;
}

// Eight sources compiled and listed on four threads at once, fifty times
// each, give the same parts files, run logs, error logs, console and
// diagnostics as each gives alone.
TEST_F(RunsInOneProcess, EightSourcesOnFourThreadsGiveWhatEachGivesAlone) {
  const std::vector<std::pair<std::string, std::string>> sources = EightSources();
  std::vector<std::vector<RunResult>> alone;
  for (const auto& source : sources) {
    alone.push_back(CompileAndList(source));
  }
  ASSERT_EQ(alone[4].front().status, 0);
  EXPECT_NE(alone[4].front().err.find("\"partsc-"), std::string::npos) << alone[4].front().err;
  EXPECT_NE(alone[7].front().files.at("RUN.CTL.LOG").find("*** "), std::string::npos);
  constexpr int kThreads = 4;
  constexpr int kRounds = 50;
  const int jobs = static_cast<int>(sources.size()) * kRounds;
  std::atomic<int> next{0};
  std::vector<std::vector<int>> differing(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int job = next++; job < jobs; job = next++) {
        const size_t which = static_cast<size_t>(job) % sources.size();
        if (CompileAndList(sources[which]) != alone[which]) {
          differing[t].push_back(job);
        }
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_TRUE(differing[t].empty()) << "thread " << t << ": " << differing[t].size()
                                      << " jobs differ, the first " << differing[t].front();
  }
}

}  // namespace
}  // namespace partsc::testing
