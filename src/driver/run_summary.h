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
  kNothing,       // the parts file was not begun
  kIncomplete,    // written in place and left incomplete
  kRemoved,       // written, not read back, and removed again
  kPreviousKept,  // --atomic: the previous file and its backup are as they were
  kNotWritten,    // --atomic: there was no previous file, and none was written
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
// What a failed source left, in words: "parts/a.prt is left incomplete; the
// previous file is kept as parts/a.prt.old".
std::string LeftText(const SourceFailure& failure);

class RunSummary {
 public:
  void AddCompiled() { ++compiled_; }
  void AddFailure(SourceFailure failure) { failures_.push_back(std::move(failure)); }
  // An output (a log, the SARIF log) that could not be written: "FILE:
  // REASON".
  void AddOutputNotWritten(std::string what) { outputs_.push_back(std::move(what)); }

  bool Empty() const { return failures_.empty() && outputs_.empty(); }
  const std::vector<std::string>& OutputsNotWritten() const { return outputs_; }
  // The lines of the summary, without the program name.
  std::vector<std::string> Lines() const;
  // The summary as one JSON object, {"summary": {...}}.
  std::string Json() const;
  // Prints the summary on standard error, unless it is empty: Lines after
  // the program name, or with `json` the one line of Json.
  void Print(OvConsole& console, bool json) const;

 private:
  int compiled_ = 0;
  std::vector<SourceFailure> failures_;
  std::vector<std::string> outputs_;
};

}  // namespace partsc
