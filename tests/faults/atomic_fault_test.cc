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

Outcome RunAtomic(OvFaultKind kind, int64_t n) {
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  TempDir dir;
  std::string control;
  for (const PartsFile& file : kLibrary) {
    WriteFile(dir.File(file.source), ExampleText(file.source));
    for (const auto& [name, content] :
         {std::pair(file.name, file.older), {file.backup, file.olderBackup}}) {
      if (content) {
        WriteFile(dir.File(name), *content);
      }
    }
    control += std::string(file.source) + "\n";
  }
  WriteFile(dir.File("LIB.CTL"), control);
  std::string args[] = {"partsc", "-q", "--atomic", "-c", "LIB.CTL"};
  char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(), args[4].data()};
  Outcome outcome;
  {
    OvConsole console(OvConsole::InMemory{});
    OvFaults::Reset();
    OvFaults::Arm(kind, n, false);
    partsc::RunPartsc(5, argv, console, dir.path());
    outcome.injected = OvFaults::Injected(kind);
    OvFaults::Reset();
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    outcome.files[name] = ReadFile(entry.path().string());
    if (name.find(".new-") != std::string::npos || name.find(".old-") != std::string::npos) {
      outcome.temporaries.push_back(name);
    }
  }
  return outcome;
}

std::optional<std::string> FileOf(const Outcome& run, const std::string& name) {
  const auto file = run.files.find(name);
  return file == run.files.end() ? std::nullopt : file->second;
}

// Each file is its older self with its older backup, or the new file of the
// clean run with the older file as its backup.
void CheckNothingLost(const Outcome& run, const Outcome& clean) {
  EXPECT_EQ(run.temporaries, std::vector<std::string>{});
  for (const PartsFile& file : kLibrary) {
    SCOPED_TRACE(file.name);
    const bool replaced = FileOf(run, file.name) == FileOf(clean, file.name);
    EXPECT_EQ(FileOf(run, file.name), replaced ? FileOf(clean, file.name) : file.older);
    EXPECT_EQ(FileOf(run, file.backup), replaced && file.older ? file.older : file.olderBackup);
  }
}

TEST(AtomicFaults, EveryFailureLeavesTheOlderFilesOrTheNewOnes) {
  const Outcome clean = RunAtomic(OvFaultKind::kWrite, 0);
  for (const PartsFile& file : kLibrary) {
    EXPECT_TRUE(FileOf(clean, file.name) && FileOf(clean, file.name) != file.older);
  }
  CheckNothingLost(clean, clean);
  for (const OvFaultKind kind :
       {OvFaultKind::kWrite, OvFaultKind::kRead, OvFaultKind::kRename, OvFaultKind::kAllocation}) {
    int64_t n = 1;
    for (Outcome run = RunAtomic(kind, n); run.injected != 0; run = RunAtomic(kind, ++n)) {
      SCOPED_TRACE("kind " + std::to_string(static_cast<int>(kind)) + ", n " + std::to_string(n));
      CheckNothingLost(run, clean);
    }
    std::printf("[ faults   ] --atomic, fault kind %d: %lld runs\n", static_cast<int>(kind),
                static_cast<long long>(n));
  }
}

}  // namespace
}  // namespace partsc::testing
