// partsc against the I/O floor on synthetic libraries.
//
// For each workload the generator writes a library; then, in fresh child
// processes (this program started again, so that each peak RSS belongs to one
// measurement), it times
//   - the floor: every source read twice line by line with OvFileIO::Fgets
//     and a buffer of 80, as the compile passes read it, and as many bytes
//     written, file by file, as partsc writes (parts files, run log, error
//     log and console);
//   - partsc: the whole driver (RunPartsc, in process) on the library, with
//     the control file name on standard input and the console redirected to
//     a file.
//   - the list floor: the floor, but with each parts file written and read
//     back the way partsc must do it: one write per member list (a failed
//     write is reported at its own list), then the file read back whole in
//     one read. It shows how much of partsc's time is that file pattern
//     rather than its own work;
//   - for workload (d), partsc --atomic beside partsc, both over parts files
//     and backups that already exist (so that each file is replaced and
//     each older backup freed).
// Each figure is the best of several runs on warm files. Prints one table.
//
//   partsc_bench [--quick] [--runs N] [--work DIR] [--only LIST] [--keep]
//
// LIST holds the workload letters to run, e.g. "ab" (default "abcd"). The
// generated libraries go under DIR and are removed at the end unless --keep.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cpu_clock.h"
#include "driver/run_driver.h"
#include "platform/ov_file_bytes.h"
#include "gen_library.h"
#include "partsfile/parts_decoder.h"
#include "platform/ov_console.h"
#include "platform/ov_file_io.h"

namespace partsc::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kPlanName = "floor.plan";
constexpr const char* kConsoleName = "console.txt";
constexpr const char* kStdinName = "stdin.txt";
constexpr const char* kRunLogName = "TALVIREN.LOG";
constexpr const char* kFloorDir = "floor-out";
constexpr int kWriteChunk = 64 * 1024;

// What one child measured.
struct Figures {
  int status = -1;
  double milliseconds = 0;     // wall clock
  double cpuMilliseconds = 0;  // user and system time of the process
  long rssBeforeKb = 0;        // peak RSS before the measured work began
  long rssPeakKb = 0;          // peak RSS at its end
};

// The peak resident set of this process image, in KiB. getrusage's
// ru_maxrss also keeps the peak of the image that exec replaced (here the
// benchmark's own parent copy), so the per-image VmHWM of /proc is taken when
// the system has it.
long PeakRssKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      return std::atol(line.c_str() + 6);
    }
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void WriteFigures(const std::string& path, const Figures& figures) {
  std::ofstream out(path, std::ios::trunc);
  out << figures.status << ' ' << figures.milliseconds << ' ' << figures.cpuMilliseconds << ' '
      << figures.rssBeforeKb << ' ' << figures.rssPeakKb << '\n';
}

Figures ReadFigures(const std::string& path) {
  Figures figures;
  std::ifstream in(path);
  if (!(in >> figures.status >> figures.milliseconds >> figures.cpuMilliseconds >>
        figures.rssBeforeKb >> figures.rssPeakKb)) {
    throw std::runtime_error("no figures from the child in " + path);
  }
  return figures;
}

// ---- children -------------------------------------------------------------

// One source of the floor's plan: its path, the bytes of the parts file
// partsc wrote for it, and where that file's member lists start, in the
// order the listing reads them.
struct PlannedSource {
  std::string path;
  int64_t bytes = 0;
  std::vector<int64_t> lists;
};

// The floor's plan: the sources in order, then the bytes of each further
// file partsc wrote.
struct FloorPlan {
  std::vector<PlannedSource> sources;
  std::vector<int64_t> extraFiles;
};

void WritePlan(const std::string& path, const FloorPlan& plan) {
  std::ofstream out(path, std::ios::trunc);
  for (const PlannedSource& source : plan.sources) {
    out << "source\t" << source.bytes << '\t' << source.path << '\n';
    out << "lists\t" << source.lists.size();
    for (const int64_t list : source.lists) {
      out << ' ' << list;
    }
    out << '\n';
  }
  for (const int64_t bytes : plan.extraFiles) {
    out << "extra\t" << bytes << '\n';
  }
}

FloorPlan ReadPlan(const std::string& path) {
  FloorPlan plan;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string kind;
    int64_t bytes = 0;
    fields >> kind >> bytes;
    if (kind == "source") {
      PlannedSource source;
      source.bytes = bytes;
      fields.get();
      std::getline(fields, source.path);
      plan.sources.push_back(source);
    } else if (kind == "lists" && !plan.sources.empty()) {
      // `bytes` is the count of lists here.
      std::vector<int64_t>& lists = plan.sources.back().lists;
      for (int64_t list = 0; lists.size() < static_cast<size_t>(bytes) && fields >> list;) {
        lists.push_back(list);
      }
    } else if (kind == "extra") {
      plan.extraFiles.push_back(bytes);
    }
  }
  return plan;
}

// Reads a text file twice, line by line, as the two compile passes do.
int64_t ReadTwice(const std::string& path) {
  OvFileIO input;
  if (!input.Fopen(path, "r")) {
    throw std::runtime_error("floor: cannot open " + path);
  }
  int64_t characters = 0;
  std::string line;
  for (int pass = 0; pass < 2; ++pass) {
    input.Fseek(0, kSeekStart);
    while (input.Fgets(line, 80)) {
      characters += static_cast<int64_t>(line.size());
    }
  }
  input.Fclose();
  return characters;
}

void WriteBytes(const std::string& path, int64_t bytes, const std::vector<char>& chunk) {
  OvFileIO output;
  if (!output.Open(path, kOpenPartsWrite, kOpenPermission)) {
    throw std::runtime_error("floor: cannot create " + path);
  }
  while (bytes > 0) {
    const int count = static_cast<int>(std::min<int64_t>(bytes, kWriteChunk));
    if (output.Write(chunk.data(), count) != count) {
      throw std::runtime_error("floor: short write to " + path);
    }
    bytes -= count;
  }
  output.Close();
}

// Times `work`, which answers the status of what it did.
template <class Work>
Figures Measured(Work work) {
  Figures figures;
  figures.rssBeforeKb = PeakRssKb();
  const double cpuStart = CpuMilliseconds();
  const auto start = Clock::now();
  figures.status = work();
  figures.milliseconds = MillisecondsSince(start);
  figures.cpuMilliseconds = CpuMilliseconds() - cpuStart;
  figures.rssPeakKb = PeakRssKb();
  return figures;
}

// Writes a parts file's bytes as partsc does, the part before the first
// member list at once and then one write per list, and reads the file back
// whole in one read, as the listing does.
void WriteAndReadByLists(const std::string& path, const PlannedSource& source,
                         const std::vector<char>& chunk) {
  std::vector<int64_t> starts = source.lists;
  std::sort(starts.begin(), starts.end());
  starts.push_back(source.bytes);
  OvFileIO file;
  if (!file.Open(path, kOpenPartsWrite, kOpenPermission)) {
    throw std::runtime_error("list floor: cannot create " + path);
  }
  int64_t at = 0;
  for (const int64_t end : starts) {
    while (at < end) {
      const int count = static_cast<int>(std::min<int64_t>(end - at, kWriteChunk));
      if (file.Write(chunk.data(), count) != count) {
        throw std::runtime_error("list floor: short write to " + path);
      }
      at += count;
    }
  }
  file.Close();
  if (!file.Open(path, kOpenPartsRead, kOpenPermission)) {
    throw std::runtime_error("list floor: cannot open " + path);
  }
  std::vector<char> whole(static_cast<size_t>(source.bytes));
  const auto count = static_cast<int>(source.bytes);
  if (file.Read(whole.data(), count) != count) {
    throw std::runtime_error("list floor: short read of " + path);
  }
  file.Close();
}

// The floor, or with `byLists` the list floor.
Figures RunFloor(bool byLists) {
  const FloorPlan plan = ReadPlan(kPlanName);
  const std::vector<char> chunk(kWriteChunk, 'x');
  return Measured([&] {
    int64_t characters = 0;
    int file = 0;
    for (const PlannedSource& source : plan.sources) {
      characters += ReadTwice(source.path);
      const std::string path = std::string(kFloorDir) + "/" + std::to_string(file++);
      if (byLists) {
        WriteAndReadByLists(path, source, chunk);
      } else {
        WriteBytes(path, source.bytes, chunk);
      }
    }
    for (const int64_t bytes : plan.extraFiles) {
      WriteBytes(std::string(kFloorDir) + "/" + std::to_string(file++), bytes, chunk);
    }
    return characters > 0 ? 0 : 1;
  });
}

// Standard input from the file holding the control file name; standard
// output (the console) into a file.
void RedirectConsole() {
  const int in = open(kStdinName, O_RDONLY | O_CLOEXEC);
  const int out = open(kConsoleName, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (in < 0 || out < 0 || dup2(in, STDIN_FILENO) < 0 || dup2(out, STDOUT_FILENO) < 0) {
    throw std::runtime_error("cannot redirect the console");
  }
  close(in);
  close(out);
}

Figures RunPartscInProcess(const std::string& settingsName, bool atomic) {
  RedirectConsole();
  // As the program's main: files are mapped under the guard.
  OvFileBytes::InstallGuard();
  std::string program = "partsc";
  std::string settings = "-p" + settingsName;
  std::string atomicOption = "--atomic";
  char* argv[] = {program.data(), settings.data(), atomic ? atomicOption.data() : nullptr, nullptr};
  return Measured([&] {
    OvConsole console;
    const int status = RunPartsc(atomic ? 3 : 2, argv, console);
    std::fflush(stdout);
    return status;
  });
}

int ChildMain(const std::string& what, const std::string& dir, const std::string& resultPath) {
  try {
    fs::current_path(dir);
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    const bool partsc = what == "partsc" || what == "partsc-atomic";
    const Figures figures = partsc ? RunPartscInProcess("ORVA.SET", what == "partsc-atomic")
                                   : RunFloor(what == "list-floor");
    WriteFigures(resultPath, figures);
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "child %s: %s\n", what.c_str(), error.what());
    return 1;
  }
}

// ---- parent ---------------------------------------------------------------

Figures RunChild(const std::string& self, const std::string& what, const std::string& dir) {
  const std::string resultPath = (fs::path(dir) / ("result-" + what + ".txt")).string();
  fs::remove(resultPath);
  const pid_t pid = fork();
  if (pid < 0) {
    throw std::runtime_error("fork failed");
  }
  if (pid == 0) {
    execl(self.c_str(), self.c_str(), "--child", what.c_str(), dir.c_str(), resultPath.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("the " + what + " child failed in " + dir);
  }
  return ReadFigures(resultPath);
}

int64_t FileBytes(const fs::path& path) {
  std::error_code error;
  const auto bytes = fs::file_size(path, error);
  return error ? 0 : static_cast<int64_t>(bytes);
}

// Moves the outputs of the last run aside, into a fresh directory under
// trash/, and leaves empty output directories. Files are only removed once a
// workload's measurements are over (EmptyTrash): a file system that has just
// freed thousands of files can take much longer to create the next ones,
// which would charge one measurement for the one before it.
void SetOutputsAside(const Library& library) {
  static int generation = 0;
  const fs::path root(library.dir);
  const fs::path trash = root / "trash" / std::to_string(++generation);
  fs::create_directories(trash);
  for (const std::string& name :
       {std::string("parts"), std::string(kFloorDir), std::string(kRunLogName),
        library.controlName + ".LOG", std::string(kConsoleName)}) {
    std::error_code missing;
    fs::rename(root / name, trash / name, missing);
  }
  fs::create_directories(root / "parts");
  fs::create_directories(root / kFloorDir);
  // The file system settles the renames now, not inside the next measurement.
  sync();
}

void EmptyTrash(const Library& library) {
  fs::remove_all(fs::path(library.dir) / "trash");
}

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Where the member lists of a parts file start, in the order the listing
// reads them: the common list, then each size's list in size-record order.
std::vector<int64_t> ListStarts(const std::string& partsPath) {
  const PartsModel model = DecodePartsFile(ReadWhole(partsPath));
  if (!model.read.Whole()) {
    throw std::runtime_error("cannot read the parts file " + partsPath);
  }
  std::vector<int64_t> lists;
  if (model.header.commonOffset != 0) {
    lists.push_back(model.header.commonOffset);
  }
  for (const PartsSize& size : model.sizes) {
    lists.push_back(size.record.memberOffset);
  }
  return lists;
}

// Checks the outputs of a partsc run and builds the floor's plan from them.
FloorPlan CheckedPlan(const Library& library, const Figures& run) {
  const fs::path root(library.dir);
  if (run.status != 0) {
    throw std::runtime_error("partsc ended with " + std::to_string(run.status));
  }
  const std::string errorLog = ReadWhole(root / (library.controlName + ".LOG"));
  if (errorLog.find("***") != std::string::npos) {
    throw std::runtime_error("partsc reported a diagnostic on the generated library");
  }
  FloorPlan plan;
  for (size_t i = 0; i < library.sourcePaths.size(); ++i) {
    const fs::path parts = root / "parts" / (library.partsNames[i] + ".prt");
    const int64_t bytes = FileBytes(parts);
    if (bytes == 0) {
      throw std::runtime_error("no parts file " + parts.string());
    }
    plan.sources.push_back({library.sourcePaths[i], bytes, ListStarts(parts.string())});
  }
  plan.extraFiles = {FileBytes(root / kRunLogName),
                     FileBytes(root / (library.controlName + ".LOG")),
                     FileBytes(root / kConsoleName)};
  return plan;
}

struct Workload {
  std::string label;
  std::string key;
  LibraryShape shape;
  bool atomic = false;  // also measure partsc --atomic
};

struct Result {
  Workload workload;
  int64_t sourceBytes = 0;
  int64_t writtenBytes = 0;
  Figures floor;
  Figures listFloor;
  Figures partsc;
  Figures atomic;     // partsc --atomic, where the workload asks for it
  Figures replacing;  // partsc in the default mode over existing files, beside it
};

Figures Best(const Figures& a, const Figures& b) {
  Figures best = a.milliseconds <= b.milliseconds ? a : b;
  best.cpuMilliseconds = std::min(a.cpuMilliseconds, b.cpuMilliseconds);
  best.rssPeakKb = std::max(a.rssPeakKb, b.rssPeakKb);
  best.rssBeforeKb = std::max(a.rssBeforeKb, b.rssBeforeKb);
  return best;
}

Result Measure(const std::string& self, const std::string& work, const Workload& workload,
               int runs) {
  std::fprintf(stderr, "  %s: generating...", workload.label.c_str());
  const Library library = GenerateLibrary((fs::path(work) / workload.key).string(), workload.shape);
  {
    std::ofstream stdinFile(fs::path(library.dir) / kStdinName, std::ios::trunc);
    stdinFile << library.controlName << '\n';
  }
  std::fprintf(stderr, " checking...");
  SetOutputsAside(library);
  const FloorPlan plan = CheckedPlan(library, RunChild(self, "partsc", library.dir));
  WritePlan((fs::path(library.dir) / kPlanName).string(), plan);

  Result result;
  result.workload = workload;
  result.sourceBytes = library.sourceBytes;
  for (const PlannedSource& source : plan.sources) {
    result.writtenBytes += source.bytes;
  }
  for (const int64_t bytes : plan.extraFiles) {
    result.writtenBytes += bytes;
  }
  std::fprintf(stderr, " measuring");
  for (int run = 0; run < runs; ++run) {
    SetOutputsAside(library);
    const Figures floor = RunChild(self, "floor", library.dir);
    SetOutputsAside(library);
    const Figures listFloor = RunChild(self, "list-floor", library.dir);
    SetOutputsAside(library);
    const Figures partsc = RunChild(self, "partsc", library.dir);
    if (partsc.status != 0) {
      throw std::runtime_error("partsc ended with " + std::to_string(partsc.status));
    }
    result.floor = run == 0 ? floor : Best(result.floor, floor);
    result.listFloor = run == 0 ? listFloor : Best(result.listFloor, listFloor);
    result.partsc = run == 0 ? partsc : Best(result.partsc, partsc);
    if (workload.atomic) {
      // Both over parts files and backups of the runs before, so that each
      // replaces the files and frees the older backups; each after the file
      // system has settled what came before it.
      RunChild(self, "partsc", library.dir);
      sync();
      const Figures replacing = RunChild(self, "partsc", library.dir);
      sync();
      const Figures atomic = RunChild(self, "partsc-atomic", library.dir);
      if (replacing.status != 0 || atomic.status != 0) {
        throw std::runtime_error("partsc or partsc --atomic did not end with 0");
      }
      result.replacing = run == 0 ? replacing : Best(result.replacing, replacing);
      result.atomic = run == 0 ? atomic : Best(result.atomic, atomic);
    }
    std::fprintf(stderr, ".");
  }
  EmptyTrash(library);
  std::fprintf(stderr, "\n");
  return result;
}

double Megabytes(int64_t bytes) {
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

double OwnMegabytes(const Figures& figures) {
  return (figures.rssPeakKb - figures.rssBeforeKb) / 1024.0;
}

double Ratio(double partsc, double floor) {
  return partsc / std::max(floor, 1e-6);
}

void PrintTable(const std::vector<Result>& results) {
  std::printf("%-33s %6s %7s %7s %7s %7s %7s %6s %6s %7s %6s %6s %6s\n", "", "source", "written",
              "floor", "partsc", "floor", "partsc", "ratio", "ratio", "source", "floor", "partsc",
              "partsc");
  std::printf("%-33s %6s %7s %7s %7s %7s %7s %6s %6s %7s %6s %6s %6s\n", "workload", "MB", "MB",
              "ms", "ms", "cpu ms", "cpu ms", "", "cpu", "MB/s", "peak", "peak", "own");
  for (const Result& r : results) {
    const double throughput = Megabytes(r.sourceBytes) / (r.partsc.milliseconds / 1000.0);
    std::printf("%-33s %6.2f %7.2f %7.1f %7.1f %7.1f %7.1f %6.2f %6.2f %7.1f %6.1f %6.1f %6.2f\n",
                r.workload.label.c_str(), Megabytes(r.sourceBytes), Megabytes(r.writtenBytes),
                r.floor.milliseconds, r.partsc.milliseconds, r.floor.cpuMilliseconds,
                r.partsc.cpuMilliseconds, Ratio(r.partsc.milliseconds, r.floor.milliseconds),
                Ratio(r.partsc.cpuMilliseconds, r.floor.cpuMilliseconds), throughput,
                r.floor.rssPeakKb / 1024.0, r.partsc.rssPeakKb / 1024.0, OwnMegabytes(r.partsc));
  }
  std::printf(
      "ms: wall clock; cpu ms: user + system time; ratio: partsc / floor; MB/s: source MB per\n"
      "second of partsc; peak: peak RSS in MB of the measuring process; own: what partsc added\n");
}

const Result* FindResult(const std::vector<Result>& results, const std::string& key) {
  for (const Result& r : results) {
    if (r.workload.key == key) {
      return &r;
    }
  }
  return nullptr;
}

void PrintTargets(const std::vector<Result>& results) {
  std::printf("\ntargets\n");
  for (const char* key : {"a", "b"}) {
    if (const Result* r = FindResult(results, key)) {
      const double ratio = Ratio(r->partsc.milliseconds, r->floor.milliseconds);
      std::printf("  (%s) partsc / floor        %6.2f  (target <= 3: %s; cpu time %.2f)\n", key,
                  ratio, ratio <= 3.0 ? "met" : "MISSED",
                  Ratio(r->partsc.cpuMilliseconds, r->floor.cpuMilliseconds));
      std::printf(
          "      partsc / list floor   %6.2f  (list floor %.1f ms: the floor with one write\n"
          "                                   per member list and one read per listed list)\n",
          Ratio(r->partsc.milliseconds, r->listFloor.milliseconds), r->listFloor.milliseconds);
    }
  }
  if (const Result* r = FindResult(results, "d")) {
    const double ratio = Ratio(r->atomic.milliseconds, r->replacing.milliseconds);
    std::printf("  (d) --atomic / default   %6.2f  (target <= 1.5: %s; %.1f ms against %.1f ms)\n",
                ratio, ratio <= 1.5 ? "met" : "MISSED", r->atomic.milliseconds,
                r->replacing.milliseconds);
  }
  const Result* eighth = FindResult(results, "c8");
  const Result* full = FindResult(results, "a");
  if (eighth == nullptr || full == nullptr) {
    return;
  }
  std::printf("  (c) partsc time by size, relative to 1/8:");
  for (const char* key : {"c8", "c4", "c2", "a"}) {
    if (const Result* r = FindResult(results, key)) {
      std::printf("  %.2f", r->partsc.milliseconds / eighth->partsc.milliseconds);
    }
  }
  const double growth = full->partsc.milliseconds / eighth->partsc.milliseconds;
  std::printf("\n  (c) full / (1/8) time    %6.2f  (target <= 9: %s)\n", growth,
              growth <= 9.0 ? "met" : "MISSED");
  // The memory partsc itself takes beyond the process it runs in.
  std::printf("  (c) partsc own memory by size, MB:");
  for (const char* key : {"c8", "c4", "c2", "a"}) {
    if (const Result* r = FindResult(results, key)) {
      std::printf("  %.2f", OwnMegabytes(r->partsc));
    }
  }
  // Beyond the size table (a record of 72 bytes of file form per size, kept
  // on the heap) nothing may grow with the number of sizes.
  const double growthMb = OwnMegabytes(full->partsc) - OwnMegabytes(eighth->partsc);
  std::printf("\n  (c) own memory, full - 1/8: %.2f MB for %d more sizes (%.0f bytes per size)\n",
              growthMb, full->workload.shape.sizesPerSource - eighth->workload.shape.sizesPerSource,
              growthMb * 1024 * 1024 /
                  (full->workload.shape.sizesPerSource - eighth->workload.shape.sizesPerSource));
}

std::vector<Workload> Workloads(bool quick, const std::string& only) {
  const int smallSources = quick ? 500 : 5000;
  std::vector<Workload> all = {
      {"(a) 1 source, 2048 sizes x 64", "a", {1, 2048, 64, 2000, 2}},
      {"(b) " + std::to_string(smallSources) + " sources, 3 sizes x 8",
       "b",
       {smallSources, 3, 8, 6, 2}},
      // (a) with fewer sizes; the macros stay, so that only the sizes grow.
      {"(c) 1/8: 256 sizes x 64", "c8", {1, 256, 64, 2000, 2}},
      {"(c) 1/4: 512 sizes x 64", "c4", {1, 512, 64, 2000, 2}},
      {"(c) 1/2: 1024 sizes x 64", "c2", {1, 1024, 64, 2000, 2}},
      // (b) at 500 sources, the default mode beside --atomic.
      {"(d) 500 sources, 3 sizes x 8", "d", {500, 3, 8, 6, 2}, true},
  };
  std::vector<Workload> chosen;
  for (const Workload& w : all) {
    // (c) at full size is (a).
    const char letter = w.key[0];
    const bool wanted = only.find(letter) != std::string::npos ||
                        (letter == 'a' && only.find('c') != std::string::npos);
    if (wanted) {
      chosen.push_back(w);
    }
  }
  return chosen;
}

int ParentMain(int argc, char** argv) {
  bool quick = false;
  int runs = 5;
  std::string work = (fs::temp_directory_path() / "partsc-bench").string();
  std::string only = "abcd";
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quick") {
      quick = true;
      runs = 1;
    } else if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--work" && i + 1 < argc) {
      work = argv[++i];
    } else if (arg == "--only" && i + 1 < argc) {
      only = argv[++i];
    } else if (arg == "--keep") {
      keep = true;
    } else {
      std::fprintf(stderr, "usage: %s [--quick] [--runs N] [--work DIR] [--only abcd] [--keep]\n",
                   argv[0]);
      return 2;
    }
  }
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  std::fprintf(stderr, "partsc_bench: working in %s, best of %d run(s)\n", work.c_str(), runs);
  std::vector<Result> results;
  try {
    for (const Workload& workload : Workloads(quick, only)) {
      results.push_back(Measure(self, work, workload, runs));
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "\npartsc_bench: %s (the libraries stay in %s)\n", error.what(),
                 work.c_str());
    return 1;
  }
  if (!keep) {
    std::error_code ignored;
    fs::remove_all(work, ignored);
  }
  char date[32];
  const std::time_t now = std::time(nullptr);
  std::strftime(date, sizeof date, "%Y-%m-%d", std::localtime(&now));
  std::printf("partsc benchmark, %s, %ld core(s), best of %d run(s)\n\n", date,
              sysconf(_SC_NPROCESSORS_ONLN), runs);
  PrintTable(results);
  PrintTargets(results);
  return 0;
}

}  // namespace
}  // namespace partsc::bench

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--child") == 0) {
    return partsc::bench::ChildMain(argv[2], argv[3], argv[4]);
  }
  return partsc::bench::ParentMain(argc, argv);
}
