#include "lsp/analysis.h"

#include <algorithm>
#include <string_view>

#include "diagnostics/diagnostics.h"

namespace partsc::lsp {
namespace {

bool OpensField(char c) {
  return c == '"' || c == '!' || c == '(' || c == '<' || c == '[' || c == '{';
}

// The span of the first line of the text, for what belongs to no line.
PlacedDiagnostic OnFirstLine(const Reading& reading, std::string message) {
  PlacedDiagnostic placed;
  placed.end = reading.pieces.empty() ? 0 : reading.pieces.front().length;
  placed.message = std::move(message);
  return placed;
}

}  // namespace

int SeverityOf(const Diagnostic& diagnostic) {
  if (diagnostic.consequence != Consequence::kGoesOn || diagnostic.severity == Severity::kError) {
    return kSeverityError;
  }
  return diagnostic.severity == Severity::kWarning ? kSeverityWarning : kSeverityInformation;
}

PlacedDiagnostic Place(const Reading& reading, const Diagnostic& diagnostic) {
  std::string message = diagnostic.message;
  if (!diagnostic.reason.empty()) {
    message += ": " + diagnostic.reason;
  }
  if (diagnostic.afterStop) {
    message += " (" + std::string(kAfterStopNote) + ")";
  }
  std::optional<size_t> index;
  if (diagnostic.line > 0) {
    index = reading.PieceOfPosition(diagnostic.line, diagnostic.column);
  }
  PlacedDiagnostic placed = OnFirstLine(reading, std::move(message));
  placed.severity = SeverityOf(diagnostic);
  placed.code = diagnostic.name;
  if (!index) {
    return placed;
  }
  const Piece& piece = reading.pieces[*index];
  const std::string_view line = reading.TextOf(piece);
  placed.start = piece.offset;
  placed.end = piece.offset + piece.length;
  const int at = diagnostic.column - piece.startColumn;
  if (diagnostic.column <= 0 || at < 0 || static_cast<size_t>(at) >= line.size()) {
    return placed;
  }
  const auto column = static_cast<size_t>(at);
  placed.start = piece.offset + column;
  if (OpensField(line[column])) {
    placed.end = piece.offset + FieldEnd(line, column);
  }
  return placed;
}

std::vector<PlacedDiagnostic> AnalyseSnapshot(const Snapshot& snapshot, const std::string& path,
                                              const CompileSettings& settings,
                                              const CompileFunction& compile) {
  std::vector<PlacedDiagnostic> placed;
  if (!settings.problem.empty()) {
    placed.push_back(OnFirstLine(snapshot.reading, settings.problem));
  }
  CompileOptions options;
  options.warnings = {"all"};
  options.partsDirectory = settings.partsDirectory;
  options.keepGoing = true;
  const CompileResult result = compile(snapshot.text, path, options);
  for (const Diagnostic& diagnostic : result.diagnostics) {
    placed.push_back(Place(snapshot.reading, diagnostic));
  }
  return placed;
}

}  // namespace partsc::lsp
