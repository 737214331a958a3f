// One diagnostic of a compile, as a record: what partsc reports in its error
// log and on its console, with where it points and what follows from it.
//
//   #include <partsc/diagnostic.h>
#pragma once

#include <string>
#include <string_view>

namespace partsc {

// How serious a diagnostic is.
enum class Severity { kError, kWarning, kNote };

// What follows from a diagnostic.
enum class Consequence {
  kGoesOn,          // the compile goes on
  kSourceStops,     // the compile of this source stops
  kFileNotWritten,  // the parts file is not written, or is removed again
  kRunStops,        // the run stops
};

// The words the structured formats use: "error", "warning", "note".
constexpr std::string_view SeverityName(Severity severity) {
  switch (severity) {
    case Severity::kError:
      return "error";
    case Severity::kWarning:
      return "warning";
    case Severity::kNote:
      break;
  }
  return "note";
}

// "goes-on", "source-stops", "file-not-written", "run-stops".
constexpr std::string_view ConsequenceName(Consequence consequence) {
  switch (consequence) {
    case Consequence::kGoesOn:
      return "goes-on";
    case Consequence::kSourceStops:
      return "source-stops";
    case Consequence::kFileNotWritten:
      return "file-not-written";
    case Consequence::kRunStops:
      break;
  }
  return "run-stops";
}

struct Diagnostic {
  std::string name;  // the stable name, "partsc-illegal-param" (partsc --explain NAME)
  // An error whenever the compile stops or the parts file is not written
  // after it, whatever letter the error log shows; else the message's own.
  Severity severity = Severity::kError;
  Consequence consequence = Consequence::kGoesOn;
  std::string message;  // the error log's text
  std::string file;     // the file it is about; empty: none
  int line = 0;         // the line of the file, from 1; 0: none
  // From 1: where the field it is about begins, or, for a line longer than
  // 79 characters that the compile reads in pieces, where its piece begins;
  // 0: the whole line, or none.
  int column = 0;
  std::string extra;   // what the error log adds in brackets: a path, a size's name
  std::string reason;  // why: the system's reason for an I/O failure, the cause of a refused line
  bool afterStop = false;  // found after the compile had stopped (CompileOptions::keepGoing)

  bool operator==(const Diagnostic&) const = default;
};

}  // namespace partsc
