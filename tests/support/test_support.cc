#include "support/test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace partsc::testing {

TempDir::TempDir() {
  std::string pattern = std::filesystem::temp_directory_path().string() + "/partsc-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

const std::string& FullDevice() {
  static const TempDir dir;
  static const std::string path = [] {
    const std::string node = dir.File("full");
    if (::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
      return std::string("/dev/full");
    }
    const int fd = ::open(node.c_str(), O_WRONLY);  // refused on a file system mounted nodev
    if (fd < 0) {
      return std::string("/dev/full");
    }
    ::close(fd);
    return node;
  }();
  return path;
}

std::string TempDir::File(const std::string& name) const {
  return path_ + "/" + name;
}

ScopedChdir::ScopedChdir(const std::string& dir) : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(dir);
}

ScopedChdir::~ScopedChdir() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}

bool FileExists(const std::string& path) {
  return std::filesystem::exists(path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  const std::string text = ReadFile(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::vector<uint8_t> FromHex(const std::string& text) {
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> row;
  bool repeat = false;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line == "*") {
      repeat = true;
      continue;
    }
    const size_t colon = line.find(':');
    if (colon == std::string::npos) {
      continue;
    }
    const size_t offset = std::stoul(line.substr(0, colon), nullptr, 16);
    while (repeat && !row.empty() && bytes.size() < offset) {
      const size_t count = std::min(row.size(), offset - bytes.size());
      bytes.insert(bytes.end(), row.begin(), row.begin() + static_cast<std::ptrdiff_t>(count));
    }
    repeat = false;
    row.clear();
    std::istringstream hex(line.substr(colon + 1));
    std::string byte;
    while (hex >> byte && byte.front() != '|') {
      row.push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
    }
    bytes.insert(bytes.end(), row.begin(), row.end());
  }
  return bytes;
}

int16_t I16At(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<int16_t>(bytes.at(offset) | (bytes.at(offset + 1) << 8));
}

uint32_t U32At(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint32_t>(bytes.at(offset)) |
         (static_cast<uint32_t>(bytes.at(offset + 1)) << 8) |
         (static_cast<uint32_t>(bytes.at(offset + 2)) << 16) |
         (static_cast<uint32_t>(bytes.at(offset + 3)) << 24);
}

int32_t I32At(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<int32_t>(U32At(bytes, offset));
}

CaptureFd::CaptureFd(int fd) : fd_(fd) {
  std::string pattern = std::filesystem::temp_directory_path().string() + "/partsc-capture-XXXXXX";
  const int tmp = mkstemp(pattern.data());
  if (tmp < 0) {
    throw std::runtime_error("mkstemp failed");
  }
  file_ = pattern;
  std::fflush(nullptr);
  saved_ = dup(fd_);
  dup2(tmp, fd_);
  close(tmp);
}

CaptureFd::~CaptureFd() {
  std::fflush(nullptr);
  dup2(saved_, fd_);
  close(saved_);
  std::remove(file_.c_str());
}

std::string CaptureFd::Text() {
  std::fflush(nullptr);
  return ReadFile(file_);
}

int64_t ForEachFault(OvFaultKind kind, bool persistent, const std::function<void(int64_t)>& run) {
  run(0);  // storage a run keeps for the next is in place from now on
  OvFaults::Reset();
  run(0);
  const int64_t operations = OvFaults::Count(kind);
  OvFaults::Reset();
  for (int64_t n = 1; n <= operations; ++n) {
    OvFaults::Arm(kind, n, persistent);
    run(n);
    if (OvFaults::Injected(kind) == 0) {
      ADD_FAILURE() << "no fault injected at operation " << n << " of " << operations;
    }
    OvFaults::Reset();
  }
  return operations;
}

}  // namespace partsc::testing

#include <sys/resource.h>
#include <sys/wait.h>

#include <csignal>

namespace partsc::testing {

StartedProcess StartProcess(const std::string& binary, const ProcessOptions& options) {
  StartedProcess process{-1, std::make_unique<TempDir>()};
  const std::string inPath = process.io->File("stdin");
  const std::string outPath = process.io->File("stdout");
  const std::string errPath = process.io->File("stderr");
  WriteFile(inPath, options.stdinText);
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    throw std::runtime_error("fork failed");
  }
  if (pid == 0) {
    const int in = open(inPath.c_str(), O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) {
      _exit(127);
    }
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) {
      _exit(127);
    }
    const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
    if (options.fileSizeLimit > 0 &&
        ((!options.sizeSignal && std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR) ||
         setrlimit(RLIMIT_FSIZE, &limit) != 0)) {
      _exit(127);
    }
    const rlimit memory{options.memoryLimit, options.memoryLimit};
    int pipeEnds[2] = {-1, -1};
    if ((options.memoryLimit > 0 && setrlimit(RLIMIT_AS, &memory) != 0) ||
        (options.closedStdout && close(1) != 0) ||
        (options.brokenPipe && (pipe(pipeEnds) != 0 || dup2(pipeEnds[1], 1) < 0))) {
      _exit(127);
    }
    if (options.brokenPipe) {
      close(pipeEnds[0]);
      close(pipeEnds[1]);
    }
    for (const std::string& name : options.unsetEnv) {
      unsetenv(name.c_str());
    }
    for (const auto& [name, value] : options.env) {
      setenv(name.c_str(), value.c_str(), 1);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(binary.c_str()));
    for (const std::string& arg : options.args) {
      argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  process.pid = pid;
  return process;
}

ProcessResult WaitProcess(StartedProcess& process) {
  int status = 0;
  waitpid(process.pid, &status, 0);
  ProcessResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  result.out = ReadFile(process.io->File("stdout"));
  result.err = ReadFile(process.io->File("stderr"));
  return result;
}

}  // namespace partsc::testing
