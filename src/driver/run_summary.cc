#include "driver/run_summary.h"

#include <nlohmann/json.hpp>
#include <string>

#include "platform/ov_console.h"
#include "platform/ov_escape.h"

namespace partsc {
namespace {

std::string Count(size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string BackupClause(const SourceFailure& failure, const char* verb) {
  return failure.backup.empty() ? std::string()
                                : std::string("; the previous file ") + verb + " " + failure.backup;
}

// The word of each LeftOnDisk, in the order of the enum.
constexpr const char* kLeftWords[] = {"nothing",       "incomplete",  "removed",
                                      "previous-kept", "not-written", "written"};

nlohmann::ordered_json TextOrNull(const std::string& text) {
  return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

// What a failed source left, in words: "parts/a.prt is left incomplete; the
// previous file is kept as parts/a.prt.old".
std::string LeftText(const SourceFailure& failure) {
  const std::string& file = failure.partsFile;
  switch (failure.left) {
    case LeftOnDisk::kNothing:
      return "no parts file was written" + BackupClause(failure, "was moved to");
    case LeftOnDisk::kIncomplete:
      return file + " is left incomplete" + BackupClause(failure, "is kept as");
    case LeftOnDisk::kRemoved:
      return file + " was removed again" + BackupClause(failure, "is kept as");
    case LeftOnDisk::kPreviousKept:
      return file + " was not replaced: " +
             (failure.backup.empty() ? "the previous file is as it was"
                                     : "the previous file and its backup are as they were");
    case LeftOnDisk::kWrittenAnyway:
      return file + " was written all the same" + BackupClause(failure, "is kept as");
    case LeftOnDisk::kNotWritten:
      break;
  }
  return file + " was not written";
}

// The summary as one JSON object, {"summary": {...}}.
std::string JsonOf(const RunSummary& summary) {
  nlohmann::ordered_json failures = nlohmann::ordered_json::array();
  for (const SourceFailure& failure : summary.failures) {
    failures.push_back({{"file", failure.file},
                        {"line", failure.line > 0 ? nlohmann::ordered_json(failure.line) : nullptr},
                        {"message", failure.message},
                        {"parts_file", TextOrNull(failure.partsFile)},
                        {"left", kLeftWords[static_cast<size_t>(failure.left)]},
                        {"backup", TextOrNull(failure.backup)}});
  }
  const nlohmann::ordered_json json = {{"summary",
                                        {{"compiled", summary.compiled},
                                         {"failed", summary.failures.size()},
                                         {"failures", failures},
                                         {"not_written", summary.notWritten}}}};
  // Bytes that are no UTF-8 (a Latin-1 file name) are replaced, never a
  // reason to lose the summary.
  return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

std::string PlaceText(const SourceFailure& failure) {
  return failure.line > 0 ? failure.file + ", line " + std::to_string(failure.line) : failure.file;
}

void RunSummary::Print(OvConsole& console, bool json) const {
  if (failures.empty() && notWritten.empty()) {
    return;
  }
  if (json) {
    dbgprintData(console, JsonOf(*this));
    return;
  }
  std::string head = "summary: " + Count(static_cast<size_t>(compiled), "source", "sources") +
                     " compiled, " + std::to_string(failures.size()) + " failed";
  if (!notWritten.empty()) {
    head += ", " + Count(notWritten.size(), "output", "outputs") + " not written";
  }
  const auto say = [&console](const std::string& line) { Complain(console, EscapeControls(line)); };
  say(head);
  for (const SourceFailure& failure : failures) {
    say("failed: " + PlaceText(failure) + ": " + failure.message);
    say("  left: " + LeftText(failure));
  }
  for (const std::string& output : notWritten) {
    say("not written: " + output);
  }
}

}  // namespace partsc
