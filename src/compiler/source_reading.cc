#include "compiler/source_reading.h"

#include <algorithm>
#include <array>
#include <span>
#include <string>

#include <partsc/model.h>

#include "compiler/parts_line.h"
#include "compiler/source_pieces.h"
#include "compiler/tokenizer.h"
#include "partsfile/parts_layout.h"
#include "platform/ov_string_util.h"

namespace partsc {
namespace {

// Follows the blocks and the kinds of lines as the two passes do.
class Reader {
 public:
  explicit Reader(Reading& reading) : r_(reading) {}

  void Take(Piece& piece, size_t index) {
    const std::string_view line = r_.TextOf(piece);
    if (stopped_) {
      piece.kind = LineKind::kNotRead;
      return;
    }
    if (IsKeywordLine(line)) {
      TakeKeyword(piece, index, line);
      return;
    }
    if (blocks_.Open()) {
      r_.blocks.back().lastPiece = index;
      piece.block = static_cast<int>(r_.blocks.size()) - 1;
    }
    const std::optional<BlockKind> compiled = blocks_.Compiled();
    piece.kind = KindOf(line, compiled);
    if (piece.kind == LineKind::kView) {
      piece.view = ViewOf(line);
    }
    if (piece.kind == LineKind::kMacro) {
      TakeMacro(index, line);
      piece.reportedByBlock = compiled && BlockLineKind(*compiled, line) == LineKind::kSkipped;
    }
  }

 private:
  void TakeKeyword(Piece& piece, size_t index, std::string_view line) {
    piece.keyword = KeywordOf(line);
    piece.kind = piece.keyword == Keyword::kNone ? LineKind::kUnknownKeyword : LineKind::kKeyword;
    if (!r_.partsPiece && piece.keyword != Keyword::kParts) {
      stopped_ = true;  // "Not Parts Input File": nothing more is read
      return;
    }
    if (!r_.partsPiece) {
      r_.partsPiece = index;
    }
    stopped_ = piece.keyword == Keyword::kEnd;
    const bool compiled = blocks_.TakeKeyword(piece.keyword);
    if (blocks_.Open()) {
      r_.blocks.push_back(SourceBlock{*blocks_.Open(), index, index, compiled});
    }
  }

  void TakeMacro(size_t index, std::string_view line) {
    const LineField name = ExtractField(line, '!', kMacroTextMax);
    const LineField value = ExtractField(line, '(', kMacroTextMax);
    if (!name.Found() || !value.Found()) {
      return;
    }
    const auto nameAt = static_cast<size_t>(name.text.data() - line.data());
    r_.macros.push_back(MacroDefinition{std::string(name.text), std::string(value.text), index,
                                        r_.pieces[index].offset + nameAt, name.text.size()});
  }

  Reading& r_;
  BlockRules blocks_;
  bool stopped_ = false;
};

void AddField(std::vector<Token>& tokens, std::string_view line, char delimiter, TokenType type,
              bool declaration = false) {
  const std::optional<Span> span = FieldSpan(line, delimiter);
  if (span) {
    tokens.push_back(Token{span->start, span->length, type, declaration});
  }
}

// Each item of the first list `open` begins: a number when it reads as one,
// else a name.
void AddList(std::vector<Token>& tokens, std::string_view line, char open) {
  for (const ValueItem& item : ParseValueList(line, static_cast<int>(line.size()) + 1, open)) {
    const bool number = OvStringUtil::ParseDouble(item.text, NumberTrim::kTrimFirst).has_value();
    if (!item.text.empty()) {
      tokens.push_back(Token{static_cast<size_t>(item.text.data() - line.data()), item.text.size(),
                             number ? TokenType::kNumber : TokenType::kName, false});
    }
  }
}

// The parameter text, with the macros it names taken out of it.
void AddParamText(std::vector<Token>& tokens, std::string_view line) {
  const std::optional<Span> span = FieldSpan(line, '(');
  if (!span) {
    return;
  }
  size_t at = span->start;
  for (const MacroUse& use : MacroUsesOf(line)) {
    if (use.start > at) {
      tokens.push_back(Token{at, use.start - at, TokenType::kText, false});
    }
    tokens.push_back(Token{use.start, use.length, TokenType::kMacro, false});
    at = use.start + use.length;
  }
  const size_t end = span->start + span->length;
  if (end > at) {
    tokens.push_back(Token{at, end - at, TokenType::kText, false});
  }
}

void AddFields(std::vector<Token>& tokens, std::string_view line,
               std::span<const FieldRule> fields) {
  for (const FieldRule& field : fields) {
    switch (field.form) {
      case FieldForm::kText:
        AddField(tokens, line, field.delimiter, field.type, field.declaration);
        break;
      case FieldForm::kList:
        AddList(tokens, line, field.delimiter);
        break;
      case FieldForm::kParamText:
        AddParamText(tokens, line);
        break;
    }
  }
}

// Sorted, and cut where a later field starts inside an earlier one (each
// field is found by its first delimiter, also inside another field).
std::vector<Token> Settled(std::vector<Token> tokens) {
  std::stable_sort(tokens.begin(), tokens.end(),
                   [](const Token& a, const Token& b) { return a.start < b.start; });
  std::vector<Token> settled;
  size_t end = 0;
  for (Token token : tokens) {
    if (token.start < end) {
      const size_t cut = end - token.start;
      if (cut >= token.length) {
        continue;
      }
      token.start = end;
      token.length -= cut;
    }
    if (token.length == 0) {
      continue;
    }
    end = token.start + token.length;
    settled.push_back(token);
  }
  return settled;
}

}  // namespace

Reading ReadSource(std::string_view text) {
  Reading reading;
  reading.text = text;
  Reader reader(reading);
  PieceReader cut(text);
  for (std::string_view line; cut.Next(line);) {
    reading.pieces.push_back(Piece{cut.OffsetOf(line), line.size(), cut.Lines().PhysicalLine(),
                                   cut.Lines().StartColumn()});
    reader.Take(reading.pieces.back(), reading.pieces.size() - 1);
  }
  return reading;
}

std::optional<size_t> Reading::PieceAt(size_t offset) const {
  if (pieces.empty()) {
    return std::nullopt;
  }
  const auto after = std::upper_bound(pieces.begin(), pieces.end(), offset,
                                      [](size_t at, const Piece& p) { return at < p.offset; });
  return after == pieces.begin() ? 0 : static_cast<size_t>(after - pieces.begin()) - 1;
}

std::optional<size_t> Reading::PieceOfPosition(int physicalLine, int column) const {
  const auto first =
      std::lower_bound(pieces.begin(), pieces.end(), physicalLine,
                       [](const Piece& p, int line) { return p.physicalLine < line; });
  if (first == pieces.end() || first->physicalLine != physicalLine) {
    return std::nullopt;
  }
  auto found = first;
  for (auto next = first; column > 0 && next != pieces.end() && next->physicalLine == physicalLine;
       ++next) {
    if (next->startColumn <= column) {
      found = next;
    }
  }
  return static_cast<size_t>(found - pieces.begin());
}

const MacroDefinition* Reading::MacroFor(std::string_view name, size_t use) const {
  const Piece& piece = pieces[use];
  const bool common =
      piece.block >= 0 && blocks[static_cast<size_t>(piece.block)].kind == BlockKind::kCommon;
  const MacroDefinition* found = nullptr;
  for (const MacroDefinition& macro : macros) {
    if (common && macro.piece >= use) {
      break;
    }
    if (macro.name == name) {
      found = &macro;
    }
  }
  return found;
}

namespace {

constexpr FieldRule Field(char delimiter, TokenType type, int limit) {
  return {delimiter, FieldForm::kText, type, false, limit};
}
constexpr FieldRule Name(char delimiter, TokenType type, int limit) {
  return {delimiter, FieldForm::kText, type, true, limit};
}
constexpr FieldRule List(char delimiter) {
  return {delimiter, FieldForm::kList, TokenType::kName, false, 0};
}

// The fields of each kind of line that has any, as its parser reads them.
struct LineFields {
  LineKind kind;
  Keyword keyword;
  std::array<FieldRule, 4> fields;  // up to the first without a delimiter
};
constexpr std::array<LineFields, 9> kLineFields = {{
    {LineKind::kKeyword,
     Keyword::kParts,
     {Name('!', TokenType::kName, kPartsNameMax), Field('"', TokenType::kText, kHeaderTextSize),
      List('<')}},
    {LineKind::kKeyword, Keyword::kSpec, {List('<')}},
    {LineKind::kKeyword, Keyword::kCommon, {Name('"', TokenType::kName, kSizeTextSize)}},
    {LineKind::kKeyword, Keyword::kTitle, {Field('"', TokenType::kText, kHeaderTextSize)}},
    {LineKind::kKeyword,
     Keyword::kSize,
     {Name('"', TokenType::kName, kSizeTextSize), Field('!', TokenType::kText, kSizeTextSize)}},
    {LineKind::kView,
     Keyword::kNone,
     {Name('!', TokenType::kName, kApgTextMax), Field('"', TokenType::kText, kApgTextMax)}},
    {LineKind::kMacro,
     Keyword::kNone,
     {Name('!', TokenType::kMacro, kMacroTextMax), Field('(', TokenType::kText, kMacroTextMax)}},
    {LineKind::kSpecMember,
     Keyword::kNone,
     {List('['), List('<'), Name('"', TokenType::kName, kSpecNameLimit)}},
    {LineKind::kParamMember,
     Keyword::kNone,
     {Name('!', TokenType::kName, kParamNameMax),
      FieldRule{'(', FieldForm::kParamText, TokenType::kText, false, kParamTextLimit}, List('<'),
      Field('"', TokenType::kText, kParamCommentLimit)}},
}};

}  // namespace

std::span<const FieldRule> FieldsOf(LineKind kind, Keyword keyword) {
  for (const LineFields& line : kLineFields) {
    if (line.kind == kind && line.keyword == keyword) {
      const auto end = std::ranges::find(line.fields, '\0', &FieldRule::delimiter);
      return {line.fields.begin(), end};
    }
  }
  return {};
}

std::optional<Span> FieldSpan(std::string_view line, char delimiter) {
  const LineField field = ExtractField(line, delimiter, static_cast<int>(line.size()) + 1);
  if (!field.Found()) {
    return std::nullopt;
  }
  return Span{static_cast<size_t>(field.text.data() - line.data()), field.text.size()};
}

std::vector<MacroUse> MacroUsesOf(std::string_view line) {
  std::vector<MacroUse> uses;
  const std::optional<Span> span = FieldSpan(line, '(');
  if (!span) {
    return uses;
  }
  // The expansion sees the text as the member line keeps it: cut to 64.
  const size_t end = span->start + std::min(span->length, static_cast<size_t>(kParamTextLimit));
  for (size_t at = span->start; at < end;) {
    const size_t open = line.substr(0, end).find('{', at);
    if (open == std::string_view::npos) {
      break;
    }
    const size_t close = line.substr(0, end).find('}', open + 1);
    const size_t stop = close == std::string_view::npos ? end : close + 1;
    const size_t nameEnd = close == std::string_view::npos ? end : close;
    uses.push_back(
        MacroUse{open, stop - open, std::string(line.substr(open + 1, nameEnd - open - 1))});
    at = stop;
  }
  return uses;
}

std::vector<Token> TokensOf(const Reading& reading, size_t index) {
  const Piece& piece = reading.pieces[index];
  const std::string_view line = reading.TextOf(piece);
  std::vector<Token> tokens;
  if (line.empty()) {
    return tokens;
  }
  // The word that says what the line is: its keyword, its view keyword or
  // its letter.
  size_t word = 1;
  switch (piece.kind) {
    case LineKind::kKeyword:
      word = KeywordText(piece.keyword).size();
      break;
    case LineKind::kView:
      word = kViewKeywords[static_cast<size_t>(piece.view)].size();
      break;
    case LineKind::kMacro:
    case LineKind::kSpecMember:
    case LineKind::kParamMember:
      break;
    case LineKind::kComment:
    case LineKind::kIgnored:
    case LineKind::kNotRead:
      tokens.push_back(Token{0, line.size(), TokenType::kComment, false});
      return tokens;
    default:
      return tokens;
  }
  tokens.push_back(Token{0, word, TokenType::kKeyword, false});
  AddFields(tokens, line, FieldsOf(piece.kind, piece.keyword));
  return Settled(std::move(tokens));
}

std::optional<size_t> FieldLimit(const Piece& piece, char delimiter) {
  for (const FieldRule& field : FieldsOf(piece.kind, piece.keyword)) {
    if (field.delimiter == delimiter && field.limit > 0) {
      return static_cast<size_t>(field.limit);
    }
  }
  return std::nullopt;
}

}  // namespace partsc
