// An --atomic run of a small library whose parts files already exist, with
// the n-th write, read, rename or allocation failing or killing it, for every n (the syncs
// of the batch that puts the files in place count as writes, the links as
// renames): each parts file is afterwards either its older self beside its
// older backup, byte for byte, or the new file with the older one as its
// backup; no temporary or lock file is left.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

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
  std::string err;  // what the run wrote to standard error
  int status = -1;  // its exit status
};

// The library of kLibrary in `dir`, its parts files and backups as they
// were before the run.
void MakeLibrary(const TempDir& dir) {
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
}

int RunIn(const TempDir& dir, std::string* err = nullptr, std::vector<std::string> extra = {}) {
  extra.insert(extra.end(), {"-q", "--atomic", "-c", "LIB.CTL"});
  return RunDriver(dir.path(), extra, err);
}

void Collect(const TempDir& dir, Outcome& outcome) {
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    outcome.files[name] = ReadFile(entry.path().string());
    if (name.front() == '.') {
      outcome.temporaries.push_back(name);  // a temporary or lock file left
    }
  }
}

Outcome RunAtomic(OvFaultKind kind, int64_t n, std::vector<std::string> extra = {}) {
  TempDir dir;
  MakeLibrary(dir);
  Outcome outcome;
  OvFaults::Reset();
  OvFaults::Arm(kind, n, false);
  outcome.status = RunIn(dir, &outcome.err, std::move(extra));
  outcome.injected = OvFaults::Injected(kind);
  OvFaults::Reset();
  Collect(dir, outcome);
  return outcome;
}

// A run that dies at the n-th operation of `kind` (injected is 0 when it got
// to its end), then what is left, then what a later run made of it.
struct Crash {
  Outcome left;
  Outcome after;
};

Crash CrashAtomic(OvFaultKind kind, int64_t n) {
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  TempDir dir;
  MakeLibrary(dir);
  Crash crash;
  const pid_t child = fork();
  if (child == 0) {
    OvFaults::Reset();
    OvFaults::ArmCrash(kind, n);
    RunIn(dir);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  crash.left.injected = WIFEXITED(status) && WEXITSTATUS(status) == OvFaults::kCrashStatus;
  Collect(dir, crash.left);
  RunIn(dir);
  Collect(dir, crash.after);
  return crash;
}

std::optional<std::string> FileOf(const Outcome& run, const std::string& name) {
  const auto file = run.files.find(name);
  return file == run.files.end() ? std::nullopt : file->second;
}

// Each file is its older self with its older backup, or the new file of the
// clean run with the older file as its backup. A file left as it was after a
// failed write, read or rename is named on standard error ("not replaced",
// "not written"); an allocation that fails may stop its source before it has
// a parts file.
void CheckNothingLost(const Outcome& run, const Outcome& clean, bool named = false) {
  EXPECT_EQ(run.temporaries, std::vector<std::string>{});
  for (const PartsFile& file : kLibrary) {
    SCOPED_TRACE(file.name);
    const bool replaced = FileOf(run, file.name) == FileOf(clean, file.name);
    EXPECT_EQ(FileOf(run, file.name), replaced ? FileOf(clean, file.name) : file.older);
    EXPECT_TRUE(replaced || !named ||
                run.err.find(std::string(file.name) + ": not ") != std::string::npos)
        << run.err;
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
      CheckNothingLost(run, clean, kind != OvFaultKind::kAllocation);
    }
    std::printf("[ faults   ] --atomic, fault kind %d: %lld runs\n", static_cast<int>(kind),
                static_cast<long long>(n));
  }
}

// With --strict, a file that could not be put in place fails the run, even
// when the others were.
TEST(AtomicFaults, UnderStrictAFileNotPutInPlaceFailsTheRun) {
  const Outcome clean = RunAtomic(OvFaultKind::kRename, 0, {"--strict"});
  EXPECT_EQ(clean.status, 0);
  int64_t n = 1;
  for (Outcome run = RunAtomic(OvFaultKind::kRename, n, {"--strict"}); run.injected != 0;
       run = RunAtomic(OvFaultKind::kRename, ++n, {"--strict"})) {
    SCOPED_TRACE("rename " + std::to_string(n));
    bool allReplaced = true;
    for (const PartsFile& file : kLibrary) {
      allReplaced = allReplaced && FileOf(run, file.name) == FileOf(clean, file.name);
    }
    EXPECT_EQ(run.status, allReplaced ? 0 : 1) << run.err;
  }
}

// A run killed at any write (syncs too) or rename: the name of each parts
// file holds a whole file, the older or the new one, and the older file is
// still there under some name; the next run leaves nothing behind.
TEST(AtomicFaults, ACrashAnywhereLeavesWholeFilesThatTheNextRunTidies) {
  const Outcome clean = RunAtomic(OvFaultKind::kWrite, 0);
  for (const OvFaultKind kind : {OvFaultKind::kWrite, OvFaultKind::kRename}) {
    int64_t n = 1;
    for (Crash crash = CrashAtomic(kind, n); crash.left.injected != 0;
         crash = CrashAtomic(kind, ++n)) {
      SCOPED_TRACE("kind " + std::to_string(static_cast<int>(kind)) + ", n " + std::to_string(n));
      for (const PartsFile& file : kLibrary) {
        SCOPED_TRACE(file.name);
        const std::optional<std::string> named = FileOf(crash.left, file.name);
        EXPECT_TRUE(named == file.older || named == FileOf(clean, file.name));
        bool olderKept = !file.older;
        for (const auto& [name, content] : crash.left.files) {
          olderKept = olderKept || content == file.older;
        }
        EXPECT_TRUE(olderKept);
        EXPECT_EQ(FileOf(crash.after, file.name), FileOf(clean, file.name));
      }
      EXPECT_EQ(crash.after.temporaries, std::vector<std::string>{});
    }
    EXPECT_GT(n, 3);
  }
}

}  // namespace
}  // namespace partsc::testing
