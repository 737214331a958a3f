#include "diagnostics/sinks.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <partsc/version.h>
#include <nlohmann/json.hpp>

#include "platform/ov_console.h"
#include "platform/ov_escape.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_string_util.h"
#include "platform/ov_util.h"

namespace partsc {
namespace {

using Json = nlohmann::ordered_json;

// A text of a diagnostic line: UTF-8 as it stands, other bytes read as
// Latin-1; null when empty.
Json LineText(std::string_view text) {
  return text.empty() ? Json(nullptr) : Json(AsUtf8(text));
}

// A number that is only there when above 0.
Json LineNumber(int value) {
  return value > 0 ? Json(value) : Json(nullptr);
}

std::string ShownPath(const DiagnosticRecord& record, const std::string& directory) {
  return record.file.empty() ? std::string() : OvFile::RelativeTo(directory, record.file);
}

// `path` without ".", ".." and doubled or trailing slashes; "/" stays.
std::string NormalPath(const std::string& path) {
  std::string normal = std::filesystem::path(path).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') {
    normal.pop_back();
  }
  return normal;
}

// 64 bits of FNV-1a over `text`, as 16 hexadecimal digits.
std::string HashText(std::string_view text) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
  return digits;
}

// The line `number` (from 1) of `text` with its blanks squeezed: the same
// line gives the same text wherever it moved and however it was indented.
std::string SqueezedLine(std::string_view text, int number) {
  size_t start = 0;
  for (int line = 1; line < number && start < text.size(); ++line) {
    const size_t end = text.find('\n', start);
    start = end == std::string_view::npos ? text.size() : end + 1;
  }
  const size_t end = std::min(text.find('\n', start), text.size());
  std::string squeezed;
  for (const char c : text.substr(start, end - start)) {
    const bool blank = c == ' ' || c == '\t' || c == '\r';
    if (blank && (squeezed.empty() || squeezed.back() == ' ')) {
      continue;
    }
    squeezed += blank ? ' ' : c;
  }
  while (!squeezed.empty() && squeezed.back() == ' ') {
    squeezed.pop_back();
  }
  return squeezed;
}

Json Message(std::string text) {
  return {{"text", std::move(text)}};
}

// The stable name in words run together: "partsc-illegal-param" gives
// "IllegalParam".
std::string RuleName(const CatalogueEntry& entry) {
  std::string name;
  bool start = true;
  for (const char c : entry.name.substr(entry.name.find('-') + 1)) {
    if (c == '-') {
      start = true;
      continue;
    }
    name += start ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    start = false;
  }
  return name;
}

// A rule of the log: the stable name, the message, and the explanation
// --explain gives (what it means, an example, the fix), as text and as
// Markdown.
Json Rule(const CatalogueEntry& entry) {
  return {
      {"id", entry.name},
      {"name", RuleName(entry)},
      {"shortDescription", Message(std::string(entry.text))},
      {"fullDescription", Message(std::string(entry.meaning))},
      {"help",
       {{"text", std::string(entry.meaning) + "\nExample:\n" + std::string(entry.example) +
                     "\nFix: " + std::string(entry.fix)},
        {"markdown", std::string(entry.meaning) + "\n\nExample:\n\n```\n" +
                         std::string(entry.example) + "\n```\n\nFix: " + std::string(entry.fix)}}},
      {"defaultConfiguration",
       {{"level", SeverityName(ConsequenceSeverity(entry.consequence, entry.severity))}}}};
}

// The index of an entry's rule: the rules are the reported entries, in the
// order of the catalogue. -1 for an entry that is no rule.
int RuleIndex(const CatalogueEntry& entry) {
  if (!entry.Reported()) {
    return -1;
  }
  return static_cast<int>(std::ranges::count_if(Catalogue().first(static_cast<size_t>(entry.id)),
                                                &CatalogueEntry::Reported));
}

class SarifSink : public DiagnosticSink {
 public:
  SarifSink(OvConsole& console, std::string path, std::string directory, std::string base,
            WholeFileWriter write)
      : console_(console),
        path_(std::move(path)),
        directory_(std::move(directory)),
        base_(NormalPath(base)),
        write_(std::move(write)) {}

  void Emit(const DiagnosticRecord& record) override {
    records_.push_back(AtSource(record, base_));
  }

  // The log is written whole or not at all: under a hidden name beside it
  // that takes its name once it is complete.
  std::optional<std::string> Finish(int exitStatus) override {
    // The bytes that are not UTF-8 are replaced.
    const std::string text =
        Document(exitStatus).dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    const OvResult<WholeWrite> replaced = write_(OvFile::Resolve(directory_, path_), text);
    if (replaced.Ok()) {
      return std::nullopt;
    }
    std::string failure = path_ + ": " + replaced.reason;
    if (replaced.status == WholeWrite::kNotOpened) {
      Complain(console_, "cannot write the SARIF log " + failure);
    } else {
      ComplainNotWritten(console_, path_, replaced.reason);
    }
    return failure;
  }

  void SetOutcome(int exitCode, bool completed,
                  const std::vector<std::string>& notWritten) override {
    outcome_ = Outcome{exitCode, completed, notWritten};
  }

 private:
  struct Outcome {
    int exitCode = 0;
    bool completed = true;
    std::vector<std::string> notWritten;
  };
  // The file of a record, absolute and normal.
  std::string FullPath(const DiagnosticRecord& record) const {
    return NormalPath(OvFile::Resolve(directory_, record.file));
  }

  // The artifact of a file: a URI relative to the base where it lies below
  // it, an absolute "file:" URI otherwise.
  Json Artifact(const std::string& full) const {
    const std::string shown = OvFile::RelativeTo(base_, full);
    if (shown.front() == '/') {
      return {{"uri", FileUri(shown)}};
    }
    return {{"uri", UriPath(shown)}, {"uriBaseId", "SRCROOT"}};
  }

  Json Location(const DiagnosticRecord& record) const {
    Json physical = {{"artifactLocation", Artifact(FullPath(record))}};
    if (record.line > 0) {
      physical["region"] = {{"startLine", record.line}};
      if (record.column > 0) {
        physical["region"]["startColumn"] = record.column;
      }
    }
    return {{"physicalLocation", std::move(physical)}};
  }

  // The text of the line a record points at, or its message when it points
  // at no line.
  std::string Anchor(const DiagnosticRecord& record) {
    if (record.line <= 0) {
      return MessageWithReason(record);
    }
    const std::string full = FullPath(record);
    auto found = texts_.find(full);
    if (found == texts_.end()) {
      found =
          texts_.emplace(full, OvFileIO::ReadWholeFile(full, kTextReadLimit, false).bytes).first;
    }
    return SqueezedLine(found->second, record.line);
  }

  // What stays when lines above or below move: the rule, the file, the text
  // of the line and the column, with the number of results before it that
  // have the same.
  Json Fingerprints(const DiagnosticRecord& record) {
    const std::string key = std::string(CatalogueOf(record.id).name) + '\n' +
                            Artifact(FullPath(record))["uri"].get<std::string>() + '\n' +
                            std::to_string(record.column) + '\n' + Anchor(record);
    const int seen = seen_[key]++;
    return {{"partscResult/v1", HashText(key) + ":" + std::to_string(seen + 1)}};
  }

  Json Result(const DiagnosticRecord& record) {
    const CatalogueEntry& entry = CatalogueOf(record.id);
    Json result = {{"ruleId", entry.name}};
    if (const int rule = RuleIndex(entry); rule >= 0) {
      result["ruleIndex"] = rule;
    }
    result["level"] = SeverityName(record.severity);
    result["message"] = Message(MessageWithReason(record));
    result["locations"] = Json::array({Location(record)});
    result["partialFingerprints"] = Fingerprints(record);
    return result;
  }

  // A failure of the run rather than of a file: a diagnostic that stopped
  // it, or a problem written on standard error.
  Json Notification(std::string text, const CatalogueEntry* entry) const {
    Json notification = {{"level", "error"}, {"message", Message(text)}};
    if (entry != nullptr) {
      notification["associatedRule"] = {{"id", entry->name}, {"index", RuleIndex(*entry)}};
    }
    return notification;
  }

  // The one invocation: whether the run got to its end, its exit status as
  // the shell sees it, and its failures. A run told no outcome stopped
  // before it began or was a check: its problems on standard error are told.
  Json Invocation(int exitStatus, Json notifications) const {
    const Outcome outcome =
        outcome_.value_or(Outcome{exitStatus & 0xff, exitStatus == 0 || exitStatus == 1, {}});
    for (const std::string& output : outcome.notWritten) {
      notifications.push_back(Notification("not written: " + output, nullptr));
    }
    if (!outcome_) {
      for (const std::string& complaint : console_.Complaints()) {
        notifications.push_back(Notification(complaint, nullptr));
      }
    }
    return {{"executionSuccessful", outcome.completed},
            {"exitCode", outcome.exitCode},
            {"toolExecutionNotifications", std::move(notifications)}};
  }

  Json Document(int exitStatus) {
    Json rules = Json::array();
    for (const CatalogueEntry& entry : Catalogue()) {
      if (entry.Reported()) {
        rules.push_back(Rule(entry));
      }
    }
    Json results = Json::array();
    Json notifications = Json::array();
    for (const DiagnosticRecord& record : records_) {
      const CatalogueEntry& entry = CatalogueOf(record.id);
      if (entry.consequence == Consequence::kRunStops || record.file.empty()) {
        notifications.push_back(Notification(MessageWithReason(record), &entry));
        continue;
      }
      results.push_back(Result(record));
    }
    Json driver = {{"name", "partsc"},
                   {"version", PARTSC_VERSION_STRING},
                   {"semanticVersion", PARTSC_VERSION_STRING},
                   {"rules", std::move(rules)}};
    Json run = {
        {"tool", {{"driver", std::move(driver)}}},
        {"invocations", Json::array({Invocation(exitStatus, std::move(notifications))})},
        {"originalUriBaseIds", {{"SRCROOT", {{"uri", FileUri(base_ == "/" ? "" : base_) + "/"}}}}},
        {"results", std::move(results)}};
    return {{"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
            {"version", "2.1.0"},
            {"runs", Json::array({std::move(run)})}};
  }

  OvConsole& console_;
  std::string path_;
  std::string directory_;  // the log's path and the records' files are taken from it
  std::string base_;       // the artifacts' URIs are relative to it
  WholeFileWriter write_;
  std::vector<DiagnosticRecord> records_;
  std::map<std::string, std::string> texts_;  // the files read for fingerprints
  std::map<std::string, int> seen_;           // results by what their fingerprint hashes
  std::optional<Outcome> outcome_;            // as SetOutcome told it
};

}  // namespace

// Every form points at what a maintainer edits: a parts file that could not
// be written, or did not read back and was removed, is no file an editor or
// code scanning can show, so the record points at its source, and the parts
// file (as shown from `directory`) comes before the reason.
DiagnosticRecord AtSource(const DiagnosticRecord& record, const std::string& directory) {
  if (!record.aboutOutput || record.source.empty()) {
    return record;
  }
  DiagnosticRecord moved = record;
  const std::string parts = ShownPath(record, directory);
  moved.reason = record.reason.empty() ? parts : parts + ": " + record.reason;
  moved.file = record.source;
  return moved;
}

std::string GnuLine(const DiagnosticRecord& record, const std::string& directory) {
  std::string line = record.file.empty() ? std::string("partsc") : ShownPath(record, directory);
  if (record.line > 0) {
    // Appended piece by piece: g++ 12 at -O3 warns that `":" + std::to_string(n)`
    // may copy overlapping bytes (a false positive of its -Wrestrict).
    line.append(":").append(std::to_string(record.line));
    if (record.column > 0) {
      line.append(":").append(std::to_string(record.column));
    }
  }
  line += ": " + std::string(SeverityName(record.severity)) + ": " + MessageWithReason(record);
  return EscapeControls(line) + " [" + std::string(CatalogueOf(record.id).name) + "]";
}

std::string JsonLine(const DiagnosticRecord& record, const std::string& directory) {
  Json line = {{"file", LineText(ShownPath(record, directory))},
               {"line", LineNumber(record.line)},
               {"column", LineNumber(record.column)},
               {"severity", std::string(SeverityName(record.severity))},
               {"name", AsUtf8(CatalogueOf(record.id).name)},
               {"message", AsUtf8(record.message)},
               {"log_line", LineNumber(record.logLine)},
               {"extra", LineText(record.extra)},
               {"reason", LineText(record.reason)}};
  // Only where it is true: the lines of every other run stay as they were.
  if (record.afterStop) {
    line["after_stop"] = true;
  }
  return line.dump();
}

std::unique_ptr<DiagnosticSink> MakeConsoleSink(OvConsole& console, DiagnosticsFormat format,
                                                const std::string& directory) {
  return std::make_unique<FunctionSink>(
      [&console, format, directory](const DiagnosticRecord& record) {
        const DiagnosticRecord shown = AtSource(record, directory);
        if (format == DiagnosticsFormat::kJson) {
          dbgprintData(console, JsonLine(shown, directory));
          return;
        }
        dbgprint(console, kConsoleFatal, "%s\n", GnuLine(shown, directory).c_str());
      });
}

std::unique_ptr<DiagnosticSink> MakeSarifSink(OvConsole& console, const std::string& path,
                                              const std::string& directory,
                                              const std::string& displayDirectory,
                                              WholeFileWriter write) {
  return std::make_unique<SarifSink>(console, path, directory, displayDirectory, std::move(write));
}

}  // namespace partsc
