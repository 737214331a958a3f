// What the server answers about one version of a document: hover,
// completion, definition, the outline, folding and the highlighting. Each
// takes the snapshot and gives the protocol's result as JSON.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "lsp/analysis.h"

namespace partsc::lsp {

// A snapshot seen in one position encoding.
struct View {
  const Snapshot& snapshot;
  PositionEncoding encoding;

  nlohmann::json RangeJson(size_t start, size_t end) const;
  size_t OffsetOf(const nlohmann::json& position) const;
};

// A position the protocol gives.
Position PositionOf(const nlohmann::json& position);

// The diagnostics of a compile as the protocol publishes them.
nlohmann::json DiagnosticsJson(const View& view, const std::vector<PlacedDiagnostic>& diagnostics);

// The hover at `offset`: the explanation of each diagnostic there, the
// meaning of a keyword, the value of a macro and where it is defined; null
// when there is nothing to say.
nlohmann::json Hover(const View& view, const std::vector<PlacedDiagnostic>& diagnostics,
                     size_t offset);
// Keywords after "$$", view keywords after "$" in the view block, the macros
// the line sees after "{".
nlohmann::json Completion(const View& view, size_t offset);
// The definition of the macro used at `offset`, or null.
nlohmann::json Definition(const View& view, const std::string& uri, size_t offset);
// The outline: names cut as the compile cuts them, and no member line that
// the compile refused (an error of `diagnostics` on it).
nlohmann::json DocumentSymbols(const View& view, const std::vector<PlacedDiagnostic>& diagnostics);
nlohmann::json FoldingRanges(const View& view);
nlohmann::json SemanticTokens(const View& view);

// The places of the macro at `offset` as locations, its definitions too
// when `declarations`; null when no macro stands there.
nlohmann::json References(const View& view, const std::string& uri, size_t offset,
                          bool declarations);
// The places of the macro at `offset`, its definitions as written, its uses
// as read; null when no macro stands there.
nlohmann::json Highlights(const View& view, size_t offset);

// The edit that renames the macro at `offset` to `newName` (UTF-8) at every
// place, or why the compile would not take the new name.
struct RenameResult {
  nlohmann::json edit;
  std::optional<std::string> refusal;
};
RenameResult Rename(const View& view, const std::string& uri, size_t offset,
                    const std::string& newName);

// The quick fixes of the diagnostics that touch the bytes from `start` to
// `end`.
nlohmann::json CodeActions(const View& view, const std::string& uri,
                           const std::vector<PlacedDiagnostic>& diagnostics, size_t start,
                           size_t end);

// The options of SemanticTokens, for the server's capabilities: the legend,
// and whole documents only.
nlohmann::json SemanticTokensOptions();

}  // namespace partsc::lsp
