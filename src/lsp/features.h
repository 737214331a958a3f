// What the server answers about one version of a document: hover,
// completion, definition, the outline, folding and the highlighting. Each
// takes the snapshot and gives the protocol's result as JSON.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "lsp/analysis.h"

namespace partsc::lsp {

// A snapshot seen in one position encoding.
struct View {
  const Snapshot& snapshot;
  PositionEncoding encoding;

  nlohmann::json RangeJson(size_t start, size_t end) const;
  size_t OffsetOf(const nlohmann::json& position) const;
};

// The diagnostics of a compile as the protocol publishes them.
nlohmann::json DiagnosticsJson(const View& view, const std::vector<PlacedDiagnostic>& diagnostics);

// The hover at `offset`: the explanation of each diagnostic there, the
// meaning of a keyword, the value of a macro and where it is defined; null
// when there is nothing to say. `diagnostics` may be null.
nlohmann::json Hover(const View& view, const std::vector<PlacedDiagnostic>* diagnostics,
                     size_t offset);
// Keywords after "$$", view keywords after "$" in the view block, the macros
// the line sees after "{".
nlohmann::json Completion(const View& view, size_t offset);
// The definition of the macro used at `offset`, or null.
nlohmann::json Definition(const View& view, const std::string& uri, size_t offset);
nlohmann::json DocumentSymbols(const View& view);
nlohmann::json FoldingRanges(const View& view);
nlohmann::json SemanticTokens(const View& view);

// The legend of SemanticTokens, for the server's capabilities.
nlohmann::json SemanticTokensLegend();

}  // namespace partsc::lsp
