#include "diagnostics/sinks.h"

#include <cstdio>
#include <nlohmann/json.hpp>
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

const char* SeverityWord(Severity severity) {
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

using Json = nlohmann::ordered_json;

// A text for JSON: UTF-8 as it stands, other bytes read as Latin-1.
Json JsonText(std::string_view text) {
  return AsUtf8(text);
}

// A number that is only there when above 0, and a text only when not empty.
Json Positive(int value) {
  return value > 0 ? Json(value) : Json(nullptr);
}

Json Optional(std::string_view text) {
  return text.empty() ? Json(nullptr) : JsonText(text);
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

  void Emit(const DiagnosticRecord& record) override { records_.push_back(record); }

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

 private:
  static Json Rule(const CatalogueEntry& entry) {
    Json rule = Json::object();
    rule["id"] = JsonText(entry.name);
    rule["shortDescription"] = {{"text", JsonText(entry.text)}};
    if (!entry.meaning.empty()) {
      rule["fullDescription"] = {{"text", JsonText(entry.meaning)}};
    }
    rule["defaultConfiguration"] = {{"level", SeverityWord(ConsequenceSeverity(entry))}};
    return rule;
  }

  Json Location(const DiagnosticRecord& record) const {
    const std::string shown = ShownPath(record, displayDirectory_);
    const bool relative = !shown.empty() && shown.front() != '/';
    Json artifact = Json::object();
    artifact["uri"] = JsonText(relative ? UriPath(shown) : "file://" + UriPath(shown));
    if (relative) {
      artifact["uriBaseId"] = "SRCROOT";
    }
    Json physical = Json::object();
    physical["artifactLocation"] = std::move(artifact);
    if (record.line > 0) {
      Json region = Json::object();
      region["startLine"] = record.line;
      if (record.column > 0) {
        region["startColumn"] = record.column;
      }
      physical["region"] = std::move(region);
    }
    return {{"physicalLocation", std::move(physical)}};
  }

  Json Result(const DiagnosticRecord& record) const {
    const CatalogueEntry& entry = CatalogueOf(record.id);
    const int rule = ruleOf_[static_cast<size_t>(record.id)];
    Json result = Json::object();
    result["ruleId"] = JsonText(entry.name);
    if (rule >= 0) {
      result["ruleIndex"] = rule;
    }
    result["level"] = SeverityWord(record.severity);
    result["message"] = {{"text", JsonText(MessageWithReason(record))}};
    if (!record.file.empty()) {
      result["locations"] = Json::array({Location(record)});
    }
    return result;
  }

  std::string Document() const {
    Json rules = Json::array();
    for (const CatalogueEntry* entry : rules_) {
      rules.push_back(Rule(*entry));
    }
    Json driver = Json::object();
    driver["name"] = "partsc";
    driver["version"] = ProgramVersion();
    driver["rules"] = std::move(rules);
    Json results = Json::array();
    for (const DiagnosticRecord& record : records_) {
      results.push_back(Result(record));
    }
    Json run = Json::object();
    run["tool"] = {{"driver", std::move(driver)}};
    run["originalUriBaseIds"] = {
        {"SRCROOT", {{"uri", JsonText("file://" + UriPath(displayDirectory_) + "/")}}}};
    run["results"] = std::move(results);
    Json doc = Json::object();
    doc["$schema"] = "https://json.schemastore.org/sarif-2.1.0.json";
    doc["version"] = "2.1.0";
    doc["runs"] = Json::array({std::move(run)});
    return doc.dump(2) + "\n";
  }

  OvConsole& console_;
  std::string path_;
  std::string directory_;         // the log's path is taken from it
  std::string displayDirectory_;  // the locations are relative to it
  std::vector<const CatalogueEntry*> rules_;
  std::vector<int> ruleOf_;  // by catalogue id: the rule's index, or -1
  std::vector<DiagnosticRecord> records_;
  std::string failure_;
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
  Json line = Json::object();
  line["file"] = Optional(ShownPath(record, directory));
  line["line"] = Positive(record.line);
  line["column"] = Positive(record.column);
  line["severity"] = SeverityWord(record.severity);
  line["name"] = JsonText(CatalogueOf(record.id).name);
  line["message"] = JsonText(record.message);
  line["log_line"] = Positive(record.logLine);
  line["extra"] = Optional(record.extra);
  line["reason"] = Optional(record.reason);
  return line.dump();
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
