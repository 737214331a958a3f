#include "lsp/analysis.h"

#include <algorithm>
#include <string_view>

#include "diagnostics/catalogue.h"
#include "diagnostics/diagnostics.h"
#include "diagnostics/diagnostics_record.h"
#include "platform/ov_string_util.h"

namespace partsc::lsp {

std::string Snapshot::ClientText(std::string_view part) const {
  return encoding == TextEncoding::kLatin1 ? Latin1ToUtf8(part) : std::string(part);
}

std::vector<std::string> CompileSettings::RunWarnings() const {
  std::vector<std::string> all = {"all"};
  all.insert(all.end(), warnings.begin(), warnings.end());
  return all;
}

Diagnostic Kept(Diagnostic diagnostic) {
  diagnostic.file.clear();
  diagnostic.extra.clear();
  return diagnostic;
}

PlacedDiagnostic Place(const Snapshot& snapshot, const Diagnostic& finding) {
  const Reading& reading = snapshot.reading;
  std::string message = MessageWithReason(finding.message, finding.reason, finding.afterStop);
  const std::optional<size_t> index =
      finding.line > 0 ? reading.PieceOfPosition(finding.line, finding.column) : std::nullopt;
  // What belongs to no line stands on the first.
  PlacedDiagnostic placed{.end = reading.pieces.empty() ? 0 : reading.pieces.front().length,
                          .severity = finding.severity,
                          .code = finding.name,
                          .message = std::move(message),
                          .fix = std::nullopt};
  if (!index) {
    return placed;
  }
  const Piece& piece = reading.pieces[*index];
  const std::string_view line = reading.TextOf(piece);
  placed.start = piece.offset;
  placed.end = piece.offset + piece.length;
  const int at = finding.column - piece.startColumn;
  if (finding.column > 0 && at >= 0 && static_cast<size_t>(at) < line.size()) {
    const auto column = static_cast<size_t>(at);
    placed.start = piece.offset + column;
    // A column at a field's opening character names the whole field.
    if (std::string_view("\"!(<[{").find(line[column]) != std::string_view::npos) {
      placed.end = piece.offset + FieldEnd(line, column);
    }
  }
  placed.fix = FixOf(reading, finding, placed.start, snapshot.encoding == TextEncoding::kUtf8);
  return placed;
}

void Analyse(Analysis& analysis, const std::string& path, const CompileSettings& settings,
             const CompileFunction& compile) {
  const Snapshot& snapshot = *analysis.snapshot;
  if (!settings.problem.empty()) {
    Diagnostic problem;
    problem.name = CatalogueOf(DiagnosticId::kSettingsFile).name;
    problem.message = settings.problem;
    analysis.findings.push_back(std::move(problem));
  }
  if (snapshot.text.find_first_not_of(" \t\r\n") != std::string::npos) {
    CompileOptions options;
    options.warnings = settings.RunWarnings();
    options.partsDirectory = settings.partsDirectory;
    options.keepGoing = true;
    for (const Diagnostic& diagnostic : compile(snapshot.text, path, options).diagnostics) {
      analysis.findings.push_back(Kept(diagnostic));
    }
  }
  for (const Diagnostic& finding : analysis.findings) {
    analysis.diagnostics.push_back(Place(snapshot, finding));
  }
}

}  // namespace partsc::lsp
