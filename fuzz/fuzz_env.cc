#include "fuzz_env.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/ov_faults.h"

namespace partsc::fuzz {

namespace {

std::string& WorkDirPath() {
  static std::string path;
  return path;
}

// At process end: the working directory goes with everything in it.
void RemoveWorkDir() {
  std::error_code error;
  std::filesystem::remove_all(WorkDirPath(), error);
}

std::string MakeWorkDir() {
  std::string pattern = std::filesystem::temp_directory_path().string() + "/partsc-fuzz-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    Require(false, "the private working directory can be made");
  }
  std::filesystem::current_path(pattern);
  WorkDirPath() = pattern;
  std::atexit(RemoveWorkDir);
  const int null = ::open("/dev/null", O_WRONLY);
  if (null >= 0) {
    std::fflush(stdout);
    ::dup2(null, STDOUT_FILENO);
    ::close(null);
  }
  ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  return pattern;
}

std::unique_ptr<Context>& Current() {
  static std::unique_ptr<Context> context;
  return context;
}

}  // namespace

Context::Context() : diagnostics(console, EnterWorkDir()) {
  for (const std::string_view key : kClassKeys) {
    classes.Set(key, EnterWorkDir());
  }
}

const std::string& EnterWorkDir() {
  static const std::string dir = MakeWorkDir();
  return dir;
}

Context& BeginInput() {
  EnterWorkDir();
  OvFaults::Reset();
  Current() = std::make_unique<Context>();
  Current()->diagnostics.OpenErrorLog("fuzz.ctl");
  return *Current();
}

void EndInput() {
  Current().reset();
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(EnterWorkDir(), error)) {
    std::filesystem::remove_all(entry.path(), error);
  }
  OvFaults::Reset();
}

std::string WriteInput(const std::string& name, std::string_view bytes) {
  const std::string path = EnterWorkDir() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  Require(out.good(), "the input file can be written");
  return path;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Require(bool holds, const char* property) {
  if (holds) {
    return;
  }
  std::fprintf(stderr, "fuzz: property violated: %s\n", property);
  std::abort();
}

}  // namespace partsc::fuzz
