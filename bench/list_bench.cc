// partsc --list --format=json against the listing of the same file: the
// parts file of workload (a) of partsc_bench (2048 sizes x 64 members), each
// printed to a file by the whole driver in process, in turns, best of N.
//
//   partsc_list_bench [RUNS] [WORK_DIR] [PARTSC]
//
// Prints the best wall-clock and CPU (user + system) time of each form, the
// bytes it wrote and the ratio json / listing. Given the path of a partsc
// binary, it also times each form as a user runs it: a process of its own,
// its start and its first touch of memory included.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "cpu_clock.h"
#include "driver/run_driver.h"
#include "gen_library.h"
#include "platform/ov_console.h"

namespace partsc {
namespace {

namespace fs = std::filesystem;

struct Best {
  double wallMs = 1e300;
  double cpuMs = 1e300;
  uintmax_t bytes = 0;
};

// The argument vector of `args`, ended by a null pointer.
std::vector<char*> Argv(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  return argv;
}

// Runs partsc with `args`, its standard output into `outPath`.
int RunWithOutput(std::vector<std::string> args, const std::string& outPath) {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (saved < 0 || out < 0 || dup2(out, STDOUT_FILENO) < 0) {
    throw std::runtime_error("cannot redirect standard output to " + outPath);
  }
  close(out);
  std::vector<char*> argv = Argv(args);
  OvConsole console;
  const int status = RunPartsc(static_cast<int>(args.size()), argv.data(), console);
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  return status;
}

void Measure(const std::vector<std::string>& args, const std::string& outPath, Best& best) {
  const auto start = std::chrono::steady_clock::now();
  const double cpu = bench::CpuMilliseconds();
  if (RunWithOutput(args, outPath) != 0) {
    throw std::runtime_error("partsc " + args[1] + " failed");
  }
  const double wall =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  best.wallMs = std::min(best.wallMs, wall);
  best.cpuMs = std::min(best.cpuMs, bench::CpuMilliseconds() - cpu);
  best.bytes = fs::file_size(outPath);
}

// Runs the binary `partsc` with `args` as a process of its own, its
// standard output into `outPath`.
void MeasureProcess(const std::string& partsc, std::vector<std::string> args,
                    const std::string& outPath, Best& best) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0666);
  args.front() = partsc;
  std::vector<char*> argv = Argv(args);
  const auto start = std::chrono::steady_clock::now();
  pid_t child = -1;
  const int spawned = posix_spawn(&child, partsc.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  if (spawned != 0 || wait4(child, &status, 0, &usage) != child || status != 0) {
    throw std::runtime_error(partsc + " " + args[1] + " failed");
  }
  const double wall =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  best.wallMs = std::min(best.wallMs, wall);
  best.cpuMs = std::min(best.cpuMs, ms(usage.ru_utime) + ms(usage.ru_stime));
  best.bytes = fs::file_size(outPath);
}

void Report(const char* title, int runs, const Best& listing, const Best& json) {
  std::printf("%s, best of %d\n", title, runs);
  std::printf("%-22s %10s %10s %12s\n", "", "wall ms", "cpu ms", "bytes out");
  std::printf("%-22s %10.1f %10.1f %12ju\n", "--list", listing.wallMs, listing.cpuMs,
              listing.bytes);
  std::printf("%-22s %10.1f %10.1f %12ju\n", "--list --format=json", json.wallMs, json.cpuMs,
              json.bytes);
  std::printf("json / listing: wall %.2f, cpu %.2f\n", json.wallMs / listing.wallMs,
              json.cpuMs / listing.cpuMs);
}

int Main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const std::string dir =
      argc > 2 ? argv[2] : (fs::temp_directory_path() / "partsc-list-bench").string();
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  const bench::Library library = bench::GenerateLibrary(dir, {1, 2048, 64, 2000, 2});
  fs::current_path(dir);
  if (RunWithOutput({"partsc", "-p" + library.settingsName, "-q", "-c", library.controlName},
                    "compile.out") != 0) {
    throw std::runtime_error("the compile of the library failed");
  }
  std::string parts;
  for (const auto& entry : fs::directory_iterator(fs::path(dir) / "parts")) {
    parts = entry.path().string();
  }
  const std::vector<std::string> listArgs = {"partsc", "--list", parts};
  const std::vector<std::string> jsonArgs = {"partsc", "--list", "--format=json", parts};
  Best listing;
  Best json;
  for (int i = 0; i < runs; ++i) {
    Measure(listArgs, "listing.out", listing);
    Measure(jsonArgs, "json.out", json);
  }
  std::printf("%s: %ju bytes\n", parts.c_str(), static_cast<uintmax_t>(fs::file_size(parts)));
  Report("in this process", runs, listing, json);
  if (argc > 3) {
    Best listingProcess;
    Best jsonProcess;
    for (int i = 0; i < runs; ++i) {
      MeasureProcess(argv[3], listArgs, "listing.out", listingProcess);
      MeasureProcess(argv[3], jsonArgs, "json.out", jsonProcess);
    }
    Report("each a process of its own", runs, listingProcess, jsonProcess);
  }
  return 0;
}

}  // namespace
}  // namespace partsc

int main(int argc, char** argv) {
  try {
    return partsc::Main(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "partsc_list_bench: %s\n", e.what());
    return 1;
  }
}
