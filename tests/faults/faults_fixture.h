// One input compiled and listed the way the run driver does it, in a fresh
// directory, with an older parts file in place and, optionally, one kind of
// fault armed. Shared by the fault-injection loops.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "compiler/compile_passes.h"
#include "compiler/parts_line.h"
#include "diagnostics/diagnostics.h"
#include "listing/listing.h"
#include "partsfile/parts_file.h"
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

struct FaultSource {
  std::string label;
  std::string text;
  std::string partsFile;  // the file name the compile writes, e.g. "bolt.prt"
};

inline std::string ExampleText(const std::string& name) {
  return ReadFile(std::string(PARTSC_SOURCE_DIR) + "/examples/src/" + name);
}

// More macros than the first 256 slots of the macro table, so that the table
// grows while the compile runs.
inline FaultSource ManyMacrosSource() {
  std::string text;
  for (int i = 0; i < 260; ++i) {
    text += "t !M" + std::to_string(i) + "! (" + std::to_string(i) + ")\n";
  }
  text +=
      "$$PARTS !macros! <1,2> \"macro table growth\"\n$$APG\n$TOP !MT! \"top\"\n"
      "$$COMMON \"common\"\np !A! ({M0}{M259})\n"
      "$$SIZE \"S\" !t!\np !B! ({M258}) <0,1> \"b\"\ns [3] <4,0>\"SPEC\"\n$$END\n";
  return {"macros", text, "macros.prt"};
}

// A parts file many times larger than one read of the reader: a common
// block, 120 sizes and members with comments.
inline FaultSource LargeSource() {
  std::string text =
      "$$PARTS !large! <7,9> \"many reads\"\n$$SPEC <3,1>\n$$APG\n$TOP !LT! \"top view\"\n"
      "$BACK !LB!\n$$COMMON \"common\"\ns <2,1>\"COMMON\"\np !CP! (common text) \"common "
      "comment\"\n$$TITLE \"large\"\n$$CSORT\n";
  for (int i = 0; i < 120; ++i) {
    const std::string n = std::to_string(i);
    text += "$$SIZE \"S" + n + "\" !size " + n + "!\ns [2] <" + std::to_string(i % 250 + 1) +
            ",1>\"SPEC" + n + "\"\ns <5,0>\"PLAIN\"\np !A! (" + n + ") \"first parameter of size " +
            n + "\"\np !B! (" + n + "." + n + ") <0,1> \"second\"\np !C! <1,0>\np !D! (text of " +
            n + ")\n";
  }
  return {"large", text + "$$END\n", "large.prt"};
}

inline std::vector<FaultSource> FaultSources() {
  return {{"bolts", ExampleText("bolts.src"), "bolt.prt"},
          {"washers", ExampleText("washers.src"), "WASHER.PRT"},
          {"rails", ExampleText("rails.src"), "RAIL.PRT"},
          {"plates", ExampleText("plates.src"), "PLATE.PRT"},
          ManyMacrosSource()};
}

struct FaultOutcome {
  int compile = 0;
  int list = -1;  // -1: not listed
  int64_t injected = 0;
  int64_t operations = 0;  // operations of the armed kind counted in the run
  std::string errorLog;    // the diagnostic lines after "Input File [...]"
  std::string runLog;
  std::string err;                       // standard error
  std::optional<std::string> partsFile;  // the content, when the file is there
  std::optional<std::string> backup;
};

inline std::optional<std::string> ContentOf(const std::string& path) {
  return FileExists(path) ? std::optional(ReadFile(path)) : std::nullopt;
}

// The error log of one input without its "Input File [path]" line.
inline std::string DiagnosticLines(const std::string& errorLog) {
  const size_t lineEnd = errorLog.find('\n');
  return lineEnd == std::string::npos ? "" : errorLog.substr(lineEnd + 1);
}

// Runs `body` in the current directory with the console captured, the error
// log of kControlName open and the run log TALVIREN.LOG open for `body`;
// answers what went to standard error.
template <class Body>
std::string WithLogs(Body body) {
  CaptureFd console(1);
  CaptureFd err(2);
  ReportDiagnostic(kDiagOpenLog, kSeverityNone, kControlName, 0, {});
  OvFileIO runLog;
  runLog.Fopen("TALVIREN.LOG", "w");
  body(runLog);
  runLog.Fclose();
  ReportDiagnostic(kDiagCloseLog, kSeverityNone, MessageTable[0], 0, {});
  return err.Text();
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
  WriteFile(input, source.text);
  WriteFile(partsPath, kOlderContent);

  FaultOutcome outcome;
  const std::string err = WithLogs([&](OvFileIO& runLog) {
    OvFaults::Reset();
    OvFaults::Arm(kind, n, persistent);
    std::string outputPath;
    outcome.compile = CompilePartsSource(input, outputPath);
    if (outcome.compile == kCompileOk) {
      outcome.list = ListPartsFile(outputPath, runLog);
      if (outcome.list != 0) {
        OvFile::Remove(outputPath);
        ReportBare(kSeverityError, kMsgIllegalFileDelete);
      }
    }
    outcome.injected = OvFaults::Injected(kind);
    outcome.operations = OvFaults::Count(kind);
    OvFaults::Reset();
    ClosePartsFile();  // a failed compile leaves the parts file open
  });
  ClearTables();
  ClearMacros();
  outcome.errorLog =
      DiagnosticLines(ReplaceAll(ReadFile(dir.File(kErrorLogName)), dir.path(), "$DIR"));
  outcome.runLog = ReplaceAll(ReadFile(dir.File("TALVIREN.LOG")), dir.path(), "$DIR");
  outcome.err = ReplaceAll(err, dir.path(), "$DIR");
  outcome.partsFile = ContentOf(partsPath);
  outcome.backup = ContentOf(partsPath + (OvFile::IsLowerCase(source.partsFile) ? ".old" : ".OLD"));
  return outcome;
}

// Runs `source` with the n-th operation of `kind` failing, for n = 1, 2, 3
// ... until a run completes with no fault injected; that last run is `clean`.
struct FaultLoop {
  std::vector<FaultOutcome> faulted;  // faulted[i] is the run with n = i + 1
  FaultOutcome clean;
};

inline FaultLoop RunFaultLoop(const FaultSource& source, OvFaultKind kind, bool persistent) {
  constexpr int64_t kRunLimit = 5000;  // far above the operations of any source
  FaultLoop loop;
  for (int64_t n = 1; n <= kRunLimit; ++n) {
    FaultOutcome outcome = RunWithFault(source, kind, n, persistent);
    if (outcome.injected == 0) {
      loop.clean = std::move(outcome);
      return loop;
    }
    loop.faulted.push_back(std::move(outcome));
  }
  ADD_FAILURE() << "faults were still injected after " << kRunLimit << " runs";
  return loop;
}

// The older parts file stays under its own name while the compile has not
// yet opened the parts file, and under its backup name from then on.
inline bool OlderFileKept(const FaultOutcome& outcome) {
  return outcome.backup ? *outcome.backup == kOlderContent : outcome.partsFile == kOlderContent;
}

// Runs the loops of `kind` over `sources`, checks each run and prints the
// totals for the record.
template <class Check>
void RunLoops(const char* what, const std::vector<FaultSource>& sources, OvFaultKind kind,
              bool persistent, Check check) {
  int64_t runs = 0;
  int64_t injected = 0;
  for (const FaultSource& source : sources) {
    SCOPED_TRACE(source.label);
    const FaultLoop loop = RunFaultLoop(source, kind, persistent);
    check(source, loop);
    runs += static_cast<int64_t>(loop.faulted.size()) + 1;
    for (const FaultOutcome& run : loop.faulted) {
      injected += run.injected;
    }
  }
  std::printf("[ faults   ] %s%s: %lld runs, %lld failures injected\n", what,
              persistent ? ", and every one after it" : "", static_cast<long long>(runs),
              static_cast<long long>(injected));
}

}  // namespace partsc::testing
