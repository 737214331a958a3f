// Where the records of a run go: to every sink as they come, but those of
// an input held back while it is compiled and then handed over in the order
// of their lines.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "diagnostics/diagnostics_record.h"

namespace partsc {

class RecordRouter {
 public:
  void AddSink(std::unique_ptr<DiagnosticSink> sink) {
    sinks_.push_back(sink.get());
    owned_.push_back(std::move(sink));
  }
  // A sink its caller keeps alive until Finish.
  void AddSink(DiagnosticSink& sink) { sinks_.push_back(&sink); }
  bool HasSinks() const { return !sinks_.empty(); }
  // Holds the records of the input `path` from here to EndInput.
  void BeginInput(std::string path);
  void EndInput();
  void Route(const DiagnosticRecord& record);
  // Tells every sink how the run ends (see DiagnosticSink::SetOutcome).
  void SetOutcome(int exitCode, bool completed, const std::vector<std::string>& notWritten);
  // Ends every sink with the run's exit status and drops them; what they
  // could not write ("FILE: REASON"), empty when all was written.
  std::vector<std::string> Finish(int exitStatus);

 private:
  void Deliver(const DiagnosticRecord& record);

  std::vector<DiagnosticSink*> sinks_;
  std::vector<std::unique_ptr<DiagnosticSink>> owned_;
  std::string input_;
  bool holding_ = false;
  std::vector<DiagnosticRecord> held_;
};

}  // namespace partsc
