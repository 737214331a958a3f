// What a run says at its end, on standard error, when anything went wrong:
// how many sources compiled and failed, what stopped each failed source and
// what it left of its parts file, and the outputs that could not be
// written. Nothing when all went well.
#pragma once

#include <string>
#include <vector>

namespace partsc {

class OvConsole;

// What a failed source left of its parts file.
enum class LeftOnDisk {
  kNothing,        // the parts file was not begun
  kIncomplete,     // written in place and left incomplete
  kRemoved,        // written, not read back, and removed again
  kPreviousKept,   // --atomic: the previous file and its backup are as they were
  kNotWritten,     // --atomic: there was no previous file, and none was written
  kWrittenAnyway,  // -Werror without --atomic: it warned, and its file was written all the same
};

struct SourceFailure {
  // Where it stopped: the source or the control-file line that named it (as
  // shown: relative to where partsc was started), and the line (0: none).
  std::string file;
  int line = 0;
  std::string message;    // what stopped it, with the system's reason
  std::string partsFile;  // as shown; empty when it was never named
  LeftOnDisk left = LeftOnDisk::kNothing;
  // The backup this run moved the previous file to, or, when the previous
  // file was kept, the backup kept with it; empty: none.
  std::string backup;
};

// "src/b.src, line 19" or "src/b.src": a place that no editor takes for a
// diagnostic of its own.
std::string PlaceText(const SourceFailure& failure);

struct RunSummary {
  // Prints the summary on standard error, unless nothing went wrong: its
  // lines after the program name, or with `json` one line, the JSON object
  // {"summary": {...}}.
  void Print(OvConsole& console, bool json) const;

  int compiled = 0;
  std::vector<SourceFailure> failures;
  // The outputs (a log, the SARIF log) that could not be written: "FILE:
  // REASON".
  std::vector<std::string> notWritten;
};

}  // namespace partsc
