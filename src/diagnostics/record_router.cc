#include "diagnostics/record_router.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace partsc {
namespace {

// Puts the records about `file` that have a line into the order of their
// lines, each in one of the places such records held; the others stay where
// they are.
void SortByLine(std::vector<DiagnosticRecord>& records, const std::string& file) {
  std::vector<size_t> places;
  std::vector<DiagnosticRecord> lined;
  for (size_t i = 0; i < records.size(); ++i) {
    if (records[i].line > 0 && records[i].file == file) {
      places.push_back(i);
      lined.push_back(std::move(records[i]));
    }
  }
  std::stable_sort(
      lined.begin(), lined.end(),
      [](const DiagnosticRecord& a, const DiagnosticRecord& b) { return a.line < b.line; });
  for (size_t i = 0; i < places.size(); ++i) {
    records[places[i]] = std::move(lined[i]);
  }
}

}  // namespace

void RecordRouter::BeginInput(std::string path) {
  EndInput();
  input_ = std::move(path);
  holding_ = true;
}

void RecordRouter::EndInput() {
  holding_ = false;
  SortByLine(held_, input_);
  for (const DiagnosticRecord& record : held_) {
    Deliver(record);
  }
  held_.clear();
}

void RecordRouter::Route(const DiagnosticRecord& record) {
  if (holding_) {
    held_.push_back(record);
    return;
  }
  Deliver(record);
}

void RecordRouter::Deliver(const DiagnosticRecord& record) {
  for (DiagnosticSink* sink : sinks_) {
    sink->Emit(record);
  }
}

void RecordRouter::SetOutcome(int exitCode, bool completed,
                              const std::vector<std::string>& notWritten) {
  for (DiagnosticSink* sink : sinks_) {
    sink->SetOutcome(exitCode, completed, notWritten);
  }
}

std::vector<std::string> RecordRouter::Finish(int exitStatus) {
  EndInput();
  std::vector<std::string> failures;
  for (DiagnosticSink* sink : sinks_) {
    if (std::optional<std::string> failure = sink->Finish(exitStatus)) {
      failures.push_back(std::move(*failure));
    }
  }
  sinks_.clear();
  owned_.clear();
  return failures;
}

}  // namespace partsc
