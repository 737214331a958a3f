// A diagnostic as a record, and the sinks that receive the records of a run.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "diagnostics/catalogue.h"

namespace partsc {

// One diagnostic as the structured formats see it. The error log and the
// console keep their own fixed lines; a record carries what they leave out.
struct DiagnosticRecord {
  DiagnosticId id = DiagnosticId::kBlank;
  std::string file;  // the file it is about, as the run names it; empty: none
  int line = 0;      // the physical line in that file; 0: none
  int column = 0;    // from 1; 0: none
  // Where the piece of a long line the compile read as its line begins, from
  // 1; 0: no line.
  int pieceColumn = 0;
  Severity severity = Severity::kError;
  std::string message;  // the message text (for table rows, the row's text)
  int logLine = 0;      // the line number the error log shows; 0: none
  std::string extra;    // the extra text the error log shows in brackets
  std::string reason;   // why: the system's reason, the cause of a refused line
  std::string source;   // the source being compiled; empty: none
  // `file` is one the run writes (a parts file that could not be written or
  // was removed), not one a maintainer edits.
  bool aboutOutput = false;
  // Found when the compile of its source had already stopped, by a compile
  // asked to read on (--check --keep-going, the language server).
  bool afterStop = false;
};

// "MESSAGE: REASON", without ": REASON" when there is none, and with
// " (found after the compile stopped)" when `afterStop`: the text of a
// diagnostic as the console, the structured formats and the editor show it.
inline std::string MessageWithReason(std::string_view message, std::string_view reason,
                                     bool afterStop) {
  std::string text(message);
  if (!reason.empty()) {
    text.append(": ").append(reason);
  }
  if (afterStop) {
    text.append(" (found after the compile stopped)");
  }
  return text;
}
inline std::string MessageWithReason(const DiagnosticRecord& record) {
  return MessageWithReason(record.message, record.reason, record.afterStop);
}

// Receives every record of the run; Finish comes once at its end, with the
// status the run ends with, and answers what the sink could not write
// ("FILE: REASON"), none when all was written (or it writes nothing).
class DiagnosticSink {
 public:
  virtual ~DiagnosticSink() = default;
  virtual void Emit(const DiagnosticRecord& record) = 0;
  virtual std::optional<std::string> Finish(int /*exitStatus*/) { return std::nullopt; }
  // How the run ends, before Finish: its exit status (as the shell sees it),
  // whether it got to its end, and the outputs it could not write ("FILE:
  // REASON").
  virtual void SetOutcome(int /*exitCode*/, bool /*completed*/,
                          const std::vector<std::string>& /*notWritten*/) {}
};

// A sink that hands every record to `emit` and writes nothing of its own.
class FunctionSink : public DiagnosticSink {
 public:
  explicit FunctionSink(std::function<void(const DiagnosticRecord&)> emit)
      : emit_(std::move(emit)) {}
  void Emit(const DiagnosticRecord& record) override { emit_(record); }

 private:
  std::function<void(const DiagnosticRecord&)> emit_;
};

}  // namespace partsc
