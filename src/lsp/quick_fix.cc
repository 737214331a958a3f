#include "lsp/quick_fix.h"

#include <string>
#include <string_view>

#include "compiler/source_lint.h"
#include "compiler/tokenizer.h"
#include "diagnostics/catalogue.h"

namespace partsc::lsp {
namespace {

// The word the line begins with spelt as the keyword it is read as, or
// was meant to be.
std::optional<QuickFix> Respell(std::string_view line, size_t base) {
  const auto [word, keyword] = RespellingOf(line);
  if (word.empty() || keyword.empty() || word == keyword) {
    return std::nullopt;
  }
  return QuickFix{"Change " + std::string(word) + " to " + std::string(keyword),
                  TextEdit{base, base + word.size(), std::string(keyword)}};
}

// The field opened at `open`, which runs to the end of the line, closed
// where its text ends: before the blanks that lead to the next field, or at
// the end of the line.
std::optional<QuickFix> Close(std::string_view line, size_t base, size_t open) {
  if (open >= line.size()) {
    return std::nullopt;
  }
  size_t end = line.size();
  for (size_t at = open + 1; at + 1 < line.size(); ++at) {
    if (line[at] == ' ' &&
        std::string_view("\"!(<[").find(line[at + 1]) != std::string_view::npos) {
      end = at;
      break;
    }
  }
  while (end > open + 1 && line[end - 1] == ' ') {
    --end;
  }
  const std::string closing(1, ClosingDelimiter(line[open]));
  return QuickFix{"Close the field with " + closing, TextEdit{base + end, base + end, closing}};
}

// The text of the field opened at `open` cut to what the field keeps, or to
// the whole UTF-8 characters that holds.
std::optional<QuickFix> Cut(const Piece& piece, std::string_view line, size_t open, bool utf8) {
  const std::optional<size_t> limit =
      open < line.size() ? FieldLimit(piece, line[open]) : std::nullopt;
  // An open field is closed first: where it ends is not known yet.
  const std::optional<Span> span = limit ? FieldSpan(line, line[open]) : std::nullopt;
  if (!span || span->length <= *limit ||
      line.find(ClosingDelimiter(line[open]), open + 1) == std::string_view::npos) {
    return std::nullopt;
  }
  size_t keep = *limit;
  while (utf8 && keep > 0 &&
         (static_cast<unsigned char>(line[span->start + keep]) & 0xC0) == 0x80) {
    --keep;
  }
  const size_t start = piece.offset + span->start;
  return QuickFix{"Cut the text to " + std::to_string(*limit) + " characters",
                  TextEdit{start + keep, start + span->length, ""}};
}

}  // namespace

std::optional<QuickFix> FixOf(const Reading& reading, const Diagnostic& finding, size_t at,
                              bool utf8) {
  const std::optional<size_t> piece = reading.PieceAt(at);
  const CatalogueEntry* entry = FindCatalogueEntry(finding.name);
  if (!piece || entry == nullptr || finding.afterStop || finding.line == 0) {
    return std::nullopt;
  }
  const Piece& where = reading.pieces[*piece];
  const std::string_view line = reading.TextOf(where);
  const size_t column = at - where.offset;
  switch (entry->id) {
    case DiagnosticId::kUnknownKeyword:
    case DiagnosticId::kKeywordPrefix:
      return Respell(line, where.offset);
    case DiagnosticId::kPartsName:
      // Only a name whose field is left open.
      if (column >= line.size() || line.find('!', column + 1) != std::string_view::npos) {
        return std::nullopt;
      }
      [[fallthrough]];
    case DiagnosticId::kUnclosedField:
      return Close(line, where.offset, column);
    case DiagnosticId::kTextCut:
    case DiagnosticId::kPartsNameTooLong:
    case DiagnosticId::kPartsTitleTooLong:
    case DiagnosticId::kTitleTooLong:
    case DiagnosticId::kCommonNameTooLong:
    case DiagnosticId::kSizeNameTooLong:
    case DiagnosticId::kSizeTitleTooLong:
      return Cut(where, line, column, utf8);
    default:
      return std::nullopt;
  }
}

}  // namespace partsc::lsp
