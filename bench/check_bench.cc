// --check against a whole run of partsc on a generated library of 2,000
// sources: the same sources compiled, once written, backed up, read back and
// listed, once in memory only. Both run in process (RunPartsc, the function
// main calls) with a console in memory, in turns, on warm files; the whole
// run is measured as a rebuild, with every parts file and its backup already
// there. Prints the best of several runs of each.
//
//   partsc_check_bench [--runs N] [--work DIR] [--keep]
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "cpu_clock.h"
#include "driver/run_driver.h"
#include "gen_library.h"
#include "platform/ov_console.h"

namespace partsc::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr LibraryShape kShape{2000, 4, 16, 8, 2};

struct Figures {
  double milliseconds = 1e300;
  double cpuMilliseconds = 1e300;
};

// One run of partsc in `dir` with `args`; keeps the better figures.
int Run(const std::string& dir, std::vector<std::string> args, Figures& best) {
  args.insert(args.begin(), "partsc");
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  OvConsole console(OvConsole::InMemory{});
  const double cpuStart = CpuMilliseconds();
  const Clock::time_point start = Clock::now();
  const int status = RunPartsc(static_cast<int>(args.size()), argv.data(), console, dir);
  const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  best.milliseconds = std::min(best.milliseconds, wall);
  best.cpuMilliseconds = std::min(best.cpuMilliseconds, CpuMilliseconds() - cpuStart);
  return status;
}

int Measure(const std::string& work, int runs) {
  const Library library = GenerateLibrary(work, kShape);
  const std::vector<std::string> run = {"-pORVA.SET", "-q", "-c", library.controlName};
  std::vector<std::string> check = run;
  check.insert(check.begin(), "--check");
  Figures ignored;
  // Two runs first, so that every parts file and its backup are there.
  if (Run(work, run, ignored) != 0 || Run(work, run, ignored) != 0 ||
      Run(work, check, ignored) != 0) {
    std::fprintf(stderr, "partsc_check_bench: the library does not compile cleanly\n");
    return 1;
  }
  Figures whole;
  Figures checked;
  for (int i = 0; i < runs; ++i) {
    Run(work, run, whole);
    Run(work, check, checked);
  }
  std::printf(
      "--check against a whole run: %d sources (%d sizes x %d members, %d macros),"
      " %.2f MB of source, best of %d\n\n",
      kShape.sources, kShape.sizesPerSource, kShape.membersPerSize, kShape.macrosPerSource,
      static_cast<double>(library.sourceBytes) / 1e6, runs);
  std::printf("                        wall ms    cpu ms\n");
  std::printf("whole run (a rebuild) %9.1f %9.1f\n", whole.milliseconds, whole.cpuMilliseconds);
  std::printf("--check               %9.1f %9.1f\n", checked.milliseconds, checked.cpuMilliseconds);
  std::printf("whole run / --check   %9.2f %9.2f\n", whole.milliseconds / checked.milliseconds,
              whole.cpuMilliseconds / checked.cpuMilliseconds);
  return 0;
}

}  // namespace
}  // namespace partsc::bench

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  int runs = 5;
  std::string work = (fs::temp_directory_path() / "partsc-check-bench").string();
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--work" && i + 1 < argc) {
      work = argv[++i];
    } else if (arg == "--keep") {
      keep = true;
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--work DIR] [--keep]\n", argv[0]);
      return 2;
    }
  }
  int status = 1;
  try {
    status = partsc::bench::Measure(work, runs);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "partsc_check_bench: %s\n", error.what());
  }
  if (!keep) {
    std::error_code ignored;
    fs::remove_all(work, ignored);
  }
  return status;
}
