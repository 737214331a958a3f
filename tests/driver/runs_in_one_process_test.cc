// Runs in one process share nothing: a compile, a --list and a --decompile
// give the same in any order.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
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
        return RunIn(
            dir, {"-q", "-Wall", "-Werror", "--diagnostics-format=json", "--list", "RAIL.PRT"}, "");
      case kDecompile:
        break;
    }
    return RunIn(dir, {"-q", "--diagnostics-format=gnu", "--decompile", "RAIL.PRT"}, "");
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

}  // namespace
}  // namespace partsc::testing
