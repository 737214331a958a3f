// Laying out one line of a parts source so that the compiler reads every
// field back: each field is found by the first occurrence of its opening
// character anywhere on the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/source_pieces.h"

namespace partsc {

// The compiler reads a line in pieces of at most 79 characters. A line of
// exactly 79 leaves its line feed behind as an empty line of its own, which a
// block reports as an unknown line: 78 is preferred.
inline constexpr size_t kSourceLineLimit = kPieceMax;
inline constexpr size_t kCleanLineLimit = kPieceMax - 1;

// One field of a source line: a text between '"', '!' or '(' and its
// closing character, or a list between '<' or '['.
struct Field {
  char open;
  std::string text;
  bool given;  // false: left out, or written empty when its opening occurs elsewhere
};

enum class Fit { kFits, kTooLong, kNoOrder };

// A line laid out (kFits, without its line feed), or why there is none.
struct PlacedLine {
  Fit fit = Fit::kNoOrder;
  std::string text;
};

// The fields of a line, readable (numbers in plain decimal) or compact
// (numbers in their shortest form).
using FieldsFor = std::function<std::vector<Field>(bool compact)>;

// Lays a line out readably when it fits in 78 characters, else compactly in
// 78, else compactly in 79.
PlacedLine PlaceLine(std::string_view keyword, const FieldsFor& fieldsFor);
// Why a line could not be laid out, as a reason ends.
std::string NotPlaced(Fit fit);

// Why `text` cannot be read back from a field opened by `open` that keeps
// `limit` characters; none when it can. A field that is cut to its limit
// (`cut`) may end with a blank when the text is that long (Padded); a param
// text may end with one at any length (the cut before macro expansion can
// leave one). Parentheses are not looked at (ClosesEarly).
std::optional<std::string> TextProblem(std::string_view text, char open, size_t limit,
                                       bool cut = true);

// The text to write for a field that is cut to `limit` characters after its
// blanks are trimmed: a text of the full length that ends with a blank gets
// one more character.
std::string Padded(const std::string& text, size_t limit);

// True when a ")" in a parenthesis field would close the field before its
// end.
bool ClosesEarly(std::string_view text);

// A param text holding "{" as it is written so that macro expansion gives it
// back: every "{" as "{}" (no macro has the empty name, so a single "{" comes
// back), with "(" added inside the braces where a later ")" would close the
// field too early (the name inside the braces is dropped). Null when a ")"
// comes before any "{" could make up for it.
std::optional<std::string> EscapedText(std::string_view text);

// The two numbers of a $$PARTS or $$SPEC list. A 0 is an item that is no
// number ("0", or empty when compact), and a 0 at the end is left out when
// compact.
std::string NumberPair(int32_t first, int32_t second, bool compact);

}  // namespace partsc
