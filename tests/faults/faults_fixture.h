// Runs of the real driver, in this process so that faults can be armed: one
// source compiled and listed from a control file in a fresh directory where
// an older parts file of the same name lies.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "driver/run_driver.h"
#include "platform/ov_console.h"
#include "support/test_support.h"

namespace partsc::testing {

inline constexpr const char* kOlderContent = "older parts file\n";
inline constexpr const char* kMemoryLine = "\t*** E *** Memory Allocate Error\n";
inline constexpr const char* kDeleteLine = "\t*** E *** Illegal File Delete It\n";

struct FaultSource {
  std::string label;
  std::string text;
  std::string partsFile;  // the file name the compile writes, e.g. "bolt.prt"
};

inline std::string ExampleText(const std::string& name) {
  return ReadFile(std::string(PARTSC_SOURCE_DIR) + "/examples/src/" + name);
}

// The example sources, one with more macros than the first 256 slots of the
// macro table, and one whose parts file takes many reads and writes.
inline std::vector<FaultSource> FaultSources() {
  std::string macros;
  for (int i = 0; i < 260; ++i) {
    macros += "t !M" + std::to_string(i) + "! (" + std::to_string(i) + ")\n";
  }
  macros +=
      "$$PARTS !macros! <1,2> \"macro table growth\"\n$$APG\n$TOP !MT! \"top\"\n"
      "$$COMMON \"common\"\np !A! ({M0}{M259})\n"
      "$$SIZE \"S\" !t!\np !B! ({M258}) <0,1> \"b\"\ns [3] <4,0>\"SPEC\"\n$$END\n";
  std::string large =
      "$$PARTS !large! <7,9> \"many reads\"\n$$SPEC <3,1>\n$$APG\n$TOP !LT! \"top view\"\n"
      "$BACK !LB!\n$$COMMON \"common\"\ns <2,1>\"COMMON\"\np !CP! (common text) \"common "
      "comment\"\n$$TITLE \"large\"\n$$CSORT\n";
  for (int i = 0; i < 120; ++i) {
    const std::string n = std::to_string(i);
    large += "$$SIZE \"S" + n + "\" !size " + n + "!\ns [2] <" + std::to_string(i % 250 + 1) +
             ",1>\"SPEC" + n + "\"\ns <5,0>\"PLAIN\"\np !A! (" + n +
             ") \"first parameter of size " + n + "\"\np !B! (" + n + "." + n +
             ") <0,1> \"second\"\np !C! <1,0>\np !D! (text of " + n + ")\n";
  }
  return {{"bolts", ExampleText("bolts.src"), "bolt.prt"},
          {"washers", ExampleText("washers.src"), "WASHER.PRT"},
          {"rails", ExampleText("rails.src"), "RAIL.PRT"},
          {"plates", ExampleText("plates.src"), "PLATE.PRT"},
          {"macros", macros, "macros.prt"},
          {"large", large + "$$END\n", "large.prt"}};
}

struct DriverRun {
  int exitCode = -1;
  std::string err;       // standard error
  std::string errorLog;  // the diagnostic lines after "Input File [...]"
  std::string runLog;
  std::optional<std::string> partsFile;  // the content, when the file is there
  std::optional<std::string> backup;
};

inline std::optional<std::string> ContentOf(const std::string& path) {
  return FileExists(path) ? std::optional(ReadFile(path)) : std::nullopt;
}

// RunPartsc with `args` in `dir`, on a console in memory; answers the exit
// status, standard error and (when `out` is given) standard output.
inline int RunDriver(const std::string& dir, std::vector<std::string> args, std::string* err,
                     std::string* out = nullptr) {
  setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
  args.insert(args.begin(), "partsc");
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  OvConsole console(OvConsole::InMemory{});
  const int status =
      ::partsc::RunPartsc(static_cast<int>(args.size()), argv.data(), console, dir) & 0xFF;
  if (err != nullptr) {
    *err = console.ErrText();
  }
  if (out != nullptr) {
    *out = console.OutText();
  }
  return status;
}

// Compiles and lists `source` with the real driver, over an older parts file
// of the same name.
inline DriverRun RunSource(const FaultSource& source) {
  TempDir dir;
  const std::string partsPath = dir.File(source.partsFile);
  WriteFile(dir.File("input.src"), source.text);
  WriteFile(dir.File("faults.ctl"), "input.src\n");
  WriteFile(partsPath, kOlderContent);
  DriverRun run;
  run.exitCode = RunDriver(dir.path(), {"-q", "--strict", "-c", "faults.ctl"}, &run.err);
  const std::string errorLog = ReadFile(dir.File("faults.ctl.LOG"));
  run.errorLog = errorLog.substr(std::min(errorLog.size(), errorLog.find('\n') + 1));
  run.runLog = ReplaceAll(ReadFile(dir.File("TALVIREN.LOG")), dir.path(), "$DIR");
  run.err = ReplaceAll(run.err, dir.path(), "$DIR");
  run.partsFile = ContentOf(partsPath);
  run.backup = ContentOf(partsPath + (source.partsFile.ends_with(".prt") ? ".old" : ".OLD"));
  return run;
}

}  // namespace partsc::testing
