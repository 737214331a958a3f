#include "lsp/features.h"

#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <tuple>

#include <nlohmann/json.hpp>

#include "diagnostics/catalogue.h"
#include "lsp/keyword_help.h"
#include "lsp/macros.h"

namespace partsc::lsp {
namespace {

using nlohmann::json;

// Symbol and completion kinds of the protocol.
constexpr int kSymbolModule = 2;
constexpr int kSymbolClass = 5;
constexpr int kSymbolField = 8;
constexpr int kSymbolConstant = 14;
constexpr int kSymbolEnumMember = 22;
constexpr int kSymbolStruct = 23;
constexpr int kCompletionKeyword = 14;
constexpr int kCompletionEnumMember = 20;
constexpr int kCompletionConstant = 21;

json Markdown(const std::string& value) {
  return json{{"kind", "markdown"}, {"value", value}};
}

std::string CodeBlock(std::string_view text) {
  return "```\n" + std::string(text) + "\n```";
}

std::string Explanation(const PlacedDiagnostic& diagnostic) {
  std::string text = "**" + diagnostic.message + "**";
  const CatalogueEntry* entry = FindCatalogueEntry(diagnostic.code);
  if (entry == nullptr) {
    return text;
  }
  text += " `" + diagnostic.code + "`";
  if (!entry->meaning.empty()) {
    text += "\n\n" + std::string(entry->meaning);
  }
  if (!entry->example.empty()) {
    text += "\n\nExample:\n" + CodeBlock(entry->example);
  }
  if (!entry->fix.empty()) {
    text += "\n\nFix: " + std::string(entry->fix);
  }
  return text;
}

// The token of the piece that holds the column, or ends right at it.
std::optional<Token> TokenAt(const Reading& reading, size_t piece, size_t column) {
  std::optional<Token> touching;
  for (const Token& token : TokensOf(reading, piece)) {
    if (token.start <= column && column < token.start + token.length) {
      return token;
    }
    if (token.start + token.length == column) {
      touching = token;
    }
  }
  return touching;
}

std::string MacroText(const View& view, const MacroDefinition* macro, const std::string& name) {
  if (macro == nullptr) {
    return "No macro `" + name + "` is defined for this line: `{" + name + "}` becomes `{`.";
  }
  const Position at = view.snapshot.lines.PositionOf(macro->nameOffset, view.encoding);
  return "Macro `" + name + "` = `" + macro->value + "`, defined on line " +
         std::to_string(at.line + 1) + ".";
}

// What the keyword, view keyword or line kind under the cursor means.
std::optional<std::string> KeywordHelpText(const Piece& piece, const Token& token) {
  if (token.type != TokenType::kKeyword || token.start != 0) {
    return std::nullopt;
  }
  const std::optional<Help> help = piece.kind == LineKind::kKeyword ? HelpOfKeyword(piece.keyword)
                                   : piece.kind == LineKind::kView  ? HelpOfView(piece.view)
                                                                    : HelpOfLine(piece.kind);
  if (!help) {
    return std::nullopt;
  }
  return CodeBlock(help->Syntax()) + "\n" + std::string(help->meaning);
}

json CompletionItem(const View& view, std::string_view label, int kind, const std::string& detail,
                    const std::string& documentation, size_t from, size_t to,
                    const std::string& newText) {
  json item{{"label", label},
            {"kind", kind},
            {"detail", detail},
            {"textEdit", {{"range", view.RangeJson(from, to)}, {"newText", newText}}}};
  if (!documentation.empty()) {
    item["documentation"] = Markdown(documentation);
  }
  return item;
}

bool AllLetters(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

// An item for each help, its label put in place of the bytes from `from`
// to `to`.
json HelpItems(const View& view, std::span<const Help> helps, int kind, size_t from, size_t to) {
  json items = json::array();
  for (const Help& help : helps) {
    items.push_back(CompletionItem(view, help.label, kind, help.Syntax(), std::string(help.meaning),
                                   from, to, std::string(help.label)));
  }
  return items;
}

json MacroItems(const View& view, size_t piece, size_t from, size_t to, bool closed) {
  const Reading& reading = view.snapshot.reading;
  json items = json::array();
  // Each name once: the definition the compile would use here, if any.
  for (auto macro = reading.macros.rbegin(); macro != reading.macros.rend(); ++macro) {
    if (reading.MacroFor(macro->name, piece) != &*macro) {
      continue;
    }
    const Snapshot& snapshot = view.snapshot;
    items.push_back(CompletionItem(view, snapshot.ClientText(macro->name), kCompletionConstant,
                                   snapshot.ClientText(macro->value),
                                   snapshot.ClientText(MacroText(view, &*macro, macro->name)), from,
                                   to, snapshot.ClientText(macro->name) + (closed ? "" : "}")));
  }
  std::reverse(items.begin(), items.end());
  return items;
}

// The text of the field a delimiter opens on the piece's line, cut as the
// compile cuts it.
std::optional<std::string> FieldText(const View& view, const Piece& piece, char delimiter) {
  const std::string_view line = view.snapshot.reading.TextOf(piece);
  const std::optional<Span> span = FieldSpan(line, delimiter);
  if (!span) {
    return std::nullopt;
  }
  const size_t limit = FieldLimit(piece, delimiter).value_or(span->length);
  return std::string(line.substr(span->start, std::min(span->length, limit)));
}

// The symbol of the piece's line, its name at the offsets from
// `selectionStart` to `selectionEnd`.
json Symbol(const View& view, const std::string& name, int kind, const std::string& detail,
            const Piece& piece, size_t selectionStart, size_t selectionEnd) {
  json symbol{{"name", view.snapshot.ClientText(name.empty() ? "(no name)" : name)},
              {"kind", kind},
              {"range", view.RangeJson(piece.offset, piece.offset + piece.length)},
              {"selectionRange", view.RangeJson(selectionStart, selectionEnd)}};
  if (!detail.empty()) {
    symbol["detail"] = view.snapshot.ClientText(detail);
  }
  return symbol;
}

// A line's symbol, named by the field that holds the name the line defines
// (its first character when the field is missing).
json LineSymbol(const View& view, const Piece& piece, int kind, const std::string& detail) {
  const std::span<const FieldRule> fields = FieldsOf(piece.kind, piece.keyword);
  const auto named = std::ranges::find(fields, true, &FieldRule::declaration);
  // '\0' when the line defines no name: no field opens with it.
  const char field = named != fields.end() ? named->delimiter : '\0';
  const std::string_view line = view.snapshot.reading.TextOf(piece);
  const Span name = FieldSpan(line, field).value_or(Span{0, std::min<size_t>(line.size(), 1)});
  const size_t start = piece.offset + name.start;
  return Symbol(view, FieldText(view, piece, field).value_or(""), kind, detail, piece, start,
                start + name.length);
}

// True when the compile refused the line of the piece: an error stands on it.
bool Refused(const Reading& reading, const std::vector<PlacedDiagnostic>& diagnostics,
             size_t index) {
  return std::any_of(diagnostics.begin(), diagnostics.end(), [&](const PlacedDiagnostic& d) {
    return d.severity == Severity::kError &&
           d.code != CatalogueOf(DiagnosticId::kSettingsFile).name &&
           reading.PieceAt(d.start) == index;
  });
}

json BlockSymbol(const View& view, const SourceBlock& block,
                 const std::vector<PlacedDiagnostic>& diagnostics) {
  const Reading& reading = view.snapshot.reading;
  const Piece& first = reading.pieces[block.keywordPiece];
  const Piece& last = reading.pieces[block.lastPiece];
  json symbol =
      block.kind == BlockKind::kCommon
          ? LineSymbol(view, first, kSymbolStruct, "common block")
          : LineSymbol(view, first, kSymbolClass, FieldText(view, first, '!').value_or("size"));
  symbol["range"] = view.RangeJson(first.offset, last.offset + last.length);
  json children = json::array();
  for (size_t i = block.keywordPiece + 1; i <= block.lastPiece && i < reading.pieces.size(); ++i) {
    const Piece& piece = reading.pieces[i];
    const bool spec = piece.kind == LineKind::kSpecMember;
    if ((spec || piece.kind == LineKind::kParamMember) && !Refused(reading, diagnostics, i)) {
      children.push_back(LineSymbol(
          view, piece, kSymbolField,
          spec ? "spec member" : FieldText(view, piece, '(').value_or("parameter member")));
    }
  }
  symbol["children"] = std::move(children);
  return symbol;
}

// The symbols inside the parts: macros, views, the common block and sizes,
// in the order of the text.
json PartsChildren(const View& view, const std::vector<PlacedDiagnostic>& diagnostics) {
  const Reading& reading = view.snapshot.reading;
  json children = json::array();
  auto macro = reading.macros.begin();
  auto block = reading.blocks.begin();
  for (size_t i = 0; i < reading.pieces.size(); ++i) {
    const Piece& piece = reading.pieces[i];
    for (; macro != reading.macros.end() && macro->piece == i; ++macro) {
      children.push_back(Symbol(view, macro->name, kSymbolConstant, macro->value, piece,
                                macro->nameOffset, macro->nameOffset + macro->nameLength));
    }
    if (piece.kind == LineKind::kView) {
      const std::string_view keyword = kViewKeywords[static_cast<size_t>(piece.view)];
      children.push_back(Symbol(view, std::string(keyword), kSymbolEnumMember,
                                FieldText(view, piece, '!').value_or("(no name)"), piece,
                                piece.offset, piece.offset + keyword.size()));
    }
    for (; block != reading.blocks.end() && block->keywordPiece == i; ++block) {
      if (block->compiled && block->kind != BlockKind::kApg) {
        children.push_back(BlockSymbol(view, *block, diagnostics));
      }
    }
  }
  return children;
}

// An item for each place of the macro at `offset`, made by `item` from the
// place and its range (a null item is left out); null when no macro stands
// there.
template <class Item>
json EachPlace(const View& view, size_t offset, Item item) {
  const std::optional<MacroAt> macro = MacroAtOffset(view.snapshot.reading, offset);
  if (!macro) {
    return nullptr;
  }
  json items = json::array();
  for (const MacroPlace& place : MacroPlaces(view.snapshot.reading, macro->name)) {
    json one = item(place, view.RangeJson(place.start, place.start + place.length));
    if (!one.is_null()) {
      items.push_back(std::move(one));
    }
  }
  return items;
}

// Positions of offsets taken in increasing order: a long line that is not
// ASCII is counted once, not once for each offset.
class PositionCursor {
 public:
  explicit PositionCursor(const View& view) : view_(view) {}
  Position At(size_t offset) {
    const LineIndex& lines = view_.snapshot.lines;
    const Position start = lines.PositionOf(offset, PositionEncoding::kUtf8);
    const auto line = static_cast<size_t>(start.line);
    if (view_.encoding == PositionEncoding::kUtf8 &&
        view_.snapshot.encoding == TextEncoding::kUtf8) {
      return start;
    }
    if (line != line_ || offset < offset_) {
      line_ = line;
      offset_ = lines.LineStart(line);
      units_ = 0;
    }
    const size_t stop = std::min(offset, lines.LineEnd(line));
    units_ += lines.Units(std::string_view(view_.snapshot.text).substr(offset_, stop - offset_),
                          view_.encoding);
    offset_ = std::max(offset_, stop);
    return Position{start.line, units_};
  }

 private:
  const View& view_;
  size_t line_ = static_cast<size_t>(-1);
  size_t offset_ = 0;
  int64_t units_ = 0;
};

}  // namespace

json View::RangeJson(size_t start, size_t end) const {
  const Range range = snapshot.lines.RangeOf(start, end, encoding);
  return json{{"start", {{"line", range.start.line}, {"character", range.start.character}}},
              {"end", {{"line", range.end.line}, {"character", range.end.character}}}};
}

Position PositionOf(const json& position) {
  return {position.at("line").get<int64_t>(), position.at("character").get<int64_t>()};
}

size_t View::OffsetOf(const json& position) const {
  return snapshot.lines.OffsetOf(PositionOf(position), encoding);
}

json DiagnosticsJson(const View& view, const std::vector<PlacedDiagnostic>& diagnostics) {
  json list = json::array();
  for (const PlacedDiagnostic& diagnostic : diagnostics) {
    // The protocol's 1 error, 2 warning, 3 information follow Severity's order.
    json item{{"range", view.RangeJson(diagnostic.start, diagnostic.end)},
              {"severity", static_cast<int>(diagnostic.severity) + 1},
              {"source", "partsc"},
              {"message", view.snapshot.ClientText(diagnostic.message)}};
    if (!diagnostic.code.empty()) {
      item["code"] = diagnostic.code;
      item["data"] = json{{"explain", "partsc --explain " + diagnostic.code}};
    }
    list.push_back(std::move(item));
  }
  return list;
}

json Hover(const View& view, const std::vector<PlacedDiagnostic>& diagnostics, size_t offset) {
  const Reading& reading = view.snapshot.reading;
  std::string value;  // its sections, each after a rule
  const auto add = [&value](const std::string& section) {
    value += (value.empty() ? "" : "\n\n---\n\n") + section;
  };
  size_t start = offset;
  size_t end = offset;
  for (const PlacedDiagnostic& diagnostic : diagnostics) {
    if (diagnostic.start <= offset && offset <= diagnostic.end) {
      add(Explanation(diagnostic));
    }
  }
  const std::optional<MacroAt> macro = MacroAtOffset(reading, offset);
  const std::optional<size_t> index = reading.PieceAt(offset);
  if (macro) {
    add(MacroText(view, macro->definition, macro->name));
    start = macro->start;
    end = start + macro->length;
  } else if (index) {
    const Piece& piece = reading.pieces[*index];
    const std::optional<Token> token = TokenAt(reading, *index, offset - piece.offset);
    const std::optional<std::string> text = token ? KeywordHelpText(piece, *token) : std::nullopt;
    if (text) {
      add(*text);
      start = piece.offset + token->start;
      end = start + token->length;
    }
  }
  if (value.empty()) {
    return nullptr;
  }
  return json{{"contents", Markdown(view.snapshot.ClientText(value))},
              {"range", view.RangeJson(start, end)}};
}

json Completion(const View& view, size_t offset) {
  const Reading& reading = view.snapshot.reading;
  const std::optional<size_t> index = reading.PieceAt(offset);
  json result{{"isIncomplete", false}, {"items", json::array()}};
  if (!index) {
    return result;
  }
  const Piece& piece = reading.pieces[*index];
  const size_t column = offset - piece.offset;
  const std::string_view before = std::string_view(view.snapshot.text).substr(piece.offset, column);
  if (IsKeywordLine(before) && AllLetters(before.substr(2))) {
    result["items"] = HelpItems(view, KeywordHelps(), kCompletionKeyword, piece.offset, offset);
    return result;
  }
  const bool inViews =
      piece.block >= 0 && reading.blocks[static_cast<size_t>(piece.block)].kind == BlockKind::kApg;
  if (inViews && before.substr(0, 1) == "$" && AllLetters(before.substr(1))) {
    result["items"] = HelpItems(view, ViewHelps(), kCompletionEnumMember, piece.offset, offset);
    return result;
  }
  const size_t brace = before.rfind('{');
  if (brace == std::string_view::npos || before.find('}', brace) != std::string_view::npos) {
    return result;
  }
  // The whole name is replaced, also the part after the cursor.
  const std::string_view line = reading.TextOf(piece);
  const size_t nameEnd = std::min(line.find_first_of("}) {", column), line.size());
  const bool closed = nameEnd < line.size() && line[nameEnd] == '}';
  result["items"] = MacroItems(view, *index, piece.offset + brace + 1,
                               piece.offset + std::max(nameEnd, column), closed);
  return result;
}

json Definition(const View& view, const std::string& uri, size_t offset) {
  const std::optional<MacroAt> macro = MacroAtOffset(view.snapshot.reading, offset);
  if (!macro || macro->definition == nullptr) {
    return nullptr;
  }
  const MacroDefinition& definition = *macro->definition;
  return json{{"uri", uri},
              {"range", view.RangeJson(definition.nameOffset,
                                       definition.nameOffset + definition.nameLength)}};
}

json DocumentSymbols(const View& view, const std::vector<PlacedDiagnostic>& diagnostics) {
  const Reading& reading = view.snapshot.reading;
  json children = PartsChildren(view, diagnostics);
  if (!reading.partsPiece) {
    return children;
  }
  // The parts run to the last line the compile reads.
  const auto notRead =
      std::find_if(reading.pieces.begin() + *reading.partsPiece, reading.pieces.end(),
                   [](const Piece& p) { return p.kind == LineKind::kNotRead; });
  const Piece& end = *std::prev(notRead);
  const Piece& line = reading.pieces[*reading.partsPiece];
  json parts = LineSymbol(view, line, kSymbolModule, FieldText(view, line, '"').value_or(""));
  parts["range"] = view.RangeJson(0, end.offset + end.length);
  parts["children"] = std::move(children);
  return json::array({std::move(parts)});
}

json FoldingRanges(const View& view) {
  const Reading& reading = view.snapshot.reading;
  json ranges = json::array();
  for (const SourceBlock& block : reading.blocks) {
    const Piece& last = reading.pieces[block.lastPiece];
    const Range range = view.snapshot.lines.RangeOf(reading.pieces[block.keywordPiece].offset,
                                                    last.offset + last.length, view.encoding);
    if (range.end.line > range.start.line) {
      ranges.push_back(json{{"startLine", range.start.line}, {"endLine", range.end.line}});
    }
  }
  return ranges;
}

json SemanticTokens(const View& view) {
  const Reading& reading = view.snapshot.reading;
  const std::string_view text(view.snapshot.text);
  PositionCursor cursor(view);
  std::vector<int64_t> data;
  Position previous;
  for (size_t i = 0; i < reading.pieces.size(); ++i) {
    const size_t base = reading.pieces[i].offset;
    for (const Token& token : TokensOf(reading, i)) {
      std::string_view covered = text.substr(base + token.start, token.length);
      covered = covered.substr(0, covered.find('\r'));  // a token never crosses a line end
      if (covered.empty()) {
        continue;
      }
      const Position at = cursor.At(base + token.start);
      const int64_t length = view.snapshot.lines.Units(covered, view.encoding);
      data.insert(data.end(),
                  {at.line - previous.line,
                   at.line == previous.line ? at.character - previous.character : at.character,
                   length, static_cast<int64_t>(token.type), token.declaration ? 1 : 0});
      previous = at;
    }
  }
  return json{{"data", std::move(data)}};
}

json References(const View& view, const std::string& uri, size_t offset, bool declarations) {
  return EachPlace(view, offset, [&](const MacroPlace& place, json range) {
    return declarations || !place.definition ? json{{"uri", uri}, {"range", std::move(range)}}
                                             : json();
  });
}

json Highlights(const View& view, size_t offset) {
  constexpr int kRead = 2;
  constexpr int kWrite = 3;
  return EachPlace(view, offset, [&](const MacroPlace& place, json range) {
    return json{{"range", std::move(range)}, {"kind", place.definition ? kWrite : kRead}};
  });
}

RenameResult Rename(const View& view, const std::string& uri, size_t offset,
                    const std::string& newName) {
  const Reading& reading = view.snapshot.reading;
  const std::optional<MacroAt> macro = MacroAtOffset(reading, offset);
  if (!macro) {
    return {nullptr, "no macro stands here"};
  }
  const std::string& name = macro->name;
  const std::optional<std::string> bytes = FileBytes(newName, view.snapshot.encoding);
  if (!bytes) {
    return {nullptr, "the file is Latin-1, which has no character of this name"};
  }
  if (const auto refusal = RenameRefusal(reading, name, *bytes)) {
    return {nullptr,
            "cannot rename " + view.snapshot.ClientText(name) + " to " + newName + ": " + *refusal};
  }
  json edits = EachPlace(view, offset, [&](const MacroPlace& /*place*/, json range) {
    return json{{"range", std::move(range)}, {"newText", newName}};
  });
  return {json{{"changes", {{uri, std::move(edits)}}}}, std::nullopt};
}

json CodeActions(const View& view, const std::string& uri,
                 const std::vector<PlacedDiagnostic>& diagnostics, size_t start, size_t end) {
  json actions = json::array();
  std::set<std::tuple<size_t, size_t, std::string>> offered;
  for (const PlacedDiagnostic& diagnostic : diagnostics) {
    if (!diagnostic.fix || diagnostic.end < start || diagnostic.start > end) {
      continue;
    }
    const TextEdit& edit = diagnostic.fix->edit;
    if (!offered.emplace(edit.start, edit.end, edit.newText).second) {
      continue;  // two diagnostics of one mistake: one fix
    }
    json change{{"range", view.RangeJson(edit.start, edit.end)}, {"newText", edit.newText}};
    actions.push_back(json{{"title", diagnostic.fix->title},
                           {"kind", "quickfix"},
                           {"isPreferred", true},
                           {"diagnostics", DiagnosticsJson(view, {diagnostic})},
                           {"edit", {{"changes", {{uri, json::array({std::move(change)})}}}}}});
  }
  return actions;
}

json SemanticTokensOptions() {
  const json legend{{"tokenTypes", {"keyword", "variable", "string", "number", "macro", "comment"}},
                    {"tokenModifiers", {"declaration"}}};
  return json{{"legend", legend}, {"full", true}, {"range", false}};
}

}  // namespace partsc::lsp
