// A parts source read as the compiler reads it, for those who look at a
// source rather than compile it (the language server): in pieces of at most
// 79 characters, each piece a line with its kind and its block, and on each
// line the fields that the line parsers take. The pieces, the words of the
// language and the kind of a line in a block are the compiler's own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compiler/tokenizer.h"
#include "partsfile/keywords.h"

namespace partsc {

// What the compile makes of a line.
enum class LineKind {
  kKeyword,         // a "$$" line with a keyword of the table
  kUnknownKeyword,  // a "$$" line with none: it ends a block, and that is all
  kMacro,           // "t": defines a macro
  kView,            // a line of the compiled $$APG block with a view keyword
  kSpecMember,      // "s" in the compiled common block or a size block
  kParamMember,     // "p" there
  kComment,         // "/"
  kSkipped,         // a line of a compiled block that is none of the above (reported)
  kIgnored,         // a line the compile passes by without a word
  kNotRead,         // after $$END, or after a first keyword line that is not $$PARTS
};

enum class BlockKind { kApg, kCommon, kSize };

// One line as the compiler reads it: a piece of at most 79 characters.
struct Piece {
  size_t offset = 0;     // of its first character in the text
  size_t length = 0;     // of its text: up to a zero byte, without the trimmed end
  int physicalLine = 0;  // as the diagnostics count it, from 1
  int startColumn = 1;   // of its first character in that line, from 1
  LineKind kind = LineKind::kIgnored;
  // A macro line inside a compiled block is also a line that the block
  // reports as none of its own (the compiler both defines the macro and
  // warns about the line).
  bool reportedByBlock = false;
  Keyword keyword = Keyword::kNone;  // for kKeyword
  int view = -1;                     // for kView: the view index
  int block = -1;                    // the block the line belongs to (not its keyword line)
};

struct SourceBlock {
  BlockKind kind = BlockKind::kSize;
  size_t keywordPiece = 0;
  size_t lastPiece = 0;   // the keyword line for an empty block
  bool compiled = false;  // false for a second $$APG or $$COMMON block
};

struct MacroDefinition {
  std::string name;
  std::string value;
  size_t piece = 0;
  size_t nameOffset = 0;  // in the text
  size_t nameLength = 0;
};

struct Reading {
  std::string_view text;
  std::vector<Piece> pieces;
  std::vector<SourceBlock> blocks;
  std::vector<MacroDefinition> macros;  // in file order, as the first pass takes them
  std::optional<size_t> partsPiece;     // the first $$PARTS line

  std::string_view TextOf(const Piece& piece) const {
    return text.substr(piece.offset, piece.length);
  }
  // The piece that holds the byte at `offset` (or ends right before it);
  // empty for a text without pieces.
  std::optional<size_t> PieceAt(size_t offset) const;
  // The piece a diagnostic of the compile points at: its physical line and
  // column (0: the line's first piece).
  std::optional<size_t> PieceOfPosition(int physicalLine, int column) const;
  // The definition whose value a use of `name` on piece `use` gets: for the
  // common block the last one above it, for a size block the last one of all.
  const MacroDefinition* MacroFor(std::string_view name, size_t use) const;
};

// Reads `text`, which must outlive the reading.
Reading ReadSource(std::string_view text);

// The first character of a line, which tells most kinds of line apart; '\0'
// for an empty line.
constexpr char FirstChar(std::string_view line) {
  return line.empty() ? '\0' : line.front();
}

// What a line inside a compiled block of `kind` is: a view line of the $$APG
// block (kView) or a member line of a common or size block (kSpecMember,
// kParamMember), a comment, or a line the block skips with a warning
// (kSkipped). The compile passes and the reading both take it from here.
inline LineKind BlockLineKind(BlockKind kind, std::string_view line) {
  const char first = FirstChar(line);
  if (first == '/') {
    return LineKind::kComment;
  }
  if (kind == BlockKind::kApg) {
    return ViewOf(line) >= 0 ? LineKind::kView : LineKind::kSkipped;
  }
  return first == 's'   ? LineKind::kSpecMember
         : first == 'p' ? LineKind::kParamMember
                        : LineKind::kSkipped;
}

// What a line that is no "$$" line is: a macro line, else a line of the
// compiled block `block`, else (outside every compiled block) a comment or
// a line passed by.
inline LineKind KindOf(std::string_view line, std::optional<BlockKind> block) {
  if (FirstChar(line) == 't') {
    return LineKind::kMacro;
  }
  if (!block) {
    return FirstChar(line) == '/' ? LineKind::kComment : LineKind::kIgnored;
  }
  return BlockLineKind(*block, line);
}

// The blocks of a source: a $$APG, $$COMMON or $$SIZE line opens its block,
// and every "$$" line ends the block open before it. Only the first $$APG
// block and the first $$COMMON block are compiled; every $$SIZE block is.
class BlockRules {
 public:
  // Takes a "$$" line: true when the block its keyword opens is compiled.
  bool TakeKeyword(Keyword keyword) {
    switch (keyword) {
      case Keyword::kApg:
        return Begin(BlockKind::kApg, !std::exchange(apgSeen_, true));
      case Keyword::kCommon:
        return Begin(BlockKind::kCommon, !std::exchange(commonSeen_, true));
      case Keyword::kSize:
        return Begin(BlockKind::kSize, true);
      default:
        open_.reset();
        compiled_.reset();
        return false;
    }
  }
  // The block open now, compiled or not.
  std::optional<BlockKind> Open() const { return open_; }
  // The compiled block open now.
  std::optional<BlockKind> Compiled() const { return compiled_; }

 private:
  bool Begin(BlockKind kind, bool compiled) {
    open_ = kind;
    compiled_ = compiled ? open_ : std::nullopt;
    return compiled;
  }

  std::optional<BlockKind> open_;
  std::optional<BlockKind> compiled_;
  bool apgSeen_ = false;
  bool commonSeen_ = false;
};

enum class TokenType { kKeyword, kName, kText, kNumber, kMacro, kComment };

// How a field is read: the text between its delimiters (ExtractField), the
// items of a value list (ParseValueList: each a number when it reads as
// one, else a name), or a parameter text with the macros it names.
enum class FieldForm { kText, kList, kParamText };

// A field of a kind of line: the character that opens it, how it is read,
// its token, whether it is the name the line defines, and the bytes the
// compile keeps of it (0: it is not cut).
struct FieldRule {
  char delimiter = '\0';
  FieldForm form = FieldForm::kText;
  TokenType type = TokenType::kText;
  bool declaration = false;
  int limit = 0;
};

// The fields of a kind of line (of a keyword line, of its keyword) in the
// order its parser takes them; none for a line without fields. The lint,
// the tokens and the limits of the server's quick fixes all read them here.
std::span<const FieldRule> FieldsOf(LineKind kind, Keyword keyword = Keyword::kNone);

// A part of a line the way the line's parser takes it; offsets are within
// the piece's text. Tokens are sorted and never overlap.
struct Token {
  size_t start = 0;
  size_t length = 0;
  TokenType type = TokenType::kText;
  bool declaration = false;  // the name a line defines
};
std::vector<Token> TokensOf(const Reading& reading, size_t piece);

// A {NAME} in the parameter text of a parameter member, as the macro
// expansion walks it: offsets within the piece's text.
struct MacroUse {
  size_t start = 0;   // of the "{"
  size_t length = 0;  // through the "}" or the end of the text
  std::string name;
};
std::vector<MacroUse> MacroUsesOf(std::string_view line);

// The field a delimiter opens, as ExtractField finds it: its trimmed text
// as offsets in the line; empty when the line has no such field.
struct Span {
  size_t start = 0;
  size_t length = 0;
};
std::optional<Span> FieldSpan(std::string_view line, char delimiter);

// The bytes the compile keeps of the field `delimiter` opens on the piece's
// line; none for a field it does not cut.
std::optional<size_t> FieldLimit(const Piece& piece, char delimiter);

}  // namespace partsc
