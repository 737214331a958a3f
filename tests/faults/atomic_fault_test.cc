// An --atomic run of a small library whose parts files already exist, with
// the n-th write, read, rename or allocation failing, for every n: each parts
// file is afterwards either its older self beside its older backup, byte for
// byte, or the new file with the older one as its backup; no temporary file
// is left.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "driver/run_driver.h"
#include "faults/faults_fixture.h"

namespace partsc::testing {
namespace {

struct PartsFile {
  const char* source;
  const char* name;
  const char* backup;
  std::optional<std::string> older;  // the file before the run, and its backup
  std::optional<std::string> olderBackup;
};

const std::vector<PartsFile> kLibrary = {
    {"bolts.src", "bolt.prt", "bolt.prt.old", "older bolt\n", "older bolt backup\n"},
    {"washers.src", "WASHER.PRT", "WASHER.PRT.OLD", "older washer\n", std::nullopt},
    {"plates.src", "PLATE.PRT", "PLATE.PRT.OLD", std::nullopt, std::nullopt}};

struct Outcome {
  int64_t injected = 0;
  std::map<std::string, std::optional<std::string>> files;  // by name
  std::vector<std::string> temporaries;
};

void WriteIf(const std::string& path, const std::optional<std::string>& content) {
  if (content) {
    WriteFile(path, *content);
  }
}

Outcome RunAtomic(OvFaultKind kind, int64_t n) {
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  TempDir dir;
  ScopedChdir inDir(dir.path());
  std::string control;
  for (const PartsFile& file : kLibrary) {
    WriteFile(dir.File(file.source), ExampleText(file.source));
    WriteIf(dir.File(file.name), file.older);
    WriteIf(dir.File(file.backup), file.olderBackup);
    control += std::string(file.source) + "\n";
  }
  WriteFile(dir.File("LIB.CTL"), control);
  std::vector<std::string> args = {"partsc", "-q", "--atomic", "-c", "LIB.CTL"};
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  Outcome outcome;
  {
    CaptureFd out(1);
    CaptureFd err(2);
    OvFaults::Reset();
    OvFaults::Arm(kind, n, false);
    partsc::RunPartsc(static_cast<int>(argv.size()), argv.data());
    outcome.injected = OvFaults::Injected(kind);
    OvFaults::Reset();
  }
  for (const PartsFile& file : kLibrary) {
    outcome.files[file.name] = ContentOf(dir.File(file.name));
    outcome.files[file.backup] = ContentOf(dir.File(file.backup));
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name.find(".new-") != std::string::npos || name.find(".old-") != std::string::npos) {
      outcome.temporaries.push_back(name);
    }
  }
  return outcome;
}

// Each file is its older self with its older backup, or the new file of the
// clean run with the older file as its backup.
void CheckNothingLost(const Outcome& run, const Outcome& clean) {
  EXPECT_EQ(run.temporaries, std::vector<std::string>{});
  for (const PartsFile& file : kLibrary) {
    SCOPED_TRACE(file.name);
    const std::optional<std::string>& content = run.files.at(file.name);
    const std::optional<std::string>& backup = run.files.at(file.backup);
    if (content == clean.files.at(file.name)) {
      EXPECT_EQ(backup, file.older ? file.older : file.olderBackup);
      continue;
    }
    EXPECT_EQ(content, file.older);
    EXPECT_EQ(backup, file.olderBackup);
  }
}

TEST(AtomicFaults, EveryFailureLeavesTheOlderFilesOrTheNewOnes) {
  const Outcome clean = RunAtomic(OvFaultKind::kWrite, 0);
  for (const PartsFile& file : kLibrary) {
    ASSERT_TRUE(clean.files.at(file.name));
    EXPECT_NE(clean.files.at(file.name), file.older);
  }
  CheckNothingLost(clean, clean);
  const std::pair<OvFaultKind, const char*> kinds[] = {{OvFaultKind::kWrite, "write"},
                                                       {OvFaultKind::kRead, "read"},
                                                       {OvFaultKind::kRename, "rename"},
                                                       {OvFaultKind::kAllocation, "allocation"}};
  for (const auto& [kind, label] : kinds) {
    int64_t n = 1;
    for (;; ++n) {
      SCOPED_TRACE(std::string(label) + " " + std::to_string(n));
      const Outcome run = RunAtomic(kind, n);
      if (run.injected == 0) {
        break;
      }
      CheckNothingLost(run, clean);
    }
    std::printf("[ faults   ] --atomic, the n-th %s fails: %lld runs\n", label,
                static_cast<long long>(n));
  }
}

}  // namespace
}  // namespace partsc::testing
