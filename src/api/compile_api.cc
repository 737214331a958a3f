// The compile of the library: one source in memory, its diagnostics as
// records.
#include <partsc/partsc.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include "compiler/compile_passes.h"
#include "compiler/memory_compile.h"
#include "diagnostics/catalogue.h"
#include "diagnostics/diagnostics.h"

namespace partsc::api {
namespace {

std::string SeverityWord(Severity severity) {
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

std::string ConsequenceWord(Consequence consequence) {
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

// Keeps every record as the library gives it.
class Collector : public DiagnosticSink {
 public:
  explicit Collector(std::vector<Diagnostic>& out) : out_(out) {}

  bool Finish(int /*exitStatus*/) override { return true; }

  void Emit(const DiagnosticRecord& record) override {
    const CatalogueEntry& entry = CatalogueOf(record.id);
    Diagnostic d;
    d.name = std::string(entry.name);
    d.severity = SeverityWord(record.severity);
    d.label = std::string(SeverityLabel(entry.severity));
    d.consequence = ConsequenceWord(entry.consequence);
    d.message = record.message;
    d.file = record.file;
    d.line = record.line;
    d.column = record.column;
    d.logLine = record.logLine;
    d.extra = record.extra;
    d.reason = record.reason;
    d.afterStop = record.afterStop;
    out_.push_back(std::move(d));
  }

 private:
  std::vector<Diagnostic>& out_;
};

// The directory part of a path; "." for a path without "/".
std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

CompileResult Compile(const std::string& path, std::optional<std::string_view> text,
                      const CompileOptions& options) {
  CompileResult result;
  MemoryCompiler compiler;
  Diagnostics& diagnostics = compiler.diagnostics();
  for (const std::string& warning : options.warnings) {
    if (!diagnostics.ApplyWarningOption(warning)) {
      throw std::invalid_argument("unknown warning option '-W" + warning + "'");
    }
  }
  diagnostics.AddSink(std::make_unique<Collector>(result.diagnostics));
  diagnostics.OpenErrorLogInMemory(path);
  const std::string directory =
      options.partsDirectory.empty() ? DirectoryOf(path) : options.partsDirectory;
  CompileOutcome outcome =
      compiler.Compile(LineSource{path, text}, directory, true, options.keepGoing);
  result.code = DesignCode(outcome.status);
  result.partsPath = std::move(outcome.outputPath);
  if (result.code == 0) {
    result.bytes = compiler.Bytes();
    result.model = std::move(outcome.model);
  }
  result.errorLog = diagnostics.ErrorLogText();
  diagnostics.CloseErrorLog();
  diagnostics.FinishSinks(result.code);
  return result;
}

}  // namespace

CompileResult CompileText(std::string_view text, const std::string& path,
                          const CompileOptions& options) {
  return Compile(path, text, options);
}

CompileResult CompileFile(const std::string& path, const CompileOptions& options) {
  return Compile(path, std::nullopt, options);
}

}  // namespace partsc::api
