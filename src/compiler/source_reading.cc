#include "compiler/source_reading.h"

#include <algorithm>
#include <array>
#include <string>

#include "compiler/member_line.h"
#include "compiler/parts_line.h"
#include "compiler/source_pieces.h"
#include "compiler/tokenizer.h"
#include "diagnostics/line_pieces.h"
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
    if (open_ >= 0) {
      r_.blocks[static_cast<size_t>(open_)].lastPiece = index;
      piece.block = open_;
    }
    piece.kind = KindOf(piece, line);
    if (piece.kind == LineKind::kMacro) {
      TakeMacro(index, line);
      piece.reportedByBlock = Compiled() && BlockLineKind(OpenKind(), line) == LineKind::kSkipped;
    }
  }

 private:
  void TakeKeyword(Piece& piece, size_t index, std::string_view line) {
    piece.keyword = KeywordOf(line);
    piece.kind = piece.keyword == Keyword::kNone ? LineKind::kUnknownKeyword : LineKind::kKeyword;
    open_ = -1;
    if (!partsSeen_ && piece.keyword != Keyword::kParts) {
      stopped_ = true;  // "Not Parts Input File": nothing more is read
      return;
    }
    switch (piece.keyword) {
      case Keyword::kParts:
        if (!partsSeen_) {
          r_.partsPiece = index;
        }
        partsSeen_ = true;
        break;
      case Keyword::kEnd:
        stopped_ = true;
        break;
      case Keyword::kApg:
        Open(BlockKind::kApg, index, !apgSeen_);
        apgSeen_ = true;
        break;
      case Keyword::kCommon:
        Open(BlockKind::kCommon, index, !commonSeen_);
        commonSeen_ = true;
        break;
      case Keyword::kSize:
        Open(BlockKind::kSize, index, true);
        break;
      default:
        break;
    }
  }

  void Open(BlockKind kind, size_t index, bool compiled) {
    open_ = static_cast<int>(r_.blocks.size());
    r_.blocks.push_back(SourceBlock{kind, index, index, compiled});
  }

  bool Compiled() const { return open_ >= 0 && r_.blocks[static_cast<size_t>(open_)].compiled; }
  BlockKind OpenKind() const { return r_.blocks[static_cast<size_t>(open_)].kind; }

  LineKind KindOf(Piece& piece, std::string_view line) const {
    if (FirstChar(line) == 't') {
      return LineKind::kMacro;
    }
    if (!Compiled()) {
      return FirstChar(line) == '/' ? LineKind::kComment : LineKind::kIgnored;
    }
    const LineKind kind = BlockLineKind(OpenKind(), line);
    if (kind == LineKind::kView) {
      piece.view = ViewOf(line);
    }
    return kind;
  }

  void TakeMacro(size_t index, std::string_view line) {
    std::string_view name;
    std::string_view value;
    if (ExtractField(line, '!', kMacroTextMax, name) < 0 ||
        ExtractField(line, '(', kMacroTextMax, value) < 0) {
      return;
    }
    const Piece& piece = r_.pieces[index];
    const auto nameAt = static_cast<size_t>(name.data() - line.data());
    r_.macros.push_back(MacroDefinition{std::string(name), std::string(value), index,
                                        piece.offset + nameAt, name.size()});
  }

  Reading& r_;
  bool stopped_ = false;
  bool partsSeen_ = false;
  bool apgSeen_ = false;
  bool commonSeen_ = false;
  int open_ = -1;  // the block open now
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
  const size_t start = line.find(open);
  if (start == std::string_view::npos) {
    return;
  }
  const size_t close = line.find(ClosingDelimiter(open), start + 1);
  const size_t listEnd = close == std::string_view::npos ? line.size() : close;
  const std::string_view list = line.substr(start + 1, listEnd - start - 1);
  size_t at = 0;
  while (at <= list.size()) {
    const size_t comma = std::min(list.find(',', at), list.size());
    const std::string_view raw = list.substr(at, comma - at);
    const std::string_view item = OvStringUtil::TrimBlanks(raw);
    if (!item.empty()) {
      double value = 0.0;
      const bool number = OvStringUtil::ParseDouble(item, kTrimFirst, value) == 0;
      const size_t itemAt = start + 1 + at + static_cast<size_t>(item.data() - raw.data());
      tokens.push_back(
          Token{itemAt, item.size(), number ? TokenType::kNumber : TokenType::kName, false});
    }
    at = comma + 1;
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

void AddKeywordFields(std::vector<Token>& tokens, std::string_view line, Keyword keyword) {
  tokens.push_back(Token{0, KeywordText(keyword).size(), TokenType::kKeyword, false});
  switch (keyword) {
    case Keyword::kParts:
      AddField(tokens, line, '!', TokenType::kName, true);
      AddField(tokens, line, '"', TokenType::kText);
      AddList(tokens, line, '<');
      break;
    case Keyword::kSpec:
      AddList(tokens, line, '<');
      break;
    case Keyword::kCommon:
      AddField(tokens, line, '"', TokenType::kName, true);
      break;
    case Keyword::kTitle:
      AddField(tokens, line, '"', TokenType::kText);
      break;
    case Keyword::kSize:
      AddField(tokens, line, '"', TokenType::kName, true);
      AddField(tokens, line, '!', TokenType::kText);
      break;
    default:
      break;
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
  LinePieces lines;
  PieceReader cut(text);
  std::string_view read;
  for (size_t at = 0; cut.Next(read, &at);) {
    Piece piece;
    piece.offset = static_cast<size_t>(read.data() - text.data());
    piece.rawLength = at - piece.offset;
    lines.Take(read);
    piece.length = TrimmedLineEnd(read).size();
    piece.physicalLine = lines.PhysicalLine();
    piece.startColumn = lines.StartColumn();
    reading.pieces.push_back(piece);
  }
  Reader reader(reading);
  for (size_t i = 0; i < reading.pieces.size(); ++i) {
    reader.Take(reading.pieces[i], i);
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

std::optional<Span> FieldSpan(std::string_view line, char delimiter) {
  std::string_view field;
  if (ExtractField(line, delimiter, static_cast<int>(line.size()) + 1, field) < 0) {
    return std::nullopt;
  }
  return Span{static_cast<size_t>(field.data() - line.data()), field.size()};
}

std::optional<size_t> FieldClose(std::string_view line, size_t open) {
  const char opening = line[open];
  const char closing = opening == '{' ? '}' : ClosingDelimiter(opening);
  int depth = 1;
  for (size_t at = open + 1; at < line.size(); ++at) {
    if (line[at] == closing && --depth == 0) {
      return at;
    }
    if (opening == '(' && line[at] == '(') {
      ++depth;
    }
  }
  return std::nullopt;
}

std::vector<MacroUse> MacroUsesOf(std::string_view line) {
  std::vector<MacroUse> uses;
  const std::optional<Span> span = FieldSpan(line, '(');
  if (!span) {
    return uses;
  }
  // The expansion sees the text as the member line keeps it: cut to 64.
  const size_t end = span->start + std::min(span->length, static_cast<size_t>(kParamTextMax));
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
  switch (piece.kind) {
    case LineKind::kKeyword:
      AddKeywordFields(tokens, line, piece.keyword);
      break;
    case LineKind::kMacro:
      tokens.push_back(Token{0, 1, TokenType::kKeyword, false});
      AddField(tokens, line, '!', TokenType::kMacro, true);
      AddField(tokens, line, '(', TokenType::kText);
      break;
    case LineKind::kView:
      tokens.push_back(Token{0, kViewKeywords[static_cast<size_t>(piece.view)].size(),
                             TokenType::kKeyword, false});
      AddField(tokens, line, '!', TokenType::kName, true);
      AddField(tokens, line, '"', TokenType::kText);
      break;
    case LineKind::kSpecMember:
      tokens.push_back(Token{0, 1, TokenType::kKeyword, false});
      AddList(tokens, line, '[');
      AddList(tokens, line, '<');
      AddField(tokens, line, '"', TokenType::kName, true);
      break;
    case LineKind::kParamMember:
      tokens.push_back(Token{0, 1, TokenType::kKeyword, false});
      AddField(tokens, line, '!', TokenType::kName, true);
      AddParamText(tokens, line);
      AddList(tokens, line, '<');
      AddField(tokens, line, '"', TokenType::kText);
      break;
    case LineKind::kComment:
    case LineKind::kIgnored:
    case LineKind::kNotRead:
      tokens.push_back(Token{0, line.size(), TokenType::kComment, false});
      break;
    default:
      break;
  }
  return Settled(std::move(tokens));
}

}  // namespace partsc
