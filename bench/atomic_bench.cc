// partsc --atomic against the default mode on workload (d), 500 small
// sources, measured as a user meets them: the real binary in a process of
// its own, one run right after the other with no sync between them (each
// replaces the 500 parts files the run before wrote, and its backups), on a
// machine that is busy writing elsewhere on the same file system. The
// default mode leaves its files dirty for the system to write at leisure; a
// durable --atomic must wait only for its own.
//
//   partsc_atomic_bench PARTSC [--rounds N] [--work DIR] [--quiet-disk]
//
// PARTSC is the binary to time. Each round runs both modes, in turns first;
// the table gives the median of each and their ratio. Unless --quiet-disk,
// a child process keeps writing 8 MiB pieces of a file of its own beside the
// library (other programs' dirty pages) for as long as the rounds last.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "gen_library.h"

namespace partsc::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr LibraryShape kShape{500, 3, 8, 6, 2};  // workload (d)

// One run of `binary` in `dir` with `args`; its wall-clock milliseconds.
double Run(const std::string& binary, const std::string& dir, std::vector<std::string> args) {
  args.insert(args.begin(), binary);
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  const Clock::time_point start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null < 0 || chdir(dir.c_str()) != 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0) {
      _exit(127);
    }
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error("partsc did not end with 0");
  }
  return ms;
}

// Another program writing: pieces of 8 MiB into a file of its own, over and
// over, each left for the system to write back. It ends with this program,
// however that ends.
pid_t StartWriter(const std::string& path) {
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid != 0) {
    return pid;
  }
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) {
    _exit(0);
  }
  std::vector<char> piece(8 << 20, 'w');
  for (int n = 0;; ++n) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | (n % 16 == 0 ? O_TRUNC : O_APPEND),
                        0644);
    if (fd < 0 || write(fd, piece.data(), piece.size()) < 0) {
      _exit(1);
    }
    close(fd);
    usleep(20'000);
  }
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int Main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: partsc_atomic_bench PARTSC [--rounds N] [--work DIR] "
                         "[--quiet-disk]\n");
    return 2;
  }
  const std::string binary = fs::absolute(argv[1]).string();
  int rounds = 7;
  std::string work = "build/bench-work/atomic";
  bool busy = true;
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (option == "--work" && i + 1 < argc) {
      work = argv[++i];
    } else if (option == "--quiet-disk") {
      busy = false;
    }
  }
  fs::remove_all(work);
  const Library library = GenerateLibrary(fs::absolute(work).string(), kShape);
  const std::vector<std::string> common = {"-p" + library.settingsName, "-c", library.controlName,
                                           "-q"};
  std::vector<std::string> atomicArgs = common;
  atomicArgs.push_back("--atomic");
  // Every parts file and backup there already, as in a library rebuilt.
  Run(binary, library.dir, common);
  Run(binary, library.dir, common);
  const pid_t writer = busy ? StartWriter(library.dir + "/other-program.data") : -1;
  std::vector<double> plain;
  std::vector<double> atomic;
  for (int round = 0; round < rounds; ++round) {
    if (round % 2 == 0) {
      plain.push_back(Run(binary, library.dir, common));
      atomic.push_back(Run(binary, library.dir, atomicArgs));
    } else {
      atomic.push_back(Run(binary, library.dir, atomicArgs));
      plain.push_back(Run(binary, library.dir, common));
    }
    std::fprintf(stderr, ".");
  }
  if (writer > 0) {
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
  }
  std::fprintf(stderr, "\n");
  const double ratio = Median(atomic) / Median(plain);
  std::printf("(d) 500 sources, back to back, %s, median of %d rounds\n",
              busy ? "beside a program writing 8 MiB pieces" : "quiet disk", rounds);
  std::printf("  default   %8.1f ms\n  --atomic  %8.1f ms\n", Median(plain), Median(atomic));
  std::printf("  --atomic / default %.2f (target <= 1.3: %s)\n", ratio,
              ratio <= 1.3 ? "met" : "MISSED");
  fs::remove_all(work);
  return 0;
}

}  // namespace
}  // namespace partsc::bench

int main(int argc, char** argv) {
  try {
    return partsc::bench::Main(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "partsc_atomic_bench: %s\n", error.what());
    return 1;
  }
}
