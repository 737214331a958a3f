#include "compiler/source_lint.h"

#include <algorithm>
#include <cctype>
#include <span>
#include <string>

#include "compiler/parts_line.h"
#include "compiler/source_pieces.h"
#include "compiler/source_reading.h"
#include "compiler/tokenizer.h"
#include "diagnostics/catalogue.h"
#include "diagnostics/diagnostics.h"

namespace partsc {
namespace {

bool IsWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

// The keyword the line begins with: "$" or "$$" and the letters after it.
std::string_view LeadingWord(std::string_view line, size_t from) {
  size_t end = from;
  while (end < line.size() && IsWordChar(line[end])) {
    ++end;
  }
  return line.substr(0, end);
}

// The one keyword of `keywords` nearest to `word` within two edits, or
// empty.
std::string_view NearestKeyword(std::string_view word, std::span<const std::string_view> keywords) {
  std::string_view nearest;
  int best = 3;
  bool tie = false;
  for (const std::string_view keyword : keywords) {
    const int distance = EditDistance(word, keyword);
    tie = distance == best || (tie && distance > best);
    if (distance < best) {
      best = distance;
      nearest = keyword;
    }
  }
  return tie ? std::string_view() : nearest;
}

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xc0) == 0x80;
}

// True when `text` ends with the first bytes of a UTF-8 character of more
// bytes: its last lead byte announces more bytes than follow it.
bool EndsInsideCharacter(std::string_view text) {
  size_t continuations = 0;
  size_t at = text.size();
  while (at > 0 && continuations < 4 && IsContinuationByte(text[at - 1])) {
    --at;
    ++continuations;
  }
  if (at == 0) {
    return false;
  }
  const auto lead = static_cast<unsigned char>(text[at - 1]);
  const size_t length = (lead & 0xe0) == 0xc0   ? 2
                        : (lead & 0xf0) == 0xe0 ? 3
                        : (lead & 0xf8) == 0xf0 ? 4
                                                : 1;
  return length > 1 && continuations + 1 < length;
}

void ReportSplit(Diagnostics& diagnostics, std::string_view what, int limit, int at) {
  diagnostics.ReportWarning(
      Warning::kSplitCharacter,
      std::string(what) + " cut to " + std::to_string(limit) + " bytes splits a UTF-8 character",
      at);
}

// The keyword of `keywords` that `word` is in other letter case, else the one
// nearest to it within two edits, or empty.
std::string_view Suggestion(std::string_view word, std::span<const std::string_view> keywords,
                            bool nearest) {
  std::string upper(word);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  const auto same = std::find(keywords.begin(), keywords.end(), upper);
  if (same != keywords.end()) {
    return *same;
  }
  return nearest ? NearestKeyword(word, keywords) : std::string_view();
}

void WarnPrefix(Diagnostics& diagnostics, std::string_view word, std::string_view keyword) {
  diagnostics.ReportWarning(Warning::kKeywordPrefix,
                            std::string(word) + " is read as " + std::string(keyword), 0);
}

// A text `whole` cut to `limit` bytes: the text-cut warning unless the cut
// has a message of its own (`reported`), and the split-character warning
// when the cut falls inside a UTF-8 character. `what` names it ("APG name"),
// `at` is its place on the line or -1.
void LintCut(Diagnostics& diagnostics, std::string_view what, std::string_view whole, int limit,
             int at, bool reported) {
  const auto kept = static_cast<size_t>(limit);
  if (whole.size() <= kept) {
    return;
  }
  if (!reported) {
    diagnostics.ReportWarning(Warning::kTextCut,
                              std::string(what) + " of " + std::to_string(whole.size()) +
                                  " characters cut to " + std::to_string(limit),
                              at);
  }
  // The byte after the cut continues a character that began before it.
  if (IsContinuationByte(whole[kept]) && EndsInsideCharacter(whole.substr(0, kept))) {
    ReportSplit(diagnostics, what, limit, at);
  }
}

// The fields the lint looks for on a line: those of its keyword, else those
// of the kind its first character names, wherever the compile reads it (a
// keyword line without fields of its own is looked at as a view line).
std::span<const FieldRule> LintedFields(std::string_view line) {
  const char first = FirstChar(line);
  if (first == '$') {
    const std::span<const FieldRule> ofKeyword = FieldsOf(LineKind::kKeyword, KeywordOf(line));
    return !ofKeyword.empty() ? ofKeyword : FieldsOf(LineKind::kView);
  }
  switch (first) {
    case 't':
      return FieldsOf(LineKind::kMacro);
    case 's':
      return FieldsOf(LineKind::kSpecMember);
    case 'p':
      return FieldsOf(LineKind::kParamMember);
    default:
      return {};
  }
}

}  // namespace

void LintFieldCut(Diagnostics& diagnostics, std::string_view what, std::string_view line,
                  char delimiter, int limit, bool reported) {
  const bool cutWanted = !reported && diagnostics.WarningEnabled(Warning::kTextCut);
  if (!cutWanted && !diagnostics.WarningEnabled(Warning::kSplitCharacter)) {
    return;
  }
  const std::string_view whole = ExtractField(line, delimiter, static_cast<int>(line.size())).text;
  LintCut(diagnostics, what, whole, limit, static_cast<int>(line.find(delimiter)), reported);
}

void LintUndefinedMacros(Diagnostics& diagnostics, const MacroTable& macros,
                         std::string_view line) {
  if (!diagnostics.WarningEnabled(Warning::kUndefinedMacro)) {
    return;
  }
  for (const MacroUse& use : MacroUsesOf(line)) {
    if (!GetMacroValue(macros, use.name)) {
      diagnostics.ReportWarning(
          Warning::kUndefinedMacro,
          "Macro " + use.name + " is not defined: {" + use.name + "} becomes {",
          static_cast<int>(use.start));
    }
  }
}

Respelling RespellingOf(std::string_view line, bool nearest) {
  if (IsKeywordLine(line)) {
    const std::string_view word = LeadingWord(line, 2);
    const Keyword keyword = KeywordOf(line);
    return {word, keyword != Keyword::kNone ? KeywordText(keyword)
                                            : Suggestion(word, kKeywords, nearest)};
  }
  const std::string_view word = LeadingWord(line, 1);
  const int view = ViewOf(line);
  return {word, view >= 0 ? kViewKeywords[static_cast<size_t>(view)]
                          : Suggestion(word, kViewKeywords, nearest)};
}

void LintKeywordLine(Diagnostics& diagnostics, std::string_view line, bool partsSeen) {
  const auto [word, suggestion] = RespellingOf(line, partsSeen);
  if (KeywordOf(line) != Keyword::kNone) {
    if (word.size() > suggestion.size()) {
      WarnPrefix(diagnostics, word, suggestion);
    }
    return;
  }
  if (!partsSeen && suggestion.empty()) {
    return;
  }
  std::string message = "Unknown keyword " + std::string(word) + " (the line is skipped)";
  if (!suggestion.empty()) {
    message += "; did you mean " + std::string(suggestion) + "?";
  }
  diagnostics.ReportWarning(Warning::kUnknownKeyword, message, 0);
}

void LintMemberOutsideBlock(Diagnostics& diagnostics, std::string_view line) {
  const char first = FirstChar(line);
  if (first != 's' && first != 'p') {
    return;
  }
  diagnostics.ReportWarning(Warning::kMemberOutsideBlock,
                            "Member line outside a common or size block is not read", 0);
}

void LintViewKeyword(Diagnostics& diagnostics, std::string_view line, int view) {
  const auto [word, keyword] = RespellingOf(line);
  if (view >= 0) {
    if (word.size() > keyword.size()) {
      WarnPrefix(diagnostics, word, keyword);
    }
    return;
  }
  if (!diagnostics.WarningEnabled(Warning::kUnknownKeyword) || !line.starts_with('$') ||
      keyword.empty()) {
    return;
  }
  diagnostics.ReportWarning(Warning::kUnknownKeyword,
                            "Unknown view keyword " + std::string(word) +
                                " (the line is skipped); did you mean " + std::string(keyword) +
                                "?",
                            0);
}

void LintFields(Diagnostics& diagnostics, std::string_view line) {
  if (!diagnostics.WarningEnabled(Warning::kUnclosedField)) {
    return;
  }
  for (const FieldRule& field : LintedFields(line)) {
    const char opening = field.delimiter;
    const size_t open = line.find(opening);
    if (open == std::string_view::npos || FieldClose(line, open)) {
      continue;
    }
    diagnostics.ReportWarning(
        Warning::kUnclosedField,
        std::string("No closing ") + ClosingDelimiter(opening) + " for the field opened here",
        static_cast<int>(open));
  }
}

bool LintLineEnd(Diagnostics& diagnostics, const LinePieces& pieces, std::string_view line,
                 bool carriageReturnSeen) {
  if (pieces.LineEnded() && pieces.Pieces() > 1) {
    diagnostics.ReportWarning(Warning::kLongLine, "Line of " + std::to_string(pieces.LineLength()) +
                                                      " characters read as " +
                                                      std::to_string(pieces.Pieces()) + " lines");
  }
  if (carriageReturnSeen || line.empty() || line.back() != '\r') {
    return carriageReturnSeen;
  }
  diagnostics.ReportWarning(
      Warning::kCarriageReturn,
      "Carriage return at the line end, kept as part of the line (DOS line ends?)",
      static_cast<int>(line.size()) - 1);
  return true;
}

void LintKeptText(Diagnostics& diagnostics, std::string_view what, std::string_view kept, int at) {
  if (EndsInsideCharacter(kept)) {
    ReportSplit(diagnostics, what, static_cast<int>(kept.size()), at);
  }
}

}  // namespace partsc
