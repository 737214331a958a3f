#include "diagnostics/sinks.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/ov_console.h"
#include "platform/ov_file.h"
#include "platform/ov_file_io.h"
#include "platform/ov_session.h"
#include "platform/ov_string_util.h"
#include "platform/ov_util.h"

namespace partsc {
namespace {

std::string_view SeverityWord(Severity severity) {
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

// A JSON string; bytes outside ASCII are taken as Latin-1, so that any file
// name gives valid JSON.
std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u >= 0x20 && u < 0x7f) {
      out += c;
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", u);
      out += escape;
    }
  }
  return out + "\"";
}

std::string JsonNumber(int value) {
  return value > 0 ? std::to_string(value) : "null";
}

std::string JsonText(std::string_view text) {
  return text.empty() ? "null" : JsonString(text);
}

std::string ShownPath(const DiagnosticRecord& record, const std::string& directory) {
  return record.file.empty() ? std::string() : OvFile::RelativeTo(directory, record.file);
}

std::string MessageWithReason(const DiagnosticRecord& record) {
  return record.reason.empty() ? record.message : record.message + ": " + record.reason;
}

class ConsoleSink : public DiagnosticSink {
 public:
  ConsoleSink(OvConsole& console, DiagnosticsFormat format, std::string directory)
      : console_(console), format_(format), directory_(std::move(directory)) {}
  void Emit(const DiagnosticRecord& record) override {
    const std::string line = format_ == DiagnosticsFormat::kJson ? JsonLine(record, directory_)
                                                                 : GnuLine(record, directory_);
    dbgprint(console_, kConsoleFatal, "%s\n", line.c_str());
  }

 private:
  OvConsole& console_;
  DiagnosticsFormat format_;
  std::string directory_;
};

// Percent-encodes a path for a URI; "/" stays.
std::string UriPath(std::string_view path) {
  std::string out;
  for (const char c : path) {
    const auto u = static_cast<unsigned char>(c);
    const bool plain = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      out += c;
      continue;
    }
    char escape[4];
    std::snprintf(escape, sizeof escape, "%%%02X", u);
    out += escape;
  }
  return out;
}

class SarifSink : public DiagnosticSink {
 public:
  SarifSink(OvConsole& console, std::string path, std::string directory,
            std::string displayDirectory)
      : console_(console),
        path_(std::move(path)),
        directory_(std::move(directory)),
        displayDirectory_(std::move(displayDirectory)) {
    for (const CatalogueEntry& entry : Catalogue()) {
      ruleOf_.push_back(entry.reported ? static_cast<int>(rules_.size()) : -1);
      if (entry.reported) {
        rules_.push_back(&entry);
      }
    }
  }

  // A parts file that did not read back was removed: code scanning would
  // point at a file it cannot see, so the result points at the source, and
  // the message names the parts file.
  void Emit(const DiagnosticRecord& record) override {
    records_.push_back(record);
    DiagnosticRecord& kept = records_.back();
    if (record.id != DiagnosticId::kIllegalFileDelete || record.source.empty()) {
      return;
    }
    const std::string parts = ShownPath(record, displayDirectory_);
    kept.reason = record.reason.empty() ? parts : parts + ": " + record.reason;
    kept.file = record.source;
  }

  bool Finish() override {
    OvFileIO out;
    if (!out.Fopen(OvFile::Resolve(directory_, path_), "w")) {
      failure_ = path_ + ": " + LastSystemError();
      Complain(console_, "cannot write the SARIF log " + failure_);
      return false;
    }
    const std::string text = Document();
    out.Fprintf("%s", text.c_str());
    out.Fclose();
    if (!out.ErrorText().empty()) {
      failure_ = path_ + ": " + out.ErrorText();
      ComplainNotWritten(console_, path_, out.ErrorText());
      return false;
    }
    return true;
  }

  std::string Failure() const override { return failure_; }

  void SetOutcome(int exitCode, bool completed,
                  const std::vector<std::string>& notWritten) override {
    exitCode_ = exitCode;
    completed_ = completed;
    notWritten_ = notWritten;
  }

 private:
  std::string Rule(const CatalogueEntry& entry) const {
    std::string rule = "{\"id\": " + JsonString(entry.name) +
                       ", \"shortDescription\": {\"text\": " + JsonString(entry.text) + "}";
    if (!entry.meaning.empty()) {
      rule += ", \"fullDescription\": {\"text\": " + JsonString(entry.meaning) + "}";
    }
    rule += ", \"help\": " + Help(entry);
    return rule + ", \"defaultConfiguration\": {\"level\": \"" +
           std::string(SeverityWord(ConsequenceSeverity(entry))) + "\"}}";
  }

  // What --explain says of the rule, as text and as markdown.
  static std::string Help(const CatalogueEntry& entry) {
    const std::string meaning(entry.meaning.empty() ? entry.text : entry.meaning);
    std::string text = meaning;
    std::string markdown = meaning;
    if (!entry.example.empty()) {
      text += "\nExample:\n" + std::string(entry.example);
      markdown += "\n\nExample:\n\n```\n" + std::string(entry.example) + "\n```";
    }
    if (!entry.fix.empty()) {
      text += "\nFix: " + std::string(entry.fix);
      markdown += "\n\nFix: " + std::string(entry.fix);
    }
    return "{\"text\": " + JsonString(text) + ", \"markdown\": " + JsonString(markdown) + "}";
  }

  // The message with the paths below the directory partsc was started in
  // made relative, so that a checkout elsewhere gives the same.
  std::string PortableMessage(const DiagnosticRecord& record) const {
    std::string message = MessageWithReason(record);
    const std::string prefix = displayDirectory_ + "/";
    for (size_t at = message.find(prefix); at != std::string::npos; at = message.find(prefix, at)) {
      message.erase(at, prefix.size());
    }
    return message;
  }

  // What tells this result from the others of its file whatever lines were
  // added or removed around it: the rule, the file, the message and how many
  // results before it in the file had the same three.
  std::string Fingerprint(const DiagnosticRecord& record, int occurrence) const {
    const std::string key = std::string(CatalogueOf(record.id).name) + '\0' +
                            ShownPath(record, displayDirectory_) + '\0' + PortableMessage(record) +
                            '\0' + std::to_string(occurrence);
    uint64_t hash = 14695981039346656037ULL;  // FNV-1a
    for (const char c : key) {
      hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
  }

  std::string Location(const DiagnosticRecord& record) const {
    const std::string shown = ShownPath(record, displayDirectory_);
    const bool relative = !shown.empty() && shown.front() != '/';
    std::string location = "{\"physicalLocation\": {\"artifactLocation\": {\"uri\": " +
                           JsonString(relative ? UriPath(shown) : "file://" + UriPath(shown));
    location += relative ? ", \"uriBaseId\": \"SRCROOT\"}" : "}";
    if (record.line > 0) {
      location += ", \"region\": {\"startLine\": " + std::to_string(record.line);
      location += record.column > 0 ? ", \"startColumn\": " + std::to_string(record.column) : "";
      location += "}";
    }
    return location + "}}";
  }

  std::string Result(const DiagnosticRecord& record, int occurrence) const {
    const CatalogueEntry& entry = CatalogueOf(record.id);
    const int rule = ruleOf_[static_cast<size_t>(record.id)];
    std::string result = "{\"ruleId\": " + JsonString(entry.name);
    result += rule >= 0 ? ", \"ruleIndex\": " + std::to_string(rule) : "";
    result += ", \"level\": \"" + std::string(SeverityWord(record.severity)) + "\"";
    result += ", \"message\": {\"text\": " + JsonString(MessageWithReason(record)) + "}";
    if (!record.file.empty()) {
      result += ", \"locations\": [" + Location(record) + "]";
    }
    result += ", \"partialFingerprints\": {\"partscResult/v1\": \"" +
              Fingerprint(record, occurrence) + "\"}";
    return result + "}";
  }

  // The one invocation of the run: how it ended, and each output it could
  // not write as a notification.
  std::string Invocation() const {
    std::string invocation =
        "{\"executionSuccessful\": " + std::string(completed_ ? "true" : "false") +
        ", \"exitCode\": " + std::to_string(exitCode_);
    invocation += ", \"toolExecutionNotifications\": [";
    for (size_t i = 0; i < notWritten_.size(); ++i) {
      invocation += (i == 0 ? "" : ", ") +
                    std::string("{\"level\": \"error\", \"message\": {\"text\": ") +
                    JsonString("not written: " + notWritten_[i]) + "}}";
    }
    return invocation + "]}";
  }

  std::string Document() const {
    std::string doc =
        "{\"$schema\": \"https://json.schemastore.org/sarif-2.1.0.json\", \"version\": "
        "\"2.1.0\", \"runs\": [{\"tool\": {\"driver\": {\"name\": \"partsc\", \"version\": " +
        JsonString(ProgramVersion()) + ", \"rules\": [";
    for (size_t i = 0; i < rules_.size(); ++i) {
      doc += (i == 0 ? "\n" : ",\n") + Rule(*rules_[i]);
    }
    doc += "]}}, \"originalUriBaseIds\": {\"SRCROOT\": {\"uri\": " +
           JsonString("file://" + UriPath(displayDirectory_) + "/") + "}}";
    doc += ", \"invocations\": [" + Invocation() + "]";
    doc += ", \"results\": [";
    std::map<std::string, int> seen;  // by rule, file and message
    for (size_t i = 0; i < records_.size(); ++i) {
      const DiagnosticRecord& record = records_[i];
      const std::string key = std::string(CatalogueOf(record.id).name) + '\0' + record.file + '\0' +
                              MessageWithReason(record);
      doc += (i == 0 ? "\n" : ",\n") + Result(record, seen[key]++);
    }
    return doc + "]}]}\n";
  }

  OvConsole& console_;
  std::string path_;
  std::string directory_;         // the log's path is taken from it
  std::string displayDirectory_;  // the locations are relative to it
  std::vector<const CatalogueEntry*> rules_;
  std::vector<int> ruleOf_;  // by catalogue id: the rule's index, or -1
  std::vector<DiagnosticRecord> records_;
  std::string failure_;
  int exitCode_ = 0;
  bool completed_ = true;
  std::vector<std::string> notWritten_;
};

}  // namespace

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
  line += ": " + std::string(SeverityWord(record.severity)) + ": " + MessageWithReason(record);
  return EscapeControls(line) + " [" + std::string(CatalogueOf(record.id).name) + "]";
}

std::string JsonLine(const DiagnosticRecord& record, const std::string& directory) {
  std::string line = "{\"file\": " + JsonText(ShownPath(record, directory));
  line += ", \"line\": " + JsonNumber(record.line);
  line += ", \"column\": " + JsonNumber(record.column);
  line += ", \"severity\": \"" + std::string(SeverityWord(record.severity)) + "\"";
  line += ", \"name\": " + JsonString(CatalogueOf(record.id).name);
  line += ", \"message\": " + JsonString(record.message);
  line += ", \"log_line\": " + JsonNumber(record.logLine);
  line += ", \"extra\": " + JsonText(record.extra);
  return line + ", \"reason\": " + JsonText(record.reason) + "}";
}

std::unique_ptr<DiagnosticSink> MakeConsoleSink(OvConsole& console, DiagnosticsFormat format,
                                                const std::string& directory) {
  return std::make_unique<ConsoleSink>(console, format, directory);
}

std::unique_ptr<DiagnosticSink> MakeSarifSink(OvConsole& console, const std::string& path,
                                              const std::string& directory,
                                              const std::string& displayDirectory) {
  return std::make_unique<SarifSink>(console, path, directory, displayDirectory);
}

}  // namespace partsc
