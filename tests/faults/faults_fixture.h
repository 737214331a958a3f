// One input compiled and listed the way the run driver does it, in a fresh
// directory, with an older parts file in place and, optionally, one kind of
// fault armed. Shared by the fault-injection loops.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include "compiler/compile_passes.h"
#include "compiler/parts_line.h"
#include "driver/diagnostics.h"
#include "listing/listing.h"
#include "partsfile/parts_state.h"
#include "partsfile/parts_writer.h"
#include "platform/ov_faults.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"

#include "support/test_support.h"

namespace partsc::testing {

inline constexpr const char* kOlderContent = "older parts file\n";
inline constexpr const char* kControlName = "faults.ctl";
inline constexpr const char* kErrorLogName = "faults.ctl.LOG";

// A source of the example library, or one made by the test.
struct FaultSource {
  std::string label;
  std::string text;
  std::string partsFile;  // the file name the compile writes, e.g. "bolt.prt"
};

inline std::string ExampleText(const std::string& name) {
  return ReadFile(std::string(PARTSC_SOURCE_DIR) + "/examples/src/" + name);
}

// A source with more macros than the first 256 slots of the macro table, so
// that the table grows while the compile runs.
inline std::string ManyMacrosText() {
  std::string text;
  for (int i = 0; i < 260; ++i) {
    text += "t !M" + std::to_string(i) + "! (" + std::to_string(i) + ")\n";
  }
  text +=
      "$$PARTS !macros! <1,2> \"macro table growth\"\n"
      "$$APG\n"
      "$TOP !MT! \"top\"\n"
      "$$COMMON \"common\"\n"
      "p !A! ({M0}{M259})\n"
      "$$SIZE \"S\" !t!\n"
      "p !B! ({M258}) <0,1> \"b\"\n"
      "s [3] <4,0>\"SPEC\"\n"
      "$$END\n";
  return text;
}

// A source whose parts file is many times larger than one read of the
// reader, with a common block, 120 sizes and members with comments.
inline FaultSource LargeSource() {
  std::string text =
      "$$PARTS !large! <7,9> \"many reads\"\n"
      "$$SPEC <3,1>\n"
      "$$APG\n"
      "$TOP !LT! \"top view\"\n"
      "$BACK !LB!\n"
      "$$COMMON \"common\"\n"
      "s <2,1>\"COMMON\"\n"
      "p !CP! (common text) \"common comment\"\n"
      "$$TITLE \"large\"\n"
      "$$CSORT\n";
  for (int i = 0; i < 120; ++i) {
    const std::string n = std::to_string(i);
    text += "$$SIZE \"S" + n + "\" !size " + n + "!\n";
    text += "s [2] <" + std::to_string(i % 250 + 1) + ",1>\"SPEC" + n + "\"\n";
    text += "s <5,0>\"PLAIN\"\n";
    text += "p !A! (" + n + ") \"first parameter of size " + n + "\"\n";
    text += "p !B! (" + n + "." + n + ") <0,1> \"second\"\n";
    text += "p !C! <1,0>\n";
    text += "p !D! (text of " + n + ")\n";
  }
  text += "$$END\n";
  return {"large", text, "large.prt"};
}

inline std::vector<FaultSource> FaultSources() {
  return {
      {"bolts", ExampleText("bolts.src"), "bolt.prt"},
      {"washers", ExampleText("washers.src"), "WASHER.PRT"},
      {"rails", ExampleText("rails.src"), "RAIL.PRT"},
      {"plates", ExampleText("plates.src"), "PLATE.PRT"},
      {"macros", ManyMacrosText(), "macros.prt"},
  };
}

struct FaultOutcome {
  int compile = 0;
  int list = -1;  // -1: not listed
  int64_t injected = 0;
  int64_t operations = 0;  // operations of the armed kind counted in the run
  std::string errorLog;
  std::string runLog;
  bool partsFileExists = false;
  std::string partsFileContent;
  bool backupExists = false;
  std::string backupContent;
};

// The text with every occurrence of the run's directory shown as $DIR, so
// that the logs of runs in different directories compare.
inline std::string WithDirName(std::string text, const std::string& dir) {
  for (size_t at = text.find(dir); at != std::string::npos; at = text.find(dir, at)) {
    text.replace(at, dir.size(), "$DIR");
  }
  return text;
}

// Compiles `source` in a fresh directory where an older parts file of the same
// name already lies, with the n-th operation of `kind` failing (every one from
// the n-th on when `persistent`; n = 0 arms nothing); then lists the new file
// when the compile succeeded and, when the listing fails, removes it and
// reports "Illegal File Delete It", as the run driver does.
inline FaultOutcome RunWithFault(const FaultSource& source, OvFaultKind kind, int64_t n,
                                 bool persistent) {
  // Fixed dates: the run log of a faulted run compares with a clean one's.
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  TempDir dir;
  ScopedChdir inDir(dir.path());
  OvFile::ResetClassDirectories();
  const std::string input = dir.File("input.src");
  const std::string partsPath = dir.File(source.partsFile);
  const std::string backupPath =
      partsPath + (OvFile::IsLowerCase(source.partsFile) ? ".old" : ".OLD");
  WriteFile(input, source.text);
  WriteFile(partsPath, kOlderContent);

  FaultOutcome outcome;
  {
    CaptureFd console(1);
    ReportDiagnostic(kDiagOpenLog, kSeverityNone, kControlName, 0, {});
    OvFileIO runLog;
    runLog.Fopen("TALVIREN.LOG", "w");
    OvFaults::Reset();
    OvFaults::Arm(kind, n, persistent);
    std::string outputPath;
    outcome.compile = CompilePartsSource(input, outputPath);
    if (outcome.compile == kCompileOk) {
      outcome.list = ListPartsFile(outputPath, runLog);
      if (outcome.list != 0) {
        ClosePartsFile();
        if (OvFile::Access(outputPath, 0) == 0) {
          OvFile::Remove(outputPath);
        }
        ReportBare(kSeverityError, kMsgIllegalFileDelete);
      }
    }
    outcome.injected = OvFaults::Injected(kind);
    outcome.operations = OvFaults::Count(kind);
    OvFaults::Reset();
    // A failed compile leaves the parts file open until the next open.
    ClosePartsFile();
    runLog.Fclose();
    ReportDiagnostic(kDiagCloseLog, kSeverityNone, MessageTable[0], 0, {});
  }
  ClearTables();
  ClearMacros();
  outcome.errorLog = WithDirName(ReadFile(dir.File(kErrorLogName)), dir.path());
  outcome.runLog = WithDirName(ReadFile(dir.File("TALVIREN.LOG")), dir.path());
  outcome.partsFileExists = FileExists(partsPath);
  outcome.partsFileContent = outcome.partsFileExists ? ReadFile(partsPath) : "";
  outcome.backupExists = FileExists(backupPath);
  outcome.backupContent = outcome.backupExists ? ReadFile(backupPath) : "";
  return outcome;
}

// The error log of one input: "Input File [path]" and the diagnostic lines
// after it.
inline std::string DiagnosticLines(const std::string& errorLog) {
  const size_t lineEnd = errorLog.find('\n');
  return lineEnd == std::string::npos ? "" : errorLog.substr(lineEnd + 1);
}

inline bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Runs `source` with the n-th operation of `kind` failing, for n = 1, 2, 3
// ... until a run completes with no fault injected; that last run is `clean`.
struct FaultLoop {
  std::vector<FaultOutcome> faulted;  // faulted[i] is the run with n = i + 1
  FaultOutcome clean;
  int64_t injected = 0;
};

inline FaultLoop RunFaultLoop(const FaultSource& source, OvFaultKind kind, bool persistent) {
  // Far above the operations of any source the loops use.
  constexpr int64_t kRunLimit = 5000;
  FaultLoop loop;
  for (int64_t n = 1; n <= kRunLimit; ++n) {
    FaultOutcome outcome = RunWithFault(source, kind, n, persistent);
    if (outcome.injected == 0) {
      loop.clean = std::move(outcome);
      return loop;
    }
    loop.injected += outcome.injected;
    loop.faulted.push_back(std::move(outcome));
  }
  ADD_FAILURE() << "faults were still injected after " << kRunLimit << " runs";
  return loop;
}

// What a faulted run may have left of the older parts file: it stays under
// its own name while the compile has not yet opened the parts file, and
// under its backup name from then on. It is never lost.
inline bool OlderFileKept(const FaultOutcome& outcome) {
  if (outcome.backupExists) {
    return outcome.backupContent == kOlderContent;
  }
  return outcome.partsFileExists && outcome.partsFileContent == kOlderContent;
}

inline bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

// Totals of a test program, printed once at its end for the record.
struct FaultTotals {
  int64_t runs = 0;
  int64_t injected = 0;
};

}  // namespace partsc::testing
