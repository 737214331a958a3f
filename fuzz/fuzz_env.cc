#include "fuzz_env.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "compiler/parts_line.h"
#include "compiler/view_list.h"
#include "diagnostics/diagnostics.h"
#include "partsfile/parts_file.h"
#include "partsfile/parts_state.h"
#include "partsfile/parts_writer.h"
#include "platform/ov_faults.h"
#include "platform/ov_file.h"

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
  OvFile::ResetClassDirectories();
  return pattern;
}

void ResetState() {
  OvFaults::Reset();
  ClosePartsFile();
  ClearTables();
  ClearMacros();
  ResetViewDefined();
}

}  // namespace

const std::string& EnterWorkDir() {
  static const std::string dir = MakeWorkDir();
  return dir;
}

void BeginInput() {
  EnterWorkDir();
  ResetState();
  ReportDiagnostic(kDiagOpenLog, kSeverityNone, "fuzz.ctl", 0, {});
}

void EndInput() {
  ReportDiagnostic(kDiagCloseLog, kSeverityNone, MessageTable[0], 0, {});
  ClosePartsFile();
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(EnterWorkDir(), error)) {
    std::filesystem::remove_all(entry.path(), error);
  }
  ResetState();
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
