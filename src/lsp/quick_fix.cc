#include "lsp/quick_fix.h"

#include <array>
#include <charconv>
#include <string_view>

#include "compiler/parts_line.h"
#include "compiler/tokenizer.h"
#include "lsp/analysis.h"

namespace partsc::lsp {
namespace {

// The diagnostics of a name cut to its field, each with what the field keeps.
struct CutField {
  std::string_view code;
  size_t limit;
};
constexpr std::array<CutField, 6> kCutFields = {{
    {"partsc-parts-name-too-long", kPartsNameMax},
    {"partsc-parts-title-too-long", kHeaderTextSize},
    {"partsc-title-too-long", kHeaderTextSize},
    {"partsc-common-name-too-long", kSizeTextSize},
    {"partsc-size-name-too-long", kSizeTextSize},
    {"partsc-size-title-too-long", kSizeTextSize},
}};

// The text between `before` and `after` in a message, or empty.
std::string_view Between(std::string_view message, std::string_view before,
                         std::string_view after) {
  const size_t from = message.find(before);
  if (from == std::string_view::npos) {
    return {};
  }
  const size_t start = from + before.size();
  const size_t end = after.empty() ? message.size() : message.find(after, start);
  return end == std::string_view::npos ? std::string_view() : message.substr(start, end - start);
}

// The word a line begins with spelt as `keyword`, when the line begins with
// `word`.
std::optional<QuickFix> Respell(const Reading& reading, size_t piece, std::string_view word,
                                std::string_view keyword) {
  const std::string_view line = reading.TextOf(reading.pieces[piece]);
  if (word.empty() || keyword.empty() || !line.starts_with(word)) {
    return std::nullopt;
  }
  const size_t start = reading.pieces[piece].offset;
  return QuickFix{"Change " + std::string(word) + " to " + std::string(keyword),
                  TextEdit{start, start + word.size(), std::string(keyword)}};
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

// The text of the field opened at `open` cut to `limit` bytes, or to the
// whole UTF-8 characters they hold.
std::optional<QuickFix> Cut(std::string_view line, size_t base, size_t open, size_t limit,
                            bool utf8) {
  if (open >= line.size()) {
    return std::nullopt;
  }
  // An open field is closed first: where it ends is not known yet.
  const std::optional<Span> span = FieldSpan(line, line[open]);
  if (!span || span->length <= limit ||
      line.find(ClosingDelimiter(line[open]), open + 1) == std::string_view::npos) {
    return std::nullopt;
  }
  size_t keep = limit;
  while (utf8 && keep > 0 &&
         (static_cast<unsigned char>(line[span->start + keep]) & 0xC0) == 0x80) {
    --keep;
  }
  return QuickFix{"Cut the text to " + std::to_string(limit) + " characters",
                  TextEdit{base + span->start + keep, base + span->start + span->length, ""}};
}

}  // namespace

std::optional<QuickFix> FixOf(const Reading& reading, const Diagnostic& finding, size_t at,
                              bool utf8) {
  const std::optional<size_t> piece = reading.PieceAt(at);
  if (!piece || finding.afterStop || finding.line == 0) {
    return std::nullopt;
  }
  const Piece& where = reading.pieces[*piece];
  const std::string_view line = reading.TextOf(where);
  const size_t column = at - where.offset;
  const std::string_view message = finding.message;
  const std::string_view code = finding.name;
  if (code == "partsc-unknown-keyword") {
    const std::string_view word = message.starts_with("Unknown view keyword ")
                                      ? Between(message, "Unknown view keyword ", " (")
                                      : Between(message, "Unknown keyword ", " (");
    return Respell(reading, *piece, word, Between(message, "; did you mean ", "?"));
  }
  if (code == "partsc-keyword-prefix") {
    return Respell(reading, *piece, message.substr(0, message.find(' ')),
                   Between(message, " is read as ", ""));
  }
  const bool nameOpen = code == "partsc-parts-name" && column < line.size() &&
                        line.find('!', column + 1) == std::string_view::npos;
  if (code == "partsc-unclosed-field" || nameOpen) {
    return Close(line, where.offset, column);
  }
  if (code == "partsc-text-cut") {
    const std::string_view number = Between(message, " cut to ", "");
    size_t limit = 0;
    if (std::from_chars(number.data(), number.data() + number.size(), limit).ec != std::errc()) {
      return std::nullopt;
    }
    return Cut(line, where.offset, column, limit, utf8);
  }
  for (const CutField& field : kCutFields) {
    if (code == field.code) {
      return Cut(line, where.offset, column, field.limit, utf8);
    }
  }
  return std::nullopt;
}

}  // namespace partsc::lsp
